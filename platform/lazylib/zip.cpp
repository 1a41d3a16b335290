// libzip's functions that the data set archives call, loaded on first use.
#include <zip.h>

#include "platform/lazylib/lazylib.h"

namespace {

LazyLibrary& library()
{
    static LazyLibrary lib(PEL_SONAME_ZIP);
    return lib;
}

}  // namespace

// Without the library zip_open() fails as it does for a file it cannot open, and the archive
// functions report that they could not pack or unpack; the others need an open archive.
extern "C" zip_t* zip_open(const char* path, int flags, int* errorp)
{
    static const auto real = reinterpret_cast<decltype(&::zip_open)>(library().symbol("zip_open"));
    if (real) return real(path, flags, errorp);
    if (errorp) *errorp = ZIP_ER_OPEN;
    return nullptr;
}
// The same for an archive open as fd (the archive owns it once opened).
extern "C" zip_t* zip_fdopen(int fd, int flags, int* errorp)
{
    static const auto real = reinterpret_cast<decltype(&::zip_fdopen)>(library().symbol("zip_fdopen"));
    if (real) return real(fd, flags, errorp);
    if (errorp) *errorp = ZIP_ER_OPEN;
    return nullptr;
}
PEL_LAZY(library(), int, zip_close, (zip_t * za), (za), -1)
PEL_LAZY(library(), void, zip_discard, (zip_t * za), (za), void())
PEL_LAZY(library(), zip_error_t*, zip_get_error, (zip_t * za), (za), nullptr)
PEL_LAZY(library(), int, zip_error_code_zip, (const zip_error_t* e), (e), ZIP_ER_OPEN)
PEL_LAZY(library(), int, zip_error_code_system, (const zip_error_t* e), (e), 0)
PEL_LAZY(library(), int, zip_error_system_type, (const zip_error_t* e), (e), ZIP_ET_NONE)
PEL_LAZY(library(), zip_int64_t, zip_get_num_entries, (zip_t * za, zip_flags_t fl), (za, fl), -1)
PEL_LAZY(library(), const char*, zip_get_name, (zip_t * za, zip_uint64_t i, zip_flags_t fl), (za, i, fl),
         nullptr)
PEL_LAZY(library(), int, zip_set_default_password, (zip_t * za, const char* pw), (za, pw), -1)
PEL_LAZY(library(), void, zip_stat_init, (zip_stat_t * st), (st), void())
PEL_LAZY(library(), int, zip_stat_index, (zip_t * za, zip_uint64_t i, zip_flags_t fl, zip_stat_t* st),
         (za, i, fl, st), -1)
PEL_LAZY(library(), int, zip_file_get_external_attributes,
         (zip_t * za, zip_uint64_t i, zip_flags_t fl, zip_uint8_t* os, zip_uint32_t* attr),
         (za, i, fl, os, attr), -1)
PEL_LAZY(library(), zip_file_t*, zip_fopen_index, (zip_t * za, zip_uint64_t i, zip_flags_t fl), (za, i, fl),
         nullptr)
PEL_LAZY(library(), zip_int64_t, zip_fread, (zip_file_t * f, void* buf, zip_uint64_t n), (f, buf, n), -1)
PEL_LAZY(library(), zip_error_t*, zip_file_get_error, (zip_file_t * f), (f), nullptr)
PEL_LAZY(library(), int, zip_fclose, (zip_file_t * f), (f), ZIP_ER_OPEN)
PEL_LAZY(library(), zip_source_t*, zip_source_file,
         (zip_t * za, const char* name, zip_uint64_t start, zip_int64_t len), (za, name, start, len), nullptr)
PEL_LAZY(library(), void, zip_source_free, (zip_source_t * src), (src), void())
PEL_LAZY(library(), zip_int64_t, zip_file_add,
         (zip_t * za, const char* name, zip_source_t* src, zip_flags_t fl), (za, name, src, fl), -1)
PEL_LAZY(library(), int, zip_file_set_mtime, (zip_t * za, zip_uint64_t i, time_t mtime, zip_flags_t fl),
         (za, i, mtime, fl), -1)
PEL_LAZY(library(), int, zip_file_set_encryption,
         (zip_t * za, zip_uint64_t i, zip_uint16_t method, const char* pw), (za, i, method, pw), -1)
