// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/scpi/session.h"

#include "lab/scpi/response.h"

namespace scpi {

bool Session::Receive(std::string_view bytes) {
  if (closed_) return false;
  bool too_long = false;
  for (char c : bytes) {
    line_length_ = c == '\n' ? 0 : line_length_ + 1;
    too_long = too_long || line_length_ > kMaxLine;
  }
  input_.append(bytes);
  std::string refused;
  if (too_long)
    refused = "a line longer than " + std::to_string(kMaxLine) + " bytes";
  else if (input_.size() - input_start_ > kMaxUnread)
    refused = "more than " + std::to_string(kMaxUnread) + " bytes sent and not yet run";
  if (refused.empty()) return true;
  errors_.Push(-363, refused + "; the connection is closed");
  output_ += errors_.Next() + "\n";
  closed_ = true;
  input_.clear();
  input_start_ = 0;
  message_.reset();
  return false;
}

bool Session::NextMessage() {
  const std::size_t end = input_.find('\n', input_start_);
  if (end == std::string::npos) return false;
  std::string_view line(input_.data() + input_start_, end - input_start_);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  message_ = ParseMessage(line);
  input_start_ = end + 1;
  // Taken input is let go of now and then, not byte by byte.
  if (input_start_ > 4096 && input_start_ * 2 > input_.size()) {
    input_.erase(0, input_start_);
    input_start_ = 0;
  }
  next_unit_ = 0;
  answers_.clear();
  answered_ = false;
  return true;
}

Outcome Session::RunUnit(const Unit& u, Answer& a) {
  // The error queue is the session's own.
  if (Matches("*CLS", u) && !u.query) {
    errors_.Clear();
  } else if (Matches("SYSTem:ERRor[:NEXT]", u) && u.query) {
    a.data = errors_.Next();
  } else if (Matches("SYSTem:ERRor:COUNt", u) && u.query) {
    a.data = Integer(static_cast<std::int64_t>(errors_.Count()));
  } else {
    return commands_.Run(u, a);
  }
  if (!u.args.empty()) a = Answer{{}, Fault{-108, u.Header() + " takes no argument"}};
  return Outcome::kDone;
}

bool Session::Work(int budget) {
  if (closed_) return false;
  for (int ran = 0; ran < budget;) {
    if (!message_ && !NextMessage()) {
      waiting_ = false;
      return false;
    }
    if (next_unit_ < message_->units.size()) {
      const Unit& u = message_->units[next_unit_];
      Answer a;
      ++ran;
      if (RunUnit(u, a) == Outcome::kWait) {
        waiting_ = true;
        return false;
      }
      waiting_ = false;
      if (a.error) errors_.Push(a.error->code, a.error->detail);
      // An answer that comes with a warning (a sweep that left points out).
      if (u.query && (!a.error || !a.data.empty())) {
        answers_ += (answered_ ? ";" : "") + a.data;
        answered_ = true;
      }
      ++next_unit_;
      continue;
    }
    if (message_->fault) errors_.Push(message_->fault->code, message_->fault->detail);
    if (answered_) output_ += answers_ + "\n";
    message_.reset();
  }
  return true;
}

std::string Session::TakeOutput() {
  std::string out;
  out.swap(output_);
  return out;
}

}  // namespace scpi
