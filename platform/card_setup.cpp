#include "platform/card_setup.h"

#include "platform/options.h"
#include "platform/toolkit/headless.h"
#include "platform/toolkit/json.h"
#include "platform/volume.h"
#include "platform/wave/virtual_card.h"

namespace platform {

std::string SetUpCard(const PlatformOptions& options) {
  if (options.card != "virtual")
    return "--card=" + options.card +
           ": this build drives only the virtual card; run without --card (or --card=virtual)";
  VirtualCard& card = TheVirtualCard();
  if (auto e = card.SetInputSource('r', options.signal_r); !e.empty()) return "--signal-r: " + e;
  if (auto e = card.SetInputSource('l', options.signal_l); !e.empty()) return "--signal-l: " + e;
  if (!options.output_wav.empty())
    if (auto e = card.CaptureOutput(options.output_wav); !e.empty()) return "--output-wav: " + e;

  SetSignalHandler([](char side, const std::string& spec) {
    return TheVirtualCard().SetInputSource(side, spec);
  });
  AddDumpSection("card", [](JsonWriter& w) {
    VirtualCard& c = TheVirtualCard();
    w.Value("outputFramesPlayed", c.OutputFramesPlayed());
    w.Value("inputRunsStarted", c.InputRunsStarted());
    w.Value("signalR", c.InputSourceText('r'));
    w.Value("signalL", c.InputSourceText('l'));
  });
  AddDumpSection("volumes", [](JsonWriter& w) {
    w.Value("waveOut", static_cast<std::int64_t>(VirtualVolume(0)));
    for (int d = 1; d <= 5; ++d)
      w.Value("aux" + std::to_string(d), static_cast<std::int64_t>(VirtualVolume(d)));
  });
  return {};
}

int FinishCard(int status) {
  TheVirtualCard().StopCapture();
  return status;
}

}  // namespace platform
