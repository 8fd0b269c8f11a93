// SPDX-License-Identifier: GPL-3.0-or-later
// The dump reader of the system tests: what they rely on beyond Qt's parser.
// A dump still being written throws (the tests that wait for a dump retry
// until it parses), and so do a missing member and a value of another type.
#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>
#include <string>

#include "system/json_read.h"

namespace {

TEST(JsonRead, ReadsEveryKindOfValue) {
  const auto v = jsonread::Parse(
      R"( {"a": 1, "b": [true, false, null, -2.5e2, 0.125], "c": {"d": "x"}, "e": [], "f": {},
          "n": 9007199254740993} )");
  EXPECT_EQ(v["a"].Int(), 1);
  ASSERT_EQ(v["b"].size(), 5u);
  EXPECT_TRUE(v["b"][0].Bool());
  EXPECT_FALSE(v["b"][1].Bool());
  EXPECT_TRUE(v["b"][2].IsNull());
  EXPECT_DOUBLE_EQ(v["b"][3].Number(), -250.0);
  EXPECT_EQ(v["b"][3].Int(), -250);
  EXPECT_DOUBLE_EQ(v["b"][4].Number(), 0.125);
  EXPECT_EQ(v["b"][4].Int(), 0);
  EXPECT_EQ(v["n"].Int(), 9007199254740993LL) << "2^53 + 1, which a double cannot hold";
  EXPECT_EQ(v["c"]["d"].Str(), "x");
  EXPECT_EQ(v["e"].size(), 0u);
  EXPECT_EQ(v["f"].size(), 0u);
  EXPECT_TRUE(v.Has("c"));
  EXPECT_FALSE(v.Has("z"));
  ASSERT_EQ(v.Members().size(), 6u);
  EXPECT_EQ(v.Members()[2].first, "c");
  EXPECT_EQ(v.Members()[2].second["d"].Str(), "x");
  EXPECT_EQ(v["b"].Items().size(), 5u);
}

TEST(JsonRead, DecodesStringEscapesToUtf8) {
  const auto v = jsonread::Parse(
      R"(["q\"b\\s\/", "\n\t\r\b\f", "\u00e1\u0161", "\u011b", "\ud83d\ude00", "už"])");
  EXPECT_EQ(v[0].Str(), "q\"b\\s/");
  EXPECT_EQ(v[1].Str(), "\n\t\r\b\f");
  EXPECT_EQ(v[2].Str(), "áš");
  EXPECT_EQ(v[3].Str(), "ě");
  EXPECT_EQ(v[4].Str(), "\xF0\x9F\x98\x80");
  EXPECT_EQ(v[5].Str(), "už");
}

TEST(JsonRead, RefusesBrokenTextAndMissingMembers) {
  for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "\"open", "tru", "01x", "[1] 2",
                          "\"\\x\"", "\"\\ud800\"", "-", "1.", "{\"a\":1,}"}) {
    EXPECT_THROW(jsonread::Parse(bad), std::runtime_error) << bad;
  }
  // Every cut of a dump still being written.
  const std::string dump = R"({"controls": {"Edit8": {"text": "  570 Hz"}}, "frames": [1, 20]})";
  EXPECT_EQ(jsonread::Parse(dump)["controls"]["Edit8"]["text"].Str(), "  570 Hz");
  for (std::size_t n = 0; n < dump.size(); ++n)
    EXPECT_THROW(jsonread::Parse(dump.substr(0, n)), std::runtime_error) << dump.substr(0, n);
  const std::string empty = ::testing::TempDir() + "/json_read_empty.json";
  std::ofstream(empty).close();
  EXPECT_THROW(jsonread::ParseFile(empty), std::runtime_error);
  EXPECT_THROW(jsonread::ParseFile(empty + ".missing"), std::runtime_error);

  const auto v = jsonread::Parse(R"({"a": [1]})");
  EXPECT_THROW(v["b"], std::runtime_error);
  EXPECT_THROW(v["a"][1], std::runtime_error);
  EXPECT_THROW(v["a"]["b"], std::runtime_error);
  EXPECT_THROW(v["a"].Str(), std::runtime_error);
  EXPECT_THROW(v["a"][0].Str(), std::runtime_error);
}

}  // namespace
