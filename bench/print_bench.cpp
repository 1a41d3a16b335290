// Slip printing: 90 slips two per sheet into a PDF, each with its cumulative figures from the year
// file, and one sheet into a screen-resolution image as the preview draws it; the same for the
// year ledgers of 90 employees, each with the fifteen periods of the year file, and the same
// ledgers exported as 90 CSV files and as one workbook of 90 sheets. Beside each PDF its floor:
// the same glyph runs, lines and boxes drawn straight through QPdfWriter. PELBENCH_KEEP_PDF names a
// folder that gets a copy of each PDF written.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <optional>

#include "bench/benchutil.h"
#include "bench/pdffloor.h"
#include "payroll/option.h"
#include "payroll/period.h"
#include "payroll/slipitems.h"
#include "payroll/yearfile.h"
#include "platform/fonts.h"
#include "print/dispatch.h"
#include "print/engine.h"
#include "print/exports.h"
#include "print/ledger.h"
#include "print/pages.h"

namespace {

// The fonts need a GUI application; the benchmark's own main does not make one.
void ensureApplication()
{
    static int argc = 1;
    static char name[] = "pelbench";
    static char* argv[] = {name, nullptr};
    if (QGuiApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(argc, argv);
    InstallFontSubstitutions();
}

// May of 90 employees with January to April saved alike.
void fillYear(QTemporaryDir& dir)
{
    OpenBenchYear(dir);
    ResetPrintEngine();
    LoadKyuyoItemSetting(true);
    CorpRec.Syamei.setText(QStringLiteral("トルヴァーネ商事株式会社"));
    for (int e = 1; e <= MaxEmployee; ++e) {
        TEmployeeRec& E = SyainRec[e];
        E.Simei.setText(QStringLiteral("社員%1").arg(e));
        E.Busyo.setText(QStringLiteral("営業部"));
        E.MembKey.setBytes(QByteArray("260401_0900") + QByteArray::number(e));
        E.Keitai = 1 + e % 3;
        E.Kubun = 2;
        for (int k = 1; k <= 16; ++k) KintaiRec[e].Kintai[k] = k * 1.5;
        for (int k = 1; k <= 17; ++k) SikyuRec[e].Sikyu[k] = 1000 * k + e;
        for (int k = 1; k <= 15; ++k) KoujoRec[e].Koujo[k] = 100 * k + e;
        SikyuRec[e].SikyuGoukei = 300000 + e;
        SikyuRec[e].KazeiGoukei = 290000 + e;
        KoujoRec[e].KoujoGoukei = 60000 + e;
    }
    for (int m = 1; m <= 5; ++m) {
        CurPeriod.Period = m;
        WritePeriod();
    }
    PaperKind = 2;
    PayDateEraLabel = QStringLiteral("令和    年    月    日");
    PayDateYY = QStringLiteral(" 8"), PayDateMM = QStringLiteral(" 5"), PayDateDD = QStringLiteral("25");
    PrintMemo = {QStringLiteral("今月もお疲れさまでした。"), QStringLiteral("基本給 {$Kihonkyuu}円")};
}

TMembers pair(int a, int b)
{
    TMembers m{};
    m[1] = a, m[2] = b;
    return m;
}

// The employees of page (1-based) with perPage employees to a page, and the number of pages.
TMembers pageMembers(int page, int perPage)
{
    const int e = 1 + (page - 1) * perPage;
    return pair(e, perPage == 2 ? e + 1 : 0);
}
int pageCount(int perPage)
{
    return (MaxEmployee + perPage - 1) / perPage;
}

// An A4 PDF at 600 dots per inch without margins.
void setUpWriter(QPdfWriter& writer, QPageLayout::Orientation orientation)
{
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageOrientation(orientation);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(600);
}

// Every employee's pages into one A4 PDF at 600 dots per inch, perPage employees to a page.
void printAllToPdf(const QString& pdf, QPageLayout::Orientation orientation, int perPage)
{
    QPdfWriter writer(pdf);
    setUpWriter(writer, orientation);
    QPainter p(&writer);
    SetPrinterCanvas(&p, 600, 600, 0, 0);
    const TJobYearData year;  // as the print job reads the saved periods once for all pages
    for (int page = 1; page <= pageCount(perPage); ++page) {
        if (page > 1) writer.newPage();
        PrintPage(0, pageMembers(page, perPage));
    }
    p.end();
    PrnCanvas = nullptr;
}

// The same pages recorded once, then drawn straight through QPdfWriter on every run.
void floorToPdf(benchmark::State& state, const QString& pdf, QPageLayout::Orientation orientation,
                int perPage)
{
    std::vector<TFloorPage> pages;
    {
        const TJobYearData year;
        pages = RecordFloorPages(pageCount(perPage), 600,
                                 [&](int page) { PrintPage(0, pageMembers(page, perPage)); });
    }
    for (auto _ : state) {
        QPdfWriter writer(pdf);
        setUpWriter(writer, orientation);
        DrawFloorPages(writer, pages);
    }
    const auto [runs, glyphs] = FloorRunCount(pages);
    state.counters["runs"] = runs;
    state.counters["glyphs"] = glyphs;
}

// A copy of the PDF for comparison, when asked for.
void keepPdf(const QString& pdf)
{
    const QString folder = qEnvironmentVariable("PELBENCH_KEEP_PDF");
    if (folder.isEmpty()) return;
    const QString to = folder + QLatin1Char('/') + QFileInfo(pdf).fileName();
    QFile::remove(to);
    QFile::copy(pdf, to);
}

// One page drawn on a white image as the preview draws it, at 96 dots per inch.
void printToImage(QImage& img, const TMembers& members)
{
    img.fill(Qt::white);
    QPainter p(&img);
    SetScreenCanvas(&p, 96, 100, 1, 1);
    PrintPage(0, members);
    p.end();
    PrnCanvas = nullptr;
}

void BM_OneSheetToImage(benchmark::State& state)
{
    ensureApplication();
    QTemporaryDir dir;
    fillYear(dir);
    QImage img(794, 1123, QImage::Format_RGB32);
    for (auto _ : state) printToImage(img, pair(1, 2));
}
BENCHMARK(BM_OneSheetToImage)->Unit(benchmark::kMillisecond);

// The whole year saved (twelve months and three bonuses) for the ledgers' fifteen columns.
void fillWholeYear(QTemporaryDir& dir)
{
    fillYear(dir);
    for (int p = 6; p <= PeriodCount; ++p) {
        CurPeriod.Period = p;
        WritePeriod();
    }
    PaperKind = 4;
    PeriodTitles[13] = QStringLiteral("夏期賞与");
    PeriodTitles[14] = QStringLiteral("冬期賞与");
    PeriodTitles[15] = QStringLiteral("決算賞与");
}

// The two PDF documents: 90 slips two to a portrait sheet, 90 year ledgers one to a landscape one.
struct TPdfDocument {
    const char* name;
    void (*fill)(QTemporaryDir&);
    QPageLayout::Orientation orientation;
    int perPage;
};
const TPdfDocument Slips{"slips", fillYear, QPageLayout::Portrait, 2};
const TPdfDocument Ledgers{"ledgers", fillWholeYear, QPageLayout::Landscape, 1};

// The document through the program's own path, or (floor) its recorded runs straight to the PDF.
void pdfBenchmark(benchmark::State& state, const TPdfDocument& doc, bool floor)
{
    ensureApplication();
    QTemporaryDir dir;
    doc.fill(dir);
    const QString pdf =
        dir.path() + QStringLiteral("/%1%2.pdf")
                         .arg(QLatin1String(doc.name), floor ? QStringLiteral("-floor") : QString());
    if (floor) {
        floorToPdf(state, pdf, doc.orientation, doc.perPage);
    } else {
        for (auto _ : state) printAllToPdf(pdf, doc.orientation, doc.perPage);
        state.counters[doc.name] = MaxEmployee;
    }
    keepPdf(pdf);
}

void BM_NinetySlipsToPdf(benchmark::State& state)
{
    pdfBenchmark(state, Slips, false);
}
BENCHMARK(BM_NinetySlipsToPdf)->Unit(benchmark::kMillisecond);

void BM_NinetySlipsPdfFloor(benchmark::State& state)
{
    pdfBenchmark(state, Slips, true);
}
BENCHMARK(BM_NinetySlipsPdfFloor)->Unit(benchmark::kMillisecond);

void BM_NinetyLedgersToPdf(benchmark::State& state)
{
    pdfBenchmark(state, Ledgers, false);
}
BENCHMARK(BM_NinetyLedgersToPdf)->Unit(benchmark::kMillisecond);

void BM_NinetyLedgersPdfFloor(benchmark::State& state)
{
    pdfBenchmark(state, Ledgers, true);
}
BENCHMARK(BM_NinetyLedgersPdfFloor)->Unit(benchmark::kMillisecond);

// The columns of 90 year ledgers: state.range(0) 0 each ledger reading the year file itself, as
// a page printed alone does; 1 one reading shared by all, as a print job or an export does.
void BM_NinetyLedgerYears(benchmark::State& state)
{
    ensureApplication();
    QTemporaryDir dir;
    fillWholeYear(dir);
    const QList<TDaichoRow> rows = DaichoRows();
    const bool shared = state.range(0) == 1;
    for (auto _ : state) {
        std::optional<TYearData> job;
        if (shared) job.emplace();
        for (int e = 1; e <= MaxEmployee; ++e) {
            std::optional<TYearData> own;
            TYearData& year = shared ? *job : own.emplace();
            benchmark::DoNotOptimize(DaichoYear(rows, SyainRec[e].MembKey.bytes(), year).total.data());
        }
    }
    state.counters["ledgers"] = MaxEmployee;
}
BENCHMARK(BM_NinetyLedgerYears)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LedgerPageToImage(benchmark::State& state)
{
    ensureApplication();
    QTemporaryDir dir;
    fillWholeYear(dir);
    QImage img(1123, 794, QImage::Format_RGB32);  // A4 landscape at 96 dots per inch
    for (auto _ : state) printToImage(img, pair(1, 0));
}
BENCHMARK(BM_LedgerPageToImage)->Unit(benchmark::kMillisecond);

// state.range(0): 0 CSV files, 1 a workbook.
void BM_NinetyLedgersExported(benchmark::State& state)
{
    ensureApplication();
    QTemporaryDir dir;
    fillWholeYear(dir);
    QList<int> all;
    for (int e = 1; e <= MaxEmployee; ++e) all << e;
    const bool workbook = state.range(0) == 1;
    const QString file = dir.path() + (workbook ? QStringLiteral("/台帳.xlsx") : QStringLiteral("/none.csv"));
    for (auto _ : state) {
        // Each run writes afresh: the CSV files of the run before are not asked about.
        state.PauseTiming();
        for (const QString& f : QDir(dir.path()).entryList({QStringLiteral("*.csv")}, QDir::Files))
            QFile::remove(dir.path() + QLatin1Char('/') + f);
        state.ResumeTiming();
        if (!OutDaichoCSV({file, workbook}, all)) state.SkipWithError("not written");
    }
    state.counters["ledgers"] = MaxEmployee;
}
BENCHMARK(BM_NinetyLedgersExported)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
