// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/virtual/decoder_messages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

namespace platform {

DecoderMessages::DecoderMessages() {
  std::fflush(stderr);
  catcher_ = memfd_create("decoder-messages", MFD_CLOEXEC);
  if (catcher_ < 0) return;
  saved_ = dup(STDERR_FILENO);
  if (saved_ < 0 || dup2(catcher_, STDERR_FILENO) < 0) {
    if (saved_ >= 0) close(saved_);
    close(catcher_);
    saved_ = catcher_ = -1;
  }
}

DecoderMessages::~DecoderMessages() { Take(); }

std::vector<std::string> DecoderMessages::Take() {
  std::vector<std::string> lines;
  if (saved_ < 0) return lines;
  std::fflush(stderr);
  dup2(saved_, STDERR_FILENO);
  close(saved_);
  saved_ = -1;
  // A decoder has little to say; more than this is cut.
  char text[8192];
  const ssize_t n = pread(catcher_, text, sizeof text, 0);
  close(catcher_);
  catcher_ = -1;
  std::string line;
  for (ssize_t i = 0; i < n; ++i) {
    if (text[i] != '\n') {
      line += text[i];
    } else if (!line.empty()) {
      lines.push_back(line);
      line.clear();
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace platform
