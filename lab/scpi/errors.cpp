// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/scpi/errors.h"

#include "lab/scpi/response.h"

namespace scpi {

const char* ErrorText(int code) {
  switch (code) {
    case 0:
      return "No error";
    case -100:
      return "Command error";
    case -101:
      return "Invalid character";
    case -102:
      return "Syntax error";
    case -103:
      return "Invalid separator";
    case -104:
      return "Data type error";
    case -108:
      return "Parameter not allowed";
    case -109:
      return "Missing parameter";
    case -112:
      return "Program mnemonic too long";
    case -113:
      return "Undefined header";
    case -120:
      return "Numeric data error";
    case -121:
      return "Invalid character in number";
    case -123:
      return "Exponent too large";
    case -131:
      return "Invalid suffix";
    case -134:
      return "Suffix too long";
    case -141:
      return "Invalid character data";
    case -144:
      return "Character data too long";
    case -151:
      return "Invalid string data";
    case -200:
      return "Execution error";
    case -221:
      return "Settings conflict";
    case -222:
      return "Data out of range";
    case -224:
      return "Illegal parameter value";
    case -230:
      return "Data corrupt or stale";
    case -241:
      return "Hardware missing";
    case -350:
      return "Queue overflow";
    case -363:
      return "Input buffer overrun";
    default:
      return "Error";
  }
}

void ErrorQueue::Push(int code, std::string_view detail) {
  if (entries_.size() >= kCapacity) {
    entries_.back() = Integer(-350) + "," + Quoted(ErrorText(-350));
    return;
  }
  std::string text = ErrorText(code);
  // A whole entry stays within the 255 characters a client may expect,
  // its quotes doubled.
  if (!detail.empty()) text += ";" + Ascii(detail.substr(0, 100));
  entries_.push_back(Integer(code) + "," + Quoted(text));
}

std::string ErrorQueue::Next() {
  if (entries_.empty()) return "0," + Quoted(ErrorText(0));
  std::string e = std::move(entries_.front());
  entries_.pop_front();
  return e;
}

}  // namespace scpi
