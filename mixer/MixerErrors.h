// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The exceptions the mixer raises when it cannot be opened or given a
// device; their messages are the English texts the user sees.
#include <stdexcept>
#include <string>

class EMixerID : public std::runtime_error {
 public:
  explicit EMixerID(const std::string& Message) : std::runtime_error(Message) {}
};

class EMixerCaps : public std::runtime_error {
 public:
  explicit EMixerCaps(const std::string& Message) : std::runtime_error(Message) {}
};

class EMixerOpen : public std::runtime_error {
 public:
  explicit EMixerOpen(const std::string& Message) : std::runtime_error(Message) {}
};
