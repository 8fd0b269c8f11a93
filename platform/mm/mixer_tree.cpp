// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mm/mixer_tree.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/base/messages.h"

namespace platform {

namespace {

// Handles are unique across backends, so one of a replaced card never
// names a handle of its successor.
std::atomic<std::uintptr_t> next_handle{0x4D00};

constexpr DWORD kDestinationLine = ~0u;

template <std::size_t N>
void CopyName(char (&to)[N], const std::string& from) {
  const std::size_t n = std::min(from.size(), N - 1);
  std::memcpy(to, from.data(), n);
  to[n] = '\0';
}

void NumberLine(MixerLineNode& line, DWORD id, DWORD& next_control) {
  line.id = id;
  for (MixerControlNode& c : line.controls) {
    c.id = next_control++;
    c.channels = (c.flags & MIXERCONTROL_CONTROLF_UNIFORM) ? 1 : std::max<DWORD>(line.channels, 1);
    c.values.resize(static_cast<std::size_t>(c.channels) * c.ItemCount(), 0);
  }
}

}  // namespace

void NumberMixerTree(MixerDeviceTree& tree) {
  DWORD next_control = 1;
  for (DWORD d = 0; d < tree.destinations.size(); ++d) {
    MixerLineNode& dest = tree.destinations[d];
    NumberLine(dest, d << 16 | 0xFFFF, next_control);
    for (DWORD s = 0; s < dest.sources.size(); ++s)
      NumberLine(dest.sources[s], d << 16 | s, next_control);
  }
}

MixerControlNode MakeMixerControl(std::string key, DWORD type, std::string name, LONG minimum,
                                  LONG maximum, DWORD flags, DWORD items) {
  MixerControlNode c;
  c.key = std::move(key);
  c.type = type;
  c.short_name = name.substr(0, MIXER_SHORT_NAME_CHARS - 1);
  c.name = std::move(name);
  c.minimum = minimum;
  c.maximum = maximum;
  c.flags = flags;
  c.items = items;
  const std::int64_t span = static_cast<std::int64_t>(maximum) - minimum;
  c.steps = (type & MIXERCONTROL_CT_CLASS_MASK) == MIXERCONTROL_CT_CLASS_SWITCH
                ? 2
                : static_cast<DWORD>(std::min<std::int64_t>(span + 1, 0xFFFFFFFF));
  return c;
}

void FillMixerControl(const MixerControlNode& node, MIXERCONTROLA& out) {
  std::memset(&out, 0, sizeof out);
  out.cbStruct = sizeof(MIXERCONTROLA);
  out.dwControlID = node.id;
  out.dwControlType = node.type;
  out.fdwControl = node.flags;
  out.cMultipleItems = node.Multiple() ? node.items : 0;
  CopyName(out.szShortName, node.short_name);
  CopyName(out.szName, node.name);
  out.Bounds.lMinimum = node.minimum;
  out.Bounds.lMaximum = node.maximum;
  out.Metrics.cSteps = node.steps;
}

UINT TreeMixerBackend::DeviceCount() { return static_cast<UINT>(trees_.size()); }

MMRESULT TreeMixerBackend::Caps(UINT device, MIXERCAPSA& caps) {
  if (device >= trees_.size()) return MMSYSERR_BADDEVICEID;
  std::memset(&caps, 0, sizeof caps);
  CopyName(caps.szPname, trees_[device].product);
  caps.cDestinations = static_cast<DWORD>(trees_[device].destinations.size());
  caps.vDriverVersion = 0x0100;
  return MMSYSERR_NOERROR;
}

MMRESULT TreeMixerBackend::Open(UINT device, HWND callback, std::uintptr_t* handle) {
  if (device >= trees_.size()) return MMSYSERR_BADDEVICEID;
  std::lock_guard lock(handles_mutex_);
  *handle = next_handle.fetch_add(1);
  handles_.push_back({*handle, device, callback});
  return MMSYSERR_NOERROR;
}

MMRESULT TreeMixerBackend::DeviceOf(std::uintptr_t handle, UINT* device) {
  std::lock_guard lock(handles_mutex_);
  for (const OpenHandle& h : handles_)
    if (h.handle == handle) {
      *device = h.device;
      return MMSYSERR_NOERROR;
    }
  return MMSYSERR_INVALHANDLE;
}

MMRESULT TreeMixerBackend::Close(std::uintptr_t handle) {
  std::lock_guard lock(handles_mutex_);
  auto it = std::find_if(handles_.begin(), handles_.end(),
                         [&](const OpenHandle& h) { return h.handle == handle; });
  if (it == handles_.end()) return MMSYSERR_INVALHANDLE;
  handles_.erase(it);
  return MMSYSERR_NOERROR;
}

int TreeMixerBackend::OpenHandles() const {
  std::lock_guard lock(handles_mutex_);
  return static_cast<int>(handles_.size());
}

MixerLineNode* TreeMixerBackend::Line(UINT device, DWORD destination, DWORD source) {
  if (device >= trees_.size() || destination >= trees_[device].destinations.size()) return nullptr;
  MixerLineNode& dest = trees_[device].destinations[destination];
  if (source == kDestinationLine) return &dest;
  return source < dest.sources.size() ? &dest.sources[source] : nullptr;
}

MixerLineNode* TreeMixerBackend::LineById(UINT device, DWORD line_id) {
  const DWORD d = line_id >> 16, s = line_id & 0xFFFF;
  MixerLineNode* line = Line(device, d, s == 0xFFFF ? kDestinationLine : s);
  return line && line->id == line_id ? line : nullptr;
}

MixerLineNode* TreeMixerBackend::LineByKey(UINT device, const std::string& key) {
  if (device >= trees_.size()) return nullptr;
  for (MixerLineNode& dest : trees_[device].destinations) {
    if (dest.key == key) return &dest;
    for (MixerLineNode& src : dest.sources)
      if (src.key == key) return &src;
  }
  return nullptr;
}

MixerControlNode* TreeMixerBackend::Control(UINT device, DWORD control_id, MixerLineNode** line) {
  if (device >= trees_.size()) return nullptr;
  auto in = [&](MixerLineNode& l) -> MixerControlNode* {
    for (MixerControlNode& c : l.controls)
      if (c.id == control_id) {
        if (line) *line = &l;
        return &c;
      }
    return nullptr;
  };
  for (MixerLineNode& dest : trees_[device].destinations) {
    if (MixerControlNode* c = in(dest)) return c;
    for (MixerLineNode& src : dest.sources)
      if (MixerControlNode* c = in(src)) return c;
  }
  return nullptr;
}

MMRESULT TreeMixerBackend::LineInfo(UINT device, MIXERLINEA& out, DWORD query) {
  if (device >= trees_.size()) return MMSYSERR_BADDEVICEID;
  MixerLineNode* line = nullptr;
  switch (query) {
    case MIXER_GETLINEINFOF_DESTINATION:
      line = Line(device, out.dwDestination, kDestinationLine);
      break;
    case MIXER_GETLINEINFOF_SOURCE:
      line = Line(device, out.dwDestination, out.dwSource);
      break;
    case MIXER_GETLINEINFOF_LINEID:
      line = LineById(device, out.dwLineID);
      break;
    case MIXER_GETLINEINFOF_COMPONENTTYPE:
      for (MixerLineNode& dest : trees_[device].destinations) {
        if (line) break;
        if (dest.component == out.dwComponentType) line = &dest;
        for (MixerLineNode& src : dest.sources)
          if (!line && src.component == out.dwComponentType) line = &src;
      }
      break;
    default:
      return MMSYSERR_NOTSUPPORTED;
  }
  if (line == nullptr) return MIXERR_INVALLINE;
  if (MMRESULT r = BeforeLineInfo(device, *line); r != MMSYSERR_NOERROR) return r;
  const DWORD cb = out.cbStruct;
  std::memset(&out, 0, sizeof out);
  out.cbStruct = cb;
  const bool source = (line->id & 0xFFFF) != 0xFFFF;
  out.dwDestination = line->id >> 16;
  out.dwSource = source ? (line->id & 0xFFFF) : 0;
  out.dwLineID = line->id;
  out.fdwLine = line->flags | (source ? MIXERLINE_LINEF_SOURCE : 0);
  out.dwComponentType = line->component;
  out.cChannels = line->channels;
  out.cConnections = source ? 0 : static_cast<DWORD>(line->sources.size());
  out.cControls = static_cast<DWORD>(line->controls.size());
  CopyName(out.szShortName, line->short_name);
  CopyName(out.szName, line->name);
  out.Target.dwType = line->target_type;
  CopyName(out.Target.szPname, trees_[device].product);
  return MMSYSERR_NOERROR;
}

MMRESULT TreeMixerBackend::LineControls(UINT device, MIXERLINECONTROLSA& out, DWORD query) {
  if (device >= trees_.size()) return MMSYSERR_BADDEVICEID;
  if (query == MIXER_GETLINECONTROLSF_ONEBYID) {
    MixerLineNode* line = nullptr;
    MixerControlNode* c = Control(device, out.dwControlID, &line);
    if (c == nullptr) return MIXERR_INVALCONTROL;
    if (MMRESULT r = BeforeLineControls(device, *line); r != MMSYSERR_NOERROR) return r;
    out.dwLineID = line->id;
    FillMixerControl(*c, out.pamxctrl[0]);
    return MMSYSERR_NOERROR;
  }
  MixerLineNode* line = LineById(device, out.dwLineID);
  if (line == nullptr) return MIXERR_INVALLINE;
  if (MMRESULT r = BeforeLineControls(device, *line); r != MMSYSERR_NOERROR) return r;
  if (query == MIXER_GETLINECONTROLSF_ONEBYTYPE) {
    for (const MixerControlNode& c : line->controls)
      if (c.type == out.dwControlType) {
        FillMixerControl(c, out.pamxctrl[0]);
        return MMSYSERR_NOERROR;
      }
    return MIXERR_INVALCONTROL;
  }
  // All: the caller's array must hold every control of the line.
  if (out.cControls != line->controls.size()) return MMSYSERR_INVALPARAM;
  for (std::size_t i = 0; i < line->controls.size(); ++i)
    FillMixerControl(line->controls[i], out.pamxctrl[i]);
  return MMSYSERR_NOERROR;
}

MMRESULT TreeMixerBackend::ControlValues(UINT device, MIXERCONTROLDETAILS& details) {
  if (device >= trees_.size()) return MMSYSERR_BADDEVICEID;
  MixerLineNode* line = nullptr;
  MixerControlNode* c = Control(device, details.dwControlID, &line);
  if (c == nullptr) return MIXERR_INVALCONTROL;
  const DWORD items = c->ItemCount();
  if (c->Multiple() && details.cMultipleItems != items) return MMSYSERR_INVALPARAM;
  // One channel asks for the value of all channels; otherwise the line's.
  if (details.cChannels != 1 && details.cChannels != line->channels) return MMSYSERR_INVALPARAM;
  if (MMRESULT r = BeforeValues(device, *line, *c); r != MMSYSERR_NOERROR) return r;
  auto* out = static_cast<LONG*>(details.paDetails);
  for (DWORD ch = 0; ch < details.cChannels; ++ch)
    for (DWORD i = 0; i < items; ++i) {
      LONG v = c->values[std::min(ch, c->channels - 1) * items + i];
      if (details.cChannels == 1)
        for (DWORD k = 1; k < c->channels; ++k) v = std::max(v, c->values[k * items + i]);
      out[ch * items + i] = v;
    }
  return MMSYSERR_NOERROR;
}

MMRESULT TreeMixerBackend::BeforeLineInfo(UINT, MixerLineNode&) { return MMSYSERR_NOERROR; }
MMRESULT TreeMixerBackend::BeforeLineControls(UINT, MixerLineNode&) { return MMSYSERR_NOERROR; }
MMRESULT TreeMixerBackend::BeforeValues(UINT, MixerLineNode&, MixerControlNode&) {
  return MMSYSERR_NOERROR;
}

void TreeMixerBackend::Post(UINT device, UINT msg, DWORD id) {
  std::lock_guard lock(handles_mutex_);
  for (const OpenHandle& h : handles_)
    if (h.device == device && h.callback != NullWindow)
      PostMessage(h.callback, msg, h.handle, static_cast<LPARAM>(id));
}

void TreeMixerBackend::NotifyLineChange(UINT device, DWORD line_id) {
  Post(device, MM_MIXM_LINE_CHANGE, line_id);
}

void TreeMixerBackend::NotifyControlChange(UINT device, DWORD control_id) {
  Post(device, MM_MIXM_CONTROL_CHANGE, control_id);
}

}  // namespace platform
