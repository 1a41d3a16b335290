// The main window's life: the opening sequence on an empty data folder up to an open period, the
// caption, saving, the save question at close and the return to the period selection.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "app/TfmMembEdit.h"
#include "app/core/recalc.h"
#include "payroll/captions.h"
#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/periodselect.h"
#include "payroll/slipitems.h"
#include "payroll/startup.h"
#include "payroll/ui/TfmCorpInfo.h"
#include "payroll/ui/TfmOption.h"
#include "payroll/ui/TfmSelData.h"
#include "payroll/yearfile.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/inifile.h"
#include "platform/notice.h"
#include "tests/app/appfixture.h"

namespace {

// Chooses a month and its working days and hours in the period selection, then OK.
void chooseMonth(int month, const char* days, const char* hours)
{
    auto* list = child<QListWidget>(fmSelData, "ListBox");
    list->setCurrentRow(month - 1);
    emit list->itemClicked(list->item(month - 1));
    child<QLineEdit>(fmSelData, "edNissu")->setText(QString::fromLatin1(days));
    child<QLineEdit>(fmSelData, "edJikan")->setText(QString::fromLatin1(hours));
    child<QPushButton>(fmSelData, "bbOk")->click();
}

class MainWindowTest : public CoreTest {
  protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        TablePath = BuiltTables();
        useDataFolder();
        // The period selection's start hint comes with its window's activation, which may arrive
        // after these tests have already answered the window; its own tests cover it.
        StartHint = false;
        CreateForms();
    }
    void TearDown() override
    {
        if (fmMain) fmMain->SkipSaveCheck = true;
        DestroyForms();
        CoreTest::TearDown();
    }
    // Starts the program's window and answers the period selection with December; company runs
    // in the company window of the first run before it is accepted, and the first employee's
    // window is cancelled, or accepted with register.
    void openDecember(
        std::function<void()> company = [] {}, bool registerFirst = false)
    {
        WhenShown(fmSelData, [company, registerFirst] {
            Screenshot(fmSelData, "period-selection.png");
            chooseMonth(12, "20", "160:00");
            // The first run asks for the company, then for the first employee.
            WhenShown(fmCorpInfo, [company] {
                company();
                fmCorpInfo->done(QDialog::Accepted);
            });
            WhenShown(fmMembEdit, [registerFirst] {
                fmMembEdit->done(registerFirst ? QDialog::Accepted : QDialog::Rejected);
            });
        });
        fmMain->show();
        ASSERT_TRUE(QTest::qWaitFor([] { return !fmMain->startupPending(); }, 20000))
            << "the opening sequence did not end";
    }
    FixedClock clock{QDateTime(QDate(2026, 12, 6), QTime(10, 30))};
    ScriptedMsgBox box;
};

TEST_F(MainWindowTest, EmptyDataFolderOpensDecemberOf2026)
{
    openDecember();
    EXPECT_TRUE(fmMain->windowTitle().contains(QStringLiteral("令和8年12月支給給与")))
        << fmMain->windowTitle();
    EXPECT_EQ(CurPeriod.FileName, dir() + QStringLiteral("Data2/令和08年給与･賞与.dat"));
    EXPECT_EQ(CurPeriod.Period, 12);
    EXPECT_EQ(CorpRec.Nissu, 20);
    EXPECT_EQ(CorpRec.Jikan, 160.0);
    // The start is logged in the data set's folder.
    const QByteArray log = ReadAll(dir() + QStringLiteral("Data2/システムログ.dat"));
    EXPECT_TRUE(log.startsWith(
        cp932::encode(QStringLiteral("2026/12/06 10:30  給与計算ソフト ｢給与計算PelmoraS｣を起動\r\n"))));
    Screenshot(fmMain, "main-window.png");
}

// The first run registers the first employee within the start: the start comes first in the log,
// and once.
TEST_F(MainWindowTest, FirstRunLogsTheStartBeforeTheFirstEmployee)
{
    openDecember([] {}, true);
    const QByteArray stamp = "2026/12/06 10:30  ";
    EXPECT_EQ(ReadAll(dir() + QStringLiteral("Data2/システムログ.dat")),
              stamp + cp932::encode(QStringLiteral("給与計算ソフト ｢給与計算PelmoraS｣を起動\r\n")) + stamp +
                  cp932::encode(QStringLiteral("従業員情報の登録\r\n")));
}

