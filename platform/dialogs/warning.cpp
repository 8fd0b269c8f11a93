// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dialogs/warning.h"

#include <QMessageBox>

namespace platform {

void ShowWarning(QWidget* parent, const QString& title, const QString& text) {
  auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

}  // namespace platform
