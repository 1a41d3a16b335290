// Figures of the same employee in another period of this year's or last year's data file, found
// by his MembKey; the open period in memory is not touched.
#pragma once
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "payroll/records.h"

struct TPeriodRecord;

// The saved periods of one year data file, each period record read once, when first asked for,
// through the checked reader, with its employees found by MembKey. What it holds is the file as
// it was when read: keep one for one run (a recalculation, a print job, an export), never across
// a save or a deletion of a period. Throws IoError or DamagedDataError when the file cannot be
// read.
class TYearData {
  public:
    // The open year's file by default.
    explicit TYearData(const QString& fileName = QString());
    ~TYearData();
    TYearData(const TYearData&) = delete;
    TYearData& operator=(const TYearData&) = delete;

    bool saved(int p) const { return header_.DataExists[p] != 0; }
    const TYearFileHeader& header() const { return header_; }
    const TPeriodRecord& period(int p);
    // The slots 1..90 of period p whose MembKey equals key as a whole, in slot order; none for an
    // empty key.
    const QList<int>& slotsOf(int p, const QByteArray& key);
    // The first of them, or 0.
    int firstSlotOf(int p, const QByteArray& key);

  private:
    struct Period;
    QString fileName_;
    TYearFileHeader header_;
    std::unique_ptr<Period> periods_[PeriodCount];
};

// The other periods one run of calculations reads: this year's data file and last year's, each
// opened when first needed (a file that does not exist gives nothing) and each period record read
// once for every employee of the run. Make one per run.
class TOtherPeriods {
  public:
    TOtherPeriods();
    ~TOtherPeriods();
    // This year's file (the open one), or last year's; null when that file does not exist.
    TYearData* thisYear();
    TYearData* lastYear();

  private:
    std::optional<std::unique_ptr<TYearData>> thisYear_, lastYear_;
};

// "社保控除後計" of the employee in period month of this year's file (below 1: December of last
// year's file); 0 when the file, the period or the employee is not there.
int32_t ReadPeriodData(int32_t month, const QByteArray& key);
int32_t ReadPeriodData(int32_t month, const QByteArray& key, TOtherPeriods& periods);
// "有休残日数" of the employee in period (below 1: December of last year); -999 when not available.
double GetPrevYukyuZan(int32_t period, const QByteArray& key);
double GetPrevYukyuZan(int32_t period, const QByteArray& key, TOtherPeriods& periods);
// Adds the employee's taxable total of bonus period q of fileName (of year) to sum, cut to a
// multiple of 1,000 yen and never below 0 (the standard bonus amount the yearly health cap counts); nothing
// when he (or the file) is not there.
void AddSyoyoKazei(const QString& fileName, int32_t q, const QByteArray& key, int64_t& sum);
void AddSyoyoKazei(TYearData& year, int32_t q, const QByteArray& key, int64_t& sum);
