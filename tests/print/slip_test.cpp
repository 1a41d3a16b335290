// The pay and bonus slip through the page dispatcher: positions of its values, the title rules,
// the year's cumulative figures, offsets, shading and adjustment, images against a golden one,
// and a bonus slip printed to PDF read back with poppler's tools.
#include "print/slip.h"

#include <QImage>
#include <QPageSize>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <tuple>

#include "payroll/calc.h"
#include "payroll/captions.h"
#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/period.h"
#include "payroll/yearfile.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/fonts.h"
#include "tests/print/recorder.h"
#include "tests/testutil.h"

namespace {

TMembers members(int a, int b = 0)
{
    TMembers m{};
    m[1] = a, m[2] = b;
    return m;
}

class SlipTest : public PeriodTest {
  protected:
    void SetUp() override
    {
        PeriodTest::SetUp();
        InstallFontSubstitutions();
        PaperKind = 2;
        PayDateEraLabel = u("令和    年    月    日");
        PayDateYY = u(" 8"), PayDateMM = u(" 5"), PayDateDD = u("25");
        PrintMemo = {u("今月もお疲れさまでした。"), u("基本給 {$Kihonkyuu}円 {$Kihonkyuu}")};
    }
    void company() override { slipCompany(); }
    void employee(int e, const char* name, const char* busyo, int kubun, int keitai, int wage,
                  bool cash = false)
    {
        TEmployeeRec& E = PeriodTest::employee(e);
        E.Simei.setText(u(name));
        E.Busyo.setText(u(busyo));
        E.Kubun = kubun, E.Keitai = keitai, E.Chingin[1] = wage, E.Chingin[2] = 1953;
        E.Genkin = cash;
        E.Fuyou = 1;
        E.KenhoRyo = 14925, E.KoseiRyo = 27450, E.Juumin = 10000;
        KintaiRec[e].Kintai[kiSyukkin] = 20;
        KintaiRec[e].Kintai[kiJitudou] = 120;
        KintaiRec[e].Kintai[kiFutuZangyo] = 10.5;
    }
    // May of three employees, the same figures saved for January to April.
    void threeInMay()
    {
        openMonth(5);
        employee(1, "青木健一", "営業部", 2, 1, 250000);
        employee(2, "佐藤美咲", "", 3, 1, 220000, true);
        employee(3, "鈴木大輔", "製造部", 4, 3, 1150);
        for (int m = 1; m <= 5; ++m) {
            CurPeriod.Period = m;
            for (int e = 1; e <= 3; ++e) CalcKyuyo(e);
            WritePeriod();
        }
    }
    static QString net(int e)
    {
        return FmtAmount(10, SikyuRec[e].SikyuGoukei - KoujoRec[e].KoujoGoukei).trimmed();
    }
    static void record(RecordingDevice& dev, const TMembers& m, float dotsPerMm = 10)
    {
        RecordPage(dev, 0, m, dotsPerMm);
    }
    QImage image(const TMembers& m)
    {
        QImage img(794, 1123, QImage::Format_RGB32);  // A4 at 96 dots per inch
        img.fill(Qt::white);
        QPainter p(&img);
        SetScreenCanvas(&p, 96, 100, 1, 2);
        PrintPage(0, m);
        return img;
    }
    QString printPdf(const std::vector<TMembers>& pages)
    {
        const QString path = dir() + u("slips.pdf");
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(600);
        QPainter p;
        EXPECT_TRUE(p.begin(&writer));
        SetPrinterCanvas(&p, 600, 600, 0, 0);
        for (size_t i = 0; i < pages.size(); ++i) {
            if (i) writer.newPage();
            PrintPage(0, pages[i]);
        }
        p.end();
        return path;
    }
};

TEST_F(SlipTest, ValuesStandWhereTheFormExpectsThem)
{
    threeInMay();
    RecordingDevice dev, cash, form, bare;
    const auto at = [](const RecordingDevice& d, float x, float y) {
        return d.textAt(QPoint(DotX(x), DotY(y)));
    };
    OptionRec.FontNameS = u("ＭＳ ゴシック");
    record(dev, members(1));
    // Faces and heights in dots at 10 per mm: frame captions, title, company, name, memo and values.
    const std::tuple<float, float, const char*> styles[] = {
        {86, 13, "ゴシック 57"}, {25, 25.2f, "ゴシック 32"}, {35, 14, "明朝 43"},
        {25, 20, "ゴシック 36"}, {40, 25, "明朝 36"},        {115, 18.8f, "明朝 36"},
        {58, 54, "明朝 36"},     {133, 134, "明朝 36"},      {181.5f, 90, "明朝 36"},
    };
    for (const auto& [x, y, style] : styles)
        EXPECT_EQ(dev.styleAt(QPoint(DotX(x), DotY(y))), u(style)) << x << ", " << y;
    EXPECT_EQ(at(dev, 86, 13), u("明細書"));
    EXPECT_EQ(at(dev, 25, 25.2f), u("氏　名"));
    EXPECT_EQ(at(dev, 25, 20), u("トルヴァーネ商事株式会社"));
    EXPECT_EQ(at(dev, 40, 25), u("青木健一  様"));
    EXPECT_EQ(at(dev, 84.5f, 134), FmtAmount(10, SikyuRec[1].SikyuGoukei).trimmed());
    EXPECT_EQ(at(dev, 133, 134), FmtAmount(10, KoujoRec[1].KoujoGoukei).trimmed());
    EXPECT_EQ(at(dev, 35, 14), u("令和8年 5月分給与"));
    EXPECT_EQ(at(dev, 40, 29.5f), u("営業部・一般社員"));
    EXPECT_EQ(at(dev, 115, 18.8f), u("基本給 250,000円 {$Kihonkyuu}")) << "only the first placeholder";
    EXPECT_EQ(at(dev, 43.5f, 54 + 4.27f * 8), u("10:30"));
    EXPECT_EQ(at(dev, 43.5f, 54 + 4.27f * 1), u("20.00"));
    EXPECT_EQ(at(dev, 84.5f, 54), u("250,000"));
    EXPECT_EQ(at(dev, 133, 54 + 4.27f * 8), FmtAmount(10, KoujoRec[1].Koujo[koSyotoku]).trimmed());
    EXPECT_EQ(at(dev, 47, 129.2f), u("甲欄"));
    EXPECT_EQ(at(dev, 181.5f, 79), net(1));
    EXPECT_EQ(at(dev, 155, 90), u("振込支給"));
    EXPECT_EQ(at(dev, 181.5f, 124.5f), FmtAmount(10, 5 * SikyuRec[1].KazeiGoukei).trimmed()) << "five months";

    record(cash, members(2));
    EXPECT_EQ(at(cash, 40, 29.5f), u("臨時社員")) << "no department, no separator";
    EXPECT_EQ(at(cash, 155, 90), u("現金支給"));
    EXPECT_EQ(at(cash, 181.5f, 103), net(2));

    OptionRec.FormType = 2;
    record(form, members(2));
    EXPECT_TRUE(form.shapes.empty()) << "the preprinted form has its own boxes";
    EXPECT_EQ(at(form, 181.5f, 109.5f), net(2));
    EXPECT_EQ(at(form, 181.5f, 90), u("<none>"));

    OptionRec.FormType = 1;
    OptionRec.PrnFuyou = OptionRec.PrnRuikei = false;
    record(bare, members(3));
    EXPECT_EQ(at(bare, 58, 54), u("時給計"));
    EXPECT_EQ(at(bare, 21, 134), u("<none>")) << "no dependants box";
    EXPECT_EQ(at(bare, 47, 129.2f), u("<none>"));
    EXPECT_EQ(at(bare, 160, 134), u("所　得　税")) << "the cumulative box stays, empty";
    EXPECT_EQ(at(bare, 181.5f, 124.5f), u("<none>"));
}

TEST_F(SlipTest, AdjustmentShadingAndTheLowerSlipMoveNothingElse)
{
    threeInMay();
    RecordingDevice plain, lowered, unshaded, twoUp;
    record(plain, members(1), 4);  // 4 dots per mm: no coordinate ends in a half
    OptionRec.PrAdjustV = 1.0;
    record(lowered, members(1), 4);
    OptionRec.PrAdjustV = 0;
    OptionRec.NoBakCol = true;
    record(unshaded, members(1), 4);
    OptionRec.NoBakCol = false;
    record(twoUp, members(1, 1), 4);

    const QPoint mm(0, 4);
    ASSERT_EQ(lowered.texts.size(), plain.texts.size());
    ASSERT_EQ(lowered.shapes.size(), plain.shapes.size());
    for (size_t i = 0; i < plain.texts.size(); ++i) EXPECT_EQ(lowered.texts[i].top, plain.texts[i].top + mm);
    for (size_t i = 0; i < plain.shapes.size(); ++i)
        EXPECT_EQ(lowered.shapes[i].line.translated(-mm), plain.shapes[i].line);

    std::vector<RecShape> frames;
    for (const RecShape& s : plain.shapes)
        if (!s.filled) frames.push_back(s);
    EXPECT_LT(frames.size(), plain.shapes.size());
    EXPECT_EQ(unshaded.shapes, frames) << "NoBakCol drops the shading and nothing else";
    EXPECT_EQ(unshaded.texts, plain.texts);

    const size_t n = plain.texts.size();
    ASSERT_EQ(twoUp.texts.size(), 2 * n);
    for (size_t i = 0; i < n; ++i)
        EXPECT_EQ(twoUp.texts[n + i].top, plain.texts[i].top + QPoint(0, 594)) << "148.5 mm lower";
}

TEST_F(SlipTest, DispatcherDatesAndKinds)
{
    FixedClock clock(QDateTime(QDate(2026, 6, 3), QTime(9, 0)));
    threeInMay();
    RecordingDevice nothing;
    PaperKind = 3;
    record(nothing, members(1));
    EXPECT_TRUE(nothing.texts.empty() && nothing.shapes.empty());
    EXPECT_EQ(PrintDateText, u("令和  8年 6月 3日"));
    EXPECT_EQ(PrnDateYear + PrnDateMonth + PrnDateDay, u("令和 08 6 3"));

    PaperKind = 2;
    PayDateDD.clear();
    PrintPage(0, members(0));
    EXPECT_EQ(PrnDateYear + PrnDateMonth + PrnDateDay, u("令和  8 5 0"));

    YearHeader.PrnMonth[5] = 5, YearHeader.PrnDay[5] = 25, YearHeader.PrnMonth[6] = 6;
    EXPECT_EQ(FormatPayDate(5), u("  5/25"));
    EXPECT_EQ(FormatPayDate(6), QString()) << "no day printed yet";
}

TEST_F(SlipTest, Titles)
{
    struct Case {
        const char* era;
        int year, period, bonusMonth, shift;
        bool seasonName;
        const char* title;
    };
    const Case cases[] = {
        {"令和", 8, 5, 0, 0, false, "令和8年 5月分給与"},
        {"平成", 31, 5, 0, 0, false, "令和1年 5月分給与"},
        {"平成", 31, 5, 0, -1, false, "平成31年 4月分給与"},
        {"令和", 8, 1, 0, -1, false, "令和7年 12月分給与"},
        {"令和", 31, 5, 0, 0, false, "令和31年 5月分給与"},
        {"令和", 8, 13, 7, 0, true, "令和8年 夏季賞与"},
        {"平成", 31, 14, 12, 0, false, "令和1年 冬期賞与"},
        {"令和", 8, 15, 3, 0, false, "令和8年 決算賞与"},
    };
    OptionRec.TokuSyoyo = u("決算賞与");
    for (const Case& c : cases) {
        CurPeriod.EraText = u(c.era), CurPeriod.EraYear = c.year, CurPeriod.Period = c.period;
        if (c.period > 12) YearHeader.SyoyoMonth[c.period - 12] = c.bonusMonth;
        CorpRec.SikyuShift = c.shift;
        OptionRec.SyoyoName = c.seasonName;
        EXPECT_EQ(MeisaiTitle(), u(c.title));
    }
}

TEST_F(SlipTest, CumulativeFiguresTakeTheYearsEarlierPeriods)
{
    // Period q of the file holds 1 << q for the slip's employee, and a large figure for a stamp that
    // merely starts like his.
    for (int q = 1; q <= 15; ++q) {
        ClearPeriodImage();
        SyainRec[1].MembKey.setBytes("K1"), SyainRec[2].MembKey.setBytes("K1X");
        SikyuRec[1].KazeiGoukei = 1 << q, SikyuRec[2].KazeiGoukei = 1 << 20;
        KoujoRec[1].Koujo[koSyahoKei] = 2 << q, KoujoRec[1].Koujo[koSyotoku] = 3 << q;
        CurPeriod.Period = q;
        WritePeriod();
    }
    SikyuRec[1].KazeiGoukei = 1, KoujoRec[1].Koujo[koSyahoKei] = 2, KoujoRec[1].Koujo[koSyotoku] = 3;
    struct Case {
        int period, payDay, sikyubi;
        std::array<int, 3> months, days;
        std::vector<int> counted;
    };
    const Case cases[] = {
        {5, 25, 25, {5, 4, 6}, {20, 30, 1}, {1, 2, 3, 4, 13, 14}},    // a bonus paid by the pay day counts
        {5, 15, 25, {5, 4, 6}, {20, 30, 1}, {1, 2, 3, 4, 14}},        // ... one paid after it does not
        {13, 0, 25, {7, 7, 7}, {10, 5, 10}, {1, 2, 3, 4, 5, 6, 14}},  // July's pay comes after the bonus
        {13, 0, 10, {7, 7, 7}, {10, 5, 10}, {1, 2, 3, 4, 5, 6, 7, 14}},
        {14, 0, 25, {0, 0, 0}, {0, 0, 0}, {}},  // a bonus without a month has nothing before it
    };
    for (const Case& c : cases) {
        CurPeriod.Period = c.period;
        PrnDateDay = QString::number(c.payDay).rightJustified(2);
        CorpRec.Sikyubi = c.sikyubi;
        for (int b = 1; b <= 3; ++b)
            YearHeader.SyoyoMonth[b] = c.months[b - 1], YearHeader.SyoyoDay[b] = c.days[b - 1];
        int64_t expected = 1;
        for (int q : c.counted) expected += int64_t(1) << q;
        const TRuikei r = GatherRuikei(1);
        EXPECT_EQ(r.Kazei, expected) << "period " << c.period;
        EXPECT_EQ(r.Syaho, 2 * expected);
        EXPECT_EQ(r.Syotoku, 3 * expected);
    }
}

TEST_F(SlipTest, AnUnreadableYearFileStopsTheSlipWithAMessage)
{
    threeInMay();
    QFile(CurPeriod.FileName).resize(1000);
    RecordingDevice dev;
    try {
        record(dev, members(1));
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_TRUE(e.message().startsWith(u("明細書の累計額を集計できませんでした。"))) << e.message();
        EXPECT_TRUE(e.message().contains(CurPeriod.FileName)) << e.message();
        EXPECT_TRUE(e.message().contains(u("壊れています"))) << e.message();
    }
}

TEST_F(SlipTest, ImagesRepeatAndMatchTheGoldenOne)
{
    threeInMay();
    const QImage first = image(members(1, 2));

    const QString golden = TestData(u("print/slip-golden.png"));
    if (qEnvironmentVariableIsSet("PELMORAS_UPDATE_GOLDEN")) {
        ASSERT_TRUE(first.convertToFormat(QImage::Format_Grayscale8).save(golden));
    }
    const QImage expected = QImage(golden).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(expected.size(), first.size()) << "regenerate with PELMORAS_UPDATE_GOLDEN=1";
    // Hinting may change a glyph's edges by a few grey levels, and a changed digit differs in some
    // 20 pixels; a box left out or a column moved by a fraction of a millimetre in many hundreds.
    // Pixels count when their grey differs by more than 96 of 255.
    int differing = 0;
    for (int y = 0; y < first.height(); ++y)
        for (int x = 0; x < first.width(); ++x)
            differing += std::abs(qGray(first.pixel(x, y)) - qGray(expected.pixel(x, y))) > 96;
    EXPECT_LT(differing, 200) << differing << " pixels differ";
}

TEST_F(SlipTest, BonusSlipPrintsToPdf)
{
    threeInMay();
    openMonth(6);
    employee(1, "青木健一", "営業部", 2, 1, 250000);
    CalcKyuyo(1);
    CurPeriod.Period = 6;
    WritePeriod();
    openBonus(13, 7, 10);
    employee(1, "青木健一", "営業部", 2, 1, 250000);
    SikyuRec[1].Sikyu[siKihon] = 500000;
    ASSERT_TRUE(CalcSyoyo(1));
    QProcess pdftotext;
    pdftotext.start(u("pdftotext"), {u("-layout"), printPdf({members(1)}), u("-")});
    ASSERT_TRUE(pdftotext.waitForFinished(30000));
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    EXPECT_TRUE(text.contains(QRegularExpression(u("賞与\\s+500,000"))));
    EXPECT_TRUE(text.contains(QRegularExpression(u("差引支給額\\s+") + net(1))));
}

}  // namespace
