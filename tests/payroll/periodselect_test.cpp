// The period selection: base periods of new periods, the paid-leave carry, monthly-paid days and
// hours, the entry checks, the age notices, the base-month list and the window itself.
#include "payroll/periodselect.h"

#include <sys/stat.h>

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <cstring>
#include <memory>

#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/ui/TfmSelData.h"
#include "payroll/yearfile.h"
#include "platform/msgbox.h"
#include "tests/testutil.h"

namespace {

struct Birth {
    int slot;
    uint8_t era, year, month, day;
};

// The open year 令和8 as an empty year file; days are of 8 hours.
class PeriodSelectTest : public PeriodTest {
  protected:
    void SetUp() override
    {
        PeriodTest::SetUp();
        WriteAll(IniFileName, "[Option]\r\nDefJikanD=8.0\r\n");
    }
    QString file(int reiwa) const { return YearFileName(dir(), QStringLiteral("令和"), reiwa); }

    static std::unique_ptr<TPeriodRecord> record(const QString& company)
    {
        auto r = PeriodRecord();
        r->corp.Syamei.setText(company);
        r->corp.Sikyubi = 25;
        return r;
    }
    static TEmployeeRec& person(TSyainArray& s, int e, const char* key, int keitai = 1)
    {
        s[e].Simei.setText(QStringLiteral("社員") + QString::fromLatin1(key));
        s[e].MembKey.setBytes(QByteArray(key));
        s[e].Keitai = keitai;
        s[e].Kenkou = 1;
        return s[e];
    }
    // The window's show and OK; the base month window is only recorded.
    EntryField select(int p, const QString& nissu = QStringLiteral("20"),
                      const QString& jikan = QStringLiteral("160:00"), const QString& m = {},
                      const QString& d = {})
    {
        ReadSelectState(CurPeriod.FileName);
        return SelectPeriod({QStringLiteral("令和08年"), p, nissu, jikan, m, d},
                            [this](bool later) { baseAsked.push_back(later); });
    }
    void writeGensen(std::initializer_list<Birth> births)
    {
        QByteArray data(300 + 90 * 1500, '\0');
        for (const Birth& b : births) {
            char* at = data.data() + 300 + (b.slot - 1) * 1500 + 1341;
            at[0] = char(b.era), at[1] = char(b.year), at[2] = char(b.month), at[3] = char(b.day);
        }
        WriteAll(dir() + QStringLiteral("源泉徴収(令和08年).dat"), data);
    }
    // The open month for the age notices: pay day and shift of the company block.
    void openMonth(int p, int sikyubi, int shift = 0)
    {
        CurPeriod.Period = p;
        CorpRec.Sikyubi = sikyubi;
        CorpRec.SikyuShift = shift;
    }

