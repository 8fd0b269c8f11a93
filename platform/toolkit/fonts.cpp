// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QString>
#include <QStringList>
#include <cstdlib>

namespace platform {

namespace {
constexpr const char* kPackage = "fonts-liberation2";
constexpr const char* kFamily = "Liberation Sans";

struct Face {
  const char* file;
  const char* name;
  bool bold;
};
constexpr Face kFaces[] = {
    {"LiberationSans-Bold.ttf", "Liberation Sans Bold", true},
    {"LiberationSans-Regular.ttf", "Liberation Sans Regular", false},
};

const char* const kFontDirs[] = {
    "/usr/share/fonts/truetype/liberation2",  // Debian, Ubuntu: fonts-liberation2
    "/usr/share/fonts/truetype/liberation",   // Debian's older fonts-liberation
    "/usr/share/fonts/liberation-sans",       // Fedora
    "/usr/share/fonts/liberation",
    "/usr/share/fonts/TTF",  // Arch
    "/usr/local/share/fonts",
};

// Every letter the form, its menu and its canvas draw beyond ASCII.
const char16_t kProbe[] = u"ěščřžýáíéúůťďňĚŠČŘŽÝÁÍÉÚŮ8";

QString& Family() {
  static QString family;
  return family;
}

// The family of the face in `dir`, or empty if the file is missing, is not
// that face of Liberation Sans or lacks a letter of the interface.
QString LoadFace(const QString& dir, const Face& face) {
  const int id = QFontDatabase::addApplicationFont(dir + "/" + face.file);
  if (id < 0) return {};
  const QStringList families = QFontDatabase::applicationFontFamilies(id);
  if (families.isEmpty() || families.front() != QLatin1String(kFamily)) return {};
  QFont probe(families.front());
  probe.setPixelSize(11);
  probe.setBold(face.bold);
  // The database may answer with another font of that name: it must be a
  // face of this family with these letters.
  if (QFontInfo(probe).family() != families.front() || QFontInfo(probe).bold() != face.bold)
    return {};
  const QFontMetrics fm(probe);
  for (const char16_t* c = kProbe; *c; ++c)
    if (!fm.inFont(QChar(*c))) return {};
  return families.front();
}
}  // namespace

std::string LoadUiFont() {
  if (!Family().isEmpty()) return {};
  // OSCILOSKOP_FONT_DIR names the one folder to look in.
  QStringList dirs;
  if (const char* env = std::getenv("OSCILOSKOP_FONT_DIR"); env && *env)
    dirs << QString::fromUtf8(env);
  else
    for (const char* d : kFontDirs) dirs << QString::fromUtf8(d);
  std::string missing;
  QString family;
  for (const Face& face : kFaces) {
    QString found;
    for (const QString& dir : dirs)
      if (!(found = LoadFace(dir, face)).isEmpty()) break;
    if (found.isEmpty()) {
      missing += std::string(missing.empty() ? "" : " and ") + face.file + " (" + face.name + ")";
    } else if (family.isEmpty()) {
      family = found;
    }
  }
  if (!missing.empty())
    return "font " + missing + " not found in " + dirs.join(", ").toStdString() +
           "; install the Debian package " + kPackage +
           " or set OSCILOSKOP_FONT_DIR to the folder that has it";
  Family() = family;
  return {};
}

QFont UiFont(int pixel_size, bool bold) {
  QFont f(Family());
  f.setPixelSize(pixel_size > 0 ? pixel_size : 1);
  f.setBold(bold);
  // Vertical hinting only keeps the design's advance widths, for which the
  // form was laid out (full hinting widens each letter to whole pixels).
  // Letters then fall between pixels, so their edges are smoothed in grey
  // (without it the gaps between them look uneven; colour fringes would
  // depend on the desktop's screen settings). The rendering is fixed by the
  // font file and FreeType, so a picture is the same on every run.
  f.setHintingPreference(QFont::PreferVerticalHinting);
  f.setStyleStrategy(
      static_cast<QFont::StyleStrategy>(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
  return f;
}

}  // namespace platform
