// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The scalar types of the system interfaces the instrument is written against.
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using BOOL = int;
using LONG = std::int32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using LPSTR = char*;

// A window handle is a number that is never reused, so a message posted to a
// window that has gone is recognised and dropped.
using HWND = std::uintptr_t;
inline constexpr HWND NullWindow = 0;
