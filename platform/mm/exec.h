// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Starting an outside program by name, searched on PATH.
#include "platform/base/wintypes.h"

// Returns a value above 31 when the program was started, 2 when it was not
// found; the caller may ignore it.
UINT WinExec(const char* lpCmdLine, UINT uCmdShow);
