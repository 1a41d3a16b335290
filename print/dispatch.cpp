// The page dispatcher: the date texts every document prints, the page offsets, and the routing of
// a page to its document.
#include "print/dispatch.h"

#include "payroll/common.h"
#include "payroll/otherperiod.h"
#include "payroll/period.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "print/engine.h"
#include "print/ledger.h"
#include "print/lists.h"
#include "print/pages.h"
#include "print/printer.h"
#include "print/slip.h"

int PaperKind = 0;
int PageCount = 0;
int SelCount = 0;
int IchiranMode = 0;
QString PayDateEraLabel;
QString PayDateYY;
QString PayDateMM;
QString PayDateDD;
QStringList PrintMemo;
QString PrintDateText;
QString PrnDateYear;
QString PrnDateMonth;
QString PrnDateDay;

void ResetPrintState()
{
    ResetPrintEngine();
    PaperKind = PageCount = SelCount = IchiranMode = 0;
    PayDateEraLabel.clear(), PayDateYY.clear(), PayDateMM.clear(), PayDateDD.clear();
    PrintMemo.clear();
    PrintDateText.clear(), PrnDateYear.clear(), PrnDateMonth.clear(), PrnDateDay.clear();
    IchiranGroupName.clear(), IchiranPage.clear(), IchiranKubun.clear(), IchiranLines.clear();
    IchiranPeriod = 0;
    JuminTable = {}, DaichoAddFlag = {}, DaichoDelFlag = {}, PeriodTitles = {};
    ResetPrinter();
}

namespace {

QString twoWide(int n)
{
    return QString::number(n).rightJustified(2);
}

// The head of a text of at most n CP932 bytes, never half a character.
QString firstBytes(const QString& text, int n)
{
    try {
        return cp932::decode(cp932::cutBytes(cp932::encode(text), n));
    } catch (const EncodingError&) {
        return cp932::cut(text, n);
    }
}

void prepareDates()
{
    const QDate today = Today();
    QString year = CurEra.YearText;
    if (year.startsWith(QLatin1Char('0'))) year[0] = QLatin1Char(' ');
    PrintDateText =
        QStringLiteral("%1 %2年 %3月 %4日").arg(CurEra.EraText, year).arg(today.month()).arg(today.day());
    if (PaperKind == 2) {
        // The era label reads "令和    年    月    日": its first 5 bytes are the era and a blank.
        PrnDateYear = firstBytes(PayDateEraLabel, 5) + PayDateYY;
        PrnDateMonth = twoWide(NumStrToInt(PayDateMM));
        PrnDateDay = twoWide(NumStrToInt(PayDateDD));
    } else {
        PrnDateYear = CurEra.EraText + QLatin1Char(' ') + CurEra.YearText;
        PrnDateMonth = twoWide(today.month());
        PrnDateDay = twoWide(today.day());
    }
}

}  // namespace

namespace {
TJobYearData* jobYear = nullptr;
}

TJobYearData::TJobYearData() : outer_(jobYear)
{
    jobYear = this;
}

TJobYearData::~TJobYearData()
{
    jobYear = outer_;
}

TPageYearData::TPageYearData() = default;
TPageYearData::~TPageYearData() = default;

TYearData& TPageYearData::get()
{
    std::unique_ptr<TYearData>& year = jobYear ? jobYear->year_ : own_;
    if (!year) year = std::make_unique<TYearData>();
    return *year;
}

void PrintPage(int page, const TMembers& members)
{
    prepareDates();
    PageOffsetX = 0;
    PageOffsetY = 0;
    switch (PaperKind) {
        case 2:
            // The slip is lifted half a millimetre; the second slip of a sheet goes exactly half
            // an A4 sheet (148.5 mm) lower.
            PageOffsetY = -0.5f;
            PrintMeisai(members[1]);
            if (members[2] != 0) {
                PageOffsetY = -0.5f + 148.5f;
                PrintMeisai(members[2]);
            }
            break;
        case 1:
            PageOffsetY = -7.0f;
            PrintMeibo(page, members);
            break;
        case 4:
            PrintKyuyoDaicho(members[1]);
            break;
        case 5:
            PrintKyuyoIchiran(page, IchiranMode);
            break;
        case 6:
            PrintSoGokeiDaicho(page);
            break;
        case 7:
            PrintKinsyuHyo(page);
            break;
        case 8:
            PrintJuminZei(page);
            break;
        default:
            // Kind 3 and unknown kinds draw nothing.
            break;
    }
}

QString FormatPayDate(int period)
{
    if (period < 1 || period > PeriodCount) return {};
    const int m = YearHeader.PrnMonth[period];
    const int d = YearHeader.PrnDay[period];
    if (m == 0 || d == 0) return {};
    return QStringLiteral(" %1/%2").arg(m, 2).arg(d, 2);
}
