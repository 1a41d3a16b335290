// The period image: the open period's records as process-wide globals, laid out as in the year
// data file, with the open period's name and the era names.
#pragma once
#include <QString>

#include "payroll/records.h"

struct TCurPeriod {
    QString FileName;  // full path of the open year data file
    QString EraText;   // era name of the data year
    int32_t EraYear = 0;
    int32_t Period = 0;  // 1..12 months, 13..15 bonus slots
};

struct TEraYear {
    QString EraText;
    QString YearText;  // the era year as two digits
};

extern TYearFileHeader YearHeader;
extern TCorpRec CorpRec;
extern TSyainArray SyainRec;
extern TKintaiArray KintaiRec;
extern TSikyuArray SikyuRec;
extern TKoujoArray KoujoRec;
extern TCurPeriod CurPeriod;
extern TEraYear CurEra;
extern Arr<QString, 1, 2> EraName;  // 1 "平成", 2 "令和"

// Zero-fills the header and the five blocks.
void ClearPeriodImage();
// Puts every process-wide state back to its state at start: the core's globals (image, open
// period, settings, paths, year-file bookkeeping, slip items) and then what the layers above
// registered (platform/resets.h). Tests call it between cases.
void ResetGlobals();
