// The ledgers and lists: a company of twelve with a saved year printed through the print dialog's
// own job and read back with poppler's tools against sums of the saved records; the row rules,
// the notes and coins, the print order and the faults of the layouts checked where they are drawn.
#include "print/ledger.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>

#include "payroll/common.h"
#include "payroll/slipitems.h"
#include "payroll/validate.h"
#include "platform/cp932.h"
#include "print/lists.h"
#include "print/pages.h"
#include "print/ui/TfmPrnItem.h"
#include "tests/print/dialogfixture.h"
#include "tests/print/recorder.h"

namespace {

class LedgerTest : public PrintWindowTest {
  protected:
    // Twelve employees, the two bonuses and the twelve months saved; the image holds December.
    void SetUp() override
    {
        PrintWindowTest::SetUp();
        for (int e = 4; e <= 12; ++e) {
            employee(e, "", 180000 + 10000 * e);
            SyainRec[e].Simei.setText(QStringLiteral("社員%1").arg(e, 2, 10, QLatin1Char('0')));
        }
        YearHeader.SyoyoMonth[1] = 7, YearHeader.SyoyoDay[1] = 10;
        YearHeader.SyoyoMonth[2] = 12, YearHeader.SyoyoDay[2] = 10;
        LoadSyoyoItemSetting(true);
        for (int p = 13; p <= 14; ++p) {
            CurPeriod.Period = p;
            LoadHasuu(p);
            for (int e = 1; e <= 12; ++e) {
                SikyuRec[e].Sikyu[siKihon] = 300000 + 1000 * e;
                CalcSyoyo(e);
            }
            WritePeriod();
        }
        LoadKyuyoItemSetting(true);
        for (int m = 1; m <= 12; ++m) {
            CurPeriod.Period = m;
            LoadHasuu(m);
            for (int e = 1; e <= 12; ++e) {
                // Overtime that differs from month to month.
                SyainRec[e].Chingin[2] = 1953;
                KintaiRec[e].Kintai[kiFutuZangyo] = m;
                CalcKyuyo(e);
            }
            WritePeriod();
        }
        fmMain->FillMemberList(1);
        auto* list = child<QListWidget>(fmMain, "ListBox");
        for (int i = 0; i < list->count(); ++i) list->item(i)->setCheckState(Qt::Checked);
    }
    // The sum of a figure over the saved periods and employees.
    template <typename F>
    static int64_t saved(F figure, int slotFrom = 1, int slotTo = 12)
    {
        int64_t sum = 0;
        TYearFileHeader h;
        auto rec = std::make_unique<TPeriodRecord>();
        for (int p = 1; p <= 14; ++p) {
            ReadPeriodRecord(CurPeriod.FileName, p, h, *rec);
            for (int e = slotFrom; e <= slotTo; ++e) sum += figure(*rec, e);
        }
        return sum;
    }
    // Prints tag through the dialog's print job; the PDF's page count and text.
    std::pair<int, QString> print(int tag, const char* caption)
    {
        const QString file = dir() + QStringLiteral("doc%1.pdf").arg(tag);
        SetPdfOutputFile(file);
        fmInji->setDocument(tag, u(caption));
        fmInji->show();
        if (!msg_.shown().empty() && msg_.lastText().startsWith(NoPrintService)) msg_.clear();
        child<QPushButton>(fmInji, "btOk")->click();
        EXPECT_TRUE(msg_.shown().empty()) << msg_.lastText();
        const QRegularExpressionMatch m = QRegularExpression(u("Pages:\\s+(\\d+)")).match(pdfInfo(file));
        return {m.captured(1).toInt(), pdfText(file)};
    }
    static QString amount(int64_t v) { return FmtAmount(12, double(v)).trimmed(); }
    // The last line of a row whose name starts it, without blanks (bold narrow characters are wider
    // than their cells, and pdftotext puts blanks between them).
    static QString row(const QString& text, const QString& name)
    {
        QString found;
        for (QString line : text.split(u'\n')) {
            line.remove(u' ');
            if (line.startsWith(name)) found = line;
        }
        return found;
    }
};

TEST_F(LedgerTest, EveryDocumentToPdfWithTheSavedTotals)
{
    const auto gross = [](const TPeriodRecord& r, int e) { return int64_t(r.sikyu[e].SikyuGoukei); };
    const auto [ledgerPages, ledger] = print(401, "社員別給与台帳");
    EXPECT_EQ(ledgerPages, 1);
    EXPECT_TRUE(row(ledger, u("支給項目合計")).endsWith(amount(saved(gross, 1, 1)))) << ledger;
    const auto net = [](const TPeriodRecord& r, int e) {
        return int64_t(r.sikyu[e].SikyuGoukei) - r.koujo[e].KoujoGoukei;
    };
    EXPECT_TRUE(row(ledger, u("差引支給額")).endsWith(amount(saved(net, 1, 1))));
    EXPECT_EQ(print(499, "社員別給与台帳").first, 12) << "one page per ticked employee";

    const auto [listPages, list] = print(512, "月別給与/賞与一覧");
    EXPECT_EQ(listPages, 2) << "twelve employees: ten, then two and the total";
    int64_t december = 0;
    for (int e = 1; e <= 12; ++e) december += SikyuRec[e].SikyuGoukei;
    EXPECT_TRUE(row(list, u("支給項目合計")).endsWith(amount(december))) << list;

    const auto [grandPages, grand] = print(600, "給与/賞与総合計台帳");
    EXPECT_EQ(grandPages, 2);
    EXPECT_TRUE(row(grand, u("支給項目合計")).endsWith(amount(saved(gross)))) << grand;
    EXPECT_TRUE(row(grand, u("差引支給額")).endsWith(amount(saved(net)))) << grand;

    const auto [meiboPages, meibo] = print(100, "社員情報一覧表");
    EXPECT_EQ(meiboPages, 2);
    EXPECT_TRUE(meibo.contains(u("社員12")));

    // A cash employee paid 38,765 yen in the image.
    SyainRec[2].Genkin = 1;
    SikyuRec[2].SikyuGoukei = 50000, KoujoRec[2].KoujoGoukei = 11235;
    SikyuRec[2].Sonota = {};
    const auto [moneyPages, money] = print(700, "支払金種一覧表");
    EXPECT_EQ(moneyPages, 1);
    EXPECT_TRUE(money.contains(
        QRegularExpression(u("佐藤美咲\\s+3\\s+1\\s+-\\s+3\\s+1\\s+2\\s+1\\s+1\\s+1\\s+0\\s+38,765"))))
        << money;

    SyainRec[1].Chouson.setText(u("横浜市"));
    const auto [taxPages, tax] = print(800, "納税市町村別住民税");
    EXPECT_EQ(taxPages, 1);
    EXPECT_TRUE(tax.contains(u("横浜市")));
}

// Names longer than the 16 bytes of their column are printed whole; the count and the amount
// move right, and two towns alike in their first eight characters stay two lines.
TEST_F(LedgerTest, ResidentTaxPrintsLongMunicipalityNamesWhole)
{
    const char* const towns[] = {"北海道札幌市中央区大", "北海道札幌市中央東", "横浜市"};
    for (int e = 1; e <= 3; ++e) SyainRec[e].Chouson.setText(u(towns[e - 1]));
    const auto [pages, tax] = print(800, "納税市町村別住民税");
    EXPECT_EQ(pages, 1);
    QStringList lines;
    for (const QString& l : tax.split(u'\n'))
        if (l.contains(u("名)"))) lines << l.simplified();
    EXPECT_EQ(lines, QStringList({u("( 9名) 90,000円"), u("北海道札幌市中央区大 ( 1名) 10,000円"),
                                  u("北海道札幌市中央東 ( 1名) 10,000円"), u("横浜市 ( 1名) 10,000円")}))
        << tax;
}

// The ledgers of one print job read each saved period once for all pages, and each page still
// shows its own employee; the next job reads the file again and sees what was saved since.
TEST_F(LedgerTest, LedgersOfAJobShareOneReadingThatEndsWithTheJob)
{
    const auto gross = [](const TPeriodRecord& r, int e) { return int64_t(r.sikyu[e].SikyuGoukei); };
    const auto [pages, text] = print(499, "社員別給与台帳");
    const QStringList sheets = text.split(u'\f', Qt::SkipEmptyParts);
    ASSERT_EQ(pages, 12);
    ASSERT_GE(sheets.size(), 12);
    for (int e = 1; e <= 12; ++e) {
        const QString name = u("氏名:") + SyainRec[e].Simei.shownText().remove(u' ');
        const auto page = std::find_if(sheets.begin(), sheets.end(),
                                       [&](QString s) { return s.remove(u' ').contains(name); });
        ASSERT_NE(page, sheets.end()) << name.toStdString();
        EXPECT_TRUE(row(*page, u("支給項目合計")).endsWith(amount(saved(gross, e, e)))) << *page;
    }

    // March saved again with 1,000 yen more for slot 2.
    auto rec = PeriodRecord();
    TYearFileHeader h;
    ReadPeriodRecord(CurPeriod.FileName, 3, h, *rec);
    const int64_t before = saved(gross, 2, 2);
    rec->sikyu[2].SikyuGoukei += 1000;
    StorePeriod(CurPeriod.FileName, 3, *rec);
    const auto [one, again] = print(402, "社員別給与台帳");
    EXPECT_EQ(one, 1);
    EXPECT_TRUE(row(again, u("支給項目合計")).endsWith(amount(before + 1000))) << again;
}

TEST_F(LedgerTest, LedgerAndListInThePreview)
{
    for (const auto& [tag, file] : {std::pair(401, "ledger-preview"), std::pair(512, "list-preview")}) {
        showSlipDialog(tag);
        fmInji->PublishPrintInputs();
        fmPreView->show();
        QApplication::processEvents();
        Screenshot(fmPreView, (std::string(file) + ".png").c_str());
        fmPreView->mnWDispClick();
        Screenshot(fmPreView, (std::string(file) + "-200.png").c_str());
        fmPreView->mnWDispClick();
        fmPreView->hide();
        fmInji->hide();
        EXPECT_TRUE(msg_.shown().empty()) << msg_.lastText();
    }
}

TEST_F(LedgerTest, CommandsOpenTheDialogAndPointOutUnsavedChanges)
{
    SikyuRec[1].SikyuGoukei += 1;  // the image differs from the file
    msg_.answer(MsgResult::Cancel);
    fmMain->action("mnKyuSyoDaicho")->trigger();
    EXPECT_EQ(msg_.lastText(), u("変更内容を保存しないと給与/賞与総合計台帳に反映されません。"));
    EXPECT_EQ(fmInji->tag(), 0) << "cancelled before the dialog";
}

TEST_F(LedgerTest, RowsFollowTheFlagsAndTheSettingsWindowKeepsTheRule)
{
    struct Case {
        const char* add;
        const char* del;
        int rows, payRows;
    } const cases[] = {
        {"", "", 40, 18},
        {"11111111111111111", "", 40, 18},  // more added than removed: dropped when read
        {"11", "010000000000001", 40, 17},
        {"11111111111111111", "111111111111111", 40, 12},  // the seventeenth has no room
    };
    for (const Case& c : cases) {
        WriteAll(IniFileName,
                 QByteArray("[Option]\r\nDaichoAdd=") + c.add + "\r\nDaichoDel=" + c.del + "\r\n");
        PlanPrint(401, {}, 0);
        const TDaichoCounts n = CountDaichoColumns();
        EXPECT_EQ(n.TotalRows, c.rows) << c.add << "/" << c.del;
        EXPECT_EQ(n.PayRows, c.payRows);
        EXPECT_EQ(DaichoRows().size(), n.TotalRows);
    }
    // Every user item hidden: the net amount still takes the other items.
    const QList<TDaichoRow> rows = DaichoRows();
    EXPECT_EQ(rows[0].Kind, DaichoRowKind::Added);
    EXPECT_EQ(rows[0].Name, u("所定労働日数"));
    TKintaiRec k{};
    TSikyuRec s{};
    TKoujoRec d{};
    s.SikyuGoukei = 300000, d.KoujoGoukei = 50000, d.Sonota[3] = 1200, s.Sikyu[siKekkin] = -800;
    EXPECT_EQ(DaichoValue(rows.last(), k, s, d), 251200);
    const auto absence =
        std::find_if(rows.begin(), rows.end(), [](const TDaichoRow& r) { return r.Name == u("欠勤控除"); });
    ASSERT_NE(absence, rows.end());
    EXPECT_EQ(DaichoValue(*absence, k, s, d), -800);

    // A choice of the version with sixteen rows is written back with seventeen.
    WriteAll(IniFileName, "[Option]\r\nDaichoAdd=1000000000000000\r\n");
    TfmPrnItem& w = *fmPrnItem;
    w.show();
    for (const char* name : {"cbAddItem2", "cbDelItem1"}) child<QCheckBox>(&w, name)->setChecked(true);
    child<QPushButton>(&w, "bbOk")->click();
    EXPECT_EQ(msg_.lastText(), u("追加する勤怠項目が多すぎます。\n追加項目数≦削除項目数にして下さい。"));
    EXPECT_TRUE(w.isVisible());
    child<QCheckBox>(&w, "cbDelItem2")->setChecked(true);
    child<QPushButton>(&w, "bbOk")->click();
    EXPECT_FALSE(w.isVisible()) << msg_.lastText();
    EXPECT_TRUE(ReadAll(IniFileName).contains("DaichoAdd=11000000000000000\r\nDaichoDel=110000000000000"));
}

TEST_F(LedgerTest, NotesAndCoinsAndThePrintOrder)
{
    struct Case {
        int64_t amount;
        bool use2k;
        std::array<int64_t, 10> counts;
    } const cases[] = {
        {38765, false, {3, 1, 0, 3, 1, 2, 1, 1, 1, 0}},
        {38765, true, {3, 1, 1, 1, 1, 2, 1, 1, 1, 0}},
        {-500, true, {}},
        {0, false, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitKinsyu(c.amount, c.use2k), c.counts) << c.amount;

    // Serial numbers first, then the employees an import left at 0, in slot order.
    for (int e = 1; e <= 12; ++e) SyainRec[e].SeqNo = 0;
    SyainRec[5].SeqNo = 1, SyainRec[2].SeqNo = 2;
    const QList<int> order = PrintOrder();
    ASSERT_EQ(order.size(), 12);
    EXPECT_EQ(order.mid(0, 4), QList<int>({5, 2, 1, 3}));
    const TMembers m = PageMembers(1, 0, 2, {});
    EXPECT_EQ(m[1], 11);
    EXPECT_EQ(m[3], 0);
}

// Faults of the layouts, checked where the engine draws them.
TEST_F(LedgerTest, LayoutFaultsStayMended)
{
    const auto record = [](RecordingDevice& dev, int kind, int page, const TMembers& members = {}) {
        PaperKind = kind;
        RecordPage(dev, page, members);
    };
    const auto at = [](const RecordingDevice& d, float x, float y) {
        return d.textAt(QPoint(DotX(x), DotY(y)));
    };

    // The grand total's own heading never reaches the per-employee ledger's total column.
    PlanPrint(600, {}, 0);
    RecordingDevice grand, ledger;
    record(grand, 6, 2);
    TMembers one{};
    one[1] = 1;
    record(ledger, 4, 0, one);
    OptionRec.PrAdjustV = -10;  // the ledger's own lowering, as it draws the grid
    EXPECT_EQ(at(ledger, 35 + 15.5f * 15 + 1, 30), u("<none>"));
    EXPECT_EQ(at(ledger, 270.5f, 30), u("合   計"));
    OptionRec.PrAdjustV = 0;

    // Other periods go through the checked reader; a refused or failed read leaves the print
    // adjustment as it was.
    OptionRec.PrAdjustV = 1.5;
    WriteAt(CurPeriod.FileName, DataRecPos(6) + sizeof(TCorpRec) + offsetof(TEmployeeRec, Keitai),
            int32_t(9));
    RecordingDevice damaged, failed;
    EXPECT_THROW(record(damaged, 4, 0, one), DamagedDataError);
    EXPECT_EQ(OptionRec.PrAdjustV, 1.5);
    WriteAll(CurPeriod.FileName, QByteArray(200, '\0'));
    EXPECT_THROW(record(failed, 6, 1), IoError);
    EXPECT_EQ(OptionRec.PrAdjustV, 1.5);
    OptionRec.PrAdjustV = 0;

    // Codes outside their lists print nothing; a one-digit era year in a retirement date.
    SyainRec[1].Keitai = 7, SyainRec[1].SikUnit = 12;
    SyainRec[2].Taisyoku.setText(u("712 1"));
    RecordingDevice meibo;
    TMembers two{};
    two[1] = 1, two[2] = 2;
    PlanPrint(100, {}, 0);
    record(meibo, 1, 1, two);
    PageOffsetY = -7;
    EXPECT_EQ(at(meibo, 33.5f, 28 + 5.5f * 3), u("<none>"));
    EXPECT_EQ(at(meibo, 33.5f, 28 + 5.5f * 13), u("<none>"));
    EXPECT_EQ(at(meibo, 33.5f + 25.5f, 28 + 5.5f * 29), u("7/12/ 1"));
    PageOffsetY = 0;

    // Exactly fifty municipalities: the second block has its heading.
    for (int i = 1; i <= 50; ++i) JuminTable[i] = {QStringLiteral("町%1").arg(i), 1, 1000};
    JuminTable[0] = {};
    SelCount = 50, PageCount = 1;
    RecordingDevice tax;
    record(tax, 8, 1);
    EXPECT_EQ(at(tax, 120, 24.7f), u("納税市町村名称  対象者数     金  額"));
    EXPECT_TRUE(at(tax, 120, 29.7f).startsWith(u("町50")));
}

// A few cells of every document at their places in millimetres, with their face, height in dots (4 per
// mm: 16 pt is 23, 10 pt 14) and weight: headings, company names, period and employee columns.
TEST_F(LedgerTest, EveryDocumentDrawsItsCellsInPlace)
{
    OptionRec.FontNameS = u("ＭＳ ゴシック");
    SyainRec[2].Genkin = 1;
    SikyuRec[2].SikyuGoukei = 50000, KoujoRec[2].KoujoGoukei = 11235;
    SikyuRec[2].Sonota = {};
    SyainRec[1].Chouson.setText(u("横浜市"));
    const auto gross = [this](int p, int slot) {
        TYearFileHeader h;
        auto rec = std::make_unique<TPeriodRecord>();
        ReadPeriodRecord(CurPeriod.FileName, p, h, *rec);
        int64_t sum = 0;
        for (int e = 1; e <= 12; ++e)
            if (slot == 0 || e == slot) sum += rec->sikyu[e].SikyuGoukei;
        return sum;
    };
    const auto money = [](int width, int64_t v) { return FmtAmount(width, double(v)).trimmed(); };
    const float grossRow = 33.9f + 4.4f * 18;  // 支給項目合計, below the 18 payment rows
    int64_t year = 0, yearOfOne = 0;
    for (int p = 1; p <= 14; ++p) year += gross(p, 0), yearOfOne += gross(p, 1);
    int64_t december = 0, net = 0;
    for (int e = 1; e <= 12; ++e) {
        december += SikyuRec[e].SikyuGoukei;
        net += SikyuRec[e].SikyuGoukei - KoujoRec[e].KoujoGoukei;
        for (int k = 1; k <= 3; ++k) net += KoujoRec[e].Sonota[k];
    }
    struct Cell {
        float x, y;
        bool grid;  // lowered by the grid's offset, else by the heading's
        QString text, style;
    };
    struct Page {
        int tag, page, staff;  // the page's employees: slots 1..staff
        float heading, grid;   // how far the document lowers its heading and its grid
    };
    struct Doc {
        Page p;
        std::vector<Cell> cells;
    };
    const QString big = u("明朝 23"), company = u("ゴシック 14"), body = u("明朝 14");
    const QString narrow = u("明朝 14 narrow"), bold = u("明朝 14 bold narrow");
    const Doc docs[] = {
        {{401, 0, 1, 7, 10},
         {{95, 20, false, u("令和8年"), big},
          {122, 20, false, u("社 員 別 給 与 台 帳"), big},
          {12, 21.5f, false, u("トルヴァーネ商事株式会社"), company},
          {190, 21.5f, false, u("氏名:青木健一"), body},
          {35 + 15.5f * 2 + 1, 30, true, u("３月給与"), narrow},
          {270.5f, 30, true, u("合   計"), bold},
          {13, 33.9f, true, u("基本給"), narrow},
          {13, grossRow, true, u("支給項目合計"), bold},
          {36, grossRow, true, money(9, gross(1, 1)), bold},
          {36 + 15.5f * 6, grossRow, true, money(9, gross(7, 1)), bold},
          {36 + 15.5f * 11, grossRow, true, money(9, gross(12, 1)), bold},
          {36 + 15.5f * 12, grossRow, true, money(9, gross(13, 1)), bold},
          {268.5f, grossRow, true, money(10, yearOfOne), bold}}},
        {{512, 1, 0, 7, 10},
         {{10, 21.5f, false, u("トルヴァーネ商事株式会社"), company},
          {35.5f, 29.5f, true, u("青木健一"), narrow},
          {35.5f + 25.5f * 2, 29.5f, true, u("鈴木大輔"), narrow},
          {40 + 25.5f, grossRow, true, money(9, SikyuRec[2].SikyuGoukei), bold}}},
        {{512, 2, 0, 7, 10},
         {{35.5f + 25.5f, 29.5f, true, u("社員12"), narrow},
          {40 + 25.5f * 2, 29.5f, true, u("合　計"), bold},
          {40 + 25.5f * 2 - 1.6f, 33.9f + 4.4f * 39, true, money(11, net), bold},  // 差引支給額
          {40 + 25.5f * 2, grossRow, true, money(10, december), bold}}},
        {{600, 1, 0, 7, 10},
         {{122, 20, false, u("給与/賞与総合計台帳"), big},
          {10, 21.5f, false, u("トルヴァーネ商事株式会社"), company},
          {35 + 7, 30, true, u("１月給与"), narrow},
          {35 + 25.5f * 9 + 7, 30, true, u("10月給与"), narrow},
          {40 + 25.5f * 2, grossRow, true, money(10, gross(3, 0)), narrow},
          {40 + 25.5f * 9, grossRow, true, money(10, gross(10, 0)), narrow}}},
        {{600, 2, 0, 7, 10},
         {{35 + 25.5f * 5 + 7, 30, true, u("合　計"), narrow},
          {40 + 25.5f * 3, grossRow, true, money(10, gross(14, 0)), narrow},
          {167.5f, grossRow, true, money(10, year), narrow}}},
        {{100, 1, 3, 7, 7},
         {{100, 18, false, u("社 員 情 報 一 覧 表"), big},
          {12, 20, false, u("トルヴァーネ商事株式会社"), company},
          {11, 28 + 5.5f * 6, true, u("基本給"), narrow},
          {33.5f + 25.5f, 28, true, u("佐藤美咲"), narrow},
          {38 + 25.5f * 2, 28 + 5.5f * 6, true, money(9, SyainRec[3].Chingin[1]), narrow}}},
        {{700, 1, 0, 0, 0},
         {{70, 12, false, u("給与/賞与支払金種表"), big},
          {20, 19, false, u("トルヴァーネ商事株式会社"), company},
          {53, 24.7f, true, u("1万円"), narrow},
          {20, 29.7f, true, u("佐藤美咲"), narrow},
          {55, 29.7f, true, u("3"), narrow},
          {55 + 12 * 5, 29.7f, true, u("2"), narrow},
          {174, 29.7f, true, u("38,765"), narrow},
          {22.5f, 279.7f, true, u("合　計"), narrow}}},
        {{800, 1, 0, 0, 0},
         {{70, 12, false, u("納税市町村別住民税"), big},
          {20, 19, false, u("トルヴァーネ商事株式会社"), company},
          {25, 24.7f, true, u("納税市町村名称  対象者数     金  額"), body},
          {25, 34.7f, true,
           cp932::padRight(u("横浜市"), 16) + u(" ( 1名)  ") + FmtAmount(10, SyainRec[1].Juumin) + u("円"),
           body}}},
    };
    for (const auto& [p, cells] : docs) {
        PlanPrint(p.tag, {PrintOrder(), {}}, 0);
        TMembers m{};
        for (int k = 1; k <= p.staff; ++k) m[k] = k;
        RecordingDevice dev;
        RecordPage(dev, p.page, m);
        PageOffsetY = 0;
        for (const Cell& c : cells) {
            const QPoint dot(DotX(c.x), DotY(c.y - (c.grid ? p.grid : p.heading)));
            SCOPED_TRACE(testing::Message() << p.tag << " page " << p.page << " at " << c.x << ", " << c.y);
            EXPECT_EQ(dev.textAt(dot), c.text);
            EXPECT_EQ(dev.styleAt(dot), c.style);
        }
    }
}

TEST_F(LedgerTest, GroupedAndOldLayoutsPlaceTheirTotals)
{
    QList<int> lines;
    for (int e = 1; e <= 12; ++e) {
        lines << e;
        SyainRec[e].Busyo.setText(e <= 10 ? u("製造部") : u("営業部"));
        SyainRec[e].Kubun = 2 + e % 3;  // 一般社員, 臨時社員, パート
    }
    const auto draw = [](int page) {
        auto dev = std::make_unique<RecordingDevice>();
        RecordPage(*dev, page);
        return dev;
    };
    // Positions of the grid, which the list draws 10 mm higher.
    const auto at = [](const RecordingDevice& d, float x, float y) {
        return d.textAt(QPoint(DotX(x), DotY(y - 10)));
    };
    const float grossRow = 33.9f + 4.4f * 18;
    int64_t made = 0, all = 0;
    for (int e = 1; e <= 12; ++e) (e <= 10 ? made : all) += SikyuRec[e].SikyuGoukei;
    all += made;

    // A department of exactly ten: its second page holds only its total, in column 1.
    PlanPrint(512, {lines, {}}, 2);
    ASSERT_EQ(PageCount, 3);
    const auto second = draw(2);
    EXPECT_EQ(second->textAt(QPoint(DotX(195), DotY(21.5f - 7))), u("[製造部]"));
    EXPECT_EQ(at(*second, 35.5f, 29.5f), u("<none>"));
    EXPECT_EQ(at(*second, 40, 29.5f), u("合　計"));
    EXPECT_EQ(at(*second, 40, grossRow).remove(u' '), amount(made));

    // The old layout: employees 11 and 12, the three classes and the total follow on page 2.
    OptionRec.OldIchiran = true;
    PlanPrint(512, {lines, {}}, 0);
    ASSERT_EQ(PageCount, 2);
    const auto old = draw(2);
    EXPECT_EQ(at(*old, 35.5f + 25.5f, 29.5f), u("社員12"));
    EXPECT_EQ(at(*old, 35.5f + 25.5f * 2, 29.5f), u("一般社員計(4名)"));
    EXPECT_EQ(at(*old, 35.5f + 25.5f * 4, 29.5f), u("パート計(4名)"));
    EXPECT_EQ(at(*old, 40 + 25.5f * 5, 29.5f), u("合 計(12名)"));
    EXPECT_EQ(at(*old, 40 + 25.5f * 5, grossRow).remove(u' '), amount(all));
}

TEST_F(LedgerTest, TitlesJuneTaxAndClasses)
{
    OptionRec.TokuSyoyo = u("ｹｯｻﾝ賞与");
    EXPECT_EQ(IchiranTitle(15), u("令和8年 ｹ ｯ ｻ ﾝ 賞 与 一 覧")) << "characters, not byte pairs";
    YearHeader.PrnMonth[15] = 3, YearHeader.PrnDay[15] = 20;
    EXPECT_EQ(IchiranTitle(15), u("令和8年 ｹｯｻﾝ賞与一覧"));
    EXPECT_EQ(IchiranTitle(5), u("令和8年 5 月 分 給 与 一 覧"));
    CorpRec.SikyuShift = -1;
    EXPECT_EQ(IchiranTitle(1), u("令和7年 12月分給与一覧"));

    // With pay in the month before and the June amount deducted in July, June takes the usual one.
    CorpRec.Juumin6Flag = 1;
    for (int e = 1; e <= 12; ++e) SyainRec[e].Juumin6 = 20000, SyainRec[e].Juumin = 10000;
    struct Case {
        int period, amount;
    } const cases[] = {{6, 120000}, {7, 240000}};
    for (const Case& c : cases) {
        CurPeriod.Period = c.period;
        PlanPrint(800, {}, 0);
        EXPECT_EQ(JuminTable[0].Amount, c.amount) << c.period;
    }

    // More than thirty classes all get their subtotal column.
    for (int e = 1; e <= 40; ++e) {
        employee(e, "", 200000);
        SyainRec[e].Kubun = -1;
        SyainRec[e].KubunName.setText(QStringLiteral("区分%1").arg(e));
    }
    OptionRec.OldIchiran = true;
    PlanPrint(505, {}, 0);
    EXPECT_EQ(IchiranKubun.size(), 40);
    EXPECT_EQ(PageCount, 9);
}

}  // namespace
