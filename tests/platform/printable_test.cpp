// SPDX-License-Identifier: GPL-3.0-or-later
// Outside text made printable: valid UTF-8 kept, everything else escaped.
#include "platform/base/printable.h"

#include <gtest/gtest.h>

namespace {

using platform::IsValidUtf8;
using platform::PrintableAscii;
using platform::PrintableText;

TEST(PrintableText, KeepsValidUtf8AndEscapesControlsAndBadBytes) {
  EXPECT_EQ(PrintableText("unknown command 'wait'"), "unknown command 'wait'");
  EXPECT_EQ(PrintableText("měření 600 Hz"), "měření 600 Hz");
  EXPECT_EQ(PrintableText("\U0001F50A"), "\U0001F50A");
  EXPECT_EQ(PrintableText(std::string_view("a\0b", 3)), "a\\x00b");
  EXPECT_EQ(PrintableText("tab\there\r\n\x7F"), "tab\\x09here\\x0D\\x0A\\x7F");
  EXPECT_EQ(PrintableText("\xC2\x85"), "\\xC2\\x85");          // C1 control NEL
  EXPECT_EQ(PrintableText("\x80\xBF"), "\\x80\\xBF");          // stray continuations
  EXPECT_EQ(PrintableText("\xC0\xAF"), "\\xC0\\xAF");          // overlong '/'
  EXPECT_EQ(PrintableText("\xED\xA0\x80"), "\\xED\\xA0\\x80");  // a surrogate
  EXPECT_EQ(PrintableText("\xF4\x90\x80\x80"), "\\xF4\\x90\\x80\\x80");  // past U+10FFFF
  EXPECT_EQ(PrintableText("x\xC3"), "x\\xC3");                 // cut short
  EXPECT_EQ(PrintableText("\xFF\xFEok"), "\\xFF\\xFEok");
}

TEST(PrintableText, IsIdempotentAndAlwaysValidUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  all += "\xE2\x82\xAC\xE2\x82";  // a euro sign, then one cut short
  const std::string once = PrintableText(all);
  EXPECT_TRUE(IsValidUtf8(once));
  EXPECT_EQ(PrintableText(once), once);
  for (char c : once) EXPECT_GE(static_cast<unsigned char>(c), 0x20);
}

TEST(PrintableAscii, EscapesEverythingOutsidePrintableAscii) {
  EXPECT_EQ(PrintableAscii("fmt "), "fmt ");
  EXPECT_EQ(PrintableAscii("\x01\xFF" "a\x80"), "\\x01\\xFFa\\x80");
  EXPECT_EQ(PrintableAscii("\xC3\xA9"), "\\xC3\\xA9");
  EXPECT_EQ(PrintableAscii("~\x7F"), "~\\x7F");
}

TEST(IsValidUtf8, FollowsTheEncodingRules) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("Č\t\n"));
  EXPECT_FALSE(IsValidUtf8("\xC3"));
  EXPECT_FALSE(IsValidUtf8("\xE0\x80\x80"));
  EXPECT_FALSE(IsValidUtf8("\xFF"));
}

}  // namespace
