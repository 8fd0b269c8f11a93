// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/virtual/rate_converter.h"

#include <soxr.h>

#include <cmath>

namespace platform {

namespace {

constexpr std::size_t kPiece = 16384;  // frames of output per call into libsoxr

std::int16_t FloatToPcm16(float v) {
  if (std::isnan(v)) return 0;
  const double s = std::nearbyint(static_cast<double>(v) * 32768.0);
  if (s >= 32767.0) return 32767;
  if (s <= -32768.0) return -32768;
  return static_cast<std::int16_t>(s);
}

}  // namespace

RateConverter::~RateConverter() { soxr_delete(soxr_); }

std::string RateConverter::Start(double from_rate, double to_rate) {
  soxr_delete(soxr_);
  soxr_ = nullptr;
  if (from_rate == to_rate) return {};
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
  soxr_error_t error = nullptr;
  soxr_ = soxr_create(from_rate, to_rate, 1, &error, &io, &quality, nullptr);
  if (error) {
    soxr_delete(soxr_);
    soxr_ = nullptr;
    return error;
  }
  piece_.resize(kPiece);
  return {};
}

std::string RateConverter::Push(const float* in, std::size_t frames,
                                std::vector<std::int16_t>& out) {
  if (!soxr_) {
    for (std::size_t i = 0; i < frames; ++i) out.push_back(FloatToPcm16(in[i]));
    return {};
  }
  return frames ? Run(in, frames, out) : std::string();
}

std::string RateConverter::Finish(std::vector<std::int16_t>& out) {
  return soxr_ ? Run(nullptr, 0, out) : std::string();
}

// libsoxr takes as much input as the output piece has room for; it is
// called until it has taken all, or (at the end, `in` null) until it has
// given out what its filter still holds.
std::string RateConverter::Run(const float* in, std::size_t frames,
                               std::vector<std::int16_t>& out) {
  std::size_t taken = 0;
  for (;;) {
    std::size_t used = 0, made = 0;
    const soxr_error_t error = soxr_process(soxr_, in ? in + taken : nullptr, frames - taken, &used,
                                            piece_.data(), kPiece, &made);
    if (error) return error;
    for (std::size_t i = 0; i < made; ++i) out.push_back(FloatToPcm16(piece_[i]));
    taken += used;
    if (in ? taken >= frames : made == 0) return {};
    if (used == 0 && made == 0) return "the converter stopped taking input";
  }
}

}  // namespace platform
