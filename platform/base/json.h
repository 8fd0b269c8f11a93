// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small streaming JSON writer with a fixed layout, so that the same state
// always gives the same bytes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class JsonWriter {
 public:
  JsonWriter& BeginObject(std::string_view key = {});
  JsonWriter& EndObject();
  JsonWriter& BeginArray(std::string_view key = {});
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view key);

  JsonWriter& Value(std::string_view key, std::string_view v);
  JsonWriter& Value(std::string_view key, const char* v) { return Value(key, std::string_view(v)); }
  JsonWriter& Value(std::string_view key, bool v);
  JsonWriter& Value(std::string_view key, std::int64_t v);
  JsonWriter& Value(std::string_view key, int v) { return Value(key, static_cast<std::int64_t>(v)); }
  JsonWriter& Value(std::string_view key, unsigned v) { return Value(key, static_cast<std::int64_t>(v)); }
  JsonWriter& Value(std::string_view key, double v);
  JsonWriter& Null(std::string_view key);
  template <class T>
  JsonWriter& List(std::string_view key, const T* data, std::size_t n) {
    BeginArray(key);
    for (std::size_t i = 0; i < n; ++i) Element(data[i]);
    return EndArray();
  }
  JsonWriter& List(std::string_view key, const std::vector<std::string>& items);

  void Element(std::int64_t v);
  void Element(int v) { Element(static_cast<std::int64_t>(v)); }
  void Element(unsigned v) { Element(static_cast<std::int64_t>(v)); }
  void Element(std::uint16_t v) { Element(static_cast<std::int64_t>(v)); }
  void Element(std::int16_t v) { Element(static_cast<std::int64_t>(v)); }
  void Element(double v);
  void Element(std::string_view v);

  const std::string& Text() const { return out_; }

 private:
  void Prefix(std::string_view key);
  void Newline();
  std::string out_;
  std::vector<bool> first_;   // per open level: nothing written yet
  std::vector<bool> inline_;  // per open level: array written on one line
};

// Text of a double as the dump shows it: shortest form that reads back equal.
std::string FormatJsonNumber(double v);
std::string JsonEscape(std::string_view s);

}  // namespace platform
