// The data management commands of the period selection through its windows: the folder picker
// (its tree, new folders, the screenshot), backup and restore from the menu with the program's end
// after a restore, the Delete key on a saved period and the year entry.
#include <sys/stat.h>

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <optional>

#include "payroll/datamanage.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/periodselect.h"
#include "payroll/ui/TfmFolder.h"
#include "payroll/ui/TfmInpDlg.h"
#include "payroll/ui/TfmSelData.h"
#include "payroll/yearfile.h"
#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/inifile.h"
#include "tests/app/appfixture.h"

namespace {

class DataManageWindowTest : public WithForms<CoreTest> {
  protected:
    void SetUp() override
    {
        WithForms<CoreTest>::SetUp();
        StartHint = false;
        DataRoot = dir();
        DataPath = dir() + QStringLiteral("Data2/");
        SysIniFileName = IniFileName = dir() + QStringLiteral("Tolvane.ini");
        QDir().mkpath(DataPath);
        WriteAll(IniFileName, "[Option]\r\n");
        CurPeriod.FileName = YearFileName(DataPath, QStringLiteral("令和"), 8);
        StorePeriod(CurPeriod.FileName, 5, *PeriodRecord());
    }
    FixedClock clock{QDateTime(QDate(2026, 12, 6), QTime(10, 30))};
    ScriptedMsgBox box;
    QTemporaryDir outside;  // backups go outside the data root
};

TEST_F(DataManageWindowTest, FolderPickerListsTopNodesAndMakesOnlyInnerFolders)
{
    ScreenshotFont font;
    const QString start = outside.path() + QStringLiteral("/a/b");
    QDir().mkpath(start);
    fmFolder->FolderName = start;
    fmFolder->setMkDirVisible(true);
    ShowActive(fmFolder);
    auto* tree = child<QTreeWidget>(fmFolder, "TreeView");
    QStringList tops;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        tops << tree->topLevelItem(i)->data(0, Qt::UserRole).toString();
    EXPECT_EQ(tops.mid(0, 2), (QStringList{QDir::homePath(), QStringLiteral("/")}));
    EXPECT_EQ(fmFolder->currentPath(), start + u'/');
    Screenshot(fmFolder, "folder-picker.png");

    // Names that would reach outside the current folder are refused; nothing is made.
    for (const char* bad : {"../x", "..", ".", "c/d", "e\nf", ""})
        EXPECT_FALSE(fmFolder->makeFolder(u(bad))) << bad;
    EXPECT_EQ(box.lastText(), u("フォルダー作成に失敗しました"));
    EXPECT_EQ(QDir(outside.path() + QStringLiteral("/a")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("b")});
    ASSERT_TRUE(fmFolder->makeFolder(u("新しいフォルダー")));
    EXPECT_EQ(FileMode(start + u("/新しいフォルダー")), 0700);
    EXPECT_EQ(fmFolder->currentPath(), start + u("/新しいフォルダー/"));
    // Names match as the file system does: another letter case is another folder.
    EXPECT_FALSE(fmFolder->selectPath(outside.path() + QStringLiteral("/A/b")));
    EXPECT_EQ(box.lastText(),
              u("指定フォルダ[%1]がありません。").arg(outside.path() + QStringLiteral("/A/b")));
    fmFolder->bbOkClick();
    EXPECT_EQ(fmFolder->FolderName, start + u("/新しいフォルダー"));
}

// The remembered backup folder was deleted or its medium taken out: the picker says so, with the
// path, and starts at the top node that held it.
TEST_F(DataManageWindowTest, ARememberedBackupFolderThatIsGoneIsTold)
{
    const QString gone = outside.path() + u("/消えたフォルダ");
    for (const bool exists : {false, true}) {
        SCOPED_TRACE(exists);
        if (exists) QDir().mkpath(gone);
        IniFile ini(IniFileName);
        ini.writeString(u("Option"), u("BackupPath"), gone);
        ini.save();
        box.clear();
        QString current;
        WhenShown(fmFolder, [&current] {
            current = fmFolder->currentPath();
            fmFolder->reject();
        });
        fmSelData->mnBackupClick();
        if (exists) {
            EXPECT_TRUE(box.shown().empty()) << box.lastText();
            EXPECT_EQ(current, gone + u'/');
        } else {
            ASSERT_EQ(box.shown().size(), 1u);
            EXPECT_EQ(box.lastText(), u("指定フォルダ[%1]がありません。").arg(gone));
            EXPECT_EQ(current, u("/"));
        }
    }
}

TEST_F(DataManageWindowTest, BackupAndRestoreFromTheMenuThenTheProgramEnds)
{
    const QString dated = outside.path() + u("/2026年12月6日");
    WhenShown(fmFolder, [this] {
        fmFolder->selectPath(outside.path());
        fmFolder->bbOkClick();
    });
    box.answer(MsgResult::Yes);  // a dated folder
    fmSelData->mnBackupClick();
    EXPECT_EQ(box.lastText(), u("指定場所にバックアップしました。"));
    EXPECT_EQ(FileMode(dated), 0700);
    EXPECT_EQ(ReadAll(dated + u("/令和08年給与･賞与.dat")), ReadAll(CurPeriod.FileName));
    EXPECT_EQ(IniFile(IniFileName).readString(QStringLiteral("Option"), QStringLiteral("BackupPath")), dated);

    // The restore starts at the last backup and ends the program without the save question.
    const QByteArray saved = ReadAll(CurPeriod.FileName);
    WriteAll(CurPeriod.FileName, "changed");
    box.clear();
    box.answer(MsgResult::Yes);
    WhenShown(fmFolder, [] { fmFolder->bbOkClick(); });
    fmSelData->mnRestoreClick();
    EXPECT_EQ(
        box.lastText(),
        u("指定された場所のデータで復元しました。\n復元を有効にする為、給与計算PelmoraSを終了します。"));
    EXPECT_EQ(ReadAll(CurPeriod.FileName), saved);
    EXPECT_TRUE(fmMain->SkipSaveCheck);
    EXPECT_EQ(fmSelData->result(), QDialog::Rejected);
}

// Each failure of the commands as the user reads it: the folder picked, the answer to the dated
// folder question (or to the restore's warning), what makes it fail, and the message.
TEST_F(DataManageWindowTest, FailuresOfBackupRestoreAndDeletionAreToldInFull)
{
    const QString out = outside.path(), year = CurPeriod.FileName;
    const QString refused =
        u("データのフォルダー（またはその中のフォルダー）にはバックアップできません。\n別の場所を指定して下さ"
          "い。");
    QDir().mkpath(out + u("/taken/2026年12月6日"));
    QDir().mkpath(out + QStringLiteral("/empty"));
    enum Command { Backup, Restore, Delete };
    struct Case {
        Command command;
        QString folder;
        MsgResult answer;
        qint64 sizeLimit;
        QString message;
    } const cases[] = {
        {Backup, DataPath, MsgResult::No, 0, refused},
        {Backup, dir(), MsgResult::Yes, 0, refused},  // the dated folder would lie in the data root
        {Backup, out + QStringLiteral("/taken"), MsgResult::Yes, 0, u("フォルダー作成に失敗しました")},
        {Backup, out, MsgResult::No, 2,
         u("容量不足､書き込み不可等のエラーにより中断しました。\n\nファイルのコピーに失敗しました。\n") +
             out + u("/令和08年給与･賞与.dat\n") + SystemReason(EFBIG)},
        {Restore, out + QStringLiteral("/empty"), MsgResult::Yes, 0,
         u("ファイルが存在しない等のエラーにより中断しました。\nデータは復元前のままです。\n\n"
           "指定された場所に「Tolvane.ini」がありません。")},
        {Delete,
         {},
         MsgResult::Yes,
         0,
         u("年度データファイルの書き込みに失敗しました。\n") + year + u("\nファイルが短すぎます。")},
    };
    ShowActive(fmSelData);
    child<QListWidget>(fmSelData, "ListBox")->setCurrentRow(4);
    const QByteArray saved = ReadAll(year);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        box.clear();
        box.answer(c.answer);
        if (c.command != Delete)
            WhenShown(fmFolder, [&c] {
                fmFolder->selectPath(c.folder);
                fmFolder->bbOkClick();
            });
        if (c.command == Delete) WriteAll(year, "short");
        {
            std::optional<FileSizeLimit> limit;
            if (c.sizeLimit) limit.emplace(c.sizeLimit);
            c.command == Backup    ? fmSelData->mnBackupClick()
            : c.command == Restore ? fmSelData->mnRestoreClick()
                                   : fmSelData->mnDelDataClick();
        }
        EXPECT_EQ(box.lastText(), c.message);
        EXPECT_EQ(ReadAll(year), c.command == Delete ? QByteArray("short") : saved);
    }
    EXPECT_EQ(IniFile(IniFileName).readString(QStringLiteral("Option"), QStringLiteral("BackupPath")),
              QString());
}

