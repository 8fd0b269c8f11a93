// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/scpi/parser.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "lab/scpi/response.h"

namespace scpi {

namespace {

bool IsAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsMnemonicChar(char c) { return IsAlpha(c) || IsDigit(c) || c == '_'; }
// IEEE 488.2 white space: the control characters but the terminator, and the space.
bool IsBlank(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u <= 0x20 && c != '\n';
}
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// A byte named in a message, printable whatever it is.
std::string Shown(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u > 0x20 && u < 0x7f) return std::string("'") + c + "'";
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", u);
  return hex;
}

class Reader {
 public:
  explicit Reader(std::string_view s) : s_(s) {}

  bool End() const { return i_ >= s_.size(); }
  char Peek() const { return End() ? '\0' : s_[i_]; }
  void Skip() { ++i_; }
  void SkipBlanks() {
    while (!End() && IsBlank(s_[i_])) ++i_;
  }
  // A mnemonic (a letter, then letters, digits, '_'), upper-cased; "" when none.
  std::string Mnemonic() {
    std::string m;
    if (End() || !IsAlpha(s_[i_])) return m;
    while (!End() && IsMnemonicChar(s_[i_])) m += Upper(s_[i_++]);
    return m;
  }
  std::optional<Fault> Argument(scpi::Argument& a);

 private:
  std::optional<Fault> String(scpi::Argument& a);
  std::optional<Fault> NumberArgument(scpi::Argument& a);

  std::string_view s_;
  std::size_t i_ = 0;
};

std::optional<Fault> Reader::String(scpi::Argument& a) {
  const char quote = s_[i_++];
  a.kind = Argument::Kind::kString;
  while (true) {
    if (End()) return Fault{-151, "a string without its closing quote"};
    const char c = s_[i_++];
    if (c != quote) {
      a.text += c;
    } else if (Peek() == quote) {
      a.text += quote;
      ++i_;
    } else {
      return std::nullopt;
    }
  }
}

std::optional<Fault> Reader::NumberArgument(scpi::Argument& a) {
  const std::size_t start = i_;
  if (Peek() == '+' || Peek() == '-') ++i_;
  std::size_t digits = 0;
  while (IsDigit(Peek())) ++i_, ++digits;
  if (Peek() == '.') {
    ++i_;
    while (IsDigit(Peek())) ++i_, ++digits;
  }
  if (digits == 0) return Fault{-121, "a number without digits"};
  // An exponent, unless the 'E' begins a suffix (1 EV is no number here anyway).
  if (Peek() == 'E' || Peek() == 'e') {
    std::size_t j = i_ + 1;
    if (j < s_.size() && (s_[j] == '+' || s_[j] == '-')) ++j;
    if (j < s_.size() && IsDigit(s_[j])) {
      i_ = j;
      while (IsDigit(Peek())) ++i_;
    }
  }
  a.kind = Argument::Kind::kNumber;
  a.text = std::string(s_.substr(start, i_ - start));
  const char* first = a.text.data() + (a.text[0] == '+' ? 1 : 0);
  const auto r = std::from_chars(first, a.text.data() + a.text.size(), a.number);
  if (r.ec == std::errc::result_out_of_range || !std::isfinite(a.number))
    return Fault{-123, "the number " + Ascii(a.text.substr(0, 40)) + " is out of range"};
  if (r.ec != std::errc() || r.ptr != a.text.data() + a.text.size())
    return Fault{-120, "cannot read the number " + Ascii(a.text.substr(0, 40))};
  SkipBlanks();
  if (IsAlpha(Peek())) {
    while (IsAlpha(Peek())) a.suffix += Upper(s_[i_++]);
    if (a.suffix.size() > kMaxMnemonic) return Fault{-134, "a unit longer than 12 letters"};
  }
  if (!End() && !IsBlank(Peek()) && Peek() != ',' && Peek() != ';')
    return Fault{-121, Shown(Peek()) + " in a number"};
  return std::nullopt;
}

std::optional<Fault> Reader::Argument(scpi::Argument& a) {
  const char c = Peek();
  if (c == '"' || c == '\'') return String(a);
  if (IsDigit(c) || c == '+' || c == '-' || c == '.') return NumberArgument(a);
  if (IsAlpha(c)) {
    a.kind = Argument::Kind::kWord;
    a.text = Mnemonic();
    if (a.text.size() > kMaxMnemonic) return Fault{-144, "a word longer than 12 letters"};
    if (!End() && !IsBlank(Peek()) && Peek() != ',' && Peek() != ';')
      return Fault{-141, Shown(Peek()) + " in a word"};
    return std::nullopt;
  }
  if (c == '#') return Fault{-104, "no command here takes block or non-decimal data"};
  if (c == '(') return Fault{-104, "no command here takes an expression"};
  return Fault{-101, Shown(c) + " where an argument was expected"};
}

}  // namespace

