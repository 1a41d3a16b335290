// Figures of the same employee in another period of this year's or last year's data file, found
// by his MembKey; the open period in memory is not touched.
#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>

// "社保控除後計" of the employee in period month of this year's file (below 1: December of last
// year's file); 0 when the file, the period or the employee is not there.
int32_t ReadPeriodData(int32_t month, const QByteArray& key);
// "有休残日数" of the employee in period (below 1: December of last year); -999 when not available.
double GetPrevYukyuZan(int32_t period, const QByteArray& key);
// Adds the employee's taxable total of bonus period q of fileName to sum, cut to a multiple of
// 1,000 yen (the standard bonus amount the yearly health cap counts); nothing when he is not there.
void AddSyoyoKazei(const QString& fileName, int32_t q, const QByteArray& key, int64_t& sum);
