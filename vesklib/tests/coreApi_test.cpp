#include <gtest/gtest.h>

#include "vesklib/vesklib.h"

namespace {

TEST(CoreApi, VersionIsOneWithoutAnyStatus) { EXPECT_EQ(vesklib_getApiVersion(), 1); }

}  // namespace
