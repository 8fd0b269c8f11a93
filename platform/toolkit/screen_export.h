// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the user keeps of a measurement from the window: the picture of the
// client area as shown (a PNG file, or the clipboard), the data the screen
// shows as CSV, and the card's input recorded into a WAV file as
// --record-input does. A file that cannot be written is named with the
// reason, never half written in silence.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class TForm;

// A file that could not be written: its name and why.
struct WriteFailure {
  std::string path;
  int error = 0;       // errno, where there is one
  std::string reason;  // the system's or the library's words
  std::string input;   // the file being read that the path is, if that is why
  // "cannot write 'PATH': REASON", for scripts and stderr.
  std::string Text() const;
  // The same in Czech, for the window.
  std::string CzechText() const;
};
using WriteResult = std::optional<WriteFailure>;

// Whether `path` may be written, checked before it is touched: a folder
// that can hold it, and not a file the run reads.
WriteResult CheckWritable(const std::string& path);
// The whole file at once; a short write (a full disk) is a failure too, and
// a pipe without a reader is refused, not waited on.
WriteResult WriteFile(const std::string& path, std::string_view data);
// The client area as shown, or with `menu_bar` the menu bar above it too.
WriteResult SavePicture(TForm& form, const std::string& path, bool menu_bar = false);
void CopyPicture(TForm& form);
WriteResult SaveData(const TForm& form, const std::string& path);
// The CSV that SaveData writes: '#' lines with the date and time (`when`),
// the readouts and the sample rate, then one row a frame: time in ms, the
// sample of R (the card's left input) and of L, as plain integers.
std::string ShownDataCsv(const TForm& form, const std::string& when);

// Recording the input from the window, on the card in use. A file that can be written replaces a
// recording under way; one that cannot leaves it going.
WriteResult StartInputRecording(const std::string& path);
void StopInputRecording();
bool InputRecordingActive();

}  // namespace platform