    std::vector<bool> baseAsked;
};

TEST_F(PeriodSelectTest, PaidLeaveCarriesFromThePreviousPeriodMinusLeaveTaken)
{
    auto april = record(QStringLiteral("会社"));
    person(april->syain, 1, "A");
    april->kintai[1].Kintai[kiYukyuZan] = 10;
    person(april->syain, 2, "B");
    april->kintai[2].Kintai[kiYukyuZan] = 3.5;
    StorePeriod(CurPeriod.FileName, 4, *april);
    auto december = record(QStringLiteral("会社"));
    person(december->syain, 1, "A");
    december->kintai[1].Kintai[kiYukyuZan] = 6;
    StorePeriod(file(7), 12, *december);

    person(SyainRec, 1, "A");
    KintaiRec[1].Kintai[kiYukyu] = 2;
    person(SyainRec, 2, "B");
    person(SyainRec, 3, "Z");  // not in the previous period: keeps his value
    KintaiRec[3].Kintai[kiYukyuZan] = 1.5;
    CarryYukyuZan(5);
    EXPECT_EQ(KintaiRec[1].Kintai[kiYukyuZan], 8);
    EXPECT_EQ(KintaiRec[2].Kintai[kiYukyuZan], 3.5);
    EXPECT_EQ(KintaiRec[3].Kintai[kiYukyuZan], 1.5);
    CarryYukyuZan(1);  // January: last year's December
    EXPECT_EQ(KintaiRec[1].Kintai[kiYukyuZan], 4);
    EXPECT_EQ(KintaiRec[2].Kintai[kiYukyuZan], 3.5);
}

TEST_F(PeriodSelectTest, NewMonthCarriesStaffWithDaysHoursAndLeaveButNoAmounts)
{
    auto april = record(QStringLiteral("会社"));
    person(april->syain, 1, "A", 1);
    person(april->syain, 2, "B", 3);  // hourly paid: his days come from his attendance
    april->kintai[1].Kintai[kiYukyuZan] = 10;
    april->kintai[1].Kintai[kiFutuZangyo] = 5;
    april->sikyu[1].Sikyu[siKihon] = 250000;
    StorePeriod(CurPeriod.FileName, 4, *april);

    ASSERT_EQ(select(5, QStringLiteral("21"), QStringLiteral("168:30")), EntryField::None);
    EXPECT_EQ(CurPeriod.Period, 5);
    EXPECT_EQ(CorpRec.Syamei.text(), QStringLiteral("会社"));
    EXPECT_EQ(CorpRec.Nissu, 21);
    EXPECT_EQ(CorpRec.Jikan, 168.5);
    EXPECT_EQ(KintaiRec[1].Kintai[kiSyukkin], 21);
    EXPECT_EQ(KintaiRec[1].Kintai[kiJitudou], 168.5);
    EXPECT_EQ(KintaiRec[2].Kintai[kiSyukkin], 0);
    EXPECT_EQ(KintaiRec[2].Kintai[kiJitudou], 0);
    EXPECT_EQ(KintaiRec[1].Kintai[kiYukyuZan], 10);
    EXPECT_EQ(KintaiRec[1].Kintai[kiFutuZangyo], 0);
    EXPECT_EQ(SikyuRec[1].Sikyu[siKihon], 0);
    EXPECT_TRUE(baseAsked.empty());
    EXPECT_TRUE(SetupDone && SelectDone);
}

TEST_F(PeriodSelectTest, NewMonthBeforeASavedMonthStartsEmptyAndNotesIt)
{
    StorePeriod(CurPeriod.FileName, 2, *record(QStringLiteral("会社")));
    auto april = record(QStringLiteral("会社"));
    person(april->syain, 1, "A");
    StorePeriod(CurPeriod.FileName, 4, *april);
    ASSERT_EQ(select(3), EntryField::None);
    EXPECT_TRUE(CorpRec.Syamei.isEmpty());
    EXPECT_TRUE(SyainRec[1].MembKey.isEmpty());
    EXPECT_EQ(baseAsked, std::vector<bool>{true});
}

// January and a bonus paid in January start from last year's December; another bonus from the
// newest month of the year, the base month window recorded when there is none.
TEST_F(PeriodSelectTest, JanuaryAndNewBonusesTakeTheNewestMonthOrLastDecember)
{
    auto december = record(QStringLiteral("前年会社"));
    person(december->syain, 1, "A");
    StorePeriod(file(7), 12, *december);
    struct Case {
        int period;
        const char *month, *company;
        std::vector<bool> asked;
    };
    for (const Case& c :
         {Case{1, "", "前年会社", {}}, Case{13, "1", "前年会社", {}}, Case{13, "7", "", {false}}}) {
        baseAsked.clear();
        ASSERT_EQ(select(c.period, u("20"), u("160:00"), u(c.month), u("15")), EntryField::None);
        EXPECT_EQ(CorpRec.Syamei.text(), QString::fromUtf8(c.company)) << c.month;
        EXPECT_EQ(SyainRec[1].MembKey.bytes(), QByteArray(*c.company ? "A" : "")) << c.month;
        EXPECT_EQ(baseAsked, c.asked) << c.month;
    }
    EXPECT_EQ(YearHeader.SyoyoDay[1], 15);
    StorePeriod(CurPeriod.FileName, 3, *record(QStringLiteral("三月")));
    StorePeriod(CurPeriod.FileName, 6, *record(QStringLiteral("六月")));
    ASSERT_EQ(select(14, {}, {}, QStringLiteral("1"), QStringLiteral("10")), EntryField::None);
    EXPECT_EQ(CorpRec.Syamei.text(), QStringLiteral("六月"));
}

TEST_F(PeriodSelectTest, ChoosingASavedPeriodChangesOnlyDaysAndHours)
{
    auto june = record(QStringLiteral("会社"));
    june->corp.Nissu = 22;
    june->corp.Jikan = 176;
    person(june->syain, 1, "A").MailAdrs.setText(QStringLiteral("a@example.jp"));
    june->kintai[1].Kintai[kiSyukkin] = 19;
    june->kintai[1].Kintai[kiYukyuZan] = 4;
    june->sikyu[1].Sikyu[siKihon] = 300000;
    june->koujo[1].Koujo[koJuumin] = 9000;
    StorePeriod(CurPeriod.FileName, 6, *june);
    ASSERT_EQ(select(6), EntryField::None);
    june->corp.Nissu = 20;
    june->corp.Jikan = 160;
    EXPECT_EQ(std::memcmp(&CorpRec, &june->corp, sizeof CorpRec), 0);
    EXPECT_EQ(std::memcmp(&SyainRec, &june->syain, sizeof SyainRec), 0);
    EXPECT_EQ(std::memcmp(&KintaiRec, &june->kintai, sizeof KintaiRec), 0);
    EXPECT_EQ(std::memcmp(&SikyuRec, &june->sikyu, sizeof SikyuRec), 0);
    EXPECT_EQ(std::memcmp(&KoujoRec, &june->koujo, sizeof KoujoRec), 0);
}

TEST_F(PeriodSelectTest, LoadingCutsMailAddressesTo48BytesOnCharacterBoundaries)
{
    const QString a47(47, QLatin1Char('a'));
    struct Case {
        QString in;
        int bytes;
    } cases[] = {{QString(50, QLatin1Char('x')), 48},
                 {a47 + QStringLiteral("あ"), 47},
                 {a47.left(46) + QStringLiteral("あ"), 48},
                 {QStringLiteral("b@example.jp"), 12}};
    auto rec = record(QStringLiteral("会社"));
    for (int i = 0; i < 4; ++i) person(rec->syain, i + 1, "K").MailAdrs.setText(cases[i].in);
    StorePeriod(CurPeriod.FileName, 6, *rec);
    CurPeriod.Period = 6;
    LoadPeriod(CurPeriod.FileName);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(SyainRec[i + 1].MailAdrs.len, cases[i].bytes) << i;
        EXPECT_TRUE(cases[i].in.startsWith(SyainRec[i + 1].MailAdrs.text())) << i;
    }
}

