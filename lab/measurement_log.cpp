// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/measurement_log.h"

#include <cerrno>
#include <cstring>

#include "lab/readout_table.h"

namespace lab {

namespace {

void Field(std::string& row, std::optional<double> v) {
  row += ',';
  if (!v) return;
  char text[40];
  std::snprintf(text, sizeof text, "%.10g", *v);
  row += text;
}

}  // namespace

MeasurementLog::~MeasurementLog() { Close(); }

std::string MeasurementLog::Header() {
  std::string h = "time_s";
  for (const char* ch : {"ur", "il"})
    for (const ChannelQuantity& q : ChannelQuantities()) h += std::string(",") + ch + "_" + q.key;
  h += ",ur_clipped,il_clipped";
  for (const PairQuantity& q : PairQuantities()) h += std::string(",") + q.key;
  return h + "\n";
}

std::string MeasurementLog::Row(double time_s, const analysis::Readings& r) {
  char t[40];
  std::snprintf(t, sizeof t, "%.6f", time_s);
  std::string row = t;
  for (const analysis::ChannelReadings* c : {&r.ur, &r.il})
    for (const ChannelQuantity& q : ChannelQuantities()) Field(row, q.get(*c));
  row += r.ur.clipped ? ",1" : ",0";
  row += r.il.clipped ? ",1" : ",0";
  for (const PairQuantity& q : PairQuantities()) Field(row, r.pair.*q.member);
  return row + "\n";
}

std::string MeasurementLog::Open(const std::string& path) {
  Close();
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return "cannot write '" + path + "': " + std::strerror(errno);
  const std::string header = Header();
  if (std::fwrite(header.data(), 1, header.size(), f) != header.size() || std::fflush(f) != 0) {
    const int e = errno;
    std::fclose(f);
    return "cannot write '" + path + "': " + std::strerror(e);
  }
  file_ = f;
  path_ = path;
  rows_ = 0;
  return {};
}

std::string MeasurementLog::Write(double time_s, const analysis::Readings& readings) {
  if (!file_) return {};
  const std::string row = Row(time_s, readings);
  if (std::fwrite(row.data(), 1, row.size(), file_) != row.size() || std::fflush(file_) != 0) {
    const std::string error = "cannot write '" + path_ + "': " + std::strerror(errno);
    Close();
    return error;
  }
  ++rows_;
  return {};
}

void MeasurementLog::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

}  // namespace lab
