#include <gtest/gtest.h>
#include "text/TextHelpers.h"
TEST(Text, Placeholder) { EXPECT_EQ(k32::TrimBlanks("  a "), "a"); }
