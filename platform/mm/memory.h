// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Global memory blocks as the wave streams obtain them: a handle from
// GlobalAlloc, an address from GlobalLock. Handles are never reused, so a
// stale handle is recognised. Blocks obtained without GMEM_ZEROINIT are
// filled with a non-zero pattern, so code that relies on zeroed memory
// without asking for it is caught.
#include <cstddef>

#include "platform/base/wintypes.h"

struct HGLOBAL__;
using HGLOBAL = HGLOBAL__*;

inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GMEM_DDESHARE = 0x2000;

// Null when the block cannot be obtained.
HGLOBAL GlobalAlloc(UINT uFlags, std::size_t dwBytes);
// Address of the block, or null for an unknown handle (or an injected fault).
void* GlobalLock(HGLOBAL hMem);
// Non-zero while the block is still locked after this call.
BOOL GlobalUnlock(HGLOBAL hMem);
// Null on success, the handle itself when it is not a live block.
HGLOBAL GlobalFree(HGLOBAL hMem);

namespace platform {

// The byte every block obtained without GMEM_ZEROINIT starts filled with.
inline constexpr unsigned char kGlobalFillPattern = 0xA5;

// Number of blocks obtained and not yet freed (for leak tests).
int LiveGlobalBlocks();
// Size in bytes of a live block, 0 for an unknown handle.
std::size_t GlobalBlockSize(HGLOBAL hMem);

// Fault injection: the n-th allocation (or lock) from now fails; 1 is the
// next one, 0 cancels. Each fault fires once.
void FailGlobalAllocAfter(int n);
void FailGlobalLockAfter(int n);
void ClearGlobalMemoryFaults();

}  // namespace platform
