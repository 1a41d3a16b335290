// Reading one period record of a year data file into a buffer of its own.
#include "payroll/otherperiod.h"

#include <QFileInfo>
#include <memory>

#include "payroll/common.h"
#include "payroll/period.h"
#include "payroll/yearfile.h"

namespace {

// The record of period in fileName and the slot of key in it; slot 0 when the file or the
// employee is not there. A file that exists but cannot be read throws IoError.
int find(const QString& fileName, int period, const QByteArray& key, TPeriodRecord& rec)
{
    if (key.isEmpty() || !QFileInfo::exists(fileName)) return 0;
    TYearFileHeader header;
    ReadPeriodRecord(fileName, period, header, rec);
    for (int e = 1; e <= MaxEmployee; ++e)
        if (rec.syain[e].MembKey.bytes() == key) return e;
    return 0;
}

// This year's file and period, or December of last year's file for a period below 1.
int locate(int period, const QByteArray& key, TPeriodRecord& rec)
{
    if (period >= 1) return find(CurPeriod.FileName, period, key, rec);
    return find(GetPrevYearFileName(), 12, key, rec);
}

}  // namespace

int32_t ReadPeriodData(int32_t month, const QByteArray& key)
{
    auto rec = std::make_unique<TPeriodRecord>();
    const int e = locate(month, key, *rec);
    return e ? rec->koujo[e].Koujo[koSyahoGo] : 0;
}

double GetPrevYukyuZan(int32_t period, const QByteArray& key)
{
    if (key.isEmpty()) return -999.0;
    auto rec = std::make_unique<TPeriodRecord>();
    const int e = locate(period, key, *rec);
    return e ? rec->kintai[e].Kintai[kiYukyuZan] : -999.0;
}

void AddSyoyoKazei(const QString& fileName, int32_t q, const QByteArray& key, int64_t& sum)
{
    auto rec = std::make_unique<TPeriodRecord>();
    const int e = find(fileName, q, key, *rec);
    if (e) sum += (rec->sikyu[e].KazeiGoukei / 1000) * 1000;
}
