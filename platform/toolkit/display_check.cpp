// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/display_check.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

// A socket closed when it goes.
struct Socket {
  explicit Socket(int fd) : fd(fd) {}
  ~Socket() {
    if (fd >= 0) ::close(fd);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  explicit operator bool() const { return fd >= 0; }
  int Get() const { return fd; }
  int fd;
};

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// A local socket; `abstract` in Linux's abstract namespace.
bool ConnectLocal(const std::string& path, bool abstract) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::size_t offset = abstract ? 1 : 0;
  if (path.size() + offset >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path + offset, path.data(), path.size());
  const Socket fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd) return false;
  const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() +
                                           (abstract ? 0 : 1));
  return ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&addr), size) == 0;
}

bool ConnectTcp(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
  bool ok = false;
  for (addrinfo* a = found; a && !ok; a = a->ai_next) {
    const Socket fd(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
    ok = fd && ::connect(fd.Get(), a->ai_addr, a->ai_addrlen) == 0;
  }
  ::freeaddrinfo(found);
  return ok;
}

// An X server at DISPLAY ([HOST]:N[.SCREEN]) accepts connections.
bool XReachable(const std::string& display) {
  const std::size_t colon = display.rfind(':');
  if (colon == std::string::npos) return false;
  const std::string host = display.substr(0, colon);
  const std::string number = display.substr(colon + 1, display.find('.', colon) - colon - 1);
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return false;
  if (host.empty() || host == "unix") {
    const std::string socket = "/tmp/.X11-unix/X" + number;
    return ConnectLocal(socket, true) || ConnectLocal(socket, false);
  }
  // A socket path some systems give as the host part.
  if (host[0] == '/') return ConnectLocal(display, false);
  return ConnectTcp(host, 6000 + std::atoi(number.c_str()));
}

bool WaylandReachable(const std::string& name) {
  if (name.empty()) return false;
  if (name[0] == '/') return ConnectLocal(name, false);
  const std::string dir = Env("XDG_RUNTIME_DIR");
  return !dir.empty() && ConnectLocal(dir + "/" + name, false);
}

}  // namespace

std::string DisplayFault() {
  const std::string x = Env("DISPLAY"), wayland = Env("WAYLAND_DISPLAY");
  const std::string platform = Env("QT_QPA_PLATFORM");
  const bool wants_x = platform.rfind("xcb", 0) == 0,
             wants_wayland = platform.rfind("wayland", 0) == 0;
  // Other platforms (offscreen, vnc ...) need no display server.
  if (!platform.empty() && !wants_x && !wants_wayland) return {};
  const std::string named_wayland = wayland.empty() ? "wayland-0" : wayland;
  if (wants_wayland)
    return WaylandReachable(named_wayland)
               ? std::string()
               : "Wayland display '" + named_wayland + "' cannot be reached";
  if (x.empty() && (wants_x || wayland.empty())) return "no display (DISPLAY is not set)";
  if (!x.empty() && XReachable(x)) return {};
  if (!wants_x && WaylandReachable(wayland)) return {};
  if (x.empty()) return "Wayland display '" + wayland + "' cannot be reached";
  return "display '" + x + "' cannot be reached (no X server answers there)";
}

}  // namespace platform
