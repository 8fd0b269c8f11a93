// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Internal to the toolkit: the screen's own context menu, opened by a right
// click on the canvas where no control lies, and its keys. It keeps what is
// measured (screen_export.h): the picture as a PNG file or on the
// clipboard, the data the screen shows as CSV, the input recorded into a
// WAV file. A file is chosen in Qt's dialog (a desktop portal's where there
// is one); a file that cannot be written is told in a message box. The
// instrument's controls, menu and handlers know nothing of it.
#include <QObject>
#include <QPoint>
#include <functional>
#include <string>
#include <vector>

class QMenu;
class QAction;
class QWidget;

namespace platform {

class TForm;
struct WriteFailure;

// An entry of a layer above (the measuring instrument) at the end of every
// screen menu made from now on, with its key (as QKeySequence reads it).
void AddScreenMenuEntry(const std::string& text, const std::string& keys,
                        std::function<void()> action);

class ScreenMenu final : public QObject {
 public:
  // The keys (Ctrl+S the picture, Ctrl+Shift+S the data, Ctrl+C a copy of
  // the picture) belong to `window`, where a focused control that uses the
  // key keeps it.
  ScreenMenu(TForm* form, QWidget* window);
  ~ScreenMenu() override;

  void Popup(QPoint global);
  // The entries while the menu is open, else none.
  std::vector<std::string> OpenEntries() const;

 private:
  void SavePictureAs();
  void SaveDataAs();
  void RecordOrStop();
  // A file chosen in a save dialog that does not hold up the window's loop.
  void AskFile(const QString& title, const QString& filter, const QString& name,
               std::function<void(const std::string&)> chosen);
  void Tell(const WriteFailure& failure);

  TForm* form_;
  QWidget* window_;
  QMenu* menu_;
  QAction* record_;
  QString folder_;
};

}  // namespace platform
