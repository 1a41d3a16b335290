// Fuzz target: an employee CSV file imported into a period with a few employees (unknown keys
// registered), the period exported again, and the same bytes read as an attendance report.
#include "app/core/kinmuread.h"
#include "app/core/membcsv.h"
#include "payroll/common.h"
#include "payroll/period.h"
#include "platform/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ResetGlobals();
    CurPeriod.Period = 4;
    for (int e = 1; e <= 3; ++e) {
        SyainRec[e].Simei.setText(QStringLiteral("社員"));
        SyainRec[e].MembKey.setBytes("260401_09000" + QByteArray::number(e));
        SyainRec[e].Keitai = 1;
    }
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // Byte 0 even: behind a good header, so that the lines are reached.
    const QByteArray file = size > 0 && data[0] % 2 == 0 ? MemberCsvHeader() + "\r\n" + bytes.mid(1) : bytes;
    const TCsvImportResult r = ImportMemberCsv(file, [](const QString&) { return true; });
    // Serial numbers in use run 1..N over the employees, and no slot without a key keeps one.
    int used = 0;
    for (int e = 1; e <= MaxEmployee; ++e) used += SyainRec[e].MembKey.isEmpty() ? 0 : 1;
    if (GetMaxMembNo() > used || (r.error.isEmpty() && r.stored < 0)) __builtin_trap();
    ExportMemberCsv();
    ReadKinmuReport(bytes);
    return 0;
}
