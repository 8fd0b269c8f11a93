// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/readout_table.h"

namespace lab {

namespace {

using analysis::ChannelReadings;
using analysis::PairReadings;

constexpr ChannelQuantity kChannel[] = {
    {"frequency", "frekvence", "Hz", 8, [](const ChannelReadings& c) { return c.frequency; }},
    {"rms", "efektivní hodnota", nullptr, 5,
     [](const ChannelReadings& c) { return std::optional<double>(c.rms); }},
    {"rms_ac", "efektivní hodnota střídavé složky", nullptr, 5,
     [](const ChannelReadings& c) { return std::optional<double>(c.rms_ac); }},
    {"mean", "stejnosměrná složka", nullptr, 5,
     [](const ChannelReadings& c) { return std::optional<double>(c.mean); }},
    {"peak_to_peak", "špička–špička", nullptr, 5,
     [](const ChannelReadings& c) { return std::optional<double>(c.peak_to_peak); }},
    {"max", "maximum", nullptr, 5,
     [](const ChannelReadings& c) { return std::optional<double>(c.max); }},
    {"min", "minimum", nullptr, 5,
     [](const ChannelReadings& c) { return std::optional<double>(c.min); }},
    {"thd", "zkreslení THD", "%", 5, [](const ChannelReadings& c) { return c.thd_percent; }},
};

constexpr PairQuantity kPair[] = {
    {"phase", "fáze IL proti UR", "°", 5, &PairReadings::phase_deg},
    {"delay", "zpoždění IL za UR", "s", 5, &PairReadings::delay_s},
    {"impedance", "impedance |Z|", "Ω", 5, &PairReadings::impedance_ohm},
    {"resistance", "rezistance R", "Ω", 5, &PairReadings::resistance_ohm},
    {"reactance", "reaktance X", "Ω", 5, &PairReadings::reactance_ohm},
    {"power", "činný výkon P", "W", 5, &PairReadings::power_w},
    {"apparent_power", "zdánlivý výkon S", "VA", 5, &PairReadings::apparent_power_va},
    {"reactive_power", "jalový výkon Q", "var", 5, &PairReadings::reactive_power_var},
    {"power_factor", "účiník", "", 6, &PairReadings::power_factor},
};

}  // namespace

std::span<const ChannelQuantity> ChannelQuantities() { return kChannel; }
std::span<const PairQuantity> PairQuantities() { return kPair; }

}  // namespace lab
