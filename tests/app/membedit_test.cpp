// The employee edit window over an open month of a real year file: new employees and their slot,
// key, serial number and attendance in the saved file, premiums from the grade table, the checks
// of OK, the template, records from older versions and the view-only mode.
#include "app/core/membedit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <cstring>
#include <memory>

#include "app/TfmKenhoHyo.h"
#include "app/TfmMembEdit.h"
#include "payroll/option.h"
#include "payroll/period.h"
#include "payroll/yearfile.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/notice.h"
#include "tests/app/appfixture.h"

namespace {

class MembEditTest : public PeriodTest {
  protected:
    void SetUp() override
    {
        PeriodTest::SetUp();
        loadPeriod(4);
        fmKenhoHyo = new TfmKenhoHyo;
        w = std::make_unique<TfmMembEdit>();
    }
    void TearDown() override
    {
        w.reset();
        delete fmKenhoHyo;
        fmKenhoHyo = nullptr;
        PeriodTest::TearDown();
    }
    static void employee(int slot, const char* name, int seqNo = 0)
    {
        TEmployeeRec& E = SyainRec[slot];
        E.Simei.setText(u(name));
        E.MembKey.setBytes(QByteArray("260101_0800") + QByteArray::number(10 + slot % 90).right(2));
        E.Kubun = 2;
        E.Keitai = 1;
        E.SikUnit = 2;
        E.SeqNo = static_cast<uint16_t>(seqNo);
    }
    void open(int slot, bool viewOnly = false)
    {
        w->setMember(slot, viewOnly);
        w->show();
    }
    template <typename T = QLineEdit>
    T* ctl(const char* name)
    {
        return child<T>(w.get(), name);
    }
    void click(const char* button) { ctl<QAbstractButton>(button)->click(); }
    // OK; true when the window stored and closed.
    bool ok()
    {
        w->setResult(0);
        click("btOk");
        const bool accepted = w->result() == QDialog::Accepted && !w->isVisible();
        w->hide();
        return accepted;
    }
    std::unique_ptr<TfmMembEdit> w;
    FixedClock clock{QDateTime(QDate(2026, 4, 6), QTime(9, 30, 15))};
    ScriptedMsgBox box;
};

TEST_F(MembEditTest, NewEmployeeIsSavedInTheFirstFreeSlotWithKeySerialAndAttendance)
{
    struct Case {
        const char* what;
        QList<int> used;     // slots in use
        QList<int> serials;  // their serial numbers
        int keitai;          // pay type item
        int slot, seqNo;
        double worked, hours;
    } cases[] = {
        {"no serial numbers: 0, monthly pay works the scheduled days", {1, 3}, {0, 0}, 0, 2, 0, 21, 168},
        {"serial numbers: the highest + 1, hourly pay works nothing", {1, 2, 4}, {3, 1, 2}, 2, 3, 4, 0, 0},
        {"an empty period, daily pay", {}, {}, 1, 1, 0, 0, 0},
    };
    const QString name = u("山田　花子");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::memset(&SyainRec, 0, sizeof SyainRec);
        std::memset(&KintaiRec, 0, sizeof KintaiRec);
        for (int i = 0; i < c.used.size(); ++i) employee(c.used[i], "社員", c.serials[i]);
        open(-1);
        ctl("edSimei")->setText(name);
        ctl<QComboBox>("cbKeitai")->setCurrentIndex(c.keitai);
        ctl("edChingin1")->setText(QStringLiteral("250,000"));
        ASSERT_TRUE(ok()) << box.lastText();
        ASSERT_TRUE(SavePeriod());

        const QByteArray file = ReadAll(CurPeriod.FileName);
        const int rec = DataRecPos(3) + sizeof(TCorpRec) + (c.slot - 1) * 500;
        EXPECT_EQ(file.mid(rec + 42, 14), QByteArray("\x0d"
                                                     "260406_093015"));
        EXPECT_EQ(file.mid(rec + 1, uint8_t(file[rec])), cp932::encode(name));
        EXPECT_EQ(ValueAt<uint16_t>(file, rec + 320), c.seqNo);
        EXPECT_EQ(ValueAt<int32_t>(file, rec + 64), c.keitai + 1);
        EXPECT_EQ(ValueAt<int32_t>(file, rec + 80), 250000);
        EXPECT_EQ(ValueAt<int32_t>(file, rec + 60), 2) << "一般社員 by default";
        EXPECT_EQ(ValueAt<int32_t>(file, rec + 108), 2) << "commuting allowance every month";
        const int att = DataRecPos(3) + sizeof(TCorpRec) + sizeof(TSyainArray) + (c.slot - 1) * 200;
        EXPECT_EQ(ValueAt<double>(file, att), 21.0);
        EXPECT_EQ(ValueAt<double>(file, att + 8), c.worked);
        EXPECT_EQ(ValueAt<double>(file, att + 48), 168.0);
        EXPECT_EQ(ValueAt<double>(file, att + 56), c.hours);
        for (int i = 0; i < c.used.size(); ++i)
            EXPECT_EQ(SyainRec[c.used[i]].SeqNo, c.serials[i]) << "the others keep their numbers";
    }
}

