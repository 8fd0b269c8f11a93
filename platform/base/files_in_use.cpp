// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/base/files_in_use.h"

#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

namespace platform {

namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SameInode(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

using Files = std::map<std::string, std::string>;
Files& FilesRead() {
  static Files files;
  return files;
}
Files& FilesWritten() {
  static Files files;
  return files;
}

void Set(Files& files, const std::string& role, const std::string& path) {
  if (path.empty())
    files.erase(role);
  else
    files[role] = path;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

bool SameFile(const std::string& input, const std::string& output) {
  struct stat in {
  }, out{};
  if (::stat(input.c_str(), &in) != 0) return false;
  if (::stat(output.c_str(), &out) == 0) return SameInode(in, out);
  // Not there yet: the same file only if it is the input's own name in the
  // input's own folder (another link to it would exist already).
  struct stat in_folder {
  }, out_folder{};
  return ::stat(FolderOf(input).c_str(), &in_folder) == 0 &&
         ::stat(FolderOf(output).c_str(), &out_folder) == 0 && SameInode(in_folder, out_folder) &&
         NameOf(input) == NameOf(output);
}

int CheckOutputPath(const std::string& path) {
  if (path.empty() || path.back() == '/') return EISDIR;
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return EISDIR;
  const std::string folder = FolderOf(path);
  struct stat fs {};
  if (::stat(folder.c_str(), &fs) != 0) return errno;
  if (!S_ISDIR(fs.st_mode)) return ENOTDIR;
  // Files there are the kernel's, not the user's: a dialog there would read
  // the type of each of them.
  struct statfs kind {};
  if (::statfs(folder.c_str(), &kind) == 0 &&
      (kind.f_type == PROC_SUPER_MAGIC || kind.f_type == SYSFS_MAGIC))
    return EOPNOTSUPP;
  // A pipe or a device is written as it is, wherever it lives.
  if (exists && !S_ISREG(st.st_mode)) return 0;
  struct statvfs mount {};
  if (::statvfs(folder.c_str(), &mount) == 0 && (mount.f_flag & ST_RDONLY)) return EROFS;
  if (::access(exists ? path.c_str() : folder.c_str(), W_OK) != 0) return errno;
  return 0;
}

std::string OutputPathReason(int error) {
  if (error == EOPNOTSUPP) return "a system folder, which holds no files of the user";
  return std::strerror(error);
}

std::string CheckInputPath(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return "a folder, not a file";
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "a device, not a file";
  if (::access(path.c_str(), R_OK) != 0) return std::strerror(errno);
  return {};
}

void SetFileRead(const std::string& role, const std::string& path) { Set(FilesRead(), role, path); }
void SetFileWritten(const std::string& role, const std::string& path) {
  Set(FilesWritten(), role, path);
}

FileRead InputThatIs(const std::string& output) {
  for (const auto& [role, path] : FilesRead())
    if (SameFile(path, output)) return {role, path};
  return {};
}

FileRead OutputThatIs(const std::string& input) {
  for (const auto& [role, path] : FilesWritten())
    if (SameFile(input, path)) return {role, path};
  return {};
}

std::string FileOfSource(const std::string& source, std::string* channel) {
  std::string rest;
  if (source.rfind("file:", 0) == 0 || source.rfind("wav:", 0) == 0)
    rest = source.substr(source.find(':') + 1);
  else
    return {};
  if (channel) channel->clear();
  const std::size_t last = rest.rfind(':');
  if (last == std::string::npos) return rest;
  const std::string head = rest.substr(0, last), tail = rest.substr(last + 1);
  const bool digits = !tail.empty() && tail.find_first_not_of("0123456789") == std::string::npos;
  if (!digits && (Exists(rest) || !Exists(head))) return rest;
  if (channel) *channel = tail;
  return head;
}

}  // namespace platform
