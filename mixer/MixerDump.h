// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a headless dump shows of a mixer: whether it is open, the device,
// the whole tree with its values, the well-known lines and how many
// notifications and events it has handled.
#include "mixer/AudioMixer.h"
#include "platform/base/json.h"

void DumpMixer(const TAudioMixer& Mixer, platform::JsonWriter& w);
