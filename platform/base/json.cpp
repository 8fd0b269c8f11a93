// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/base/json.h"

#include <charconv>
#include <cmath>

namespace platform {

std::string JsonEscape(std::string_view s) {
  std::string r;
  r.reserve(s.size() + 2);
  r += '"';
  for (char ch : s) {
    auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': r += "\\\""; break;
      case '\\': r += "\\\\"; break;
      case '\n': r += "\\n"; break;
      case '\r': r += "\\r"; break;
      case '\t': r += "\\t"; break;
      default:
        if (c < 0x20) {
          static const char hex[] = "0123456789abcdef";
          r += "\\u00";
          r += hex[c >> 4];
          r += hex[c & 15];
        } else {
          r += ch;
        }
    }
  }
  r += '"';
  return r;
}

std::string FormatJsonNumber(double v) {
  if (!std::isfinite(v)) return "null";
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

void JsonWriter::Newline() {
  out_ += '\n';
  out_.append(2 * first_.size(), ' ');
}

void JsonWriter::Prefix(std::string_view key) {
  if (first_.empty()) return;
  if (!first_.back()) out_ += inline_.back() ? ", " : ",";
  if (!inline_.back()) Newline();
  first_.back() = false;
  if (!key.empty()) {
    out_ += JsonEscape(key);
    out_ += ": ";
  }
}

JsonWriter& JsonWriter::BeginObject(std::string_view key) {
  Prefix(key);
  out_ += '{';
  first_.push_back(true);
  inline_.push_back(false);
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  bool empty = first_.back();
  first_.pop_back();
  inline_.pop_back();
  if (!empty) Newline();
  out_ += '}';
  if (first_.empty()) out_ += '\n';
  return *this;
}

JsonWriter& JsonWriter::BeginArray(std::string_view key) {
  Prefix(key);
  out_ += '[';
  first_.push_back(true);
  inline_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  first_.pop_back();
  inline_.pop_back();
  out_ += ']';
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
  Prefix(key);
  return *this;
}

JsonWriter& JsonWriter::Value(std::string_view key, std::string_view v) {
  Prefix(key);
  out_ += JsonEscape(v);
  return *this;
}
JsonWriter& JsonWriter::Value(std::string_view key, bool v) {
  Prefix(key);
  out_ += v ? "true" : "false";
  return *this;
}
JsonWriter& JsonWriter::Value(std::string_view key, std::int64_t v) {
  Prefix(key);
  out_ += std::to_string(v);
  return *this;
}
JsonWriter& JsonWriter::Value(std::string_view key, double v) {
  Prefix(key);
  out_ += FormatJsonNumber(v);
  return *this;
}
JsonWriter& JsonWriter::Null(std::string_view key) {
  Prefix(key);
  out_ += "null";
  return *this;
}
JsonWriter& JsonWriter::List(std::string_view key, const std::vector<std::string>& items) {
  BeginArray(key);
  for (const auto& s : items) Element(std::string_view(s));
  return EndArray();
}

void JsonWriter::Element(std::int64_t v) {
  Prefix({});
  out_ += std::to_string(v);
}
void JsonWriter::Element(double v) {
  Prefix({});
  out_ += FormatJsonNumber(v);
}
void JsonWriter::Element(std::string_view v) {
  Prefix({});
  out_ += JsonEscape(v);
}

}  // namespace platform
