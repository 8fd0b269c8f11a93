// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/screen_menu.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QShortcut>
#include <functional>

#include "platform/dialogs/save_dialog.h"
#include "platform/toolkit/screen_export.h"

namespace platform {

namespace {
struct ExtraEntry {
  std::string text, keys;
  std::function<void()> action;
};
std::vector<ExtraEntry>& ExtraEntries() {
  static std::vector<ExtraEntry> entries;
  return entries;
}
}  // namespace

void AddScreenMenuEntry(const std::string& text, const std::string& keys,
                        std::function<void()> action) {
  ExtraEntries().push_back({text, keys, std::move(action)});
}

ScreenMenu::ScreenMenu(TForm* form, QWidget* window)
    : QObject(window),
      form_(form),
      window_(window),
      menu_(new QMenu(window)),
      folder_(QDir::homePath()) {
  const auto entry = [&](const QString& text, QKeySequence keys, std::function<void()> fn) {
    QAction* a = menu_->addAction(text, this, fn);
    if (keys.isEmpty()) return a;
    // Shown in the menu; the window's own shortcut does the work (the
    // menu's action only acts while the menu is open).
    a->setShortcut(keys);
    a->setShortcutVisibleInContextMenu(true);
    QObject::connect(new QShortcut(keys, window), &QShortcut::activated, this, std::move(fn));
    return a;
  };
  entry(QStringLiteral("Uložit obrázek…"), QKeySequence(QStringLiteral("Ctrl+S")),
        [this] { SavePictureAs(); });
  entry(QStringLiteral("Kopírovat obrázek"), QKeySequence::Copy, [this] { CopyPicture(*form_); });
  entry(QStringLiteral("Uložit data…"), QKeySequence(QStringLiteral("Ctrl+Shift+S")),
        [this] { SaveDataAs(); });
  record_ = entry(QString(), QKeySequence(), [this] { RecordOrStop(); });
  for (const ExtraEntry& e : ExtraEntries())
    entry(QString::fromStdString(e.text), QKeySequence(QString::fromStdString(e.keys)), e.action);
}

ScreenMenu::~ScreenMenu() = default;

void ScreenMenu::Popup(QPoint global) {
  record_->setText(InputRecordingActive() ? QStringLiteral("Ukončit nahrávání")
                                          : QStringLiteral("Nahrávat vstup…"));
  // Drawn in the window's typeface, as the menu bar.
  QFont font = window_->font();
  font.setBold(false);
  menu_->setFont(font);
  menu_->popup(global);
}

std::vector<std::string> ScreenMenu::OpenEntries() const {
  std::vector<std::string> entries;
  if (!menu_->isVisible()) return entries;
  for (const QAction* a : menu_->actions()) entries.push_back(a->text().toStdString());
  return entries;
}

void ScreenMenu::AskFile(const QString& title, const QString& filter, const QString& name,
                         std::function<void(const std::string&)> chosen) {
  AskSaveFile(window_, title, QDir(folder_).filePath(name), filter,
              [this, chosen](const QString& file) {
                // A folder that cannot hold the file (/proc: the next dialog
                // would read the type of every file there) or a file being
                // read is refused and not remembered.
                if (WriteResult refused = CheckWritable(file.toStdString())) {
                  Tell(*refused);
                  return;
                }
                folder_ = QFileInfo(file).absolutePath();
                chosen(file.toStdString());
              });
}

void ScreenMenu::Tell(const WriteFailure& failure) {
  auto* box =
      new QMessageBox(QMessageBox::Warning, QStringLiteral("osciloskop"),
                      QString::fromStdString(failure.CzechText()), QMessageBox::Ok, window_);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void ScreenMenu::SavePictureAs() {
  AskFile(QStringLiteral("Uložit obrázek"), QStringLiteral("Obrázek PNG (*.png)"),
          QStringLiteral("osciloskop.png"), [this](const std::string& path) {
            if (WriteResult failed = SavePicture(*form_, path)) Tell(*failed);
          });
}

void ScreenMenu::SaveDataAs() {
  AskFile(QStringLiteral("Uložit data"), QStringLiteral("Data CSV (*.csv)"),
          QStringLiteral("osciloskop.csv"), [this](const std::string& path) {
            if (WriteResult failed = SaveData(*form_, path)) Tell(*failed);
          });
}

void ScreenMenu::RecordOrStop() {
  if (InputRecordingActive()) {
    StopInputRecording();
    return;
  }
  AskFile(QStringLiteral("Nahrávat vstup"), QStringLiteral("Zvuk WAV (*.wav)"),
          QStringLiteral("osciloskop.wav"), [this](const std::string& path) {
            if (WriteResult failed = StartInputRecording(path)) Tell(*failed);
          });
}

}  // namespace platform
