#include "provisioning/CurlLibrary.h"

#include "platform/LibrarySymbols.h"

#include <dlfcn.h>
#include <mutex>

namespace XmlRpc {
namespace {

const CurlLibrary* open() {
    // The soname of the library this program was built against (CURL::libcurl's development
    // package links libcurl.so, which points to it).
    void* library = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return nullptr;
    static CurlLibrary curl;
    bool complete = platform::resolveSymbol(library, "curl_global_init", curl.global_init) &&
                    platform::resolveSymbol(library, "curl_easy_init", curl.easy_init) &&
                    platform::resolveSymbol(library, "curl_easy_cleanup", curl.easy_cleanup) &&
                    platform::resolveSymbol(library, "curl_easy_setopt", curl.easy_setopt) &&
                    platform::resolveSymbol(library, "curl_easy_getinfo", curl.easy_getinfo) &&
                    platform::resolveSymbol(library, "curl_easy_strerror", curl.easy_strerror) &&
                    platform::resolveSymbol(library, "curl_multi_init", curl.multi_init) &&
                    platform::resolveSymbol(library, "curl_multi_cleanup", curl.multi_cleanup) &&
                    platform::resolveSymbol(library, "curl_multi_add_handle", curl.multi_add_handle) &&
                    platform::resolveSymbol(library, "curl_multi_remove_handle", curl.multi_remove_handle) &&
                    platform::resolveSymbol(library, "curl_multi_perform", curl.multi_perform) &&
                    platform::resolveSymbol(library, "curl_multi_poll", curl.multi_poll) &&
                    platform::resolveSymbol(library, "curl_multi_wakeup", curl.multi_wakeup) &&
                    platform::resolveSymbol(library, "curl_multi_info_read", curl.multi_info_read) &&
                    platform::resolveSymbol(library, "curl_multi_strerror", curl.multi_strerror) &&
                    platform::resolveSymbol(library, "curl_slist_append", curl.slist_append) &&
                    platform::resolveSymbol(library, "curl_slist_free_all", curl.slist_free_all);
    // Kept open for the life of the process: handles may outlive any one session.
    if (!complete || curl.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        return nullptr;
    return &curl;
}

} // namespace

const CurlLibrary* curlLibrary() {
    // curl_global_init is not safe to race with itself; every session comes through here.
    static const CurlLibrary* library = open();
    return library;
}

} // namespace XmlRpc
