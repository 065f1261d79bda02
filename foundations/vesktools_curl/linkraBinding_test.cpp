#include "vesktools_curl/linkraBinding.h"

#include <gtest/gtest.h>

#include "vesktools_curl/testing/loadedLibraries.h"

namespace {

using vesktools::testing::isLoaded;

TEST(LinkraBinding, BindsBothStandInsFoundBesideTheProgram) {
  CURL* handle = linkra_curl_easy_init();
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(isLoaded("libqzsslinit.so.13"));
  EXPECT_TRUE(isLoaded("liblinkra.so.13"));
  EXPECT_EQ(ensureLinkraLoaded(), 0);

  // The variadic forwarders hand their value on with its own type.
  EXPECT_EQ(linkra_qzcurl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, 1500L), CURLE_OK);
  int owner = 0;
  EXPECT_EQ(linkra_qzcurl_easy_setopt(handle, CURLOPT_PRIVATE, static_cast<void*>(&owner)), CURLE_OK);
  void* stored = nullptr;
  EXPECT_EQ(linkra_qzcurl_easy_getinfo(handle, CURLINFO_PRIVATE, &stored), CURLE_OK);
  EXPECT_EQ(stored, &owner);
  EXPECT_EQ(linkra_qzcurl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, curl_off_t{1} << 40), CURLE_OK);
  long responseCode = -1;
  EXPECT_EQ(linkra_qzcurl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &responseCode), CURLE_OK);
  EXPECT_EQ(responseCode, 0);
  EXPECT_EQ(linkra_qzcurl_easy_setopt(handle, static_cast<CURLoption>(99999), 0L), CURLE_UNKNOWN_OPTION);

  curl_slist* list = linkra_curl_slist_append(nullptr, "Accept: a");
  ASSERT_NE(list, nullptr);
  list = linkra_curl_slist_append(list, "Content-Type: a");
  ASSERT_NE(list->next, nullptr);
  EXPECT_STREQ(list->next->data, "Content-Type: a");
  linkra_curl_slist_free_all(list);
  linkra_curl_easy_cleanup(handle);
}

}  // namespace
