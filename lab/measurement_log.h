// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The log of the measuring window: one CSV row of every readout for each
// captured quarter second, with its time, written as it comes so that an
// interrupted run leaves every row it measured. Empty fields where a value
// does not exist.
#include <cstdio>
#include <string>

#include "analysis/block_analyzer.h"

namespace lab {

class MeasurementLog {
 public:
  MeasurementLog() = default;
  MeasurementLog(const MeasurementLog&) = delete;
  MeasurementLog& operator=(const MeasurementLog&) = delete;
  ~MeasurementLog();

  // Empty, or why the file cannot be written (in English, with its name).
  std::string Open(const std::string& path);
  // Empty, or why the row could not be written; the log closes then.
  std::string Write(double time_s, const analysis::Readings& readings);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }
  long Rows() const { return rows_; }

  static std::string Header();
  static std::string Row(double time_s, const analysis::Readings& readings);

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  long rows_ = 0;
};

}  // namespace lab
