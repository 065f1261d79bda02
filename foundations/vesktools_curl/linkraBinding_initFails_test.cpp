// Run with a folder on the run path that holds the HTTP library and the
// controllable SSL initialisation library.
#include <gtest/gtest.h>

#include "vesktools_curl/linkraBinding.h"
#include "vesktools_curl/testing/loadedLibraries.h"
#include "vesktools_curl/testing/unavailableLinkra.h"

namespace {

using vesktools::testing::ControlledSslInit;
using vesktools::testing::isLoaded;

// One test: once the binding succeeded it stays for the life of the process.
TEST(LinkraBindingWhenSslInitFails, LoadsNothingUntilInitSucceedsThenBindsOnce) {
  ControlledSslInit sslInit;
  ASSERT_TRUE(sslInit.loaded());
  sslInit.setInitFails(true);

  vesktools::testing::expectEveryRequestFails();
  // Every attempt runs Init once more; none loads the HTTP library.
  const int before = sslInit.initCalls();
  EXPECT_EQ(ensureLinkraLoaded(), 1);
  EXPECT_EQ(ensureLinkraLoaded(), 1);
  const int failedAttempts = sslInit.initCalls();
  EXPECT_EQ(failedAttempts, before + 2);
  EXPECT_FALSE(isLoaded("liblinkra.so.13"));
  // No handle was handed out, so there was nothing to undo.
  EXPECT_EQ(sslInit.uninitCalls(), 0);

  // The next connection tries again, and the binding then holds.
  sslInit.setInitFails(false);
  CURL* first = linkra_curl_easy_init();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(isLoaded("liblinkra.so.13"));
  CURL* second = linkra_curl_easy_init();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(ensureLinkraLoaded(), 0);
  EXPECT_EQ(sslInit.initCalls(), failedAttempts + 1);
  EXPECT_EQ(sslInit.uninitCalls(), 0);
  linkra_curl_easy_cleanup(first);
  linkra_curl_easy_cleanup(second);
}

}  // namespace
