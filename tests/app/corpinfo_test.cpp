// The company window: defaults of an unset block, the checks of OK, the corporate number, the
// pay-date options, the hours per day for new periods and the premium reset after new rates.
#include "payroll/corpinfo.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <array>
#include <cstring>

#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/taxtable.h"
#include "payroll/ui/TfmCorpInfo.h"
#include "payroll/ui/TfmKenRitu.h"
#include "platform/cp932.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "tests/app/appfixture.h"

namespace {

class CorpInfoTest : public TablesTest {
  protected:
    void SetUp() override
    {
        TablesTest::SetUp();
        useDataFolder();
    }

    // A block that passes every check, and its fields.
    static TCorpRec goodCorp()
    {
        TCorpRec c{};
        c.Syamei.setText(QStringLiteral("株式会社トルヴァン"));
        c.Sikyubi = 25, c.JikanD = 7.5, c.KoyRitu = 0.6, c.KenRitu = 4.985, c.KaiRitu = 0.91,
        c.NenRitu = 9.15;
        return c;
    }
    static TFieldValues goodEntry() { return FieldsOf(CorpFields(), goodCorp()); }
    static QLineEdit* ed(QWidget* w, const char* name) { return child<QLineEdit>(w, name); }
    static QAbstractButton* bt(QWidget* w, const char* name) { return child<QAbstractButton>(w, name); }

    static void employ(int slot, const char* name, int grade)
    {
        SyainRec[slot].Simei.setText(QString::fromUtf8(name));
        SyainRec[slot].MembKey.setBytes(QByteArray("260401_0900") + QByteArray::number(slot));
        SyainRec[slot].Tokyu = static_cast<uint16_t>(grade);
    }

    ScriptedMsgBox box;
};

// Leaving a field the way the Tab key does.
void leave(QLineEdit* edit)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(edit, &out);
}

// The employee's shares of 2026: employment insurance 5/1000 in a general business, 6/1000 in
// the others; care half of 1.62 %, pension half of 18.3 %.
TEST_F(CorpInfoTest, ZeroBlockShowsTheDefaultsOf2026WithoutChangingThePeriod)
{
    TfmCorpInfo w;
    w.show();
    EXPECT_EQ(ed(&w, "edKoyRitu")->text(), QStringLiteral(" 0.500"));
    EXPECT_EQ(ed(&w, "edKaiRitu")->text(), QStringLiteral(" 0.810"));
    bt(&w, "rbIgai")->click();
    EXPECT_EQ(ed(&w, "edKoyRitu")->text(), QStringLiteral(" 0.600"));
    w.reject();
    const TCorpRec zero{};
    EXPECT_EQ(std::memcmp(&CorpRec, &zero, sizeof zero), 0) << "cancel leaves no defaults in the period";
    EXPECT_TRUE(box.shown().empty());
}

