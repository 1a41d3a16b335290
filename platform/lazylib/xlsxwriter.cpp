// libxlsxwriter's functions that the workbook exports call, loaded on first use.
#include <xlsxwriter.h>

#include "platform/lazylib/lazylib.h"

namespace {

LazyLibrary& library()
{
    static LazyLibrary lib(PEL_SONAME_XLSXWRITER);
    return lib;
}

}  // namespace

// Without the library workbook_new() fails as it does when it cannot allocate the workbook; the
// others need a workbook.
PEL_LAZY(library(), lxw_workbook*, workbook_new, (const char* filename), (filename), nullptr)
PEL_LAZY(library(), lxw_error, workbook_close, (lxw_workbook * wb), (wb), LXW_ERROR_MEMORY_MALLOC_FAILED)
PEL_LAZY(library(), void, lxw_workbook_free, (lxw_workbook * wb), (wb), void())
PEL_LAZY(library(), lxw_format*, workbook_add_format, (lxw_workbook * wb), (wb), nullptr)
PEL_LAZY(library(), lxw_worksheet*, workbook_add_worksheet, (lxw_workbook * wb, const char* name), (wb, name),
         nullptr)
PEL_LAZY(library(), void, format_set_num_format, (lxw_format * f, const char* numFormat), (f, numFormat),
         void())
PEL_LAZY(library(), lxw_error, worksheet_set_column,
         (lxw_worksheet * ws, lxw_col_t first, lxw_col_t last, double width, lxw_format* f),
         (ws, first, last, width, f), LXW_ERROR_MEMORY_MALLOC_FAILED)
PEL_LAZY(library(), lxw_error, worksheet_write_number,
         (lxw_worksheet * ws, lxw_row_t row, lxw_col_t col, double number, lxw_format* f),
         (ws, row, col, number, f), LXW_ERROR_MEMORY_MALLOC_FAILED)
PEL_LAZY(library(), lxw_error, worksheet_write_string,
         (lxw_worksheet * ws, lxw_row_t row, lxw_col_t col, const char* text, lxw_format* f),
         (ws, row, col, text, f), LXW_ERROR_MEMORY_MALLOC_FAILED)
PEL_LAZY(library(), char*, lxw_strerror, (lxw_error err), (err), const_cast<char*>(library().error()))