TEST_F(MembEditTest, GradeTableSetsThePremiumsAndClampsThePensionGrade)
{
    CorpRec.KenRitu = 4.985;
    CorpRec.KaiRitu = 0.91;
    CorpRec.NenRitu = 9.15;
    CorpRec.KknRitu = 2.0;
    employee(1, "社員");
    struct Case {
        int grade;
        const char *health, *care, *pension, *fund;
    } cases[] = {
        // 98,000: 4,885.3 and the combined 5,777.1 rounded together, 892 for care.
        {5, "  4,885", "    892", "  8,967", "  1,960"},
        // 58,000 is below the pension grades: pension and fund on 88,000 of the lowest one.
        {1, "  2,891", "    528", "  8,052", "  1,760"},
    };
    box.answer(MsgResult::Yes);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.grade);
        open(1);
        WhenShown(fmKenhoHyo, [&] {
            fmKenhoHyo->SelToKyu = c.grade;
            fmKenhoHyo->QDialog::done(QDialog::Accepted);
        });
        click("sbAutoSet");
        EXPECT_EQ(ctl("edKenhoRyo")->text(), QLatin1String(c.health));
        EXPECT_EQ(ctl("edKaigoRyo")->text(), QLatin1String(c.care));
        EXPECT_EQ(ctl("edKoseiRyo")->text(), QLatin1String(c.pension));
        EXPECT_EQ(ctl("edKakekin")->text(), QLatin1String(c.fund));
        ASSERT_TRUE(ok());
        EXPECT_EQ(SyainRec[1].Tokyu, c.grade) << "the chosen grade, not the pension's";
        EXPECT_EQ(SyainRec[1].KoseiRyo, QString::fromLatin1(c.pension).remove(QLatin1Char(',')).toInt());
    }
    EXPECT_EQ(box.shown().size(), 1u) << "asked on the first use in a run only";
}