TEST_F(PeriodSelectTest, EntriesAreCheckedBeforeAnythingChanges)
{
    struct Case {
        int period;
        const char *nissu, *jikan, *month, *day;
        EntryField field;
        const char* message;
    };
    const char* const days = "所定労働日数と時間を入力して下さい。";
    const char* const date = "支給月は1～12、支給日は1～31で入力して下さい。";
    const Case cases[] = {
        {4, "0", "160", "", "", EntryField::Nissu, days},
        {4, "20", "", "", "", EntryField::Nissu, days},
        {13, "", "", "0", "10", EntryField::SikyuM, date},
        {13, "", "", "13", "10", EntryField::SikyuM, date},
        {14, "", "", "6", "0", EntryField::SikyuD, date},
        {15, "", "", "6", "32", EntryField::SikyuD, date},
        {15, "", "", "12", "31", EntryField::None, nullptr},
        {13, "", "", " 1", " 1", EntryField::None, nullptr},
    };
    for (const Case& c : cases) {
        ScriptedMsgBox box;
        CurPeriod.Period = 7;
        const EntryField f = select(c.period, QString::fromLatin1(c.nissu), QString::fromLatin1(c.jikan),
                                    QString::fromLatin1(c.month), QString::fromLatin1(c.day));
        EXPECT_EQ(f, c.field) << c.period << c.month << "/" << c.day;
        if (!c.message) continue;
        EXPECT_EQ(box.lastText(), QString::fromUtf8(c.message));
        EXPECT_EQ(CurPeriod.Period, 7);
        for (int b = 1; b <= 3; ++b) EXPECT_EQ(YearHeader.SyoyoMonth[b], 0);
    }
}

