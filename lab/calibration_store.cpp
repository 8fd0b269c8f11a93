// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/calibration_store.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <cmath>

namespace lab {

namespace {

// A group name QSettings keeps as it is.
QString GroupOf(const std::string& card) {
  QString g = QString::fromStdString(card);
  for (QChar& c : g)
    if (!c.isLetterOrNumber()) c = u'_';
  return g.isEmpty() ? QStringLiteral("card") : g;
}

bool ReadNumber(const QSettings& s, const char* key, double low, double high, double& out) {
  const QVariant v = s.value(QLatin1String(key));
  if (!v.isValid()) return true;  // not kept: the nominal value
  bool ok = false;
  const double x = v.toString().toDouble(&ok);
  if (!ok || !std::isfinite(x) || x < low || x > high) return false;
  out = x;
  return true;
}

}  // namespace

CalibrationStore::CalibrationStore(const std::string& choice) {
  if (choice == "none") return;
  path_ = choice.empty() ? DefaultPath() : QString::fromStdString(choice);
}

QString CalibrationStore::DefaultPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/osciloskop/osciloskop.ini");
}

Calibration CalibrationStore::Load(const std::string& card) {
  Calibration c;
  if (!Enabled()) return c;
  const QFileInfo info(path_);
  if (!info.exists()) return c;
  const std::string name = path_.toStdString();
  if (!info.isFile() || !info.isReadable()) {
    broken_ = true;
    problem_ = "soubor nastavení '" + name + "' nelze číst; platí jmenovité hodnoty";
    return c;
  }
  QSettings s(path_, QSettings::IniFormat);
  s.beginGroup(GroupOf(card));
  Calibration read;
  double volume = -1;
  const bool ok = s.status() == QSettings::NoError &&
                  ReadNumber(s, "ur_full_scale", 1e-3, 1e3, read.ur_full_scale_v) &&
                  ReadNumber(s, "il_full_scale", 1e-3, 1e3, read.il_full_scale_v) &&
                  ReadNumber(s, "shunt", 1e-3, 1e9, read.shunt_ohm) &&
                  ReadNumber(s, "clock_ppm", -1e4, 1e4, read.clock_ppm) &&
                  ReadNumber(s, "skew", -1e-3, 1e-3, read.skew_s) &&
                  ReadNumber(s, "capture_volume", -1, 65535, volume);
  if (!ok) {
    broken_ = true;
    problem_ = "soubor nastavení '" + name +
               "' je poškozený; platí jmenovité hodnoty a kalibrace se do něj neuloží";
    return c;
  }
  if (!s.childKeys().isEmpty()) {
    read.source = "settings";
    if (volume >= 0) read.capture_volume = static_cast<int>(volume);
    return read;
  }
  return c;
}

std::string CalibrationStore::Save(const std::string& card, const Calibration& c) {
  if (!Enabled()) return {};
  if (broken_) return problem_;
  QSettings s(path_, QSettings::IniFormat);
  s.beginGroup(GroupOf(card));
  s.remove(QString());
  const auto put = [&s](const char* key, double v) {
    s.setValue(QLatin1String(key), QString::number(v, 'g', 17));
  };
  put("ur_full_scale", c.ur_full_scale_v);
  put("il_full_scale", c.il_full_scale_v);
  put("shunt", c.shunt_ohm);
  put("clock_ppm", c.clock_ppm);
  put("skew", c.skew_s);
  if (c.capture_volume) put("capture_volume", *c.capture_volume);
  s.endGroup();
  s.sync();
  if (s.status() != QSettings::NoError)
    return "kalibraci nelze uložit do '" + path_.toStdString() + "'";
  return {};
}

}  // namespace lab
