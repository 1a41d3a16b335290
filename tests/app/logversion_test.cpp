// The system log viewer (list, CSV export, clearing, Esc) and the version window's file lines.
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>

#include "app/TfmShowLog.h"
#include "app/TfmVersion.h"
#include "app/core/versioninfo.h"
#include "payroll/paths.h"
#include "payroll/syslog.h"
#include "payroll/taxtable.h"
#include "platform/cp932.h"
#include "platform/msgbox.h"
#include "tests/app/appfixture.h"

namespace {

class LogVersionTest : public WithForms<CoreTest> {
  protected:
    void SetUp() override
    {
        WithForms<CoreTest>::SetUp();
        useDataFolder();
    }
    // Answers the save dialog with file once it shows.
    void saveAs(const QString& file)
    {
        child<QFileDialog>(fmShowLog.existing(), "SaveDlg")->setOption(QFileDialog::DontUseNativeDialog);
        WhenShown([] { return child<QFileDialog>(fmShowLog.existing(), "SaveDlg"); },
                  [file] {
                      auto* d = child<QFileDialog>(fmShowLog.existing(), "SaveDlg");
                      child<QLineEdit>(d, "fileNameEdit")->setText(file);
                      static_cast<QDialog*>(d)->accept();
                  });
    }
    ScriptedMsgBox msg_;
};

TEST_F(LogVersionTest, LogIsListedExportedByteForByteAndCleared)
{
    ScreenshotFont font;
    QFile::copy(TestData(u("syslog/システムログ.dat")), SysLogFileName());
    ShowActive(fmShowLog);
    auto* list = child<QListWidget>(fmShowLog, "ListBox1");
    ASSERT_EQ(list->count(), 5);
    EXPECT_EQ(list->item(1)->text(), u("2026/12/01 09:05  従業員情報の登録 \"山田\""));
    EXPECT_EQ(list->item(2)->text(), u("2026/12/01 09:0"));
    Screenshot(fmShowLog, "system-log.png");

    // Declined: nothing asked further, nothing written.
    const QString csv = dir() + u("ログ.csv");
    msg_.answer(MsgResult::No);
    fmShowLog->mnCSVClick();
    EXPECT_FALSE(QFile::exists(csv));

    msg_.answer(MsgResult::Yes);
    saveAs(csv);
    fmShowLog->mnCSVClick();
    EXPECT_EQ(ReadAll(csv), ReadAll(TestData(u("syslog/システムログ.csv"))));
    EXPECT_EQ(FileMode(csv), 0600);
    EXPECT_EQ(msg_.lastText(), u("指定ファイルに出力しました。"));

    msg_.answer(MsgResult::No);
    fmShowLog->mnLogClearClick();
    EXPECT_TRUE(QFile::exists(SysLogFileName()));
    msg_.answer(MsgResult::Yes);
    fmShowLog->mnLogClearClick();
    EXPECT_EQ(msg_.lastText(), u("システムログを全クリアしますか？"));
    EXPECT_FALSE(QFile::exists(SysLogFileName()));
    EXPECT_EQ(list->count(), 0);

    // Without a log the export holds the header alone; Esc in the list closes the window.
    msg_.answer(MsgResult::Yes);
    saveAs(dir() + u("空.csv"));
    fmShowLog->mnCSVClick();
    EXPECT_EQ(ReadAll(dir() + u("空.csv")), cp932::encode(u("日時, 内容\r\n")));
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_FALSE(fmShowLog->isVisible());
}

TEST_F(LogVersionTest, VersionLinesSkipMissingFilesAndLongNamesPushTheDate)
{
    const QDateTime when(QDate(2026, 3, 31), QTime(12, 0));
    const auto make = [&](const QString& name) {
        WriteAll(dir() + name, "x");
        QFile f(dir() + name);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
    };
    TablePath = dir();
    ClearTableFiles();  // the paths the main window loaded from
    for (const QString& n : {TaxTableKyuyoName, KenhoTableName, u("給与所得の源泉徴収税額表.dat")}) make(n);
    const QStringList lines =
        VersionFileLines({dir() + TaxTableKyuyoName, dir() + TaxTableSyoyoName, dir() + KenhoTableName,
                          dir() + KenRituName, dir() + u("給与所得の源泉徴収税額表.dat")});
    EXPECT_EQ(lines,
              (QStringList{u("税額表(給与).dat      2026/03/31"), u("健康保険料額表.dat    2026/03/31"),
                           u("給与所得の源泉徴収税額表.dat  2026/03/31")}));

    // The window: the same lines in its labels, the fourth empty without the rates file.
    ScreenshotFont font;
    fmVersion->VerStr = u("1.00");
    ShowActive(fmVersion);
    EXPECT_EQ(child<QLabel>(fmVersion, "lbFilVer1")->text(), lines[0]);
    EXPECT_EQ(child<QLabel>(fmVersion, "lbFilVer2")->text(), lines[1]);
    EXPECT_EQ(child<QLabel>(fmVersion, "lbFilVer3")->text(), QString());
    fmVersion->hide();

    // With the built tables, all four in their order.
    // Written when the program was built, they tell the date of their published tables.
    TablePath = BuiltTables();
    LoadTableFiles();
    fmVersion->show();
    const char* built[] = {"税額表(給与).dat      2026/01/01", "税額表(賞与).dat      2026/01/01",
                           "健康保険料額表.dat    2026/03/01", "健康保険料率.dat      2026/03/01"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(child<QLabel>(fmVersion, QStringLiteral("lbFilVer%1").arg(i + 1).toLatin1())->text(),
                  u(built[i]));
    Screenshot(fmVersion, "version.png");
}

}  // namespace
