// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The calibration kept between runs, one group per card, in an INI file
// (QSettings): the user's configuration folder by default, a file of the
// user's choice, or nowhere. A file that cannot be read as settings is
// named and left as it is: the nominal values hold and nothing is written
// over it.
#include <QString>
#include <string>

#include "lab/calibration.h"

namespace lab {

class CalibrationStore {
 public:
  // `choice`: "" the default file, "none" nowhere, else a file name.
  explicit CalibrationStore(const std::string& choice);

  // The kept calibration of `card`, or the nominal one. A broken file's
  // message is in Problem().
  Calibration Load(const std::string& card);
  // Empty, or why it could not be kept (in Czech).
  std::string Save(const std::string& card, const Calibration& calibration);

  const QString& Path() const { return path_; }
  bool Enabled() const { return !path_.isEmpty(); }
  const std::string& Problem() const { return problem_; }

  // The default file: osciloskop/osciloskop.ini in the configuration folder.
  static QString DefaultPath();

 private:
  QString path_;
  bool broken_ = false;
  std::string problem_;
};

}  // namespace lab
