// Run with a folder on the run path that holds the HTTP library but no SSL
// initialisation library.
#include <gtest/gtest.h>

#include "vesktools_curl/linkraBinding.h"
#include "vesktools_curl/testing/loadedLibraries.h"
#include "vesktools_curl/testing/unavailableLinkra.h"

namespace {

using vesktools::testing::isLoaded;

TEST(LinkraBindingWithoutSslInit, NeverLoadsTheHttpLibraryAndEveryRequestFails) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    EXPECT_EQ(ensureLinkraLoaded(), 1);
    EXPECT_FALSE(isLoaded("liblinkra.so.13"));
  }
  vesktools::testing::expectEveryRequestFails();
  EXPECT_FALSE(isLoaded("liblinkra.so.13"));
}

}  // namespace
