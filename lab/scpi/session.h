// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One client's conversation: the bytes it sends cut into lines (messages),
// their units run in order by the instrument's commands, the answers of a
// message's queries joined by ';' on one line, and its error queue. A
// command may wait (for a sweep, for the first reading): the session then
// holds the rest until it is tried again. Unread input and a line are
// bounded: past them the session asks to be closed.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "lab/scpi/errors.h"
#include "lab/scpi/parser.h"

namespace scpi {

// What a command did: done (its answer, or an error), or it waits for the
// instrument and must be run again later.
enum class Outcome { kDone, kWait };

struct Answer {
  std::string data;            // a query's response data
  std::optional<Fault> error;  // into the error queue; a query answers only if data is left
};

class Commands {
 public:
  virtual ~Commands() = default;
  virtual Outcome Run(const Unit& unit, Answer& answer) = 0;
};

class Session {
 public:
  static constexpr std::size_t kMaxLine = 64 * 1024;
  static constexpr std::size_t kMaxUnread = 1024 * 1024;

  explicit Session(Commands& commands) : commands_(commands) {}

  // Bytes received. False when the connection must close: a line longer
  // than kMaxLine or more than kMaxUnread bytes not yet run; the output then
  // ends with the error that says so.
  bool Receive(std::string_view bytes);
  // Runs what was received until a command waits, nothing is left or
  // `budget` units ran; true when more could run at once.
  bool Work(int budget);
  // The answers so far, taken.
  std::string TakeOutput();
  bool Waiting() const { return waiting_; }
  const ErrorQueue& Errors() const { return errors_; }

 private:
  bool NextMessage();
  Outcome RunUnit(const Unit& unit, Answer& answer);

  Commands& commands_;
  ErrorQueue errors_;
  std::string input_;
  std::size_t input_start_ = 0;  // input_ before it has been taken
  std::size_t line_length_ = 0;  // of the line being received
  bool closed_ = false;
  std::optional<Message> message_;  // the message being run
  std::size_t next_unit_ = 0;
  std::string answers_;  // of the message being run
  bool answered_ = false;
  bool waiting_ = false;
  std::string output_;
};

}  // namespace scpi
