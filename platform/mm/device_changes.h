// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A count of the changes to the sound devices that could change the answer
// to a later call: a stream opened, started, closed; a device that comes or
// goes; an injected fault used up. The wave calls count their own successes;
// a backend notes what happens inside it. The application's idle loop rests
// while nothing it reads changes, so a change from another thread also wakes
// it, through the waker the application installs.
#include <cstdint>
#include <functional>

namespace platform {

// Any thread.
void NoteDeviceChange();
std::uint64_t DeviceChangeCount();

// Called by NoteDeviceChange, from whichever thread noted it; must be
// thread-safe. Empty: no one to wake.
void SetDeviceChangeWaker(std::function<void()> waker);

}  // namespace platform
