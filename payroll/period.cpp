// The period image and the globals of the open period.
#include "payroll/period.h"

#include <cstring>

#include "payroll/captions.h"
#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/periodselect.h"
#include "payroll/slipitems.h"
#include "payroll/syslog.h"
#include "payroll/taxtable.h"
#include "payroll/yearfile.h"
#include "platform/resets.h"

TYearFileHeader YearHeader;
TCorpRec CorpRec;
TSyainArray SyainRec;
TKintaiArray KintaiRec;
TSikyuArray SikyuRec;
TKoujoArray KoujoRec;
TCurPeriod CurPeriod;
TEraYear CurEra;
Arr<QString, 1, 2> EraName = {{QStringLiteral("平成"), QStringLiteral("令和")}};

void ClearPeriodImage()
{
    std::memset(&YearHeader, 0, sizeof YearHeader);
    std::memset(&CorpRec, 0, sizeof CorpRec);
    std::memset(&SyainRec, 0, sizeof SyainRec);
    std::memset(&KintaiRec, 0, sizeof KintaiRec);
    std::memset(&SikyuRec, 0, sizeof SikyuRec);
    std::memset(&KoujoRec, 0, sizeof KoujoRec);
}

void ResetGlobals()
{
    ClearPeriodImage();
    CurPeriod = TCurPeriod();
    CurEra = TEraYear();
    OptionRec = DefaultOptionRec();
    TablePath.clear();
    DataPath.clear();
    DataRoot.clear();
    IniFileName.clear();
    SysIniFileName.clear();
    DataMoved = false;
    CreatedYearFile.clear();
    YearFileCreated = false;
    YearFileSaved = false;
    SysLogFailureShown = false;
    ClearTableFiles();
    ResetPeriodSelect();
    ResetSlipItems();
    MainPeriodTitle.clear();
    OverTypePending = -1;
    // The layers above: print engine and job, the windows' process-wide flags.
    RunGlobalResets();
}
