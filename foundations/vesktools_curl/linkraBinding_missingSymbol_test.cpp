// Run with a folder on the run path that holds the controllable SSL
// initialisation library and an HTTP library lacking one bound function.
#include <gtest/gtest.h>

#include "vesktools_curl/linkraBinding.h"
#include "vesktools_curl/testing/loadedLibraries.h"
#include "vesktools_curl/testing/unavailableLinkra.h"

namespace {

using vesktools::testing::ControlledSslInit;
using vesktools::testing::isLoaded;

TEST(LinkraBindingWithMissingSymbol, UndoesSslInitOnEveryAttempt) {
  ControlledSslInit sslInit;
  ASSERT_TRUE(sslInit.loaded());
  for (int attempt = 1; attempt <= 3; ++attempt) {
    EXPECT_EQ(ensureLinkraLoaded(), 1);
    EXPECT_EQ(sslInit.initCalls(), attempt);
    EXPECT_EQ(sslInit.uninitCalls(), attempt);
    EXPECT_FALSE(isLoaded("liblinkra.so.13"));
  }
}

TEST(LinkraBindingWithMissingSymbol, EveryRequestFails) { vesktools::testing::expectEveryRequestFails(); }

}  // namespace
