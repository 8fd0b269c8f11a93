// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A file dialog for saving whose question before replacing a file is opened
// as the dialog itself is, with Qt's own words and buttons. Qt's question
// runs an event loop of its own, and while it waits the instrument's idle
// steps and a script's lines stop.
#include <QFileDialog>
#include <functional>

namespace platform {

class SaveDialog : public QFileDialog {
 public:
  SaveDialog(QWidget* parent, const QString& title, const QString& path, const QString& filter);

 protected:
  void accept() override;

 private:
  bool replace_ = false;  // the user said yes to replacing the file
};

// Opens a SaveDialog at `path` (its suffix the default) without waiting for
// it; `chosen` gets the file the user accepts.
void AskSaveFile(QWidget* parent, const QString& title, const QString& path,
                 const QString& filter, std::function<void(const QString&)> chosen);

}  // namespace platform