TEST_F(PeriodSelectTest, CareInsuranceQuestionsAt40And65FollowTheAnswers)
{
    writeGensen({{1, 3, 35, 1, 1},
                 {2, 3, 56, 1, 1},
                 {3, 3, 51, 1, 1},
                 {4, 4, 8, 1, 1},
                 {5, 3, 51, 1, 1},
                 {6, 3, 51, 1, 1}});
    person(SyainRec, 1, "A").Kaigo = 1;  // 66
    person(SyainRec, 2, "B");            // 45
    person(SyainRec, 3, "C");            // 50
    person(SyainRec, 4, "D");            // 30
    person(SyainRec, 5, "E").Kenkou = 0;
    person(SyainRec, 6, "F").Taisyoku.setText(QStringLiteral("080131"));
    openMonth(4, 25);
    ScriptedMsgBox box;
    for (MsgResult a : {MsgResult::Yes, MsgResult::No, MsgResult::Yes}) box.answer(a);
    CheckCareInsuranceAges();
    ASSERT_EQ(box.shown().size(), 3u);
    EXPECT_EQ(box.shown()[0].text, QStringLiteral("下記従業員は65歳以上で介護保険料を徴収しています。\n"
                                                  "介護保険料を徴収しない様に変更しますか？\n　【社員A】"));
    EXPECT_EQ(box.shown()[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(box.shown()[1].text, QStringLiteral("下記従業員は40歳以上で介護保険料を徴収していません。\n"
                                                  "介護保険料を徴収する様に変更しますか？\n　【社員B】"));
    EXPECT_TRUE(box.shown()[2].text.endsWith(QStringLiteral("【社員C】")));
    EXPECT_EQ(SyainRec[1].Kaigo, 0);
    EXPECT_EQ(SyainRec[2].Kaigo, 0);
    EXPECT_EQ(SyainRec[3].Kaigo, 1);
}

TEST_F(PeriodSelectTest, NoticesAt70And75AreGivenOnce)
{
    // 昭和31-04-26: 70 on 2026-04-25, the day before the birthday; 昭和26: 75.
    writeGensen({{1, 3, 31, 4, 26}, {2, 3, 26, 1, 1}});
    person(SyainRec, 1, "A");
    person(SyainRec, 2, "B").AgeNotice = 70;
    openMonth(4, 25);
    ScriptedMsgBox box;
    CheckCareInsuranceAges();
    ASSERT_EQ(box.shown().size(), 2u);
    EXPECT_EQ(box.shown()[0].text, QStringLiteral("下記従業員は70歳になったので下記の資格を喪失します。\n"
                                                  "　健康保険、厚生年金保険\n　【社員A】"));
    EXPECT_EQ(box.shown()[1].text, QStringLiteral("下記従業員は75歳になったので下記に該当します。\n"
                                                  "　後期高齢者医療制度の被保険者\n　【社員B】"));
    EXPECT_EQ(SyainRec[1].AgeNotice, 70);
    EXPECT_EQ(SyainRec[2].AgeNotice, 75);
    box.clear();
    CheckCareInsuranceAges();
    EXPECT_TRUE(box.shown().empty());
}

// The age is reckoned at the pay date; a birth date that is no date gives no notice (with care
// insurance set, any age made up from it would bring a question).
TEST_F(PeriodSelectTest, AgeReferenceDateFollowsThePayDateAndNoDatesAreSkipped)
{
    const struct {
        int period, sikyubi, shift;
        Birth birth;
        bool kaigo, notice70;
    } cases[] = {
        {2, 30, 0, {1, 3, 31, 2, 27}, false, true},  // pay day 30 of February is its last day
        {2, 30, 0, {1, 3, 31, 3, 2}, false, false},
        {12, 10, 1, {1, 3, 32, 1, 5}, false, true},  // December paid on 10 January 2027
        {12, 10, 1, {1, 3, 32, 1, 20}, false, false},
        {12, 10, 0, {1, 3, 32, 1, 5}, false, false},  // paid in December 2026: still 69
        {4, 25, 0, {1, 3, 31, 2, 30}, true, false},
        {4, 25, 0, {1, 3, 0, 1, 1}, true, false},
        {4, 25, 0, {1, 0, 31, 1, 1}, true, false},
        {4, 25, 0, {1, 3, 31, 1, 1}, false, true},  // the real date: 70 in 2026
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.period << ": " << int(c.birth.era) << " " << int(c.birth.year)
                                          << "-" << int(c.birth.month) << "-" << int(c.birth.day));
        writeGensen({c.birth});
        ClearPeriodImage();
        person(SyainRec, 1, "A").Kaigo = c.kaigo;
        openMonth(c.period, c.sikyubi, c.shift);
        ScriptedMsgBox box;
        EXPECT_NO_THROW(CheckCareInsuranceAges());
        EXPECT_EQ(box.shown().size(), c.notice70 ? 1u : 0u);
        EXPECT_EQ(SyainRec[1].AgeNotice == 70, c.notice70);
    }
}

TEST_F(PeriodSelectTest, BaseListPreselectsTheNewestMonthOfTheOpenYearUpToThePeriod)
{
    StorePeriod(file(7), 11, *record(QStringLiteral("会社")));
    StorePeriod(file(7), 12, *record(QStringLiteral("会社")));
    for (int m : {2, 4, 6}) StorePeriod(CurPeriod.FileName, m, *record(QStringLiteral("会社")));
    WriteAll(file(6), QByteArray(100, '\1'));  // damaged: no lines
    const auto lines = RefDataLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].text, QStringLiteral("令和07年11月支給給与"));
    EXPECT_EQ(lines[2].text, QStringLiteral("令和08年 2月支給給与"));
    for (auto [period, line] : {std::pair{5, 3}, {4, 3}, {1, 4}, {13, 4}}) {
        CurPeriod.Period = period;
        EXPECT_EQ(RefDataPreselect(lines), line) << period;
    }
}

