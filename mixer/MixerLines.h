// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The mixer tree: destination lines, their source lines, each line's
// controls and each control's values. Parents own their children; the
// mixer frees them only when it closes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/mm/mixer.h"

class TAudioControl;

// One value record per item of a control.
class TVolume {
 public:
  TVolume(int Item, TAudioControl* Owner) : ItemIndex(Item), Control(Owner) {}
  int ItemIndex;
  std::int32_t Left = 0;
  std::int32_t Right = 0;
  TAudioControl* Control;
};

class TAudioControl {
 public:
  TAudioControl(DWORD LineChannelCount, HMIXER Mixer)
      : LineChannels(LineChannelCount), Handle(Mixer) {}
  bool Valid = false;
  DWORD ControlID = 0;
  DWORD ControlType = 0;
  bool Disabled = false;
  bool Multiple = false;
  bool Uniform = false;
  int ItemCount = 0;
  std::int32_t Minimum = 0;
  std::int32_t Maximum = 0;
  DWORD Steps = 0;
  std::string ShortName;
  std::string Name;
  std::vector<std::unique_ptr<TVolume>> Values;
  DWORD LineChannels;
  HMIXER Handle;
};

class TSource {
 public:
  virtual ~TSource() = default;
  bool Valid = false;
  bool Disconnected = false;
  bool Active = false;
  DWORD Channels = 0;
  DWORD ControlCount = 0;
  std::string ShortName;
  std::string Name;
  std::vector<std::unique_ptr<TAudioControl>> Controls;
  DWORD LineID = 0;
  DWORD ComponentType = 0;
  int MuteControl = -1;
  int VolumeControl = -1;
  int SelectorControl = -1;
  // Stored only for the recording-side well-known sources.
  int SourceIndex = 0;
};

class TDestination : public TSource {
 public:
  DWORD ConnectionCount = 0;
  std::vector<std::unique_ptr<TSource>> Sources;
};
