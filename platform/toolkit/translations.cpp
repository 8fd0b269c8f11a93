// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace platform {

bool LoadQtTranslations() {
  // Lives as long as the application it is installed in.
  auto* czech = new QTranslator(QCoreApplication::instance());
  if (!czech->load(QStringLiteral("qtbase_cs"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete czech;
    return false;
  }
  return QCoreApplication::installTranslator(czech);
}

}  // namespace platform
