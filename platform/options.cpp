#include "platform/options.h"

#include <charconv>

namespace platform {

namespace {
bool StartsWith(const std::string& s, const char* prefix, std::string& rest) {
  std::string p(prefix);
  if (s.compare(0, p.size(), p) != 0) return false;
  rest = s.substr(p.size());
  return true;
}
}  // namespace

std::string UsageText() {
  return "usage: osciloskop [--card=alsa[:DEVICE]|virtual] [--signal-r=SRC] [--signal-l=SRC]\n"
         "                  [--output-wav=FILE] [--headless --script=FILE] [--idle-quantum-ms=N]\n"
         "                  [--mixer=none|fail-caps|fail-open] [--list-cards]\n"
         "SRC: silence | sine:HZ[:PEAK] | square:HZ[:PEAK] | wav:FILE[:CHANNEL] | generator\n";
}

bool ParseOptions(const std::vector<std::string>& args, PlatformOptions& out, std::string& error) {
  for (const std::string& a : args) {
    std::string v;
    if (a == "--headless") {
      out.headless = true;
    } else if (StartsWith(a, "--card=", v)) {
      if (v != "virtual" && v != "alsa" && v.rfind("alsa:", 0) != 0) {
        error = "unknown card '" + v + "' (use --card=virtual or --card=alsa[:DEVICE])";
        return false;
      }
      out.card = v;
    } else if (StartsWith(a, "--signal-r=", v)) {
      out.signal_r = v;
    } else if (StartsWith(a, "--signal-l=", v)) {
      out.signal_l = v;
    } else if (StartsWith(a, "--output-wav=", v)) {
      if (v.empty()) {
        error = "--output-wav needs a file name";
        return false;
      }
      out.output_wav = v;
    } else if (StartsWith(a, "--script=", v)) {
      if (v.empty()) {
        error = "--script needs a file name";
        return false;
      }
      out.script = v;
    } else if (StartsWith(a, "--mixer=", v)) {
      if (v != "none" && v != "fail-caps" && v != "fail-open") {
        error = "unknown mixer fault '" + v + "' (use --mixer=none, fail-caps or fail-open)";
        return false;
      }
      out.mixer_fault = v;
    } else if (a == "--list-cards") {
      out.list_cards = true;
    } else if (StartsWith(a, "--idle-quantum-ms=", v)) {
      int n = 0;
      auto r = std::from_chars(v.data(), v.data() + v.size(), n);
      if (r.ec != std::errc() || r.ptr != v.data() + v.size() || n < 1 || n > 1000) {
        error = "--idle-quantum-ms must be a whole number of milliseconds from 1 to 1000, not '" +
                v + "'";
        return false;
      }
      out.idle_quantum_ms = n;
    } else {
      error = "unknown option '" + a + "'";
      return false;
    }
  }
  if (out.headless && out.script.empty()) {
    error = "--headless needs --script=FILE";
    return false;
  }
  if (!out.script.empty() && !out.headless) {
    error = "--script is only for a headless run (add --headless)";
    return false;
  }
  return true;
}

}  // namespace platform
