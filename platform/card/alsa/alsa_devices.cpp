// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/alsa/alsa_devices.h"

#include <alsa/asoundlib.h>

#include <cstdlib>

namespace platform {

namespace {
std::string Hint(void* hint, const char* id) {
  char* v = snd_device_name_get_hint(hint, id);
  if (v == nullptr) return {};
  std::string s = v;
  std::free(v);
  return s;
}
}  // namespace

std::vector<std::string> AlsaPcmDevices() {
  std::vector<std::string> out;
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) < 0) return out;
  for (void** h = hints; *h; ++h) {
    const std::string name = Hint(*h, "NAME");
    if (name.empty() || name == "null") continue;
    std::string desc = Hint(*h, "DESC");
    for (char& c : desc)
      if (c == '\n') c = ' ';
    const std::string io = Hint(*h, "IOID");
    const char* dir = io == "Input" ? "capture" : io == "Output" ? "playback" : "playback, capture";
    out.push_back(name + (desc.empty() ? "" : ": " + desc) + " (" + dir + ")");
  }
  snd_device_name_free_hint(hints);
  return out;
}

}  // namespace platform