TEST_F(DataManageWindowTest, DeleteKeyDeletesTheSavedPeriodAfterYes)
{
    ShowActive(fmSelData);
    auto* list = child<QListWidget>(fmSelData, "ListBox");
    list->setCurrentRow(4);
    list->setFocus();
    box.answer(MsgResult::No);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(ReadAll(CurPeriod.FileName)[8 + 4], 1) << "No keeps the period";
    box.answer(MsgResult::Yes);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(box.lastText(), u("選択されている給与/賞与のデータを削除しますか？"));
    EXPECT_EQ(ReadAll(CurPeriod.FileName)[8 + 4], 0);
    // A period never saved: nothing asked.
    box.clear();
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_TRUE(box.shown().empty());
}

// One habitual Enter on the question deletes nothing: its default button is いいえ.
TEST_F(DataManageWindowTest, EnterOnTheDeleteQuestionKeepsThePeriod)
{
    ShowActive(fmSelData);
    auto* list = child<QListWidget>(fmSelData, "ListBox");
    list->setCurrentRow(4);
    list->setFocus();
    const RealMessageBoxes real;
    QString asked;
    KeyOnNextMessageBox(Qt::Key_Return, &asked);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(asked, u("選択されている給与/賞与のデータを削除しますか？"));
    EXPECT_EQ(ReadAll(CurPeriod.FileName)[8 + 4], 1);
}

