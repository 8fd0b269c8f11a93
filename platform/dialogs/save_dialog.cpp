// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dialogs/save_dialog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace platform {

SaveDialog::SaveDialog(QWidget* parent, const QString& title, const QString& path,
                       const QString& filter)
    : QFileDialog(parent, title, path, filter) {
  setAcceptMode(AcceptSave);
  setOption(DontConfirmOverwrite);
}

void SaveDialog::accept() {
  const QStringList files = selectedFiles();
  const QFileInfo file(files.isEmpty() ? QString() : files.front());
  if (replace_ || files.size() != 1 || !file.exists() || file.isDir()) {
    replace_ = false;
    QFileDialog::accept();
    return;
  }
  auto* box = new QMessageBox(
      QMessageBox::Warning, windowTitle(),
      QCoreApplication::translate("QFileDialog", "%1 already exists.\nDo you want to replace it?")
          .arg(file.fileName()),
      QMessageBox::Yes | QMessageBox::No, this);
  box->setDefaultButton(QMessageBox::No);
  box->setAttribute(Qt::WA_DeleteOnClose);
  connect(box, &QMessageBox::finished, this, [this, box] {
    if (box->standardButton(box->clickedButton()) != QMessageBox::Yes) {
      // Back to the dialog for its keys: with no window manager nothing else
      // gives it the focus.
      activateWindow();
      return;
    }
    replace_ = true;
    accept();
  });
  box->open();
}

void AskSaveFile(QWidget* parent, const QString& title, const QString& path,
                 const QString& filter, std::function<void(const QString&)> chosen) {
  auto* dialog = new SaveDialog(parent, title, path, filter);
  dialog->setDefaultSuffix(QFileInfo(path).suffix());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(dialog, &QFileDialog::fileSelected, dialog, std::move(chosen));
  dialog->open();
}

}  // namespace platform