TEST_F(PeriodSelectTest, WindowSelectsYearMonthAndLoadsIt)
{
    StorePeriod(CurPeriod.FileName, 12, *record(QStringLiteral("株式会社テスト")));
    StorePeriod(file(7), 3, *record(QStringLiteral("前年")));
    CurPeriod.FileName = file(7);
    ScriptedMsgBox box;
    TfmSelData w;
    w.show();
    auto* year = child<QComboBox>(&w, "cbTaisyoNen");
    auto* days = child<QLineEdit>(&w, "edNissu");
    auto* hours = child<QLineEdit>(&w, "edJikan");
    ASSERT_EQ(year->count(), 2);
    year->setCurrentIndex(year->findText(QStringLiteral("令和08年")));
    EXPECT_EQ(CurPeriod.FileName, file(8));
    child<QListWidget>(&w, "ListBox")->setCurrentRow(11);
    days->clear();
    QTest::keyClicks(days, "2x1");
    EXPECT_EQ(days->text(), QStringLiteral("21"));
    EXPECT_EQ(box.beeps(), 1);
    hours->clear();
    QTest::keyClicks(hours, "168:00");
    QTest::mouseClick(child<QPushButton>(&w, "bbOk"), Qt::LeftButton);
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(CurPeriod.Period, 12);
    EXPECT_EQ(CorpRec.Syamei.text(), QStringLiteral("株式会社テスト"));
    EXPECT_EQ(CorpRec.Nissu, 21);
    EXPECT_EQ(CorpRec.Jikan, 168);
}

TEST_F(PeriodSelectTest, WindowAsksBeforeEndingUntilAPeriodWasChosen)
{
    WriteAll(IniFileName, "[Option]\r\nDefJikanD=0.0\r\n");
    StartHint = false;
    ScriptedMsgBox box;
    TfmSelData w;
    w.show();
    auto* cancel = child<QPushButton>(&w, "bbCancel");
    box.answer(MsgResult::No);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(box.lastText(), QStringLiteral("初期設定を中止し、給与計算PelmoraSを終了して宜しいですか？"));
    SetupDone = SelectDone = true;
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Rejected);
}

// A FIFO or a link to a device planted at the year file's name or at the settings file: choosing
// the year tells what is there instead of waiting on the open in the main thread or reading
// without end. Read in a child, so that a wait or an endless read shows as such.
TEST_F(PeriodSelectTest, AFifoOrADeviceAtTheYearFileOrTheSettingsIsToldNotWaitedOn)
{
    const QString year = CurPeriod.FileName;
    const QByteArray yearBytes = ReadAll(year);
    const QString yearFailed = u("年度データファイルの読み込みに失敗しました。\n") + year + u("\n");
    const QString iniFailed = u("設定ファイルの読み込みに失敗しました。\n") + IniFileName + u("\n");
    const auto fifo = [](const QString& at) {
        QFile::remove(at);
        return ::mkfifo(QFile::encodeName(at).constData(), 0600) == 0;
    };
    const auto zero = [](const QString& at) {
        QFile::remove(at);
        return QFile::link(u("/dev/zero"), at);
    };
    const struct {
        const char* name;
        std::function<bool()> plant;
        QString said;
    } cases[] = {
        {"a FIFO at the year file", [&] { return fifo(year); },
         u("AppError: ") + yearFailed + u("名前付きパイプなので読み込みません。")},
        {"a link to /dev/zero at the year file", [&] { return zero(year); },
         u("AppError: ") + yearFailed + u("シンボリックリンクなので読み込みません。")},
        {"a FIFO at the settings file", [&] { return fifo(IniFileName); },
         u("AppError: ") + iniFailed + u("名前付きパイプなので読み込みません。")},
        {"a link to /dev/zero at the settings file", [&] { return zero(IniFileName); },
         u("AppError: ") + iniFailed + u("デバイスなので読み込みません。")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(year);
        QFile::remove(IniFileName);
        WriteAll(year, yearBytes);
        WriteAll(IniFileName, "[Option]\r\nDefJikanD=8.0\r\n");
        ASSERT_TRUE(c.plant());
        EXPECT_EQ(InChild([&] {
                      ReadSelectState(year);
                      return u("read");
                  }),
                  c.said);
    }
}

}  // namespace