TEST_F(DataManageWindowTest, YearEntryRefusesYearsTheListNeverShows)
{
    WhenShown(fmInpDlg, [this] {
        auto* year = child<QLineEdit>(fmInpDlg, "edYear");
        QTest::keyClicks(year, "2x1");
        EXPECT_EQ(year->text(), QStringLiteral("21"));
        child<QPushButton>(fmInpDlg, "btOk")->click();
        EXPECT_TRUE(fmInpDlg->isVisible()) << "a year the list never shows is refused";
        year->setText(QStringLiteral("9"));
        child<QPushButton>(fmInpDlg, "btOk")->click();
    });
    fmSelData->mnCreateClick();
    EXPECT_EQ(QFileInfo(YearFileName(DataPath, u("令和"), 9)).size(), YearFileSize);
    EXPECT_EQ(child<QComboBox>(fmSelData, "cbTaisyoNen")->currentText(), u("令和09年"));
}

// Adding a set by reference takes only a folder named Data2 beside a settings file.
TEST_F(DataManageWindowTest, AddingByReferenceRefusesOtherFolders)
{
    const QString old = outside.path() + QStringLiteral("/old");
    QDir().mkpath(old + QStringLiteral("/Data2"));
    const std::pair<QString, const char*> cases[] = {
        {old, "Data2フォルダーを指定して下さい。"},
        {old + QStringLiteral("/Data2"), "指定された場所には給与計算PelmoraSのデータが有りません。"},
    };
    const QByteArray ini = ReadAll(SysIniFileName);
    for (const auto& [folder, message] : cases) {
        box.clear();
        WhenShown([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); },
                  [folder] {
                      auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                      d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(folder);
                      static_cast<QDialog*>(d)->accept();  // the file dialog's own check of the choice
                  });
        fmSelData->mnAddCorpDataClick(true);
        EXPECT_EQ(box.lastText(), u(message));
        EXPECT_EQ(ReadAll(SysIniFileName), ini);
    }
}

// The first new set of an installation without a list: "_a" after the original line; the program
// ends. With ten sets the menu entry is disabled.
TEST_F(DataManageWindowTest, NewDataSetIsListedAndTheProgramEnds)
{
    box.answer(MsgResult::Yes);
    fmSelData->mnAddCorpDataClick(false);
    EXPECT_EQ(box.lastText(),
              u("新しい会社データを作成しました。\n有効にする為、給与計算PelmoraSを終了します。"));
    const IniFile ini(SysIniFileName);
    EXPECT_EQ(ini.readString(QStringLiteral("CorpData"), QStringLiteral("Count")), QStringLiteral("2"));
    EXPECT_EQ(ini.readString(QStringLiteral("CorpData"), QStringLiteral("Data2")),
              u("新しい会社データ") + QString(60 - 16, u' ') + QStringLiteral("_a"));
    EXPECT_TRUE(fmMain->SkipSaveCheck);

    auto* menu = child<QMenu>(fmSelData, "mnAddCorpData");
    for (const int count : {9, 10}) {
        IniFile set(SysIniFileName);
        set.writeInteger(QStringLiteral("CorpData"), QStringLiteral("Count"), count);
        set.save();
        fmSelData->FormShow(false);
        EXPECT_EQ(menu->menuAction()->isEnabled(), count < 10) << count;
    }
}

}  // namespace
