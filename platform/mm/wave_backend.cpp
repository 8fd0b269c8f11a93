#include "platform/mm/wave_backend.h"

#include "platform/card/virtual/virtual_card.h"

namespace platform {

namespace {
WaveBackend* chosen = nullptr;
}

void SetWaveBackend(WaveBackend* backend) { chosen = backend; }

WaveBackend& ActiveWaveBackend() { return chosen ? *chosen : TheVirtualCard(); }

}  // namespace platform
