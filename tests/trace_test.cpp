#include <gtest/gtest.h>
TEST(Trace, Placeholder) {}
