// libjpeg's functions that the slip images call, loaded on first use.
// clang-format off
#include <cstdio>  // jpeglib.h needs FILE
#include <cstdlib>
#include <jpeglib.h>
// clang-format on

#include "platform/lazylib/lazylib.h"

namespace {

LazyLibrary& library()
{
    static LazyLibrary lib(PEL_SONAME_JPEG);
    return lib;
}

// Without the library the error manager still works: its message is the loader's, and the first
// compression call ends through the caller's error_exit as any libjpeg error does.
void missingMessage(j_common_ptr, char* buffer)
{
    std::snprintf(buffer, JMSG_LENGTH_MAX, "%s", library().error());
}

void missingOutput(j_common_ptr info)
{
    char text[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, text);
    std::fprintf(stderr, "%s\n", text);
}

void missingExit(j_common_ptr info)
{
    (*info->err->output_message)(info);
    std::exit(EXIT_FAILURE);
}

void missing(j_compress_ptr info)
{
    (*info->err->error_exit)(reinterpret_cast<j_common_ptr>(info));
}

}  // namespace

extern "C" jpeg_error_mgr* jpeg_std_error(jpeg_error_mgr* err)
{
    static const auto real =
        reinterpret_cast<decltype(&::jpeg_std_error)>(library().symbol("jpeg_std_error"));
    if (real) return real(err);
    *err = jpeg_error_mgr{};
    err->error_exit = missingExit;
    err->output_message = missingOutput;
    err->format_message = missingMessage;
    return err;
}
PEL_LAZY(library(), void, jpeg_CreateCompress, (j_compress_ptr info, int version, size_t size),
         (info, version, size), missing(info))
PEL_LAZY(library(), void, jpeg_mem_dest, (j_compress_ptr info, unsigned char** out, unsigned long* size),
         (info, out, size), missing(info))
PEL_LAZY(library(), void, jpeg_set_defaults, (j_compress_ptr info), (info), missing(info))
PEL_LAZY(library(), void, jpeg_start_compress, (j_compress_ptr info, boolean writeAll), (info, writeAll),
         missing(info))
PEL_LAZY(library(), JDIMENSION, jpeg_write_scanlines,
         (j_compress_ptr info, JSAMPARRAY rows, JDIMENSION count), (info, rows, count), (missing(info), 0))
PEL_LAZY(library(), void, jpeg_finish_compress, (j_compress_ptr info), (info), missing(info))
// Called on the error path itself: nothing to free without the library.
PEL_LAZY(library(), void, jpeg_destroy_compress, (j_compress_ptr info), (info), void())
