#include "platform/mm/mixer_backend.h"

#include "platform/card/virtual/virtual_mixer.h"

namespace platform {

namespace {
MixerBackend* chosen = nullptr;
}

void SetMixerBackend(MixerBackend* backend) { chosen = backend; }

MixerBackend& ActiveMixerBackend() { return chosen ? *chosen : TheVirtualMixer(); }

}  // namespace platform
