// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/screen_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>

#include "platform/base/files_in_use.h"
#include "platform/base/printable.h"
#include "platform/card/cards.h"
#include "platform/toolkit/form.h"
#include "platform/toolkit/form_window.h"

namespace platform {

namespace {

WriteFailure Failure(const std::string& path, int error) {
  return {path, error, std::strerror(error), {}};
}

std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string WriteFailure::Text() const {
  return "cannot write '" + PrintableText(path) + "': " + PrintableText(reason);
}

std::string WriteFailure::CzechText() const {
  std::string why;
  switch (error) {
    case EACCES:
    case EPERM:
      why = "přístup odepřen";
      break;
    case ENOENT:
      why = "složka neexistuje";
      break;
    case ENOTDIR:
      why = "část cesty není složka";
      break;
    case EISDIR:
      why = "je to složka";
      break;
    case ENOSPC:
      why = "na disku není místo";
      break;
    case EROFS:
      why = "svazek je jen pro čtení";
      break;
    case EDQUOT:
      why = "překročena kvóta";
      break;
    case ENAMETOOLONG:
      why = "název je příliš dlouhý";
      break;
    case EOPNOTSUPP:
      why = "do systémové složky nelze ukládat soubory";
      break;
    default:
      why = reason;
  }
  if (!input.empty()) why = "je to soubor, ze kterého se čte („" + input + "“)";
  return "Soubor „" + PrintableText(path) + "“ nelze zapsat: " + PrintableText(why) + ".";
}

WriteResult CheckWritable(const std::string& path) {
  if (int error = CheckOutputPath(path))
    return WriteFailure{path, error, OutputPathReason(error), {}};
  if (FileRead read = InputThatIs(path))
    return WriteFailure{
        path, 0, "it is the file read by " + read.role + " ('" + PrintableText(read.path) + "')",
        read.path};
  return std::nullopt;
}

WriteResult WriteFile(const std::string& path, std::string_view text) {
  if (WriteResult refused = CheckWritable(path)) return refused;
  const char* data = text.data();
  const std::size_t size = text.size();
  // Not blocking: a pipe without a reader is refused, not waited on.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) return Failure(path, errno);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;
      close(fd);
      return Failure(path, error);
    }
    done += static_cast<std::size_t>(n);
  }
  if (close(fd) != 0) return Failure(path, errno);
  return std::nullopt;
}

WriteResult SavePicture(TForm& form, const std::string& path, bool menu_bar) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!QImageWriter(&buffer, "png").write(ClientPicture(form, menu_bar)))
    return WriteFailure{path, 0, "the picture cannot be made into a PNG", {}};
  return WriteFile(path, std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
}

void CopyPicture(TForm& form) { QGuiApplication::clipboard()->setImage(ClientPicture(form)); }

std::string ShownDataCsv(const TForm& form, const std::string& when) {
  const std::vector<std::int32_t>& samples = form.ShownSamples();
  const int rate = form.ShownRate() > 0 ? form.ShownRate() : 44100;
  std::string csv = "# osciloskop: data obrazovky\n# datum a čas: " + when + "\n";
  for (const ShownReadout& r : form.Readouts())
    csv += "# " + r.label + ": " + Trimmed(r.text) + "\n";
  csv += "# vzorkování: " + std::to_string(rate) + " Hz\n# čas [ms],UR (R),IL (L)\n";
  csv.reserve(csv.size() + samples.size() * 12);
  char line[64];
  for (std::size_t frame = 0; 2 * frame + 1 < samples.size(); ++frame) {
    // The point is the decimal separator whatever the locale.
    char* at =
        std::to_chars(line, line + 24, frame * 1000.0 / rate, std::chars_format::fixed, 4).ptr;
    *at++ = ',';
    at = std::to_chars(at, at + 12, samples[2 * frame]).ptr;
    *at++ = ',';
    at = std::to_chars(at, at + 12, samples[2 * frame + 1]).ptr;
    *at++ = '\n';
    csv.append(line, at);
  }
  return csv;
}

WriteResult SaveData(const TForm& form, const std::string& path) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char when[32];
  std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
  const std::string csv = ShownDataCsv(form, when);
  return WriteFile(path, csv);
}

WriteResult StartInputRecording(const std::string& path) {
  // A file that cannot be opened is refused with the system's reason, and
  // a recording under way goes on; one that can replaces it.
  if (WriteResult refused = CheckWritable(path)) return refused;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) return Failure(path, errno);
  close(fd);
  StopInputRecording();
  std::string why = TheCard().StartRecording(path);
  if (why.empty()) return std::nullopt;
  // The writer names the file itself: its reason is what is kept.
  const std::string named = "cannot write '" + PrintableText(path) + "': ";
  if (why.rfind(named, 0) == 0) why.erase(0, named.size());
  return WriteFailure{path, 0, why, {}};
}

void StopInputRecording() { TheCard().StopRecording(); }

bool InputRecordingActive() { return TheCard().Recording(); }

}  // namespace platform
