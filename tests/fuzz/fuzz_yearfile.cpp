// Fuzz target: a year data file loaded as the period selection loads it, then read the ways the
// main window reads the open period (list lines, captions, retirement dates, the change test) and
// as the calculation reads another period of the year.
// Byte 0 picks the period; the next 128 bytes are the header; the rest, repeated, fills the
// period record, so that every slot holds fuzzed bytes. The other periods hold what earlier inputs
// wrote there, so reading another period may meet a damaged record: that is refused with an
// AppError, which the program's event guard shows, and is no fault.
#include <cstring>

#include "payroll/captions.h"
#include "payroll/otherperiod.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/yearfile.h"
#include "platform/errors.h"
#include "tests/fuzz/fuzzutil.h"

namespace {
int readAsTheWindowsDo(int period);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    ResetGlobals();
    DataPath = FuzzFolder();
    const int period = 1 + data[0] % 15;
    CurPeriod.FileName = DataPath + QStringLiteral("令和08年給与･賞与.dat");
    CurPeriod.EraText = QStringLiteral("令和");
    CurPeriod.EraYear = 8;
    CurPeriod.Period = period;
    // The file is made once; each input writes its header and period record into it.
    static const bool made = (FuzzWrite(CurPeriod.FileName, QByteArray(YearFileSize, '\0')), true);
    (void)made;
    const size_t head = std::min<size_t>(size - 1, YearHeaderSize);
    QFile f(CurPeriod.FileName);
    if (!f.open(QIODevice::ReadWrite)) return 0;
    f.write(QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(head))
                .leftJustified(YearHeaderSize, '\0'));
    f.seek(DataRecPos(period - 1));
    f.write(Tiled(data + 1 + head, size - 1 - head, PeriodRecSize));
    f.close();
    try {
        LoadPeriod(CurPeriod.FileName, period);
    } catch (const AppError&) {
        return 0;
    }
    try {
        return readAsTheWindowsDo(period);
    } catch (const AppError&) {
        return 0;
    }
}

namespace {
int readAsTheWindowsDo(int period)
{
    QString sink = PeriodTitle() + CompanyName();
    for (int e = 1; e <= MaxEmployee; ++e) {
        if (SyainRec[e].MembKey.isEmpty()) continue;
        sink += MakeMemberLine(e) + GetKubunName(e) + ReadTaisyoku(e).Year;
    }
    // The same record read as another period of the year, as the calculation reads earlier months.
    for (int e = 1; e <= MaxEmployee; ++e) {
        if (SyainRec[e].MembKey.isEmpty()) continue;
        const QByteArray key = SyainRec[e].MembKey.bytes();
        int64_t sum = 0;
        if (period > 12) AddSyoyoKazei(CurPeriod.FileName, period - 12, key, sum);
        sink += QString::number(ReadPeriodData(period, key) + GetPrevYukyuZan(period, key) + double(sum));
        break;
    }
    PeriodChanged();
    return sink.size() < 0;
}
}  // namespace
