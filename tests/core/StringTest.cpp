#include <gtest/gtest.h>
#include "mt/core/String.h"
TEST(Placeholder, Builds) { EXPECT_EQ(mt::String("a").length(), 1); }
