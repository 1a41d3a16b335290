// The texts windows and documents show of the open period: its title, the company name, an
// employee's class, pay type and retirement date, and the line of the employee list.
#pragma once
#include <QString>
#include <QStringList>

#include "payroll/period.h"

// The title of the open period, for example 令和6年4月支給給与 or 令和6年・夏季賞与.
extern QString MainPeriodTitle;

// The title of the period in CurPeriod (bonus slots by their payment month in YearHeader).
QString PeriodTitle();

// The company name of the open period, for captions.
QString CompanyName();
// The retirement date of an employee as stored ("%2s%2s%2s" of era year, month and day):
// the text is right-aligned to six characters before it is split, so "712 1" (7/12/1 written
// without its padding) reads as 7/12/1. Empty parts when not retired.
struct TTaisyokuDate {
    QString Year, Month, Day;  // two characters each, blank-padded on the left
    bool isEmpty() const
    {
        return Year.trimmed().isEmpty() && Month.trimmed().isEmpty() && Day.trimmed().isEmpty();
    }
};
TTaisyokuDate TaisyokuOf(const TEmployeeRec& rec);
TTaisyokuDate ReadTaisyoku(int slot);  // of SyainRec[slot]

// Category and pay-type names of the employee list.
QString GetKubunName(int slot);
QString KeitaiName(int keitai);
// One line of the employee list: 130 single-byte columns, the slot in columns 128..130.
QString MakeMemberLine(int slot);

// The class and pay type lists of the employee window, index for index; the grouped pay list
// takes its class order from the first.
QStringList KubunItems();   // "", 役員, 一般社員, 臨時社員, パート, アルバイト
QStringList KeitaiItems();  // 月給, 日給, 時間給 (pay type 1..3)
