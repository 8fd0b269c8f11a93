// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The multimedia mixer interface the mixer model is written against: its
// records, flags, type codes, notifications and the mixer* calls. The calls
// check what the system checks (records, sizes, flags, handles, device IDs)
// and hand the rest to the mixer backend chosen at start-up.
//
// Records have this platform's own sizes: MIXERLINEA, MIXERLINECONTROLSA and
// MIXERCONTROLDETAILS hold pointer-sized members, so they are larger than
// on 32-bit systems; callers use sizeof, never byte counts.
#include <cstddef>
#include <cstdint>

#include "platform/mm/mmsystem.h"

using UINT_PTR = std::uintptr_t;

inline constexpr MMRESULT MIXERR_INVALLINE = 1024;
inline constexpr MMRESULT MIXERR_INVALCONTROL = 1025;
inline constexpr MMRESULT MIXERR_INVALVALUE = 1026;

inline constexpr UINT MAXPNAMELEN = 32;
inline constexpr UINT MIXER_SHORT_NAME_CHARS = 16;
inline constexpr UINT MIXER_LONG_NAME_CHARS = 64;

// Notifications: wParam is the mixer handle, lParam the line or control ID.
inline constexpr UINT MM_MIXM_LINE_CHANGE = 0x3D0;
inline constexpr UINT MM_MIXM_CONTROL_CHANGE = 0x3D1;

struct HMIXER__;
using HMIXER = HMIXER__*;
using LPHMIXER = HMIXER*;
struct HMIXEROBJ__;
using HMIXEROBJ = HMIXEROBJ__*;

// Which object the first argument of a query names.
inline constexpr DWORD MIXER_OBJECTF_HANDLE = 0x80000000;
inline constexpr DWORD MIXER_OBJECTF_MIXER = 0x00000000;
inline constexpr DWORD MIXER_OBJECTF_HMIXER = MIXER_OBJECTF_HANDLE | MIXER_OBJECTF_MIXER;
inline constexpr DWORD MIXER_OBJECTF_TYPEMASK = 0xF0000000;

struct MIXERCAPSA {
  WORD wMid;
  WORD wPid;
  UINT vDriverVersion;
  char szPname[MAXPNAMELEN];
  DWORD fdwSupport;
  DWORD cDestinations;
};
static_assert(sizeof(MIXERCAPSA) == 48);

inline constexpr DWORD MIXERLINE_LINEF_ACTIVE = 0x00000001;
inline constexpr DWORD MIXERLINE_LINEF_DISCONNECTED = 0x00008000;
inline constexpr DWORD MIXERLINE_LINEF_SOURCE = 0x80000000;

inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_UNDEFINED = 0;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_DIGITAL = 1;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_LINE = 2;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_MONITOR = 3;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_SPEAKERS = 4;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_HEADPHONES = 5;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_TELEPHONE = 6;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_WAVEIN = 7;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_VOICEIN = 8;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED = 0x1000;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_DIGITAL = 0x1001;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_LINE = 0x1002;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE = 0x1003;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER = 0x1004;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC = 0x1005;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_TELEPHONE = 0x1006;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_PCSPEAKER = 0x1007;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT = 0x1008;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY = 0x1009;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_ANALOG = 0x100A;

inline constexpr DWORD MIXERLINE_TARGETTYPE_UNDEFINED = 0;
inline constexpr DWORD MIXERLINE_TARGETTYPE_WAVEOUT = 1;
inline constexpr DWORD MIXERLINE_TARGETTYPE_WAVEIN = 2;

struct MIXERLINEA {
  DWORD cbStruct;
  DWORD dwDestination;
  DWORD dwSource;
  DWORD dwLineID;
  DWORD fdwLine;
  DWORD_PTR dwUser;
  DWORD dwComponentType;
  DWORD cChannels;
  DWORD cConnections;
  DWORD cControls;
  char szShortName[MIXER_SHORT_NAME_CHARS];
  char szName[MIXER_LONG_NAME_CHARS];
  struct {
    DWORD dwType;
    DWORD dwDeviceID;
    WORD wMid;
    WORD wPid;
    UINT vDriverVersion;
    char szPname[MAXPNAMELEN];
  } Target;
};

inline constexpr DWORD MIXER_GETLINEINFOF_DESTINATION = 0;
inline constexpr DWORD MIXER_GETLINEINFOF_SOURCE = 1;
inline constexpr DWORD MIXER_GETLINEINFOF_LINEID = 2;
inline constexpr DWORD MIXER_GETLINEINFOF_COMPONENTTYPE = 3;
inline constexpr DWORD MIXER_GETLINEINFOF_QUERYMASK = 0xF;

inline constexpr DWORD MIXERCONTROL_CONTROLF_UNIFORM = 0x00000001;
inline constexpr DWORD MIXERCONTROL_CONTROLF_MULTIPLE = 0x00000002;
inline constexpr DWORD MIXERCONTROL_CONTROLF_DISABLED = 0x80000000;

