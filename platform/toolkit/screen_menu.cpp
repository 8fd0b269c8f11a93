// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/screen_menu.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QShortcut>
#include <functional>

#include "platform/toolkit/screen_export.h"

namespace platform {

ScreenMenu::ScreenMenu(TForm* form, QWidget* window)
    : QObject(window), form_(form), window_(window), menu_(new QMenu(window)), folder_(QDir::homePath()) {
  menu_->addAction(QStringLiteral("Uložit obrázek…"), this, [this] { SavePictureAs(); });
  menu_->addAction(QStringLiteral("Kopírovat obrázek"), this, [this] { CopyPicture(*form_); });
  menu_->addAction(QStringLiteral("Uložit data…"), this, [this] { SaveDataAs(); });
  record_ = menu_->addAction(QString(), this, [this] { RecordOrStop(); });
  const auto key = [&](QKeySequence keys, std::function<void()> fn) {
    QObject::connect(new QShortcut(keys, window), &QShortcut::activated, this, std::move(fn));
  };
  key(QKeySequence(QStringLiteral("Ctrl+S")), [this] { SavePictureAs(); });
  key(QKeySequence(QStringLiteral("Ctrl+Shift+S")), [this] { SaveDataAs(); });
  key(QKeySequence::Copy, [this] { CopyPicture(*form_); });
}

ScreenMenu::~ScreenMenu() = default;

void ScreenMenu::Popup(QPoint global) {
  record_->setText(InputRecordingActive() ? QStringLiteral("Ukončit nahrávání")
                                          : QStringLiteral("Nahrávat vstup…"));
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
  auto* dialog = new QFileDialog(window_, title, QDir(folder_).filePath(name), filter);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setDefaultSuffix(QFileInfo(name).suffix());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(dialog, &QFileDialog::fileSelected, this, [this, chosen](const QString& file) {
    folder_ = QFileInfo(file).absolutePath();
    chosen(file.toStdString());
  });
  dialog->open();
}

void ScreenMenu::Tell(const WriteFailure& failure) {
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("osciloskop"),
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
