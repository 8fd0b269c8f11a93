#include "platform/toolkit/fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QString>
#include <QStringList>
#include <cstdlib>

namespace platform {

namespace {
constexpr const char* kFontFile = "DejaVuSans-Bold.ttf";

const char* const kFontDirs[] = {
    "/usr/share/fonts/truetype/dejavu",
    "/usr/share/fonts/dejavu",
    "/usr/share/fonts/TTF",
    "/usr/local/share/fonts",
};

QString& Family() {
  static QString family;
  return family;
}
}  // namespace

std::string LoadUiFont() {
  if (!Family().isEmpty()) return {};
  QStringList dirs;
  if (const char* env = std::getenv("OSCILOSKOP_FONT_DIR")) dirs << QString::fromUtf8(env);
  for (const char* d : kFontDirs) dirs << QString::fromUtf8(d);
  for (const QString& dir : dirs) {
    int id = QFontDatabase::addApplicationFont(dir + "/" + kFontFile);
    if (id < 0) continue;
    QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) continue;
    QFont probe(families.front());
    probe.setPixelSize(11);
    // A font that maps these letters to boxes would draw unreadable labels.
    QFontMetrics fm(probe);
    if (!fm.inFont(QChar(u'Ě')) || !fm.inFont(QChar(u'8'))) continue;
    Family() = families.front();
    return {};
  }
  return std::string("font ") + kFontFile +
         " (DejaVu Sans Bold) not found in /usr/share/fonts/truetype/dejavu; install the Debian "
         "package fonts-dejavu-core or set OSCILOSKOP_FONT_DIR";
}

QFont UiFont(int pixel_size, bool bold) {
  QFont f(Family());
  f.setPixelSize(pixel_size > 0 ? pixel_size : 1);
  f.setBold(bold);
  f.setStyleStrategy(QFont::NoAntialias);
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

}  // namespace platform
