// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's dumps read by QJsonDocument, behind the few calls the tests
// make. Text that is not whole JSON (a dump still being written) throws, and
// so does a missing key or index or a value of another type, so a test fails
// with a message instead of reading a default.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace jsonread {

class Value {
 public:
  explicit Value(QJsonValue v = {}) : v_(std::move(v)) {}

  bool IsNull() const { return v_.isNull(); }
  bool operator==(const Value& other) const { return v_ == other.v_; }
  bool IsObject() const { return v_.isObject(); }

  bool Bool() const { return Want(v_.isBool(), "a boolean").toBool(); }
  double Number() const { return Want(v_.isDouble(), "a number").toDouble(); }
  // Exact for whole numbers beyond 2^53 too; a fraction is cut off.
  long long Int() const { return v_.toInteger(static_cast<long long>(Number())); }
  std::string Str() const { return Want(v_.isString(), "a string").toString().toStdString(); }

  std::vector<Value> Items() const {
    const QJsonArray a = Want(v_.isArray(), "an array").toArray();
    std::vector<Value> items;
    for (const QJsonValue& v : a) items.emplace_back(v);
    return items;
  }
  // By key, as QJsonObject keeps them, not in the order of the file.
  std::vector<std::pair<std::string, Value>> Members() const {
    std::vector<std::pair<std::string, Value>> members;
    const QJsonObject o = Want(v_.isObject(), "an object").toObject();
    for (auto it = o.begin(); it != o.end(); ++it)
      members.emplace_back(it.key().toStdString(), Value(it.value()));
    return members;
  }
  std::size_t size() const {
    return static_cast<std::size_t>(
        v_.isObject() ? v_.toObject().size() : Want(v_.isArray(), "an array").toArray().size());
  }

  bool Has(std::string_view key) const {
    return Want(v_.isObject(), "an object").toObject().contains(QString::fromUtf8(key));
  }
  Value operator[](std::string_view key) const {
    const QJsonObject o = Want(v_.isObject(), "an object").toObject();
    const auto it = o.constFind(QString::fromUtf8(key));
    if (it == o.constEnd()) throw std::runtime_error("json: no member '" + std::string(key) + "'");
    return Value(it.value());
  }
  Value operator[](std::size_t i) const {
    const QJsonArray a = Want(v_.isArray(), "an array").toArray();
    if (i >= static_cast<std::size_t>(a.size()))
      throw std::runtime_error("json: no element " + std::to_string(i));
    return Value(a[static_cast<qsizetype>(i)]);
  }
  Value operator[](int i) const { return (*this)[static_cast<std::size_t>(i)]; }

 private:
  const QJsonValue& Want(bool is, const char* what) const {
    if (!is) throw std::runtime_error(std::string("json: value is not ") + what);
    return v_;
  }

  QJsonValue v_;
};

inline Value ParseBytes(const QByteArray& text, const std::string& where = "json") {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
  if (error.error != QJsonParseError::NoError)
    throw std::runtime_error(where + ": " + error.errorString().toStdString() + " at offset " +
                             std::to_string(error.offset));
  return Value(doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object()));
}

inline Value Parse(std::string_view text) {
  return ParseBytes(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}

inline Value ParseFile(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) throw std::runtime_error("json: cannot read '" + path + "'");
  return ParseBytes(f.readAll(), "json in '" + path + "'");
}

}  // namespace jsonread