// A user allowance no longer taxable counts out of the taxable pay as soon as the settings close.
TEST_F(MainWindowTest, SettingsTakeEffectInEveryEmployeeAfterOk)
{
    openDecember();
    SyainRec[1].Simei.setText(QStringLiteral("社員"));
    SyainRec[1].MembKey.setBytes("260401_090001");
    SyainRec[1].Keitai = 1;
    SikyuRec[1].Sikyu[siVarTeate1] = 10000;
    SikyuItem[15].Use[1] = true;  // 変動手当１ on the monthly slip
    PublishKyuyoItems();
    CalcAllMember(false);
    ASSERT_EQ(SikyuRec[1].KazeiGoukei, 10000);
    WhenShown(fmOption, [] {
        child<QCheckBox>(fmOption, "cbKazei3")->setChecked(false);
        child<QPushButton>(fmOption, "btSysSave")->click();
    });
    fmMain->action("mnEnvSetting")->trigger();
    EXPECT_EQ(SikyuRec[1].KazeiGoukei, 0);
    EXPECT_EQ(SikyuRec[1].SikyuGoukei, 10000);
}

TEST_F(MainWindowTest, SavedPeriodReopensByteForByteAndCloseAsksFirst)
{
    openDecember();
    box.clear();
    CorpRec.Syamei.setText(QStringLiteral("テスト株式会社"));
    SyainRec[1].Simei.setText(QStringLiteral("山田太郎"));
    SyainRec[1].MembKey.setBytes("261206_103000");
    SyainRec[1].Keitai = 1;
    SyainRec[1].Chingin[1] = 300000;
    // Closing with a change asks to save; Cancel keeps the window open on the period.
    box.answer(MsgResult::Cancel);
    EXPECT_FALSE(fmMain->close());
    EXPECT_TRUE(fmMain->isVisible());
    ASSERT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(box.lastText(), QStringLiteral("データが変更されています。保存しますか？"));

    {
        RecordedNotices notices;
        fmMain->mnSaveFileClick();
        ASSERT_EQ(notices.calls().size(), 1u);
        EXPECT_EQ(notices.calls()[0].text, QStringLiteral("データファイルに保存しました。"));
        EXPECT_EQ(notices.calls()[0].mode, kNoticeSelfClosing);
    }
    EXPECT_TRUE(YearFileSaved);
    const QByteArray file = ReadAll(CurPeriod.FileName);
    const QByteArray image = QByteArray(reinterpret_cast<const char*>(&CorpRec), sizeof CorpRec) +
                             QByteArray(reinterpret_cast<const char*>(&SyainRec), sizeof SyainRec);
    EXPECT_EQ(file.mid(DataRecPos(11), image.size()), image);

    // Back to the period selection and into the same month again: every byte comes back.
    const QByteArray before = file.mid(DataRecPos(11), 89944);
    box.clear();
    WhenShown(fmSelData, [] { chooseMonth(12, "20", "160:00"); });
    fmMain->mnReturnCloseClick(1);
    EXPECT_TRUE(fmMain->isVisible()) << "returning keeps the program running";
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&CorpRec), sizeof CorpRec),
              before.left(sizeof CorpRec));
    EXPECT_EQ(SyainRec[1].Chingin[1], 300000);
    EXPECT_TRUE(box.shown().empty()) << "nothing changed, nothing asked";
    EXPECT_TRUE(fmMain->windowTitle().contains(QStringLiteral("テスト株式会社 令和8年12月支給給与")));

    // Ending: the question, and No keeps the window.
    box.answer(MsgResult::No);
    EXPECT_FALSE(fmMain->close());
    EXPECT_EQ(box.lastText(), QStringLiteral("給与計算PelmoraSを終了しますか？"));
}

TEST_F(MainWindowTest, CancelOfTheSaveQuestionWhileReturningStaysOnThePeriod)
{
    openDecember();
    SyainRec[2].MembKey.setBytes("k");
    box.answer(MsgResult::Cancel);
    fmMain->mnReturnCloseClick(1);
    EXPECT_TRUE(fmMain->isVisible());
    EXPECT_EQ(fmSelData->Tag, 0) << "a later close asks to end, not to return";
    box.clear();
    box.answer(MsgResult::No);   // do not save
    box.answer(MsgResult::Yes);  // end the program
    box.answer(MsgResult::Yes);  // and delete the year file that was never saved
    EXPECT_TRUE(fmMain->close());
    ASSERT_EQ(box.shown().size(), 3u);
    EXPECT_EQ(box.shown()[1].text, QStringLiteral("給与計算PelmoraSを終了しますか？"));
    EXPECT_EQ(box.lastText(), QStringLiteral("作成されて保存されていない下記ファイルを削除しますか？\n【%1】")
                                  .arg(CurPeriod.FileName));
    EXPECT_FALSE(QFileInfo::exists(CurPeriod.FileName));
}