std::string Unit::Header() const {
  std::string h;
  if (common) {
    h = "*" + (path.empty() ? std::string() : path[0]);
  } else {
    for (const std::string& node : path) h += ":" + node;
  }
  return query ? h + "?" : h;
}

std::string Unit::Text() const {
  std::string t = Header();
  for (std::size_t k = 0; k < args.size(); ++k) {
    const Argument& a = args[k];
    t += k == 0 ? " " : ",";
    if (a.kind == Argument::Kind::kString) {
      t += "\"";
      for (char c : a.text) t += c == '"' ? std::string("\"\"") : std::string(1, c);
      t += "\"";
    } else {
      t += a.text;
      if (!a.suffix.empty()) t += " " + a.suffix;
    }
  }
  return t;
}

Message ParseMessage(std::string_view line) {
  Message m;
  Reader r(line);
  std::vector<std::string> base;  // where a relative header goes on from
  const auto fail = [&m](int code, std::string detail) {
    m.fault = Fault{code, std::move(detail)};
    return m;
  };
  while (true) {
    r.SkipBlanks();
    if (r.End()) break;
    if (r.Peek() == ';') {  // an empty unit
      r.Skip();
      continue;
    }
    Unit u;
    if (r.Peek() == '*') {
      r.Skip();
      std::string name = r.Mnemonic();
      if (name.empty()) return fail(-102, "a common command's name must follow '*'");
      if (name.size() > kMaxMnemonic) return fail(-112, "a name longer than 12 letters");
      u.common = true;
      u.path.push_back(std::move(name));
    } else {
      const bool absolute = r.Peek() == ':';
      if (absolute) r.Skip();
      std::vector<std::string> nodes;
      while (true) {
        std::string node = r.Mnemonic();
        if (node.empty())
          return fail(
              r.End() ? -102 : -101,
              r.End() ? "a header ends in ':'" : Shown(r.Peek()) + " where a header was expected");
        if (node.size() > kMaxMnemonic) return fail(-112, "a name longer than 12 letters");
        nodes.push_back(std::move(node));
        if (r.Peek() != ':') break;
        r.Skip();
      }
      u.path = absolute ? std::vector<std::string>() : base;
      u.path.insert(u.path.end(), nodes.begin(), nodes.end());
      base.assign(u.path.begin(), u.path.end() - 1);
    }
    if (r.Peek() == '?') {
      u.query = true;
      r.Skip();
    }
    if (!r.End() && !IsBlank(r.Peek()) && r.Peek() != ';')
      return fail(-101, Shown(r.Peek()) + " in the header " + u.Header());
    r.SkipBlanks();
    while (!r.End() && r.Peek() != ';') {
      Argument a;
      if (std::optional<Fault> f = r.Argument(a)) return fail(f->code, std::move(f->detail));
      u.args.push_back(std::move(a));
      r.SkipBlanks();
      if (r.End() || r.Peek() == ';') break;
      if (r.Peek() != ',')
        return fail(-103, Shown(r.Peek()) + " between arguments, where ',' belongs");
      r.Skip();
      r.SkipBlanks();
      if (r.End() || r.Peek() == ';') return fail(-109, "an argument must follow ','");
    }
    m.units.push_back(std::move(u));
    if (!r.End()) r.Skip();  // the ';'
  }
  return m;
}

namespace {

struct Node {
  std::string short_form, long_form;
  bool optional;
};

std::vector<Node> Nodes(std::string_view pattern) {
  std::vector<Node> nodes;
  bool optional = false;
  Node n{{}, {}, false};
  const auto flush = [&] {
    if (!n.long_form.empty()) nodes.push_back(n);
    n = Node{{}, {}, optional};
  };
  for (char c : pattern) {
    if (c == '[') {
      flush();
      optional = true;
      n.optional = true;
    } else if (c == ']') {
      flush();
      optional = false;
      n.optional = false;
    } else if (c == ':') {
      flush();
    } else {
      if (c >= 'A' && c <= 'Z') n.short_form += c;
      n.long_form += Upper(c);
    }
  }
  flush();
  return nodes;
}

bool MatchFrom(const std::vector<Node>& nodes, std::size_t k, const std::vector<std::string>& path,
               std::size_t j) {
  if (k == nodes.size()) return j == path.size();
  const Node& n = nodes[k];
  if (n.optional && MatchFrom(nodes, k + 1, path, j)) return true;
  return j < path.size() && (path[j] == n.short_form || path[j] == n.long_form) &&
         MatchFrom(nodes, k + 1, path, j + 1);
}

}  // namespace

bool Matches(std::string_view pattern, const Unit& unit) {
  if (!pattern.empty() && pattern[0] == '*') {
    if (!unit.common || unit.path.size() != 1) return false;
    std::string name;
    for (char c : pattern.substr(1)) name += Upper(c);
    return unit.path[0] == name;
  }
  return !unit.common && MatchFrom(Nodes(pattern), 0, unit.path, 0);
}

}  // namespace scpi
