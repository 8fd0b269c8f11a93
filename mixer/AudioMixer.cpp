// SPDX-License-Identifier: GPL-3.0-or-later
#include "mixer/AudioMixer.h"

#include <cstdio>
#include <cstring>

namespace {

std::string Format(const char* Pattern, long long Value) {
  char text[128];
  std::snprintf(text, sizeof text, Pattern, Value);
  return text;
}

// The detail kind a control's values are read as.
enum class TDetailKind { Signed, Boolean, Unsigned };

TDetailKind DetailKindOf(DWORD ControlType) {
  const DWORD Class = ControlType & MIXERCONTROL_CT_CLASS_MASK;
  if (ControlType == MIXERCONTROL_CONTROLTYPE_SIGNEDMETER ||
      ControlType == MIXERCONTROL_CONTROLTYPE_SIGNED || Class == MIXERCONTROL_CT_CLASS_SLIDER)
    return TDetailKind::Signed;
  if (Class == MIXERCONTROL_CT_CLASS_LIST || ControlType == MIXERCONTROL_CONTROLTYPE_BOOLEANMETER ||
      Class == MIXERCONTROL_CT_CLASS_SWITCH)
    return TDetailKind::Boolean;
  return TDetailKind::Unsigned;
}

// A name field of a record, which a driver need not terminate.
template <std::size_t N>
std::string FixedText(const char (&Field)[N]) {
  return std::string(Field, strnlen(Field, N));
}

HMIXEROBJ AsObject(HMIXER Handle) { return reinterpret_cast<HMIXEROBJ>(Handle); }
HMIXEROBJ AsObject(DWORD DeviceID) {
  return reinterpret_cast<HMIXEROBJ>(static_cast<std::uintptr_t>(DeviceID));
}

}  // namespace

TAudioMixer::TAudioMixer(platform::TComponent* AOwner) : platform::TComponent(AOwner) {
  FDeviceCount = mixerGetNumDevs();
  FMixerID = 0;
  FManager = std::make_unique<TMixerMan>(this);
}

TAudioMixer::~TAudioMixer() {
  if (FOpen) Close();
  FManager.reset();
}

void TAudioMixer::SetMixerID(DWORD Value) {
  if (FOpen) Close();
  if (Value < FDeviceCount) {
    FMixerID = Value;
    return;
  }
  throw EMixerID(
      Format("MixerID maximum for this machine: %lld", static_cast<long long>(FDeviceCount) - 1));
}

void TAudioMixer::Open() {
  // 1-2.
  if (FOpen) Close();
  if (FDeviceCount == 0) throw EMixerID("No mixer device present in this system.");
  // 3.
  MIXERCAPSA Caps{};
  if (mixerGetDevCapsA(FMixerID, &Caps, sizeof Caps) != MMSYSERR_NOERROR)
    throw EMixerCaps(Format("Function mixerGetDevCaps failed. Mixer device ID: %lld", FMixerID));
  FProductName = FixedText(Caps.szPname);
  FDestinationCount = Caps.cDestinations;
  // 4.
  const HWND Window = FManager->WindowHandle();
  if (mixerOpen(&FHandle, FMixerID, Window, 0, CALLBACK_WINDOW) != MMSYSERR_NOERROR) {
    FHandle = nullptr;
    throw EMixerOpen("Function mixerOpen failed");
  }
  // 5.
  FEnumerating = true;
  FDestinations.resize(FDestinationCount);
  for (DWORD D = 0; D < FDestinationCount; ++D) {
    FDestinations[D] = std::make_unique<TDestination>();
    TDestination& Dest = *FDestinations[D];
    ReadLineInfo(D, DestinationLine);
    if (!Dest.Valid) continue;
    if (Dest.ControlCount != 0) {
      CreateControls(Dest);
      ReadLineControls(D, DestinationLine);
      for (DWORD C = 0; C < Dest.ControlCount; ++C) ReadControlValue(D, DestinationLine, C);
    }
    Dest.Sources.resize(Dest.ConnectionCount);
    for (DWORD S = 0; S < Dest.ConnectionCount; ++S) {
      Dest.Sources[S] = std::make_unique<TSource>();
      TSource& Source = *Dest.Sources[S];
      ReadLineInfo(D, S);
      if (!Source.Valid || Source.ControlCount == 0) continue;
      CreateControls(Source);
      ReadLineControls(D, S);
      for (DWORD C = 0; C < Source.ControlCount; ++C) ReadControlValue(D, S, C);
    }
  }
  FEnumerating = false;
  // 6.
  FOpen = true;
}

