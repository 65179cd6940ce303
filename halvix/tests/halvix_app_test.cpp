#include <gtest/gtest.h>
TEST(HalvixApp, Placeholder) {}
