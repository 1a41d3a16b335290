// libcurl's functions that mail, the cloud and the update checks call, loaded on first use.
#include <cstdarg>

#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include "platform/lazylib/lazylib.h"

namespace {

LazyLibrary& library()
{
    static LazyLibrary lib(PEL_SONAME_CURL);
    return lib;
}

}  // namespace

// Without the library every caller finds curl_easy_init() null and reports that it cannot
// prepare the connection; the first global init reports CURLE_FAILED_INIT.
PEL_LAZY(library(), CURLcode, curl_global_init, (long flags), (flags), CURLE_FAILED_INIT)
PEL_LAZY(library(), CURL*, curl_easy_init, (), (), nullptr)
PEL_LAZY(library(), CURLcode, curl_easy_perform, (CURL * c), (c), CURLE_FAILED_INIT)
PEL_LAZY(library(), void, curl_easy_cleanup, (CURL * c), (c), void())
PEL_LAZY(library(), const char*, curl_easy_strerror, (CURLcode code), (code), library().error())
PEL_LAZY(library(), curl_slist*, curl_slist_append, (curl_slist * list, const char* s), (list, s), nullptr)
PEL_LAZY(library(), void, curl_slist_free_all, (curl_slist * list), (list), void())

// curl_easy_setopt takes one argument after the option, whose type the option's number tells;
// it is taken and passed on as that type.
extern "C" CURLcode curl_easy_setopt(CURL* c, CURLoption option, ...)
{
    static const auto real =
        reinterpret_cast<decltype(&::curl_easy_setopt)>(library().symbol("curl_easy_setopt"));
    if (!real) return CURLE_FAILED_INIT;
    va_list ap;
    va_start(ap, option);
    CURLcode rc;
    if (option < CURLOPTTYPE_OBJECTPOINT)
        rc = real(c, option, va_arg(ap, long));
    else if (option < CURLOPTTYPE_FUNCTIONPOINT)
        rc = real(c, option, va_arg(ap, void*));
    else if (option < CURLOPTTYPE_OFF_T)
        rc = real(c, option, va_arg(ap, void (*)()));
    else if (option < CURLOPTTYPE_BLOB)
        rc = real(c, option, va_arg(ap, curl_off_t));
    else
        rc = real(c, option, va_arg(ap, curl_blob*));
    va_end(ap);
    return rc;
}

// Every kind of information is written through a pointer (long*, char**, double*, ...), so the
// one argument after the number is passed on as a pointer whatever it points to.
extern "C" CURLcode curl_easy_getinfo(CURL* c, CURLINFO info, ...)
{
    static const auto real =
        reinterpret_cast<decltype(&::curl_easy_getinfo)>(library().symbol("curl_easy_getinfo"));
    if (!real) return CURLE_FAILED_INIT;
    va_list ap;
    va_start(ap, info);
    void* out = va_arg(ap, void*);
    va_end(ap);
    return real(c, info, out);
}