void TAudioMixer::Close() {
  if (!FOpen) return;
  mixerClose(FHandle);
  FHandle = nullptr;
  FOpen = false;
  for (auto& Dest : FDestinations) {
    if (!Dest) continue;
    for (auto& Source : Dest->Sources) {
      if (!Source) continue;
      for (auto& Control : Source->Controls) Control->Values.clear();
      Source->Controls.clear();
    }
    Dest->Sources.clear();
    for (auto& Control : Dest->Controls) Control->Values.clear();
    Dest->Controls.clear();
  }
  FDestinations.clear();
  ForgetWellKnownLines();
}

TSource* TAudioMixer::LineAt(DWORD D, DWORD S) const {
  if (D >= FDestinations.size() || !FDestinations[D]) return nullptr;
  TDestination* Dest = FDestinations[D].get();
  if (S == DestinationLine) return Dest;
  return S < Dest->Sources.size() ? Dest->Sources[S].get() : nullptr;
}

void TAudioMixer::CreateControls(TSource& Line) {
  Line.Controls.clear();
  for (DWORD C = 0; C < Line.ControlCount; ++C)
    Line.Controls.push_back(std::make_unique<TAudioControl>(Line.Channels, FHandle));
}

void TAudioMixer::ReadLineInfo(DWORD D, DWORD S) {
  TSource* Line = LineAt(D, S);
  if (Line == nullptr) return;
  MIXERLINEA ML{};
  ML.cbStruct = sizeof ML;
  ML.dwDestination = D;
  DWORD Query = MIXER_GETLINEINFOF_DESTINATION;
  if (S != DestinationLine) {
    ML.dwSource = S;
    Query = MIXER_GETLINEINFOF_SOURCE;
  }
  Line->Valid = mixerGetLineInfoA(AsObject(FMixerID), &ML, Query) == MMSYSERR_NOERROR;
  if (!Line->Valid) return;
  Line->Active = (ML.fdwLine & MIXERLINE_LINEF_ACTIVE) != 0;
  Line->Disconnected = (ML.fdwLine & MIXERLINE_LINEF_DISCONNECTED) != 0;
  Line->Channels = ML.cChannels;
  if (S == DestinationLine) static_cast<TDestination*>(Line)->ConnectionCount = ML.cConnections;
  Line->ControlCount = ML.cControls;
  Line->ShortName = FixedText(ML.szShortName);
  Line->Name = FixedText(ML.szName);
  Line->LineID = ML.dwLineID;
  Line->ComponentType = ML.dwComponentType;
  Line->SourceIndex = 0;
  if (FEnumerating) RememberWellKnownLine(*Line, D, S);
}

void TAudioMixer::ReadLineControls(DWORD D, DWORD S) {
  TSource* Line = LineAt(D, S);
  if (Line == nullptr || Line->Controls.empty()) return;
  std::vector<MIXERCONTROLA> Buffer(Line->Controls.size());
  Line->MuteControl = -1;
  Line->VolumeControl = -1;
  Line->SelectorControl = -1;
  MIXERLINECONTROLSA MLC{};
  MLC.cbStruct = sizeof MLC;
  MLC.dwLineID = Line->LineID;
  MLC.cControls = static_cast<DWORD>(Buffer.size());
  MLC.cbmxctrl = sizeof(MIXERCONTROLA);
  MLC.pamxctrl = Buffer.data();
  if (mixerGetLineControlsA(AsObject(FMixerID), &MLC, MIXER_GETLINECONTROLSF_ALL) !=
      MMSYSERR_NOERROR) {
    for (auto& Control : Line->Controls) Control->Valid = false;
    return;
  }
  for (std::size_t C = 0; C < Line->Controls.size(); ++C) {
    TAudioControl& Control = *Line->Controls[C];
    const MIXERCONTROLA& MC = Buffer[C];
    Control.Valid = true;
    Control.ControlID = MC.dwControlID;
    Control.ControlType = MC.dwControlType;
    Control.Disabled = (MC.fdwControl & MIXERCONTROL_CONTROLF_DISABLED) != 0;
    Control.Multiple = (MC.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) != 0;
    Control.Uniform = (MC.fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) != 0;
    Control.ItemCount = static_cast<int>(MC.cMultipleItems);
    const int Index = static_cast<int>(C);
    switch (MC.dwControlType) {
      case MIXERCONTROL_CONTROLTYPE_MUTE:
        if (Line->MuteControl < 0) Line->MuteControl = Index;
        break;
      case MIXERCONTROL_CONTROLTYPE_MUX:
        if (Line->SelectorControl < 0) Line->SelectorControl = Index;
        break;
      case MIXERCONTROL_CONTROLTYPE_BASS:
      case MIXERCONTROL_CONTROLTYPE_TREBLE:
        break;
      default:
        if (Line->VolumeControl < 0) Line->VolumeControl = Index;
    }
    Control.Values.clear();
    const int Items = Control.Multiple ? Control.ItemCount : 1;
    for (int Item = 0; Item < Items; ++Item)
      Control.Values.push_back(std::make_unique<TVolume>(Item, &Control));
    Control.Minimum = MC.Bounds.lMinimum;
    Control.Maximum = MC.Bounds.lMaximum;
    Control.ShortName = FixedText(MC.szShortName);
    Control.Name = FixedText(MC.szName);
    Control.Steps = MC.Metrics.cSteps;
  }
}

