// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The virtual card's mixer: device 0 with a speakers destination (wave-out,
// synthesizer, line, CD, microphone, telephone, auxiliary and PC-speaker
// sources), a wave-in destination (line, microphone, CD, telephone,
// auxiliary, analog and a second line source, chosen by a multiplexer) and
// a voice-in destination with a microphone. Lines are named by keys such as
// "speakers", "speakers.wave", "wavein.line2"; controls by "volume",
// "mute", "bass", "treble", "mux".
//
// The playback volumes of the wave-out, line, CD, microphone, auxiliary and
// synthesizer sources are the card's volume devices 0 to 5 (waveOutVolume,
// auxVolume), so the volume calls and the mixer see one setting.
//
// Its state can be changed from outside, as another program would; each
// change posts the notification to every open handle. Faults for tests:
// no device, capabilities or open that fail, and line-info, control-list
// or value calls of a chosen line or control that fail.
#include <optional>
#include <string>

#include "platform/mm/mixer_tree.h"

namespace platform {

enum class VirtualMixerMode { Present, None, FailCaps, FailOpen };

class VirtualVolumes;

class VirtualMixer final : public TreeMixerBackend {
 public:
  // Its sources' volumes are these.
  explicit VirtualMixer(VirtualVolumes& volumes);

  UINT DeviceCount() override;
  MMRESULT Caps(UINT device, MIXERCAPSA& caps) override;
  MMRESULT Open(UINT device, HWND callback, std::uintptr_t* handle) override;

  void SetMode(VirtualMixerMode mode) { mode_ = mode; }
  // "none", "fail-caps" or "fail-open"; empty on success, else why not.
  std::string SetMode(const std::string& option);

  // Outside changes; empty on success, else why not. A mono line or a
  // uniform control takes `left` only.
  std::string SetControl(const std::string& line, const std::string& control, LONG left,
                         std::optional<LONG> right = std::nullopt);
  std::string SetLineActive(const std::string& line, bool active);
  // The script form: VALUE or LEFT,RIGHT.
  std::string SetControlText(const std::string& line, const std::string& control,
                             const std::string& value);
  // What SetControlText would refuse, changing nothing: empty, or why not.
  std::string CheckControlText(const std::string& line, const std::string& control,
                               const std::string& value);

  // Calls about that line or control fail with `code` until the mixer is reset.
  void FailLineInfo(const std::string& line, MMRESULT code);
  void FailLineControls(const std::string& line, MMRESULT code);
  void FailValues(const std::string& line, const std::string& control, MMRESULT code);

  const MixerDeviceTree& Tree() const { return trees_[0]; }
  DWORD ControlId(const std::string& line, const std::string& control);

 protected:
  MMRESULT BeforeLineInfo(UINT device, MixerLineNode& line) override;
  MMRESULT BeforeLineControls(UINT device, MixerLineNode& line) override;
  MMRESULT BeforeValues(UINT device, MixerLineNode& line, MixerControlNode& control) override;

 private:
  struct Fault {
    DWORD id;
    MMRESULT code;
  };
  static MMRESULT Find(const std::vector<Fault>& faults, DWORD id);
  MixerControlNode* ControlNamed(const std::string& line, const std::string& control,
                                 MixerLineNode** owner, std::string& error);
  // The control that can take these values, or null and `error` says why.
  MixerControlNode* Settable(const std::string& line, const std::string& control, LONG left,
                             std::optional<LONG> right, std::string& error);

  VirtualVolumes& volumes_;
  VirtualMixerMode mode_ = VirtualMixerMode::Present;
  std::vector<Fault> line_info_faults_, line_controls_faults_, value_faults_;
};

// The mixer of this process's virtual card.
VirtualMixer& TheVirtualMixer();

}  // namespace platform
