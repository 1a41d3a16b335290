// libcups' functions that the printer layer calls, loaded on first use. Qt's print plugin links
// the same library, so a job's answer read here is the one libcups recorded for Qt's request.
#include <cups/cups.h>

#include <cstdarg>
#include <cstdio>

#include "platform/lazylib/lazylib.h"

namespace {

LazyLibrary& library()
{
    static LazyLibrary lib(PEL_SONAME_CUPS);
    return lib;
}

}  // namespace

// Without the library the print service does not answer (no connection), a job's answer is an
// internal error in the loader's words, and no request is made.
PEL_LAZY(library(), const char*, cupsServer, (), (), "")
PEL_LAZY(library(), int, ippPort, (), (), IPP_PORT)
PEL_LAZY(library(), http_encryption_t, cupsEncryption, (), (), HTTP_ENCRYPTION_IF_REQUESTED)
PEL_LAZY(library(), http_t*, httpConnect2,
         (const char* host, int port, http_addrlist_t* addrlist, int family, http_encryption_t encryption,
          int blocking, int msec, int* cancel),
         (host, port, addrlist, family, encryption, blocking, msec, cancel), nullptr)
PEL_LAZY(library(), void, httpClose, (http_t * http), (http), void())
PEL_LAZY(library(), ipp_status_t, cupsLastError, (), (), IPP_STATUS_ERROR_INTERNAL)
PEL_LAZY(library(), const char*, cupsLastErrorString, (), (), library().error())
PEL_LAZY(library(), ipp_t*, ippNewRequest, (ipp_op_t op), (op), nullptr)
PEL_LAZY(library(), ipp_attribute_t*, ippAddString,
         (ipp_t * ipp, ipp_tag_t group, ipp_tag_t value_tag, const char* name, const char* language,
          const char* value),
         (ipp, group, value_tag, name, language, value), nullptr)
PEL_LAZY(library(), ipp_attribute_t*, ippAddStrings,
         (ipp_t * ipp, ipp_tag_t group, ipp_tag_t value_tag, const char* name, int num_values,
          const char* language, const char* const* values),
         (ipp, group, value_tag, name, num_values, language, values), nullptr)
PEL_LAZY(library(), ipp_t*, cupsDoRequest, (http_t * http, ipp_t* request, const char* resource),
         (http, request, resource), nullptr)
PEL_LAZY(library(), ipp_attribute_t*, ippFindAttribute, (ipp_t * ipp, const char* name, ipp_tag_t type),
         (ipp, name, type), nullptr)
PEL_LAZY(library(), int, ippGetInteger, (ipp_attribute_t * attr, int element), (attr, element), 0)
PEL_LAZY(library(), int, ippGetCount, (ipp_attribute_t * attr), (attr), 0)
PEL_LAZY(library(), const char*, ippGetString, (ipp_attribute_t * attr, int element, const char** language),
         (attr, element, language), nullptr)
PEL_LAZY(library(), void, ippDelete, (ipp_t * ipp), (ipp), void())

// The printf-like one: the resource is formatted here, as libcups does itself, and passed to
// the plain form.
extern "C" http_uri_status_t httpAssembleURIf(http_uri_coding_t encoding, char* uri, int urilen,
                                              const char* scheme, const char* username, const char* host,
                                              int port, const char* resourcef, ...)
{
    static const auto real =
        reinterpret_cast<decltype(&::httpAssembleURI)>(library().symbol("httpAssembleURI"));
    if (!uri || urilen < 1 || !resourcef) return HTTP_URI_STATUS_BAD_ARGUMENTS;
    *uri = '\0';
    if (!real) return HTTP_URI_STATUS_BAD_ARGUMENTS;
    char resource[1024];
    va_list ap;
    va_start(ap, resourcef);
    const int n = vsnprintf(resource, sizeof resource, resourcef, ap);
    va_end(ap);
    if (n < 0 || size_t(n) >= sizeof resource) return HTTP_URI_STATUS_OVERFLOW;
    return real(encoding, uri, urilen, scheme, username, host, port, resource);
}
