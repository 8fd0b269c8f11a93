// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/scpi_commands.h"

#include <QByteArray>
#include <cmath>
#include <optional>

#include "lab/lab.h"
#include "lab/readout_table.h"
#include "lab/scpi/response.h"

#ifndef OSCILOSKOP_VERSION
#define OSCILOSKOP_VERSION "unknown"
#endif

namespace lab {

namespace {

using scpi::Answer;
using scpi::Argument;
using scpi::Fault;
using scpi::Outcome;
using scpi::Unit;

// Where the card cannot say when a change arrives: it is heard about a
// second later (the output's queue), and a whole quarter second of the new
// tone must follow it.
constexpr std::uint64_t kSettleBlocks = 6;

Outcome Fail(Answer& a, int code, std::string detail) {
  a.error = Fault{code, std::move(detail)};
  return Outcome::kDone;
}

Outcome Reply(Answer& a, std::string data) {
  a.data = std::move(data);
  return Outcome::kDone;
}

// A word in its short or long form ("MINimum": MIN or MINIMUM).
bool WordIs(const Argument& a, std::string_view form) {
  if (a.kind != Argument::Kind::kWord) return false;
  std::string short_form, long_form;
  for (char c : form) {
    if (c >= 'A' && c <= 'Z') short_form += c;
    long_form += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  return a.text == short_form || a.text == long_form;
}

std::optional<Fault> NoArguments(const Unit& u) {
  if (u.args.empty()) return std::nullopt;
  return Fault{-108, u.Header() + " takes no argument"};
}

enum class Channel { kUr, kIl };

// UR or IL, the unit's only argument, or `fallback` without one.
std::optional<Fault> ChannelOf(const Unit& u, Channel fallback, Channel& out) {
  out = fallback;
  if (u.args.empty()) return std::nullopt;
  if (u.args.size() > 1) return Fault{-108, u.Header() + " takes one argument: UR or IL"};
  const Argument& a = u.args[0];
  if (a.kind != Argument::Kind::kWord) return Fault{-104, u.Header() + " wants UR or IL"};
  if (a.text != "UR" && a.text != "IL") return Fault{-224, a.text + " is not a channel: UR or IL"};
  out = a.text == "UR" ? Channel::kUr : Channel::kIl;
  return std::nullopt;
}

struct Range {
  const char* unit;  // as a suffix: HZ, V
  double min, max, fallback;
  const char* shown;  // in a message
};

// The value of a setting: a number, in the unit or with k (or m) before it,
// or MINimum, MAXimum, DEFault.
std::optional<Fault> ValueOf(const Unit& u, const Range& r, double& out) {
  if (u.args.size() != 1)
    return Fault{u.args.empty() ? -109 : -108, u.Header() + " takes one value"};
  const Argument& a = u.args[0];
  if (WordIs(a, "MINimum")) {
    out = r.min;
  } else if (WordIs(a, "MAXimum")) {
    out = r.max;
  } else if (WordIs(a, "DEFault")) {
    out = r.fallback;
  } else if (a.kind != Argument::Kind::kNumber) {
    return Fault{-104, u.Header() + " wants a number"};
  } else {
    const std::string unit = r.unit;
    double scale = 0;
    if (a.suffix.empty() || a.suffix == unit)
      scale = 1;
    else if (a.suffix == "K" + unit)
      scale = 1e3;
    else if (a.suffix == "M" + unit)
      scale = unit == "HZ" ? 1e6 : 1e-3;  // SCPI's MHZ is megahertz, MV millivolts
    if (scale == 0) return Fault{-131, a.suffix + " is not a unit of " + u.Header()};
    out = a.number * scale;
  }
  if (!(out >= r.min && out <= r.max))
    return Fault{-222,
                 a.text + (a.suffix.empty() ? "" : " " + a.suffix) + " is outside " + r.shown};
  return std::nullopt;
}

const ChannelQuantity* ChannelKey(std::string_view key) {
  for (const ChannelQuantity& q : ChannelQuantities())
    if (key == q.key) return &q;
  return nullptr;
}

const PairQuantity* PairKey(std::string_view key) {
  for (const PairQuantity& q : PairQuantities())
    if (key == q.key) return &q;
  return nullptr;
}

// Samples as 16-bit little-endian integers.
void AppendSample(std::string& out, std::int16_t s) {
  const auto u = static_cast<std::uint16_t>(s);
  out += static_cast<char>(u & 0xff);
  out += static_cast<char>(u >> 8);
}

// The card's name as a field of *IDN?: no separators in it.
std::string Field(const std::string& text) {
  std::string f = scpi::Ascii(text);
  for (char& c : f)
    if (c == ',' || c == ';' || c == '"' || c == '\'') c = ' ';
  return f;
}

}  // namespace

LabCommands::LabCommands(Lab& lab) : lab_(lab) {
  AddReadings();
  AddSettings();
  AddData();
  AddResponse();
}

Outcome LabCommands::Run(const Unit& unit, Answer& answer) {
  bool other_form = false;
  for (const Entry& e : table_) {
    if (!scpi::Matches(e.pattern, unit)) continue;
    if (e.query == unit.query) return e.run(unit, answer);
    other_form = true;
  }
  if (other_form)
    return Fail(answer, -113, unit.Header() + (unit.query ? " is no query" : " is a query only"));
  return Fail(answer, -113, unit.Header());
}

std::vector<std::string> LabCommands::Headers() const {
  std::vector<std::string> h;
  for (const Entry& e : table_) h.push_back(std::string(e.pattern) + (e.query ? "?" : ""));
  return h;
}

bool LabCommands::Settled() const {
  if (settled_at_frame_)
    return lab_.Latest() && std::llround(lab_.LatestTime() * kSampleRateHz) >= *settled_at_frame_;
  return lab_.Blocks() >= settled_at_block_;
}

void LabCommands::GeneratorChanged() {
  const ProgramLink& link = lab_.Link();
  settled_at_frame_ = link.generator_arrival ? link.generator_arrival() : std::nullopt;
  settled_at_block_ = lab_.Blocks() + kSettleBlocks;
}

void LabCommands::AddReadings() {
  // How a channel's reading is asked for: either channel as it is, in volts
  // (the IL input's own: the current times the shunt), or the current.
  enum class As { kEither, kVolts, kCurrent };
  struct ChannelRead {
    const char* pattern;
    const char* key;
    As as;
  };
  static constexpr ChannelRead kChannel[] = {
      {"MEASure:FREQuency", "frequency", As::kEither},
      {"MEASure:THD", "thd", As::kEither},
      {"MEASure:VOLTage[:RMS]", "rms", As::kVolts},
      {"MEASure:VOLTage:AC", "rms_ac", As::kVolts},
      {"MEASure:VOLTage:DC", "mean", As::kVolts},
      {"MEASure:VOLTage:PTPeak", "peak_to_peak", As::kVolts},
      {"MEASure:VOLTage:MAXimum", "max", As::kVolts},
      {"MEASure:VOLTage:MINimum", "min", As::kVolts},
      {"MEASure:CURRent[:RMS]", "rms", As::kCurrent},
      {"MEASure:CURRent:AC", "rms_ac", As::kCurrent},
      {"MEASure:CURRent:DC", "mean", As::kCurrent},
      {"MEASure:CURRent:PTPeak", "peak_to_peak", As::kCurrent},
      {"MEASure:CURRent:MAXimum", "max", As::kCurrent},
      {"MEASure:CURRent:MINimum", "min", As::kCurrent},
  };
  for (const ChannelRead& r : kChannel) {
    const ChannelQuantity* q = ChannelKey(r.key);
    table_.push_back(
        {r.pattern, true, [this, r, q](const Unit& u, Answer& a) {
           Channel ch = Channel::kUr;
           if (auto f = ChannelOf(u, r.as == As::kCurrent ? Channel::kIl : Channel::kUr, ch))
             return Fail(a, f->code, f->detail);
           if (r.as == As::kCurrent && ch != Channel::kIl)
             return Fail(a, -224, "the current is measured on IL only");
           if (!lab_.Latest()) return Outcome::kWait;
           const analysis::Readings& now = *lab_.Latest();
           std::optional<double> v = q->get(ch == Channel::kUr ? now.ur : now.il);
           if (r.as == As::kVolts && ch == Channel::kIl && v)
             *v *= lab_.CurrentCalibration().shunt_ohm;
           return Reply(a, scpi::Number(v));
         }});
  }
  static constexpr struct {
    const char* pattern;
    const char* key;
  } kPair[] = {
      {"MEASure:PHASe", "phase"},
      {"MEASure:DELay", "delay"},
      {"MEASure:IMPedance:MAGNitude", "impedance"},
      {"MEASure:IMPedance:RESistance", "resistance"},
      {"MEASure:IMPedance:REACtance", "reactance"},
      {"MEASure:POWer[:REAL]", "power"},
      {"MEASure:POWer:APParent", "apparent_power"},
      {"MEASure:POWer:REACtive", "reactive_power"},
      {"MEASure:PFACtor", "power_factor"},
  };
  for (const auto& r : kPair) {
    const PairQuantity* q = PairKey(r.key);
    table_.push_back({r.pattern, true, [this, q](const Unit& u, Answer& a) {
                        if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
                        if (!lab_.Latest()) return Outcome::kWait;
                        return Reply(a, scpi::Number(lab_.Latest()->pair.*q->member));
                      }});
  }
  table_.push_back({"MEASure:IMPedance", true, [this](const Unit& u, Answer& a) {
                      if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
                      if (!lab_.Latest()) return Outcome::kWait;
                      const analysis::PairReadings& p = lab_.Latest()->pair;
                      return Reply(a, scpi::Number(p.impedance_ohm) + "," +
                                          scpi::Number(p.resistance_ohm) + "," +
                                          scpi::Number(p.reactance_ohm));
                    }});
}

void LabCommands::AddSettings() {
  static constexpr Range kFrequency{"HZ", 10, 20000, 1000, "10 Hz to 20 kHz"};
  static constexpr Range kPeak{"V", 0, kNominalFullScaleV, 0.5, "0 to 1.1 V"};
  table_.push_back({"*IDN", true, [this](const Unit& u, Answer& a) {
                      if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
                      const ProgramLink& link = lab_.Link();
                      return Reply(a, "osciloskop,osciloskop " +
                                          Field(link.card_name ? link.card_name() : "") +
                                          ",0," OSCILOSKOP_VERSION);
                    }});
  table_.push_back({"*RST", false, [this](const Unit& u, Answer& a) {
                      if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
                      if (std::string e = lab_.Reset(); !e.empty()) return Fail(a, -200, e);
                      sweep_ = SweepSettings{};
                      GeneratorChanged();
                      return Outcome::kDone;
                    }});
  table_.push_back({"*OPC", true, [this](const Unit& u, Answer& a) {
                      if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
                      if (!Settled() || lab_.Sweep().Running()) return Outcome::kWait;
                      return Reply(a, "1");
                    }});
  table_.push_back({"*WAI", false, [this](const Unit& u, Answer& a) {
                      if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
                      return Settled() && !lab_.Sweep().Running() ? Outcome::kDone : Outcome::kWait;
                    }});
  table_.push_back({"*TST", true, [](const Unit& u, Answer& a) {
                      if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
                      return Reply(a, "0");
                    }});
  table_.push_back({"SYSTem:VERSion", true, [](const Unit& u, Answer& a) {
                      if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
                      return Reply(a, "1999.0");
                    }});
  table_.push_back({"SOURce:FREQuency", false, [this](const Unit& u, Answer& a) {
                      double hz = 0;
                      if (auto f = ValueOf(u, kFrequency, hz)) return Fail(a, f->code, f->detail);
                      if (lab_.Sweep().Running())
                        return Fail(a, -221, "a sweep drives the generator");
                      if (std::string e = lab_.SetGenerator(hz, std::nullopt); !e.empty())
                        return Fail(a, -200, e);
                      GeneratorChanged();
                      return Outcome::kDone;
                    }});
  table_.push_back({"SOURce:FREQuency", true, [this](const Unit& u, Answer& a) {
                      if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
                      return Reply(a, scpi::Number(lab_.Generator().frequency_hz));
                    }});
  table_.push_back({"SOURce:VOLTage[:AMPLitude]", false, [this](const Unit& u, Answer& a) {
                      double peak = 0;
                      if (auto f = ValueOf(u, kPeak, peak)) return Fail(a, f->code, f->detail);
                      if (lab_.Sweep().Running())
                        return Fail(a, -221, "a sweep drives the generator");
                      if (std::string e = lab_.SetGenerator(lab_.Generator().frequency_hz, peak);
                          !e.empty())
                        return Fail(a, -200, e);
                      GeneratorChanged();
                      return Outcome::kDone;
                    }});
  table_.push_back(
      {"SOURce:VOLTage[:AMPLitude]", true, [this](const Unit& u, Answer& a) {
         if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
         return Reply(a, scpi::Number(lab_.Generator().amplitude / 32767.0 * kNominalFullScaleV));
       }});
}

void LabCommands::AddData() {
  table_.push_back({"FETCh:WAVeform", true, [this](const Unit& u, Answer& a) {
                      Channel ch = Channel::kUr;
                      if (auto f = ChannelOf(u, Channel::kUr, ch))
                        return Fail(a, f->code, f->detail);
                      if (!lab_.Latest()) return Outcome::kWait;
                      const std::vector<std::int16_t>& stereo = lab_.LastBlock();
                      std::string bytes;
                      bytes.reserve(stereo.size() * 2);
                      // Both channels frame by frame (UR, IL) without an argument.
                      const std::size_t step = u.args.empty() ? 1 : 2;
                      for (std::size_t k = u.args.empty() || ch == Channel::kUr ? 0 : 1;
                           k < stereo.size(); k += step)
                        AppendSample(bytes, stereo[k]);
                      return Reply(a, scpi::Block(bytes));
                    }});
  table_.push_back({"WAVeform:PREamble", true, [this](const Unit& u, Answer& a) {
                      if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
                      if (!lab_.Latest()) return Outcome::kWait;
                      const Calibration& c = lab_.CurrentCalibration();
                      return Reply(a, scpi::Integer(static_cast<std::int64_t>(kBlockFrames)) + "," +
                                          scpi::Number(1.0 / kSampleRateHz) + "," +
                                          scpi::Number(c.ur_full_scale_v / 32767.0) + "," +
                                          scpi::Number(c.il_full_scale_v / 32767.0 / c.shunt_ohm) +
                                          "," + scpi::Number(lab_.LatestTime()));
                    }});
  table_.push_back({"HCOPy:DATA", true, [this](const Unit& u, Answer& a) {
                      if (u.args.size() > 1) return Fail(a, -108, "HCOPy:DATA? takes one argument");
                      const bool form = u.args.empty() || WordIs(u.args[0], "SCOPe");
                      if (!form && !WordIs(u.args[0], "MEASurement"))
                        return Fail(a, -224, "a picture of SCOPe or MEASurement");
                      std::string png;
                      if (form) {
                        png = lab_.Link().form_picture ? lab_.Link().form_picture() : std::string();
                        if (png.empty()) return Fail(a, -200, "no picture of the oscilloscope");
                      } else {
                        QByteArray bytes;
                        if (std::string e = lab_.WindowPicture(bytes); !e.empty())
                          return Fail(a, -221, e);
                        png.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
                      }
                      return Reply(a, scpi::Block(png));
                    }});
  table_.push_back({"SYSTem:DUMP", true, [this](const Unit& u, Answer& a) {
                      if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
                      if (!lab_.Link().dump) return Fail(a, -200, "no dump in this program");
                      return Reply(a, scpi::Block(lab_.Link().dump()));
                    }});
}

void LabCommands::AddResponse() {
  // The sweep's settings, each set and read back; checked together when it starts.
  struct Setting {
    const char* pattern;
    Range range;
    double SweepSettings::*real;
    int SweepSettings::*whole;
  };
  static constexpr Setting kSettings[] = {
      {"SENSe:RESPonse:STARt",
       {"HZ", 10, 20000, 20, "10 Hz to 20 kHz"},
       nullptr,
       &SweepSettings::start_hz},
      {"SENSe:RESPonse:STOP",
       {"HZ", 10, 20000, 20000, "10 Hz to 20 kHz"},
       nullptr,
       &SweepSettings::stop_hz},
      {"SENSe:RESPonse:POINts",
       {"", 2, 500, 31, "2 to 500 points"},
       nullptr,
       &SweepSettings::points},
      {"SENSe:RESPonse:VOLTage",
       {"V", 0.001, kNominalFullScaleV, 0.5, "1 mV to 1.1 V"},
       &SweepSettings::peak_v,
       nullptr},
  };
  for (const Setting& st : kSettings) {
    table_.push_back({st.pattern, false, [this, st](const Unit& u, Answer& a) {
                        double v = 0;
                        if (auto f = ValueOf(u, st.range, v)) return Fail(a, f->code, f->detail);
                        if (st.real)
                          sweep_.*st.real = v;
                        else
                          sweep_.*st.whole = static_cast<int>(std::lround(v));
                        return Outcome::kDone;
                      }});
    table_.push_back({st.pattern, true, [this, st](const Unit& u, Answer& a) {
                        if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
                        return Reply(a, st.real ? scpi::Number(sweep_.*st.real)
                                                : scpi::Integer(sweep_.*st.whole));
                      }});
  }
  using analysis::ResponseQuantity;
  table_.push_back({"SENSe:RESPonse:QUANtity", false, [this](const Unit& u, Answer& a) {
                      if (u.args.size() != 1)
                        return Fail(a, u.args.empty() ? -109 : -108, "TRANsfer or IMPedance");
                      if (WordIs(u.args[0], "TRANsfer"))
                        sweep_.quantity = ResponseQuantity::kTransfer;
                      else if (WordIs(u.args[0], "IMPedance"))
                        sweep_.quantity = ResponseQuantity::kImpedance;
                      else
                        return Fail(a, -224, "the quantity is TRANsfer or IMPedance");
                      return Outcome::kDone;
                    }});
  table_.push_back({"SENSe:RESPonse:QUANtity", true, [this](const Unit& u, Answer& a) {
                      if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
                      return Reply(a,
                                   sweep_.quantity == ResponseQuantity::kTransfer ? "TRAN" : "IMP");
                    }});
  table_.push_back({"INITiate[:IMMediate]", false, [this](const Unit& u, Answer& a) {
                      if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
                      if (sweep_.start_hz >= sweep_.stop_hz)
                        return Fail(a, -221, "the sweep's start must be below its stop");
                      if (lab_.Sweep().Running()) return Fail(a, -221, "a sweep is running");
                      if (std::string e = lab_.StartSweep(sweep_); !e.empty())
                        return Fail(a, -200, e);
                      return Outcome::kDone;
                    }});
  table_.push_back({"ABORt", false, [this](const Unit& u, Answer& a) {
                      if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
                      lab_.StopSweep();
                      GeneratorChanged();
                      return Outcome::kDone;
                    }});
  // The points: frequency (Hz), magnitude (a ratio or ohms) and phase
  // (degrees) each; waits for a sweep under way to end. Points it left out
  // are told in the error queue.
  table_.push_back({"FETCh:RESPonse", true, [this](const Unit& u, Answer& a) {
                      if (auto f = NoArguments(u)) return Fail(a, f->code, f->detail);
                      if (lab_.Sweep().Running()) return Outcome::kWait;
                      const auto& points = lab_.Sweep().Points();
                      if (points.empty()) return Fail(a, -230, "no sweep has been measured");
                      std::string data;
                      for (const analysis::ResponsePoint& p : points)
                        data += (data.empty() ? "" : ",") + scpi::Number(p.frequency_hz) + "," +
                                scpi::Number(p.magnitude) + "," + scpi::Number(p.phase_deg);
                      if (std::string problem = lab_.Finished(); !problem.empty())
                        a.error = Fault{-230, problem};
                      return Reply(a, data);
                    }});
}

}  // namespace lab
