// The string routines the procedures rely on.
#include <gtest/gtest.h>

#include "runtime/strings.h"

namespace {

TEST(Strings, TrimSplitInStrReplace) {
  EXPECT_EQ(rt::Trim("  a b  "), "a b");
  EXPECT_EQ(rt::Trim("\tCLEANUP "), "\tCLEANUP") << "tabs are not blanks";
  EXPECT_EQ(rt::Trim("   "), "");
  EXPECT_TRUE(rt::Split("", ',').empty());
  EXPECT_EQ(rt::Split(",a,,", ','), (std::vector<std::string>{"", "a", "", ""}));
  EXPECT_EQ(rt::InStr("C:\\x", ":"), 2u);
  EXPECT_EQ(rt::InStr("abc", ""), 1u);
  EXPECT_EQ(rt::InStr("abc", "d"), 0u);
  EXPECT_EQ(rt::Replace("\"a\"b\"", "\"", ""), "ab");
  EXPECT_EQ(rt::Left("D:", 3), "D:");
}

}  // namespace
