// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The instrument's SCPI commands: each header of the command table mapped
// to the lab's readings and actions. Queries answer from the latest
// quarter second; the first waits for it, and *OPC? / *WAI wait until a
// change of the generator has reached the inputs and a sweep has ended.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "lab/response_sweep.h"
#include "lab/scpi/session.h"

namespace lab {

class Lab;

class LabCommands final : public scpi::Commands {
 public:
  explicit LabCommands(Lab& lab);
  scpi::Outcome Run(const scpi::Unit& unit, scpi::Answer& answer) override;

  // Every header pattern, queries with their '?', for the manual and tests.
  std::vector<std::string> Headers() const;

 private:
  using Handler = std::function<scpi::Outcome(const scpi::Unit&, scpi::Answer&)>;
  struct Entry {
    const char* pattern;
    bool query;
    Handler run;
  };
  void AddReadings();
  void AddSettings();
  void AddData();
  void AddResponse();
  // The latest block was recorded after the generator's last change arrived.
  bool Settled() const;
  void GeneratorChanged();

  Lab& lab_;
  std::vector<Entry> table_;
  // Where the last change arrives among the recorded frames, or, where the
  // card cannot tell, the block by which it has surely arrived.
  std::optional<std::int64_t> settled_at_frame_;
  std::uint64_t settled_at_block_ = 0;
  SweepSettings sweep_;
};

}  // namespace lab