TEST_F(CorpInfoTest, OkChecksInTheirOrder)
{
    const QString rates = QStringLiteral("保険料負担率が入力されていません。");
    const QString payDay = QStringLiteral("給与支給日の入力に誤りがあります。");
    const QString houNo = QStringLiteral("法人番号の入力に誤りがあります。");
    struct Case {
        const char* field;
        const char* value;
        QString message;  // empty: accepted
        const char* focus;
    } const cases[] = {
        {"edSyamei", " 　", QStringLiteral("会社名が入力されていません。"), "edSyamei"},
        {"edSyamei", "株式会社한", QStringLiteral("「한」はこのプログラムで扱えない文字です。"), "edSyamei"},
        {"edSyamei", "Co😀", u("「😀」はこのプログラムで扱えない文字です。"), "edSyamei"},
        {"edSyamei", "𠮷野家", u("「𠮷」はこのプログラムで扱えない文字です。"), "edSyamei"},
        {"edJikanD", " 0:00", QStringLiteral("所定労働条件が入力されていません。"), "edJikanD"},
        {"edSikyubi", " 0", payDay, "edSikyubi"},
        {"edSikyubi", "32", payDay, "edSikyubi"},
        {"edSikyubi", "31", {}, ""},  // the month end
        {"edSikyubi", " 1", {}, ""},
        {"edKoyRitu", " 0.000", rates, "edKoyRitu"},
        {"edNenRitu", "0", rates, "edNenRitu"},
        {"edKknRitu", "", {}, ""},  // the fund rate may be 0
        {"edHouNo", "123456789012", houNo, "edHouNo"},
        {"edHouNo", "123456789012a", houNo, "edHouNo"},
        {"edHouNo", "0123456789012", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        box.clear();
        TFieldValues e = goodEntry();
        e[c.field].text = u(c.value);
        const TCorpCheck r = CheckCorpEntry(e);
        EXPECT_EQ(r.focus, c.focus);
        EXPECT_FALSE(r.pickKenRitu);
        EXPECT_EQ(box.shown().size(), c.message.isEmpty() ? 0u : 1u);
        EXPECT_EQ(box.lastText(), c.message);
    }
    // With several rates missing the last one takes the focus; a missing health rate is picked.
    TFieldValues e = goodEntry();
    for (const char* rate : {"edKaiRitu", "edNenRitu", "edKenRitu"}) e[rate].text = QStringLiteral("0");
    const TCorpCheck r = CheckCorpEntry(e);
    EXPECT_EQ(r.focus, "edNenRitu");
    EXPECT_TRUE(r.pickKenRitu);
}

TEST_F(CorpInfoTest, MissingHealthRateOpensTheRatePickerAfterTheMessage)
{
    TablePath = dir();
    WriteAll(dir() + KenRituName, cp932::encode(QStringLiteral("東京都    9.85\r\n神奈川県  10.19\r\n")));
    fmKenRitu = new TfmKenRitu;
    TfmCorpInfo w;
    CorpRec = goodCorp();
    CorpRec.KenRitu = 0;
    w.show();
    int messagesBeforePicker = -1;
    WhenShown(fmKenRitu, [&] {
        messagesBeforePicker = static_cast<int>(box.shown().size());
        child<QListWidget>(fmKenRitu, "ListBox")->setCurrentRow(1);
        child<QPushButton>(fmKenRitu, "btOk")->click();
    });
    bt(&w, "bbOk")->click();
    EXPECT_EQ(messagesBeforePicker, 1);
    ASSERT_EQ(box.shown().size(), 2u);
    EXPECT_EQ(box.shown()[0].text, QStringLiteral("保険料負担率が入力されていません。"));
    EXPECT_EQ(box.shown()[1].text, QStringLiteral("選択した健康保険料率の半分の値がセットされます。"));
    EXPECT_EQ(ed(&w, "edKenRitu")->text(), QStringLiteral(" 5.095"));
    EXPECT_TRUE(w.isVisible()) << "the window stays for another OK";
    EXPECT_EQ(CorpRec.KenRitu, 0.0);
    delete fmKenRitu;
    fmKenRitu = nullptr;
}

TEST_F(CorpInfoTest, OkStoresTheBlockAndTheHoursPerDayForNewPeriods)
{
    TfmCorpInfo w;
    w.show();
    ed(&w, "edSyamei")->setText(QStringLiteral("  株式会社トルヴァン  "));
    ed(&w, "edSikyubi")->setText(QStringLiteral("31"));
    ed(&w, "edJikanD")->setText(QStringLiteral(" 7:30"));
    ed(&w, "edKenRitu")->setText(QStringLiteral(" 4.985"));
    bt(&w, "rbIgai")->click();
    bt(&w, "cbSikyuM1")->click();
    bt(&w, "cbJuumin6")->click();
    ed(&w, "edHouNo")->setText(QStringLiteral("0123456789012"));
    // A fund rate that is no number stops OK before anything of the block is stored.
    ed(&w, "edKknRitu")->setText(QStringLiteral("."));
    bt(&w, "bbOk")->click();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(CorpRec.Syamei.isEmpty());
    EXPECT_EQ(box.lastText(), QStringLiteral("「.」は数値ではありません。"));
    box.clear();
    ed(&w, "edKknRitu")->setText(QStringLiteral(" 0.000"));
    bt(&w, "bbOk")->click();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    // The block as typed, the default care and pension rates, and nothing else.
    TCorpRec want = goodCorp();
    want.Sikyubi = 31, want.KoyRitu = 0.6, want.Jigyo = 0, want.KaiRitu = 0.81;
    want.SikyuShift = -1, want.Juumin6Flag = 1, want.HouNo = 123456789012LL;
    EXPECT_EQ(std::memcmp(&CorpRec, &want, sizeof want), 0);
    EXPECT_EQ(IniFile(IniFileName).readString(QStringLiteral("Option"), QStringLiteral("DefJikanD")),
              QStringLiteral("7.50"));
    // The health rate changed from 0, but no employee has a grade: only the notice.
    ASSERT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(box.lastText(), QStringLiteral("社員情報の編集画面で､保険料などの再設定が必要です。"));

    // Shown again, the corporate number has its leading zero back.
    w.show();
    EXPECT_EQ(ed(&w, "edHouNo")->text(), QStringLiteral("0123456789012"));
}

// Every field reads back what it shows: a block filled in every field comes back byte for byte.
TEST_F(CorpInfoTest, EveryFieldReadsBackWhatItShows)
{
    TCorpRec corp = goodCorp(), back{};
    corp.SikyuShift = -1, corp.Juumin6Flag = corp.Jigyo = corp.UseHyo = 1, corp.KknRitu = 2.5;
    corp.HouNo = 123456789012;
    StoreFields(CorpFields(), FieldsOf(CorpFields(), corp), back);
    EXPECT_EQ(std::memcmp(&back, &corp, sizeof corp), 0);
}

TEST_F(CorpInfoTest, NumericFieldsFilterKeysAndShowTheirFormatWhenLeft)
{
    TfmCorpInfo w;
    w.show();
    struct Case {
        QLineEdit* edit;
        const char* typed;
        const char* shown;
    } const cases[] = {
        {ed(&w, "edSikyubi"), "5", " 5"},           {ed(&w, "edKoyRitu"), "1.5", " 1.500"},
        {ed(&w, "edJikanD"), "7:5", " 7:05"},       {ed(&w, "edJikanD"), "7.5", " 7:30"},
        {ed(&w, "edKknRitu"), "12.3456", "12.345"},
    };
    for (const Case& c : cases) {
        c.edit->setText(QString::fromLatin1(c.typed));
        leave(c.edit);
        EXPECT_EQ(c.edit->text(), QString::fromLatin1(c.shown)) << c.typed;
    }
    ed(&w, "edKoyRitu")->setText(QStringLiteral("123"));
    leave(ed(&w, "edKoyRitu"));
    EXPECT_EQ(box.lastText(), QStringLiteral("入力した数値が上限を超えました。"));
    box.clear();
    // The corporate number takes its 13 digits and keeps them, leading zero included.
    ed(&w, "edHouNo")->clear();
    QTest::keyClicks(ed(&w, "edHouNo"), "01234a56789012");
    leave(ed(&w, "edHouNo"));
    EXPECT_EQ(ed(&w, "edHouNo")->text(), QStringLiteral("0123456789012"));
    EXPECT_TRUE(box.shown().empty()) << box.lastText();
}

TEST_F(CorpInfoTest, CtrlDeleteEmptiesTheNameAsEveryField)
{
    TfmCorpInfo w;
    ShowActive(&w);
    for (QLineEdit* e : {ed(&w, "edSyamei"), ed(&w, "edKoyRitu"), ed(&w, "edHouNo")}) {
        SCOPED_TRACE(e->objectName().toStdString());
        e->setText(QStringLiteral("ABC DEF"));
        e->setFocus();
        e->home(false);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(e->text(), QString());
    }
}

// A character CP932 lacks typed into the name is named and taken out there and then, as in the
// employee window.
TEST_F(CorpInfoTest, TypedCharacterCp932LacksIsNamedAndTakenOut)
{
    TfmCorpInfo w;
    ShowActive(&w);
    QLineEdit* name = ed(&w, "edSyamei");
    name->clear();
    name->setFocus();
    for (const QChar ch : u("株한式"))
        QTest::sendKeyEvent(QTest::KeyAction::Click, name, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    EXPECT_EQ(name->text(), u("株式"));
    ASSERT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(box.lastText(), u("「한」はこのプログラムで扱えない文字です。"));
}

TEST_F(CorpInfoTest, NextMonthPayDateClearsTheLastMonthSlipAndTheJuneShift)
{
    CorpRec.SikyuShift = -1;
    CorpRec.Juumin6Flag = 1;
    TfmCorpInfo w;
    w.show();
    EXPECT_TRUE(box.shown().empty()) << "filling the window is not the user's choice";
    ShowActive(&w);
    bt(&w, "cbSikyuP1")->click();
    EXPECT_FALSE(bt(&w, "cbSikyuM1")->isChecked());
    EXPECT_FALSE(bt(&w, "cbJuumin6")->isEnabled());
    EXPECT_FALSE(bt(&w, "cbJuumin6")->isChecked());
    EXPECT_EQ(box.lastText(), QStringLiteral("この設定を使用するのはお勧めしません。"));
    bt(&w, "cbSikyuM1")->click();
    EXPECT_FALSE(bt(&w, "cbJuumin6")->isChecked());
}

TEST_F(CorpInfoTest, PremiumResetFromTheGradeTable)
{
    CorpRec = goodCorp();
    CorpRec.KknRitu = 0.5;
    employ(1, "高橋一郎", 45);  // above the pension grades (4..35)
    employ(2, "山田花子", 0);
    employ(3, "鈴木次郎", 60);  // above the table's 50 grades
    SyainRec[4].Tokyu = 5;      // a free slot
    SyainRec[4].KenhoRyo = 111;
    employ(7, "佐藤一郎", 0);
    ResetPremiums();
    // Per slot: health, care, pension and fund premiums.
    const std::pair<int, std::array<int32_t, 4>> expected[] = {
        {1, {54336, 9919, 59475, 3250}},   // 1,090,000; pension on 650,000
        {3, {69291, 12649, 59475, 3250}},  // read as grade 50: 1,390,000
        {2, {0, 0, 0, 0}},
    };
    for (const auto& [e, premiums] : expected) {
        const TEmployeeRec& E = SyainRec[e];
        EXPECT_EQ((std::array<int32_t, 4>{E.KenhoRyo, E.KaigoRyo, E.KoseiRyo, E.Kakekin}), premiums) << e;
    }
    EXPECT_EQ(SyainRec[4].KenhoRyo, 111);
    ASSERT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(box.lastText(),
              QStringLiteral("下記の社員は等級表が未選択なので自動設定されません。\n山田花子、佐藤一郎"));
}

TEST_F(CorpInfoTest, ResetIsOfferedOnlyWhenAPremiumRateChanged)
{
    CorpRec = goodCorp();
    employ(1, "高橋一郎", 5);
    TfmCorpInfo w;
    w.show();
    ed(&w, "edKoyRitu")->setText(QStringLiteral(" 0.900"));
    bt(&w, "bbOk")->click();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_TRUE(box.shown().empty()) << "the employment rate is not a premium of the grade";
    EXPECT_EQ(SyainRec[1].KenhoRyo, 0);

    w.show();
    ed(&w, "edKknRitu")->setText(QStringLiteral(" 0.500"));
    ed(&w, "edKenRitu")->setText(QStringLiteral(" 5.000"));
    box.answer(MsgResult::Yes);
    bt(&w, "bbOk")->click();
    ASSERT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(
        box.lastText(),
        QStringLiteral("社員情報の編集画面で､保険料などの再設定が必要です。\n自動的に再設定を行いますか？"));
    EXPECT_EQ(box.shown()[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(SyainRec[1].KenhoRyo, 4900);  // 5 % of 98,000
    EXPECT_EQ(SyainRec[1].Kakekin, 490);
}

using CorpInfoFirstRunTest = WithForms<CorpInfoTest>;

TEST_F(CorpInfoFirstRunTest, SamplesAndTheQuestionBeforeGivingUp)
{
    // A period without a company name is the first run: the main window opens the company window.
    bool shown = false;
    WhenShown(fmCorpInfo, [&] {
        shown = true;
        ShowActive(fmCorpInfo);
        EXPECT_EQ(ed(fmCorpInfo, "edSyamei")->text(), QStringLiteral("株式会社○○"));
        EXPECT_EQ(ed(fmCorpInfo, "edJikanD")->text(), QStringLiteral(" 8:00"));
        EXPECT_EQ(ed(fmCorpInfo, "edSikyubi")->text(), QStringLiteral("20"));
        ASSERT_EQ(box.shown().size(), 1u);
        EXPECT_TRUE(box.lastText().startsWith(
            QStringLiteral("会社名や所定労働条件などの会社情報を設定して下さい。\n\n")));

        box.answer(MsgResult::No);
        bt(fmCorpInfo, "bbCancel")->click();
        EXPECT_TRUE(fmCorpInfo->isVisible());
        EXPECT_EQ(box.lastText(),
                  QStringLiteral("初期設定を中止し、給与計算PelmoraSを終了して宜しいですか？"));

        Screenshot(fmCorpInfo, "company-info.png");
        box.answer(MsgResult::Yes);
        bt(fmCorpInfo, "bbCancel")->click();
    });
    fmMain->UpdateMainCaption();
    ASSERT_TRUE(shown);
    EXPECT_TRUE(fmMain->firstRun());
    EXPECT_EQ(fmCorpInfo->result(), QDialog::Rejected);
}

}  // namespace
