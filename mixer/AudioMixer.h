// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TAudioMixer models one mixer device as a tree: destinations, their
// sources, each line's controls and each control's values. Open enumerates
// the whole tree and reads every value; afterwards the device's change
// notifications keep the affected values current and are passed on as two
// events. It only reads: nothing here changes a mixer setting.
//
// While it enumerates it remembers well-known lines (speakers, recording
// input, line-in, microphone ...) by their component type.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mixer/MixerErrors.h"
#include "mixer/MixerLines.h"
#include "mixer/MixerMan.h"
#include "platform/toolkit/classes.h"

// D: destination index; S: source index, or all bits set for the
// destination line itself; C: control index within the line.
using TMixerControlChangeEvent =
    std::function<void(platform::TObject* Sender, DWORD D, DWORD S, DWORD C)>;
using TMixerLineChangeEvent = std::function<void(platform::TObject* Sender, DWORD D, DWORD S)>;

class TAudioMixer : public platform::TComponent {
 public:
  static constexpr DWORD DestinationLine = 0xFFFFFFFFu;

  explicit TAudioMixer(platform::TComponent* AOwner);
  ~TAudioMixer() override;

  DWORD MixerID() const { return FMixerID; }
  void SetMixerID(DWORD Value);

  void Open();
  void Close();
  void ReadLineInfo(DWORD D, DWORD S);
  void ReadLineControls(DWORD D, DWORD S);
  void ReadControlValue(DWORD D, DWORD S, DWORD C);

  TMixerControlChangeEvent OnMixerControlChange;
  TMixerLineChangeEvent OnMixerLineChange;

  // Read access, for the instrument, the dump and tests.
  bool IsOpen() const { return FOpen; }
  DWORD DeviceCount() const { return FDeviceCount; }
  const std::string& ProductName() const { return FProductName; }
  DWORD DestinationCount() const { return FDestinationCount; }
  HMIXER Handle() const { return FHandle; }
  const std::vector<std::unique_ptr<TDestination>>& Destinations() const { return FDestinations; }
  const TMixerMan& Manager() const { return *FManager; }
  int NotificationsHandled() const { return FNotificationsHandled; }
  int ControlChangesRaised() const { return FControlChangesRaised; }
  int LineChangesRaised() const { return FLineChangesRaised; }

  // Well-known lines: references into the tree, empty until found.
  TDestination* SpeakerDestination = nullptr;
  TDestination* RecordingDestination = nullptr;
  TDestination* VoiceInDestination = nullptr;
  TSource* WaveOutSource = nullptr;
  TSource* PCSpeakerSource = nullptr;
  TSource* SynthesizerSource = nullptr;
  TSource* PlaybackLineIn = nullptr;
  TSource* RecordingLineIn = nullptr;
  TSource* PlaybackMicrophone = nullptr;
  TSource* RecordingMicrophone = nullptr;
  TSource* PlaybackCD = nullptr;
  TSource* RecordingCD = nullptr;
  TSource* PlaybackTelephone = nullptr;
  TSource* RecordingTelephone = nullptr;
  TSource* PlaybackAuxiliary = nullptr;
  TSource* RecordingAuxiliary = nullptr;
  TSource* PlaybackAnalog = nullptr;
  TSource* RecordingAnalog = nullptr;

 protected:
  virtual void DoMixerControlChange(DWORD D, DWORD S, DWORD C);
  virtual void DoMixerLineChange(DWORD D, DWORD S);

 private:
  friend class TMixerMan;
  void MixerControlChange(WPARAM Mixer, LPARAM ControlID);
  void MixerLineChange(WPARAM Mixer, LPARAM LineID);
  TSource* LineAt(DWORD D, DWORD S) const;
  void CreateControls(TSource& Line);
  void RememberWellKnownLine(TSource& Line, DWORD D, DWORD S);
  void ForgetWellKnownLines();

  DWORD FDeviceCount = 0;
  DWORD FMixerID = 0;
  std::unique_ptr<TMixerMan> FManager;
  std::string FProductName;
  DWORD FDestinationCount = 0;
  bool FOpen = false;
  HMIXER FHandle = nullptr;
  std::vector<std::unique_ptr<TDestination>> FDestinations;
  // Well-known lines are recorded while Open enumerates, not when a line
  // change re-reads a line: a re-read playback line-in is no recording one.
  bool FEnumerating = false;
  int FNotificationsHandled = 0;
  int FControlChangesRaised = 0;
  int FLineChangesRaised = 0;
};
