// SPDX-License-Identifier: GPL-3.0-or-later
// The mixer's notifications: find the changed control or line, read it
// again and raise the matching event.
#include "mixer/AudioMixer.h"

void TAudioMixer::MixerControlChange(WPARAM Mixer, LPARAM ControlID) {
  if (!FOpen || Mixer != reinterpret_cast<WPARAM>(FHandle)) return;
  ++FNotificationsHandled;
  // The ID is taken as a signed number, so a negative one never matches.
  const std::int64_t ID = static_cast<LONG>(ControlID);
  // Lines without sources or controls are passed over, not the end of the
  // search: a control behind them must still be found.
  for (DWORD D = 0; D < FDestinations.size(); ++D) {
    TDestination& Dest = *FDestinations[D];
    for (DWORD S = 0; S < Dest.Sources.size(); ++S) {
      TSource& Source = *Dest.Sources[S];
      for (DWORD C = 0; C < Source.Controls.size(); ++C)
        if (Source.Controls[C]->ControlID == ID) {
          ReadControlValue(D, S, C);
          DoMixerControlChange(D, S, C);
          return;
        }
    }
  }
  for (DWORD D = 0; D < FDestinations.size(); ++D) {
    TDestination& Dest = *FDestinations[D];
    for (DWORD C = 0; C < Dest.Controls.size(); ++C)
      if (Dest.Controls[C]->ControlID == ID) {
        ReadControlValue(D, DestinationLine, C);
        DoMixerControlChange(D, DestinationLine, C);
        return;
      }
  }
}

void TAudioMixer::MixerLineChange(WPARAM Mixer, LPARAM LineID) {
  if (!FOpen || Mixer != reinterpret_cast<WPARAM>(FHandle)) return;
  ++FNotificationsHandled;
  const DWORD ID = static_cast<DWORD>(LineID);
  // A line whose information could not be read has no ID to match.
  for (DWORD D = 0; D < FDestinations.size(); ++D)
    if (FDestinations[D]->Valid && FDestinations[D]->LineID == ID) {
      ReadLineInfo(D, DestinationLine);
      DoMixerLineChange(D, DestinationLine);
      return;
    }
  for (DWORD D = 0; D < FDestinations.size(); ++D) {
    TDestination& Dest = *FDestinations[D];
    for (DWORD S = 0; S < Dest.Sources.size(); ++S)
      if (Dest.Sources[S]->Valid && Dest.Sources[S]->LineID == ID) {
        ReadLineInfo(D, S);
        DoMixerLineChange(D, S);
        return;
      }
  }
}
