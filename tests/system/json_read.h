#pragma once
// A small JSON reader for the program's dumps: objects (keys in file order),
// arrays, strings with every escape including \u and surrogate pairs (decoded
// to UTF-8), numbers, true, false and null. Errors throw std::runtime_error
// naming the byte offset. Looking up a missing key or index throws as well,
// so a test fails with a message instead of reading garbage.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace jsonread {

class Value {
 public:
  enum class Type { Null, Bool, Number, String, Array, Object };

  Type type() const { return type_; }
  bool IsNull() const { return type_ == Type::Null; }
  bool IsNumber() const { return type_ == Type::Number; }
  bool IsString() const { return type_ == Type::String; }
  bool IsArray() const { return type_ == Type::Array; }
  bool IsObject() const { return type_ == Type::Object; }

  bool Bool() const {
    Want(Type::Bool, "a boolean");
    return bool_;
  }
  double Number() const {
    Want(Type::Number, "a number");
    return number_;
  }
  long long Int() const { return static_cast<long long>(Number()); }
  const std::string& Str() const {
    Want(Type::String, "a string");
    return string_;
  }
  const std::vector<Value>& Items() const {
    Want(Type::Array, "an array");
    return array_;
  }
  const std::vector<std::pair<std::string, Value>>& Members() const {
    Want(Type::Object, "an object");
    return object_;
  }
  std::size_t size() const { return type_ == Type::Object ? object_.size() : Items().size(); }

  const Value* Find(std::string_view key) const {
    for (const auto& [k, v] : Members())
      if (k == key) return &v;
    return nullptr;
  }
  bool Has(std::string_view key) const { return Find(key) != nullptr; }
  const Value& operator[](std::string_view key) const {
    if (const Value* v = Find(key)) return *v;
    throw std::runtime_error("json: no member '" + std::string(key) + "'");
  }
  const Value& operator[](const char* key) const { return (*this)[std::string_view(key)]; }
  const Value& operator[](std::size_t i) const {
    if (i >= Items().size()) throw std::runtime_error("json: no element " + std::to_string(i));
    return array_[i];
  }
  const Value& operator[](int i) const { return (*this)[static_cast<std::size_t>(i)]; }

 private:
  friend class Parser;
  void Want(Type t, const char* what) const {
    if (type_ != t) throw std::runtime_error(std::string("json: value is not ") + what);
  }

  Type type_ = Type::Null;
  bool bool_ = false;
  double number_ = 0;
  std::string string_;
  std::vector<Value> array_;
  std::vector<std::pair<std::string, Value>> object_;
};

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  Value ParseDocument() {
    Value v = ParseValue(0);
    SkipBlanks();
    if (pos_ != s_.size()) Fail("text after the value");
    return v;
  }

 private:
  static constexpr int kMaxDepth = 200;

  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error("json: " + what + " at offset " + std::to_string(pos_));
  }
  void SkipBlanks() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
      ++pos_;
  }
  char Peek() {
    SkipBlanks();
    if (pos_ >= s_.size()) Fail("unexpected end");
    return s_[pos_];
  }
  void Expect(char c) {
    if (Peek() != c) Fail(std::string("expected '") + c + "'");
    ++pos_;
  }
  void Word(std::string_view w) {
    if (s_.substr(pos_, w.size()) != w) Fail("bad literal");
    pos_ += w.size();
  }

  Value ParseValue(int depth) {
    if (depth > kMaxDepth) Fail("nesting too deep");
    Value v;
    const char c = Peek();
    if (c == '{') {
      v.type_ = Value::Type::Object;
      ++pos_;
      if (Peek() == '}') {
        ++pos_;
        return v;
      }
      for (;;) {
        if (Peek() != '"') Fail("expected a key");
        std::string key = ParseString();
        Expect(':');
        v.object_.emplace_back(std::move(key), ParseValue(depth + 1));
        const char n = Peek();
        ++pos_;
        if (n == '}') break;
        if (n != ',') Fail("expected ',' or '}'");
      }
    } else if (c == '[') {
      v.type_ = Value::Type::Array;
      ++pos_;
      if (Peek() == ']') {
        ++pos_;
        return v;
      }
      for (;;) {
        v.array_.push_back(ParseValue(depth + 1));
        const char n = Peek();
        ++pos_;
        if (n == ']') break;
        if (n != ',') Fail("expected ',' or ']'");
      }
    } else if (c == '"') {
      v.type_ = Value::Type::String;
      v.string_ = ParseString();
    } else if (c == 't') {
      Word("true");
      v.type_ = Value::Type::Bool;
      v.bool_ = true;
    } else if (c == 'f') {
      Word("false");
      v.type_ = Value::Type::Bool;
    } else if (c == 'n') {
      Word("null");
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      v.type_ = Value::Type::Number;
      v.number_ = ParseNumber();
    } else {
      Fail(std::string("unexpected '") + c + "'");
    }
    return v;
  }

  double ParseNumber() {
    const std::size_t start = pos_;
    auto digits = [&] {
      const std::size_t from = pos_;
      while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
      if (pos_ == from) Fail("expected a digit");
    };
    if (s_[pos_] == '-') ++pos_;
    digits();
    if (pos_ < s_.size() && s_[pos_] == '.') {
      ++pos_;
      digits();
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      digits();
    }
    // strtod is locale dependent for the point; the C locale's "." is
    // forced by parsing a copy that never contains anything else.
    const std::string text(s_.substr(start, pos_ - start));
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    double d = 0;
    in >> d;
    if (in.fail()) Fail("bad number");
    return d;
  }

  unsigned Hex4() {
    if (pos_ + 4 > s_.size()) Fail("short \\u escape");
    unsigned v = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = s_[pos_++];
      v <<= 4;
      if (h >= '0' && h <= '9') v |= static_cast<unsigned>(h - '0');
      else if (h >= 'a' && h <= 'f') v |= static_cast<unsigned>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F') v |= static_cast<unsigned>(h - 'A' + 10);
      else Fail("bad hex digit");
    }
    return v;
  }

  static void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  std::string ParseString() {
    Expect('"');
    std::string out;
    for (;;) {
      if (pos_ >= s_.size()) Fail("unterminated string");
      const char c = s_[pos_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) Fail("control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= s_.size()) Fail("unterminated escape");
      const char e = s_[pos_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          std::uint32_t cp = Hex4();
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (s_.substr(pos_, 2) != "\\u") Fail("lone high surrogate");
            pos_ += 2;
            const std::uint32_t low = Hex4();
            if (low < 0xDC00 || low > 0xDFFF) Fail("bad low surrogate");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            Fail("lone low surrogate");
          }
          AppendUtf8(out, cp);
          break;
        }
        default: Fail(std::string("bad escape '\\") + e + "'");
      }
    }
  }

  std::string_view s_;
  std::size_t pos_ = 0;
};

inline Value Parse(std::string_view text) { return Parser(text).ParseDocument(); }

inline Value ParseFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("json: cannot read '" + path + "'");
  std::stringstream s;
  s << f.rdbuf();
  return Parse(s.str());
}

}  // namespace jsonread
