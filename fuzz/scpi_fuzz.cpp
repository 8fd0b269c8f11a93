// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes as a SCPI client sends them, cut into pieces as a socket might
// deliver them, through a session whose commands answer every query with
// the unit as parsed. Checked: every unit parsed from a line reads back
// from its own text as the same unit; answers are one printable ASCII line
// per message with queries, in order; the error queue stays bounded and
// each entry is NUMBER,"TEXT"; a command that waits holds the rest of its
// line until it is run again.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "lab/scpi/parser.h"
#include "lab/scpi/response.h"
#include "lab/scpi/session.h"

namespace {

void Expect(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "scpi_fuzz: %s\n", what);
    std::abort();
  }
}

bool Same(const scpi::Unit& a, const scpi::Unit& b) {
  if (a.common != b.common || a.query != b.query || a.path != b.path ||
      a.args.size() != b.args.size())
    return false;
  for (std::size_t k = 0; k < a.args.size(); ++k) {
    const scpi::Argument &x = a.args[k], &y = b.args[k];
    if (x.kind != y.kind || x.text != y.text || x.suffix != y.suffix ||
        std::memcmp(&x.number, &y.number, sizeof x.number) != 0)
      return false;
  }
  return true;
}

// Queries answer their unit's header and argument count; *OPC? waits twice.
class Echo final : public scpi::Commands {
 public:
  scpi::Outcome Run(const scpi::Unit& u, scpi::Answer& a) override {
    if (scpi::Matches("*OPC", u) && waits_++ % 3 != 2) return scpi::Outcome::kWait;
    if (!scpi::Matches("MEASure:VOLTage[:RMS]", u) && !scpi::Matches("*OPC", u) &&
        !scpi::Matches("[SOURce]:FREQuency", u)) {
      a.error = scpi::Fault{-113, u.Header()};
      return scpi::Outcome::kDone;
    }
    a.data = scpi::Quoted(scpi::Ascii(u.Header())) + "," +
             scpi::Integer(static_cast<std::int64_t>(u.args.size()));
    return scpi::Outcome::kDone;
  }
  int waits_ = 0;
};

bool PrintableLines(const std::string& out) {
  for (char c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (c != '\n' && (u < 0x20 || u > 0x7e)) return false;
  }
  return out.empty() || out.back() == '\n';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = data[0] % 61 + 1;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::size_t messages_with_queries = 0, start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    const bool whole = end != std::string_view::npos;
    if (!whole) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const scpi::Message m = scpi::ParseMessage(line);
    bool queries = false;
    for (const scpi::Unit& u : m.units) {
      queries = queries || u.query;
      const scpi::Message again = scpi::ParseMessage(u.Text());
      Expect(!again.fault && again.units.size() == 1 && Same(again.units[0], u),
             "a unit does not read back from its own text");
    }
    if (whole && queries) ++messages_with_queries;
    start = end + 1;
  }

  Echo echo;
  scpi::Session session(echo);
  std::string out;
  bool open = true;
  for (std::size_t at = 0; at < text.size() && open; at += piece) {
    open = session.Receive(text.substr(at, piece));
    for (int turns = 0; open && turns < 1000 && session.Work(4); ++turns) {
    }
    // The instrument moves on: whatever waits is tried again.
    for (int k = 0; open && k < 3; ++k) session.Work(1000);
    out += session.TakeOutput();
    Expect(session.Errors().Count() <= scpi::ErrorQueue::kCapacity, "the error queue overflows");
  }
  Expect(PrintableLines(out), "answers are not printable ASCII lines");
  std::size_t lines = 0;
  for (char c : out) lines += c == '\n';
  Expect(lines <= messages_with_queries, "more answers than messages with queries");

  scpi::ErrorQueue q;
  for (std::size_t k = 0; k < text.size() && k < 40; ++k)
    q.Push(-100 - static_cast<int>(data[k] % 300), text.substr(k));
  for (std::size_t k = 0; k < scpi::ErrorQueue::kCapacity + 1; ++k) {
    const std::string e = q.Next();
    const std::size_t comma = e.find(',');
    Expect(comma != std::string::npos && comma > 0 && e[comma + 1] == '"' && e.back() == '"' &&
               PrintableLines(e + "\n") && e.size() <= 255,
           "an error entry is not NUMBER,\"TEXT\"");
  }
  return 0;
}