// Every field reads back what it shows: a record filled in every field comes back byte for byte.
TEST_F(MembEditTest, EveryFieldReadsBackWhatItShows)
{
    TEmployeeRec r{};
    r.Simei.setText(u("山田　太郎")), r.Busyo.setText(u("営業部")), r.KubunName.setText(u("嘱託"));
    r.MailAdrs.setText(u("yamada@example.jp")), r.Taisyoku.setText(u("8 331")),
        r.Chouson.setText(u("千代田区"));
    r.Kubun = -1, r.Keitai = 3, r.Zeigaku = r.SikUnit = 1, r.Fuyou = 2, r.Sinzoku = 3, r.Sex = 2;
    for (int i = 1; i <= 5; ++i) r.Chingin[i] = 1000 * i;
    for (int i = 1; i <= 3; ++i) r.Teate[i] = 100 * i, r.FixKoujoGaku[i] = 10 * i;
    r.Koutuhi[0] = 12000, r.Koutuhi[1] = 3000, r.Juumin6 = 15000, r.Juumin = 14000, r.Yakuin = 30000;
    r.Family = 10000, r.Yukyu = 8000, r.Kekkin = 9000, r.Chisou = 1100, r.KenhoRyo = 4885, r.KaigoRyo = 892;
    r.KoseiRyo = 8967, r.Kakekin = 1960, r.MyNo = 123456789012;
    r.Koyou = r.Kenkou = r.Kaigo = r.NenHoken = r.NenKikin = r.NoSyoto = r.Genkin = 1;
    TEmployeeRec back{};
    FormToMember(FieldsOf(MemberFields(), r), back);
    EXPECT_EQ(std::memcmp(&back, &r, sizeof r), 0);
}

TEST_F(MembEditTest, AllNinetySlotsUsedKeepsTheWindowOpenAndChangesNothing)
{
    for (int e = 1; e <= MaxEmployee; ++e) employee(e, "社員");
    const QByteArray before(reinterpret_cast<const char*>(&SyainRec), sizeof SyainRec);
    open(-1);
    ctl("edSimei")->setText(u("新人"));
    click("btOk");
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(box.lastText(), u(MembersFullMessage));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&SyainRec), sizeof SyainRec), before);
    EXPECT_EQ(ctl("edSimei")->text(), u("新人")) << "the entries stay for the user";
}

