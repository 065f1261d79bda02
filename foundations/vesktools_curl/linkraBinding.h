// The run-time binding of the HTTP library: the core library never links it.
// The first linkra_curl_easy_init loads the SSL initialisation library
// (libqzsslinit.so.13, through the loader's search), runs its Init, then
// loads the HTTP library (liblinkra.so.13) and binds its 48 functions into one
// process-wide table; a failed attempt leaves nothing loaded and is tried
// again on the next call, a successful one stays for the life of the process.
// The other forwarders never load anything and answer as libcurl does for a
// failed initialisation while nothing is bound.
#pragma once

#include <curl/curl.h>

// 0 when the HTTP library is bound (already, or by this call), 1 when not.
int ensureLinkraLoaded();

// A new easy handle, or null when the HTTP library cannot be bound.
CURL* linkra_curl_easy_init();
// The value follows the option as in curl_easy_setopt.
CURLcode linkra_qzcurl_easy_setopt(CURL* handle, CURLoption option, ...);
CURLcode linkra_curl_easy_perform(CURL* handle);
void linkra_curl_easy_cleanup(CURL* handle);
// The target follows the info as in curl_easy_getinfo.
CURLcode linkra_qzcurl_easy_getinfo(CURL* handle, CURLINFO info, ...);
curl_slist* linkra_curl_slist_append(curl_slist* list, const char* text);
void linkra_curl_slist_free_all(curl_slist* list);
