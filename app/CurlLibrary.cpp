// libcurl is loaded with the program's first HTTP request, not at start: it
// brings some twenty libraries of its own (TLS, HTTP/2, IDN, Kerberos, LDAP
// …) whose loading would otherwise come before the main window. These are
// the functions of curl.h the program calls; each looks the real one up on
// its first call. curl_global_init is kept until the library is loaded and
// made then, before any other call.
#include <curl/curl.h>

#include <atomic>
#include <cstdarg>

#include "platform/sys/LazyLibrary.h"

namespace {

constexpr const char* kCurl = "libcurl.so.4";
std::atomic<long> g_globalFlags{CURL_GLOBAL_DEFAULT};

void* CurlSymbol(const char* name) {
    static void* const library = [] {
        void* loaded = kelsor::platform::LoadLibraryOrExit(kCurl);
        using GlobalInit = CURLcode (*)(long);
        reinterpret_cast<GlobalInit>(kelsor::platform::LibrarySymbolOrExit(
            loaded, kCurl, "curl_global_init"))(g_globalFlags.load());
        return loaded;
    }();
    return kelsor::platform::LibrarySymbolOrExit(library, kCurl, name);
}

template <typename Function>
Function Real(const char* name) {
    return reinterpret_cast<Function>(CurlSymbol(name));
}

}  // namespace

extern "C" {

CURLcode curl_global_init(long flags) {
    g_globalFlags.store(flags);
    return CURLE_OK;
}

CURL* curl_easy_init(void) {
    static const auto real = Real<decltype(&curl_easy_init)>("curl_easy_init");
    return real();
}

void curl_easy_cleanup(CURL* handle) {
    static const auto real = Real<decltype(&curl_easy_cleanup)>("curl_easy_cleanup");
    real(handle);
}

CURLcode curl_easy_perform(CURL* handle) {
    static const auto real = Real<decltype(&curl_easy_perform)>("curl_easy_perform");
    return real(handle);
}

const char* curl_easy_strerror(CURLcode code) {
    static const auto real = Real<decltype(&curl_easy_strerror)>("curl_easy_strerror");
    return real(code);
}

curl_slist* curl_slist_append(curl_slist* list, const char* text) {
    static const auto real = Real<decltype(&curl_slist_append)>("curl_slist_append");
    return real(list, text);
}

void curl_slist_free_all(curl_slist* list) {
    static const auto real = Real<decltype(&curl_slist_free_all)>("curl_slist_free_all");
    real(list);
}

// The one argument after the option is a long, a curl_off_t or a pointer;
// the option's number says which, as it does for libcurl itself.
CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
    using Function = CURLcode (*)(CURL*, CURLoption, ...);
    static const auto real = Real<Function>("curl_easy_setopt");
    va_list arguments;
    va_start(arguments, option);
    CURLcode result;
    if (option < CURLOPTTYPE_OBJECTPOINT) {
        result = real(handle, option, va_arg(arguments, long));
    } else if (option >= CURLOPTTYPE_OFF_T && option < CURLOPTTYPE_BLOB) {
        result = real(handle, option, va_arg(arguments, curl_off_t));
    } else {
        result = real(handle, option, va_arg(arguments, void*));
    }
    va_end(arguments);
    return result;
}

// Every piece of information is written through a pointer.
CURLcode curl_easy_getinfo(CURL* handle, CURLINFO info, ...) {
    using Function = CURLcode (*)(CURL*, CURLINFO, ...);
    static const auto real = Real<Function>("curl_easy_getinfo");
    va_list arguments;
    va_start(arguments, info);
    const CURLcode result = real(handle, info, va_arg(arguments, void*));
    va_end(arguments);
    return result;
}

}  // extern "C"
