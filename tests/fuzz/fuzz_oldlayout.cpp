// Fuzz target: a year file of the earlier 30-employee layout converted as the migration does,
// then a period of the result loaded. Byte 0 picks the period and whether the rest, repeated,
// takes the old layout's exact size or is converted at the size it has.
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/yearfile.h"
#include "platform/errors.h"
#include "tests/fuzz/fuzzutil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    ResetGlobals();
    DataPath = FuzzFolder();
    const QString oldFile = DataPath + QStringLiteral("old/平成30年給与･賞与.dat");
    const QString newFile = DataPath + QStringLiteral("平成30年給与･賞与.dat");
    QDir().mkpath(DataPath + QStringLiteral("old"));
    QFile::remove(newFile);
    const bool exact = data[0] & 0x80;
    FuzzWrite(oldFile, exact ? Tiled(data + 1, size - 1, OldYearFileSize)
                             : QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));
    try {
        ConvertOldYearFile(oldFile, newFile);
        LoadPeriod(newFile, 1 + (data[0] & 0x7F) % 15);
    } catch (const AppError&) {
    }
    return 0;
}
