#pragma once
// The instrument's SCPI commands: each header of the command table mapped
// to the lab's readings and actions. Queries answer from the latest
// quarter second; the first waits for it, and *OPC? / *WAI wait until a
// change of the generator has reached the inputs (and a sweep has ended).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
  // Blocks recorded since the generator changed are enough for its new tone.
  bool Settled() const;
  void GeneratorChanged();

  Lab& lab_;
  std::vector<Entry> table_;
  std::uint64_t settled_at_block_ = 0;
};

}  // namespace lab
