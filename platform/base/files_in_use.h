// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The files a run reads and writes: an output is never one of its inputs
// (compared by device and inode, so also through links), a file to write
// is checked before anything is created or truncated, and a file to read
// is a file, not a folder or a device.
#include <string>

namespace platform {

// Whether the two paths name the same file; `output` may not exist yet
// (then its folder and name are compared).
bool SameFile(const std::string& input, const std::string& output);

// Whether `path` can be written without touching it: 0, or an errno
// (EISDIR, ENOENT for a missing folder, ENOTDIR, EACCES, EROFS for a
// read-only mount, EOPNOTSUPP for a system folder like /proc or /sys).
int CheckOutputPath(const std::string& path);
// The English words for CheckOutputPath's answer.
std::string OutputPathReason(int error);

// A file to read: empty, or why not ("a folder, not a file", "a device, not
// a file", the system's reason).
std::string CheckInputPath(const std::string& path);

// The files being read, each under its role ("--signal-r", "the script");
// an empty path lets go of the role.
void SetFileRead(const std::string& role, const std::string& path);
// The role and path of an input that `output` is, or empty.
struct FileRead {
  std::string role, path;
  explicit operator bool() const { return !path.empty(); }
};
FileRead InputThatIs(const std::string& output);

// The file a signal source reads ("file:FILE[:CHANNEL]", "wav:..."), or
// empty; `channel` gets the channel's text. A trailing ":N" of digits is the
// channel; another trailing ":TEXT" is a bad channel when the file without
// it exists, else part of the name.
std::string FileOfSource(const std::string& source, std::string* channel = nullptr);

// The files written, each under its role, as SetFileRead; the role and path
// of an output that `input` is, or empty.
void SetFileWritten(const std::string& role, const std::string& path);
FileRead OutputThatIs(const std::string& input);

}  // namespace platform
