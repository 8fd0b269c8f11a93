// The dump reader used by the system tests.
#include <gtest/gtest.h>

#include <stdexcept>

#include "system/json_read.h"

namespace {

TEST(JsonRead, ReadsEveryKindOfValue) {
  const auto v = jsonread::Parse(
      R"( {"a": 1, "b": [true, false, null, -2.5e2, 0.125], "c": {"d": "x"}, "e": [], "f": {}} )");
  EXPECT_EQ(v["a"].Int(), 1);
  ASSERT_EQ(v["b"].size(), 5u);
  EXPECT_TRUE(v["b"][0].Bool());
  EXPECT_FALSE(v["b"][1].Bool());
  EXPECT_TRUE(v["b"][2].IsNull());
  EXPECT_DOUBLE_EQ(v["b"][3].Number(), -250.0);
  EXPECT_DOUBLE_EQ(v["b"][4].Number(), 0.125);
  EXPECT_EQ(v["c"]["d"].Str(), "x");
  EXPECT_EQ(v["e"].size(), 0u);
  EXPECT_EQ(v["f"].size(), 0u);
  EXPECT_TRUE(v.Has("c"));
  EXPECT_FALSE(v.Has("z"));
  // Members keep the order of the file.
  ASSERT_EQ(v.Members().size(), 5u);
  EXPECT_EQ(v.Members()[2].first, "c");
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
  const auto v = jsonread::Parse(R"({"a": [1]})");
  EXPECT_THROW(v["b"], std::runtime_error);
  EXPECT_THROW(v["a"][1], std::runtime_error);
  EXPECT_THROW(v["a"].Str(), std::runtime_error);
  EXPECT_THROW(v["a"][0].Str(), std::runtime_error);
}

}  // namespace