void TAudioMixer::ReadControlValue(DWORD D, DWORD S, DWORD C) {
  TSource* Line = LineAt(D, S);
  if (Line == nullptr || C >= Line->Controls.size()) return;
  TAudioControl& Control = *Line->Controls[C];
  if (!Control.Valid) return;
  const TDetailKind Kind = DetailKindOf(Control.ControlType);
  DWORD Channels = Control.LineChannels;
  if (Control.Uniform) {
    Channels = 1;
  } else if (Control.ControlType == MIXERCONTROL_CONTROLTYPE_CUSTOM) {
    Channels = 0;
  }
  const DWORD Items = Control.ItemCount > 0 ? static_cast<DWORD>(Control.ItemCount) : 1;
  // Signed, unsigned and boolean details are all 4 bytes.
  std::vector<MIXERCONTROLDETAILS_UNSIGNED> Buffer(static_cast<std::size_t>(Channels) * Items);
  MIXERCONTROLDETAILS MCD{};
  MCD.cbStruct = sizeof MCD;
  MCD.dwControlID = Control.ControlID;
  MCD.cChannels = Channels;
  MCD.cMultipleItems = static_cast<DWORD>(Control.ItemCount);
  MCD.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
  MCD.paDetails = Buffer.empty() ? nullptr : Buffer.data();
  if (mixerGetControlDetailsA(AsObject(FHandle), &MCD,
                              MIXER_OBJECTF_HANDLE | MIXER_GETCONTROLDETAILSF_VALUE) !=
      MMSYSERR_NOERROR) {
    Control.Valid = false;
    return;
  }
  auto Detail = [&](std::size_t k) -> std::int32_t {
    switch (Kind) {
      case TDetailKind::Signed:
        return reinterpret_cast<const MIXERCONTROLDETAILS_SIGNED*>(Buffer.data())[k].lValue;
      case TDetailKind::Boolean:
        return reinterpret_cast<const MIXERCONTROLDETAILS_BOOLEAN*>(Buffer.data())[k].fValue;
      default:
        return static_cast<std::int32_t>(Buffer[k].dwValue);
    }
  };
  if (!Control.Multiple) {
    TVolume& Value = *Control.Values[0];
    Value.Left = Detail(0);
    Value.Right = Channels >= 2 ? Detail(1) : Value.Left;
  } else {
    for (int k = 0; k < Control.ItemCount && k < static_cast<int>(Buffer.size()); ++k)
      Control.Values[k]->Left = Control.Values[k]->Right = Detail(k);
  }
}

void TAudioMixer::DoMixerControlChange(DWORD D, DWORD S, DWORD C) {
  ++FControlChangesRaised;
  if (OnMixerControlChange) OnMixerControlChange(this, D, S, C);
}

void TAudioMixer::DoMixerLineChange(DWORD D, DWORD S) {
  ++FLineChangesRaised;
  if (OnMixerLineChange) OnMixerLineChange(this, D, S);
}
