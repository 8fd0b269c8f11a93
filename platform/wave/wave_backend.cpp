#include "platform/wave/wave_backend.h"

#include "platform/wave/virtual_card.h"

namespace platform {

namespace {
WaveBackend* chosen = nullptr;
}

void SetWaveBackend(WaveBackend* backend) { chosen = backend; }

WaveBackend& ActiveWaveBackend() { return chosen ? *chosen : TheVirtualCard(); }

}  // namespace platform
