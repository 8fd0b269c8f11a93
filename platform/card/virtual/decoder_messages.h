// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a decoding library writes to stderr by itself while a sound file is
// read (libsndfile's MP3 decoder warns there, unprefixed): caught for the
// reader to pass on with the file's name, or to drop where the file is
// refused anyway. Catches while it lives; fd 2 is back afterwards.
#include <string>
#include <vector>

namespace platform {

class DecoderMessages {
 public:
  DecoderMessages();
  ~DecoderMessages();
  DecoderMessages(const DecoderMessages&) = delete;
  DecoderMessages& operator=(const DecoderMessages&) = delete;

  // Puts stderr back and returns the lines written meanwhile.
  std::vector<std::string> Take();

 private:
  int saved_ = -1;    // the real stderr
  int catcher_ = -1;  // an anonymous file in memory
};

}  // namespace platform
