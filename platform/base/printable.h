// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text that came from outside the program (a file's chunk IDs, a script's
// words, a command line) made safe to print: the result is always valid
// UTF-8 without control characters, so a message on stderr stays readable
// whatever bytes it quotes. Escaping is idempotent (a backslash is kept as
// it is), so a message may be passed through again where it is printed.
#include <string>
#include <string_view>

namespace platform {

// Valid UTF-8 stays as it is; each byte of a control character (C0, DEL,
// C1) or of an invalid sequence (stray continuation bytes, overlong forms,
// surrogates, code points past U+10FFFF, a sequence cut short) becomes
// \xHH with two upper-case hex digits.
std::string PrintableText(std::string_view bytes);

// For names that are ASCII by definition, such as a RIFF chunk ID: every
// byte outside 0x20..0x7E becomes \xHH.
std::string PrintableAscii(std::string_view bytes);

// True when `bytes` is valid UTF-8 (the same rules as above, controls allowed).
bool IsValidUtf8(std::string_view bytes);

}  // namespace platform
