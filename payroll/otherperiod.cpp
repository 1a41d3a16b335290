// Reading period records of a year data file for figures of other periods, once per run.
#include "payroll/otherperiod.h"

#include <QFileInfo>
#include <algorithm>

#include "payroll/common.h"
#include "payroll/period.h"
#include "payroll/yearfile.h"

// A period record and where each MembKey sits in it.
struct TYearData::Period {
    TPeriodRecord rec;
    QHash<QByteArray, QList<int>> byKey;
};

TYearData::TYearData(const QString& fileName) : fileName_(fileName.isEmpty() ? CurPeriod.FileName : fileName)
{
    ReadYearHeader(fileName_, header_);
}

TYearData::~TYearData() = default;

const TPeriodRecord& TYearData::period(int p)
{
    CheckPeriodNumber(p);
    std::unique_ptr<Period>& slot = periods_[p - 1];
    if (!slot) {
        auto read = std::make_unique<Period>();
        TYearFileHeader h;
        ReadPeriodRecord(fileName_, p, h, read->rec);
        for (int e = 1; e <= MaxEmployee; ++e)
            if (!read->rec.syain[e].MembKey.isEmpty()) read->byKey[read->rec.syain[e].MembKey.bytes()] << e;
        slot = std::move(read);
    }
    return slot->rec;
}

const QList<int>& TYearData::slotsOf(int p, const QByteArray& key)
{
    static const QList<int> none;
    period(p);
    const auto it = periods_[p - 1]->byKey.constFind(key);
    return it == periods_[p - 1]->byKey.cend() ? none : *it;
}

int TYearData::firstSlotOf(int p, const QByteArray& key)
{
    const QList<int>& s = slotsOf(p, key);
    return s.isEmpty() ? 0 : s.first();
}

TOtherPeriods::TOtherPeriods() = default;
TOtherPeriods::~TOtherPeriods() = default;

namespace {

// The file opened when first asked for; a file that does not exist stays null for the run.
template <typename F>
TYearData* opened(std::optional<std::unique_ptr<TYearData>>& year, F fileName)
{
    if (!year) {
        // A failed read is not kept: the next employee asks again and is told the same.
        std::unique_ptr<TYearData> read;
        const QString name = fileName();
        if (QFileInfo::exists(name)) read = std::make_unique<TYearData>(name);
        year = std::move(read);
    }
    return year->get();
}

// This year's file and period, or December of last year's file for a period below 1; the slot
// of key in it, 0 when the file or the employee is not there.
struct Found {
    TYearData* year = nullptr;
    int period = 0;
    int slot = 0;
};
Found locate(int period, const QByteArray& key, TOtherPeriods& periods)
{
    if (key.isEmpty()) return {};
    Found f;
    f.year = period >= 1 ? periods.thisYear() : periods.lastYear();
    f.period = period >= 1 ? period : 12;
    if (f.year) f.slot = f.year->firstSlotOf(f.period, key);
    return f;
}

}  // namespace

TYearData* TOtherPeriods::thisYear()
{
    return opened(thisYear_, [] { return CurPeriod.FileName; });
}

TYearData* TOtherPeriods::lastYear()
{
    return opened(lastYear_, [] { return GetPrevYearFileName(); });
}

int32_t ReadPeriodData(int32_t month, const QByteArray& key, TOtherPeriods& periods)
{
    const Found f = locate(month, key, periods);
    return f.slot ? f.year->period(f.period).koujo[f.slot].Koujo[koSyahoGo] : 0;
}

int32_t ReadPeriodData(int32_t month, const QByteArray& key)
{
    TOtherPeriods periods;
    return ReadPeriodData(month, key, periods);
}

double GetPrevYukyuZan(int32_t period, const QByteArray& key, TOtherPeriods& periods)
{
    const Found f = locate(period, key, periods);
    return f.slot ? f.year->period(f.period).kintai[f.slot].Kintai[kiYukyuZan] : -999.0;
}

double GetPrevYukyuZan(int32_t period, const QByteArray& key)
{
    TOtherPeriods periods;
    return GetPrevYukyuZan(period, key, periods);
}

void AddSyoyoKazei(TYearData& year, int32_t q, const QByteArray& key, int64_t& sum)
{
    if (key.isEmpty()) return;
    const int e = year.firstSlotOf(q, key);
    // A bonus corrected below zero had a standard amount of 0: it leaves no room under the cap.
    if (e) sum += std::max<int32_t>(year.period(q).sikyu[e].KazeiGoukei / 1000 * 1000, 0);
}

void AddSyoyoKazei(const QString& fileName, int32_t q, const QByteArray& key, int64_t& sum)
{
    if (key.isEmpty() || !QFileInfo::exists(fileName)) return;
    TYearData year(fileName);
    AddSyoyoKazei(year, q, key, sum);
}