TEST_F(MembEditTest, IndividualNumberIsTwelveDigitsIn64Bits)
{
    employee(1, "社員");
    SyainRec[1].MyNo = 12345678;
    open(1);
    EXPECT_EQ(ctl("edMyNo")->text(), QStringLiteral("000012345678"));
    w->hide();
    struct Case {
        const char* text;
        bool accepted;
        int64_t stored;
    } cases[] = {
        {"987654321098", true, 987654321098LL},
        {"", true, 0},
        {"12345678901", false, 0},
        {"-12345678901", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SyainRec[1].MyNo = 1;
        box.clear();
        open(1);
        ctl("edMyNo")->setText(QLatin1String(c.text));
        EXPECT_EQ(ok(), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(int64_t(SyainRec[1].MyNo), c.stored);
        } else {
            EXPECT_EQ(box.lastText(), u("マイナンバーの入力に誤りがあります。"));
            EXPECT_EQ(int64_t(SyainRec[1].MyNo), 1);
        }
    }
}

// An address with a line break (pasted) never reaches the record, so never a mail header.
TEST_F(MembEditTest, AnAddressWithAControlCharacterIsRefused)
{
    employee(1, "社員");
    SyainRec[1].MailAdrs.setText(u("old@example.jp"));
    for (const char* typed : {"a@b.c\rBcc: e@x.y", "a@b.c\nx", "a@b.c\t"}) {
        SCOPED_TRACE(typed);
        box.clear();
        open(1);
        ctl("edMailAdrs")->setText(QString::fromLatin1(typed));
        EXPECT_FALSE(ok());
        EXPECT_EQ(box.lastText(), u("メールアドレスに改行などの制御文字は使えません。"));
        EXPECT_EQ(SyainRec[1].MailAdrs.text(), u("old@example.jp"));
        w->hide();
    }
}

TEST_F(MembEditTest, TemplateForNewEmployeesCarriesNoIndividualNumber)
{
    RecordedNotices notices;
    open(-1);
    ctl("edSimei")->setText(u("山田"));
    ctl("edBusyo")->setText(u("営業部"));
    ctl("edMyNo")->setText(QStringLiteral("123456789012"));
    ctl("edChingin1")->setText(QStringLiteral("200000"));
    box.answer(MsgResult::Yes);
    click("sbNewBase");
    const QByteArray t = ReadAll(MemberTemplateFile());
    ASSERT_EQ(t.size(), 500);
    EXPECT_EQ(ValueAt<int64_t>(t, 324), 0);
    EXPECT_EQ(uint8_t(t[0]), 0) << "no name";
    EXPECT_EQ(uint8_t(t[42]), 0) << "no key";
    EXPECT_EQ(t.mid(22, uint8_t(t[21])), cp932::encode(u("営業部")));
    EXPECT_EQ(ValueAt<int32_t>(t, 80), 200000);
    EXPECT_EQ(notices.texts(), std::vector<QString>{u("新規作成時の基本にしました。")});
    w->hide();

    // A template written elsewhere with a key and a number gives neither to the next newcomer.
    QByteArray foreign = t;
    foreign[42] = 13;
    foreign.replace(43, 13, "250101_000000");
    const int64_t no = 111122223333LL;
    foreign.replace(324, 8, QByteArray(reinterpret_cast<const char*>(&no), 8));
    WriteAll(MemberTemplateFile(), foreign);
    open(-1);
    EXPECT_EQ(ctl("edBusyo")->text(), u("営業部"));
    EXPECT_TRUE(ctl("edMyNo")->text().isEmpty());
    ctl("edSimei")->setText(u("鈴木"));
    ASSERT_TRUE(ok());
    EXPECT_EQ(SyainRec[1].MembKey.bytes(), QByteArray("260406_093015"));
    EXPECT_EQ(int64_t(SyainRec[1].MyNo), 0);
    EXPECT_EQ(SyainRec[1].Chingin[1], 200000);
}

TEST_F(MembEditTest, CommutingRuleTheListCannotShowIsKept)
{
    employee(1, "社員");
    struct Case {
        int stored, shownIndex, chosenIndex, saved;
    } cases[] = {{7, -1, -1, 7}, {11, -1, -1, 11}, {7, -1, 0, 1},
                 {2, 1, 1, 2},   {1, 0, 1, 2},     {99, -1, -1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        SyainRec[1].SikUnit = c.stored;
        open(1);
        EXPECT_EQ(ctl<QComboBox>("cbSikUnit")->currentIndex(), c.shownIndex);
        ctl<QComboBox>("cbSikUnit")->setCurrentIndex(c.chosenIndex);
        ASSERT_TRUE(ok());
        EXPECT_EQ(SyainRec[1].SikUnit, c.saved);
    }
}

TEST_F(MembEditTest, OldOrImportedRecordIsNotChangedByShowingIt)
{
    employee(1, "社員");
    employee(2, "次の社員");
    TEmployeeRec& E = SyainRec[1];
    E.Simei.setText(u(" 山田太郎 "));     // blanks the window trims
    E.Simei.data[E.Simei.len + 2] = 'X';  // bytes behind the length
    E.Kubun = 3;
    E.KubunName.setText(u("古い区分名"));
    E.Taisyoku.setBytes("712 1");  // 7/12/1 without its padding
    E.reserved164[2] = 5;
    E.reserved204[7] = 9;
    E.AgeNotice = 70;
    E.Tokyu = 5;  // a grade is no change either
    const TEmployeeRec stored = E;

    open(1);
    EXPECT_EQ(ctl("edTaiYY")->text() + ctl("edTaiMM")->text() + ctl("edTaiDD")->text(),
              QStringLiteral(" 712 1"));
    click("sbNextData");
    EXPECT_TRUE(box.shown().empty()) << box.lastText();
    EXPECT_EQ(w->membSlot(), 2);
    click("sbBackData");
    EXPECT_EQ(w->membSlot(), 1);

    // A real change still stops the stepping.
    ctl("edChingin1")->setText(QStringLiteral("1"));
    click("sbNextData");
    EXPECT_EQ(box.lastText(), u("データ内容に変更がある場合は出来ません。"));
    EXPECT_EQ(w->membSlot(), 1);
    w->hide();
    EXPECT_EQ(std::memcmp(&SyainRec[1], &stored, sizeof stored), 0) << "nothing stored before OK";

    // OK keeps the stored date bytes while the date is left alone, and writes an edited one.
    open(1);
    ASSERT_TRUE(ok());
    EXPECT_EQ(SyainRec[1].Taisyoku.bytes(), QByteArray("712 1"));
    EXPECT_EQ(SyainRec[1].Simei.text(), u("山田太郎"));
    EXPECT_EQ(SyainRec[1].AgeNotice, 70) << "fields without a control stay";
    open(1);
    ctl("edTaiDD")->setText(QStringLiteral(" 2"));
    ASSERT_TRUE(ok());
    EXPECT_EQ(SyainRec[1].Taisyoku.bytes(), QByteArray("712 2"));
}

TEST_F(MembEditTest, ViewOnlyShowsWithoutEditingOrStepping)
{
    employee(1, "社員");
    employee(2, "次の社員");
    open(1, true);
    for (const char* name : {"edSimei", "cbKubun", "edMyNo", "edChingin1", "cbKenkou", "edKenhoRyo", "btOk",
                             "sbNewBase", "sbAutoSet", "sbCalculator", "sbBackData", "sbNextData"})
        EXPECT_FALSE(ctl<QWidget>(name)->isEnabled()) << name;
    QTest::keyClick(ctl<QWidget>("btCancel"), Qt::Key_PageUp);
    EXPECT_EQ(w->membSlot(), 1);
}

TEST_F(MembEditTest, KeysFollowTheEntryRules)
{
    employee(1, "社員");
    w->setMember(1, false);
    ShowActive(w.get());
    QLineEdit* pay = ctl("edChingin1");
    pay->setFocus();
    pay->selectAll();
    QTest::keyClick(pay, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(pay->text().isEmpty());
    QTest::keyClick(pay, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), ctl("edChingin2"));
    EXPECT_EQ(pay->text(), QStringLiteral("        0")) << "formatted on leaving";

    // Retirement: today's date in the default data year's era when ticked, nothing when unticked.
    const auto date = [this] {
        return ctl("edTaiYY")->text() + ctl("edTaiMM")->text() + ctl("edTaiDD")->text();
    };
    click("cbTaisyo");
    EXPECT_EQ(date(), QStringLiteral("08 4 6"));
    EXPECT_TRUE(ctl("edTaiDD")->isEnabled());
    click("cbTaisyo");
    EXPECT_TRUE(date().isEmpty());
    EXPECT_FALSE(ctl("edTaiDD")->isEnabled());

    // The name takes at most 16 bytes, and never a character CP932 lacks: that is named.
    QLineEdit* name = ctl("edSimei");
    name->setFocus();
    name->clear();
    for (const QChar ch : u("一二三四五六七八九"))
        QTest::sendKeyEvent(QTest::KeyAction::Click, name, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    EXPECT_EQ(name->text(), u("一二三四五六七八"));
    name->clear();
    box.clear();
    for (const QChar ch : u("李한木"))
        QTest::sendKeyEvent(QTest::KeyAction::Click, name, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    EXPECT_EQ(name->text(), u("李木"));
    EXPECT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(box.lastText(), u("「한」はこのプログラムで扱えない文字です。"));
    EXPECT_EQ(box.shown().front().type, MsgType::Error);
    EXPECT_EQ(box.beeps(), 0);
}

TEST_F(MembEditTest, NewEmployeeScreenshot)
{
    const ScreenshotFont face;  // before the window measures its fields
    if (!face.on()) GTEST_SKIP();
    w = std::make_unique<TfmMembEdit>();
    employee(1, "社員");
    open(-1);
    Screenshot(w.get(), "employee-edit.png");
}

}  // namespace