TEST_F(MainWindowTest, CloseRunsTheAutomaticCloudBackupAndSaysWhyItCannot)
{
    openDecember();
    IniFile ini(SysIniFileName);
    ini.writeBool(QStringLiteral("Cloud"), QStringLiteral("AutoBackup"), true);
    ini.save();
    box.clear();
    box.answer(MsgResult::No);   // do not save
    box.answer(MsgResult::Yes);  // end the program
    box.answer(MsgResult::No);   // keep the year file
    EXPECT_TRUE(fmMain->close());
    EXPECT_EQ(box.lastText(), QStringLiteral("｢圧縮時のパスワード｣は安全の為、必ず設定して下さい。"));
}

TEST(MainFlow, TitlesDefaultYearAndTaxNotice)
{
    ResetGlobals();
    EXPECT_EQ(DefaultEra(QDate(2019, 4, 30)).EraText, QStringLiteral("平成"));
    EXPECT_EQ(DefaultEra(QDate(2019, 5, 1)).YearText, QStringLiteral("01"));
    EXPECT_EQ(DefaultEra(QDate(2026, 1, 1)).YearText, QStringLiteral("08"));
    EXPECT_EQ(DefaultYearFile(QStringLiteral("/d/"), QDate(2019, 12, 1)),
              QStringLiteral("/d/平成31年給与･賞与.dat"));
    CurPeriod.EraText = QStringLiteral("平成");
    CurPeriod.EraYear = 31;
    CurPeriod.Period = 13;
    YearHeader.SyoyoMonth[1] = 7;
    OptionRec.SyoyoName = true;
    EXPECT_EQ(PeriodTitle(), QStringLiteral("令和1年・夏季賞与"));
    CurPeriod.Period = 4;
    EXPECT_EQ(PeriodTitle(), QStringLiteral("平成31年4月支給給与"));
    CurPeriod.Period = 15;
    EXPECT_EQ(PeriodTitle(), QStringLiteral("平成31年・特別賞与"));

    QTemporaryDir tmp;
    const QString ini = tmp.path() + QStringLiteral("/Tolvane.ini");
    EXPECT_FALSE(CheckTaxChange(ini, true)) << "never on a fresh installation";
    EXPECT_FALSE(CheckTaxChange(ini, false)) << "the date is now stored";
    WriteAll(ini, QByteArray("[Option]\r\nTaxChangeDate=2022/10/01\r\n"));
    EXPECT_TRUE(CheckTaxChange(ini, false));
    EXPECT_FALSE(CheckTaxChange(ini, false)) << "once";
}

TEST(MainFlow, MemberLineKeepsItsColumnsAndSlot)
{
    ResetGlobals();
    TEmployeeRec& E = SyainRec[7];
    E.Simei.setText(QStringLiteral("山田太郎"));
    E.Busyo.setText(QStringLiteral("経理部"));
    E.Kubun = 2;
    E.Keitai = 3;
    E.Taisyoku.setText(QStringLiteral("080531"));
    E.MailAdrs.setText(QStringLiteral("taro@example.jp"));
    const QByteArray line = cp932::encode(MakeMemberLine(7));
    ASSERT_EQ(line.size(), 130);
    EXPECT_EQ(line.mid(0, 23), cp932::encode(QStringLiteral(" 07  山田太郎          ")));
    EXPECT_EQ(line.mid(23, 18), cp932::encode(QStringLiteral("経理部            ")));
    EXPECT_EQ(line.mid(41, 12), cp932::encode(QStringLiteral("一般社員    ")));
    EXPECT_EQ(line.mid(53, 12), cp932::encode(QStringLiteral("時間給      ")));
    EXPECT_EQ(line.mid(65, 12), QByteArray("08/05/31    "));
    EXPECT_EQ(line.mid(77, 15), QByteArray("taro@example.jp"));
    EXPECT_EQ(line.right(3), QByteArray("007"));
    E.SeqNo = 12;
    EXPECT_TRUE(MakeMemberLine(7).startsWith(QStringLiteral(" 12  ")));
}

}  // namespace