inline constexpr DWORD MIXERCONTROL_CT_CLASS_MASK = 0xF0000000;
inline constexpr DWORD MIXERCONTROL_CT_CLASS_CUSTOM = 0x00000000;
inline constexpr DWORD MIXERCONTROL_CT_CLASS_METER = 0x10000000;
inline constexpr DWORD MIXERCONTROL_CT_CLASS_SWITCH = 0x20000000;
inline constexpr DWORD MIXERCONTROL_CT_CLASS_NUMBER = 0x30000000;
inline constexpr DWORD MIXERCONTROL_CT_CLASS_SLIDER = 0x40000000;
inline constexpr DWORD MIXERCONTROL_CT_CLASS_FADER = 0x50000000;
inline constexpr DWORD MIXERCONTROL_CT_CLASS_TIME = 0x60000000;
inline constexpr DWORD MIXERCONTROL_CT_CLASS_LIST = 0x70000000;

inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_CUSTOM = 0x00000000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_BOOLEANMETER = 0x10010000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_SIGNEDMETER = 0x10020000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_PEAKMETER = 0x10020001;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_UNSIGNEDMETER = 0x10030000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_BOOLEAN = 0x20010000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_ONOFF = 0x20010001;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_MUTE = 0x20010002;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_MONO = 0x20010003;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_LOUDNESS = 0x20010004;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_STEREOENH = 0x20010005;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_BUTTON = 0x21010000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_SIGNED = 0x30020000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_UNSIGNED = 0x30030000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_DECIBELS = 0x30040000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_PERCENT = 0x30050000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_SLIDER = 0x40020000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_PAN = 0x40020001;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_QSOUNDPAN = 0x40020002;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_FADER = 0x50030000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_BASS = 0x50030002;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_TREBLE = 0x50030003;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_EQUALIZER = 0x50030004;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_SINGLESELECT = 0x70010000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_MUX = 0x70010001;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_MULTIPLESELECT = 0x71010000;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_MIXER = 0x71010001;

struct MIXERCONTROLA {
  DWORD cbStruct;
  DWORD dwControlID;
  DWORD dwControlType;
  DWORD fdwControl;
  DWORD cMultipleItems;
  char szShortName[MIXER_SHORT_NAME_CHARS];
  char szName[MIXER_LONG_NAME_CHARS];
  struct {
    union {
      LONG lMinimum;
      DWORD dwMinimum;
    };
    union {
      LONG lMaximum;
      DWORD dwMaximum;
    };
    DWORD dwReserved[4];
  } Bounds;
  union {
    DWORD cSteps;
    DWORD cbCustomData;
    DWORD dwReserved[6];
  } Metrics;
};
static_assert(sizeof(MIXERCONTROLA) == 148);

inline constexpr DWORD MIXER_GETLINECONTROLSF_ALL = 0;
inline constexpr DWORD MIXER_GETLINECONTROLSF_ONEBYID = 1;
inline constexpr DWORD MIXER_GETLINECONTROLSF_ONEBYTYPE = 2;
inline constexpr DWORD MIXER_GETLINECONTROLSF_QUERYMASK = 0xF;

struct MIXERLINECONTROLSA {
  DWORD cbStruct;
  DWORD dwLineID;
  union {
    DWORD dwControlID;
    DWORD dwControlType;
  };
  DWORD cControls;
  DWORD cbmxctrl;
  MIXERCONTROLA* pamxctrl;
};

inline constexpr DWORD MIXER_GETCONTROLDETAILSF_VALUE = 0;
inline constexpr DWORD MIXER_GETCONTROLDETAILSF_QUERYMASK = 0xF;

struct MIXERCONTROLDETAILS {
  DWORD cbStruct;
  DWORD dwControlID;
  DWORD cChannels;
  union {
    HWND hwndOwner;
    DWORD cMultipleItems;
  };
  DWORD cbDetails;
  void* paDetails;
};

struct MIXERCONTROLDETAILS_SIGNED {
  LONG lValue;
};
struct MIXERCONTROLDETAILS_UNSIGNED {
  DWORD dwValue;
};
struct MIXERCONTROLDETAILS_BOOLEAN {
  LONG fValue;
};

UINT mixerGetNumDevs();
MMRESULT mixerGetDevCapsA(UINT_PTR uMxId, MIXERCAPSA* pmxcaps, UINT cbmxcaps);
MMRESULT mixerOpen(LPHMIXER phmx, UINT uMxId, DWORD_PTR dwCallback, DWORD_PTR dwInstance,
                   DWORD fdwOpen);
MMRESULT mixerClose(HMIXER hmx);
MMRESULT mixerGetLineInfoA(HMIXEROBJ hmxobj, MIXERLINEA* pmxl, DWORD fdwInfo);
MMRESULT mixerGetLineControlsA(HMIXEROBJ hmxobj, MIXERLINECONTROLSA* pmxlc, DWORD fdwControls);
MMRESULT mixerGetControlDetailsA(HMIXEROBJ hmxobj, MIXERCONTROLDETAILS* pmxcd, DWORD fdwDetails);
