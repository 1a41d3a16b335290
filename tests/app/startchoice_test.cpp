// What the start asks before a company is opened: the start-up password (and the cloud password
// kept the same way), and the choice, renaming and deletion of company data sets.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "payroll/corpdata.h"
#include "payroll/password.h"
#include "payroll/paths.h"
#include "payroll/ui/TfmInpPass.h"
#include "payroll/ui/TfmSelCorp.h"
#include "payroll/ui/TfmSelData.h"
#include "payroll/ui/TfmSetPass.h"
#include "platform/cp932.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "print/ui/TfmInji.h"
#include "services/ui/TfmCloud.h"
#include "services/ui/TfmNotice.h"
#include "tests/app/appfixture.h"

namespace {

class StartChoiceTest : public CoreTest {
  protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        TablePath = BuiltTables();
        useDataFolder();
        SysIniFileName = IniFileName;
    }
    void TearDown() override
    {
        if (fmMain) fmMain->SkipSaveCheck = true;
        DestroyForms();
        CoreTest::TearDown();
    }
    // Sets a password through the setting window, answering its question with Yes.
    void setPassword(int mode, const QString& p1, const QString& p2)
    {
        fmSetPass->PassMode = mode;
        fmSetPass->show();
        child<QLineEdit>(fmSetPass, "edPass1")->setText(p1);
        child<QLineEdit>(fmSetPass, "edPass2")->setText(p2);
        box.answer(MsgResult::Yes);
        child<QPushButton>(fmSetPass, "btOk")->click();
    }
    // Starts the main window; the period selection, once shown, is cancelled (the program ends).
    // The watch ends with the start, also when the period selection never came.
    void start()
    {
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [this] {
            if (!fmSelData->isVisible()) return;
            periodShown = true;
            fmSelData->done(QDialog::Rejected);
        });
        watch.start(10);
        fmMain->show();
        ASSERT_TRUE(QTest::qWaitFor([] { return !fmMain->isVisible(); }, 20000));
    }
    // Types text key by key (QTest::keyClicks takes no Japanese).
    static void type(QLineEdit* edit, const QString& text)
    {
        edit->clear();
        for (QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
    QByteArray line(const char* section, const char* key)
    {
        const QByteArray all = ReadAll(SysIniFileName);
        const int s = all.indexOf(QByteArray("[") + section + "]");
        const int k = all.indexOf(QByteArray("\r\n") + key + "=", s);
        return s < 0 || k < 0 ? QByteArray() : all.mid(k + 2, all.indexOf("\r\n", k + 2) - k - 2);
    }

    ScriptedMsgBox box;
    bool periodShown = false;
};

// The stored form of the settings files: each CP932 byte less 16 between quotes; "あ" (82 A0)
// becomes 72 90, which is not CP932 text and is read back as bytes.
TEST_F(StartChoiceTest, PasswordsAreStoredEveryByteLess16AndReadBackAsSet)
{
    CreateForms();
    struct Case {
        int mode;
        const char* password;
        QByteArray stored;
    } const cases[] = {
        {pmStartup, "A0", "ListFile=\"1 \""},    {pmStartup, "あ", "ListFile=\"\x72\x90\""},
        {pmStartup, "22", "ListFile=\"\"\"\""},  // scrambled it is "" itself
        {pmStartup, "0x", "ListFile=\" h\""},    // a leading blank
        {pmCloud, "あ", "Comment=\"\x72\x90\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password);
        box.clear();
        setPassword(c.mode, u(c.password), u(c.password));
        EXPECT_EQ(
            line(c.mode == pmStartup ? "Option" : "Cloud", c.mode == pmStartup ? "ListFile" : "Comment"),
            c.stored);
        EXPECT_EQ(ReadPassword(c.mode), cp932::encode(u(c.password)));
        EXPECT_EQ(fmSetPass->password(), u(c.password));
        ASSERT_EQ(box.shown().size(), 2u);
        EXPECT_EQ(box.shown()[0].text, u("パスワードを設定しますか？"));
        EXPECT_EQ(box.shown()[1].text, u("パスワードを設定しました。"));
    }
    // Different entries never reach the question; the file stays.
    const QByteArray before = ReadAll(SysIniFileName);
    box.clear();
    setPassword(pmStartup, u("abc"), u("abd"));
    EXPECT_EQ(box.lastText(), u("パスワードの設定入力と確認入力が異なっています。"));
    EXPECT_EQ(ReadAll(SysIniFileName), before);
    // A pasted control character would be scrambled into a line end (0x1D - 16 = CR).
    box.clear();
    setPassword(pmStartup, u("a\x1d"), u("a\x1d"));
    EXPECT_EQ(box.lastText(), u("パスワードに制御文字は使えません。"));
    EXPECT_EQ(ReadAll(SysIniFileName), before);
    // Both empty clears it.
    box.clear();
    setPassword(pmStartup, QString(), QString());
    EXPECT_EQ(box.shown()[0].text, u("パスワード設定を解除しますか？"));
    EXPECT_EQ(line("Option", "ListFile"), QByteArray("ListFile=\"\""));
    EXPECT_TRUE(ReadPassword(pmStartup).isEmpty());
    // A character CP932 lacks cannot be typed into a password.
    auto* edPass1 = child<QLineEdit>(fmSetPass, "edPass1");
    type(edPass1, u("a한b"));
    EXPECT_EQ(edPass1->text(), u("ab"));
    EXPECT_EQ(box.lastText(), u("「한」はこのプログラムで扱えない文字です。"));
    EXPECT_EQ(box.beeps(), 0);
    fmSetPass->PassMode = pmStartup;
    ShowActive(fmSetPass);
    type(edPass1, u("secret"));
    Screenshot(fmSetPass, "password-setting.png");
}

TEST_F(StartChoiceTest, StartupPasswordIsAskedUntilItIsRightOrCancelled)
{
    for (const char* password : {"A0", "あ"}) {
        for (const bool cancel : {false, true}) {
            SCOPED_TRACE(password);
            WritePassword(pmStartup, u(password));
            CreateForms();
            box.clear();
            periodShown = false;
            WhenShown(fmInpPass, [password, cancel] {
                auto* edit = child<QLineEdit>(fmInpPass, "edPassword");
                for (const QString& wrong : {u("a0"), u("ア"), QString()}) {
                    type(edit, wrong);
                    child<QPushButton>(fmInpPass, "btOk")->click();
                }
                if (cancel) {
                    child<QPushButton>(fmInpPass, "btCancel")->click();
                    return;
                }
                type(edit, u(password));
                Screenshot(fmInpPass, "password-entry.png");
                child<QPushButton>(fmInpPass, "btOk")->click();
            });
            start();
            ASSERT_GE(box.shown().size(), 3u);
            for (int i = 0; i < 3; ++i) EXPECT_EQ(box.shown()[i].text, u("パスワードが違います"));
            EXPECT_EQ(periodShown, !cancel) << "the company data are opened only after the right entry";
            DestroyForms();
        }
    }
}

// A start that only reaches the period selection creates none of the windows it does not show;
// the print memo it reads is in the print dialog once that is first opened.
TEST_F(StartChoiceTest, TheStartCreatesOnlyTheWindowsItShowsAndThePrintMemoWaitsForItsDialog)
{
    WriteStoredLines(IniFileName, u("PrintMemo"), {u("  字下げの行"), u("二行目")});
    CreateForms();
    start();
    EXPECT_TRUE(periodShown);
    EXPECT_EQ(fmInpPass.existing(), nullptr);
    EXPECT_EQ(fmInji.existing(), nullptr);
    EXPECT_EQ(fmNotice.existing(), nullptr);
    EXPECT_EQ(fmCloud.existing(), nullptr);
    EXPECT_EQ(fmInji->memoText(), u("  字下げの行\n二行目"));
    // A notice creates its panel; a close before any notice has none to create.
    CloseNotice();
    EXPECT_EQ(fmNotice.existing(), nullptr);
    ShowNotice(u("データを保存しています。"), kNoticeUntilClosed);
    ASSERT_NE(fmNotice.existing(), nullptr);
    EXPECT_TRUE(fmNotice->isVisible());
    CloseNotice();
    EXPECT_FALSE(fmNotice->isVisible());
}

class CorpDataTest : public StartChoiceTest {
  protected:
    void SetUp() override
    {
        StartChoiceTest::SetUp();
        // Three data sets and a blank line between them; each set with its files.
        IniFile ini(SysIniFileName);
        ini.writeInteger(u("CorpData"), u("Count"), 4);
        ini.writeString(u("CorpData"), u("Data1"), u("オリジナルデータ"));
        ini.writeString(u("CorpData"), u("Data2"), FormatCorpLine(u("株式会社アルファ"), u("_a")));
        ini.writeString(u("CorpData"), u("Data3"), u("   "));
        ini.writeString(u("CorpData"), u("Data4"), FormatCorpLine(u("ベータ商店"), u("_b")));
        ini.save();
        for (const char* code : {"", "_a", "_b"}) {
            QDir().mkpath(dir() + u("Data2") + u(code));
            WriteAll(dir() + u("Data2%1/令和08年給与･賞与.dat").arg(u(code)), "year");
            if (*code) WriteAll(dir() + u("Tolvane%1.ini").arg(u(code)), "[Option]\r\n");
        }
        DataRoot = dir();
        CreateForms();
    }
    QListWidget* list() { return child<QListWidget>(fmSelCorp, "ListBox"); }
    QStringList files()
    {
        QStringList all = QDir(dir()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
        for (const char* code : {"", "_a", "_b"})
            for (const QString& f : QDir(dir() + u("Data2") + u(code)).entryList(QDir::Files))
                all << u("Data2") + u(code) + u("/") + f;
        return all;
    }
};

TEST_F(CorpDataTest, DeletingOneOfThreeSetsTakesOnlyItsFilesAndWritesTwoLines)
{
    fmSelCorp->show();
    ASSERT_EQ(list()->count(), 3) << "the blank line is left out";
    EXPECT_FALSE(child<QWidget>(fmSelCorp, "sbDelete")->isEnabled()) << "the first set cannot be deleted";
    list()->setCurrentRow(1);
    box.answer(MsgResult::Yes);
    child<QAbstractButton>(fmSelCorp, "sbDelete")->click();
    EXPECT_EQ(box.lastText(), u("選択した会社の給与/賞与や源泉徴収データを削除しますか？"));
    EXPECT_EQ(files(), (QStringList{u("Data2"), u("Data2_b"), u("Tolvane.ini"), u("Tolvane_b.ini"),
                                    u("Data2/令和08年給与･賞与.dat"), u("Data2_b/令和08年給与･賞与.dat")}));
    EXPECT_EQ(list()->currentRow(), 1);
    // The code comes from the line: the second line is now "_b".
    child<QPushButton>(fmSelCorp, "btSelect")->click();
    EXPECT_EQ(fmSelCorp->SelCode, u("_b"));
    const IniFile ini(SysIniFileName);
    EXPECT_EQ(ini.readInteger(u("CorpData"), u("Count"), 0), 2);
    EXPECT_EQ(ini.readString(u("CorpData"), u("Data2")), FormatCorpLine(u("ベータ商店"), u("_b")));
}

// Only "_" and one lower-case letter names files a deletion may touch: never "Tolvane.ini" or "Data2/".
TEST_F(CorpDataTest, DeletionTouchesOnlyTheFilesOfAProperCodeAndReportsWhatStays)
{
    const QStringList all = files();
    for (const char* code : {"", "_", "_A", "a_", "_1", "_ab", "/.", "_a/../"}) {
        SCOPED_TRACE(code);
        EXPECT_FALSE(IsCorpCode(u(code)));
        EXPECT_EQ(DeleteCorpFiles(dir(), u(code)), QStringList{u(code)});
    }
    EXPECT_EQ(files(), all);
    // A line whose code is damaged cannot be deleted through the window either.
    IniFile ini(SysIniFileName);
    ini.writeString(u("CorpData"), u("Data2"), FormatCorpLine(u("壊れた行"), u("x")));
    ini.save();
    fmSelCorp->show();
    list()->setCurrentRow(1);
    child<QAbstractButton>(fmSelCorp, "sbDelete")->click();
    EXPECT_EQ(box.lastText(), u("この会社データは削除できません。"));
    EXPECT_EQ(files(), all);
    // A subfolder keeps its folder, and the user is told.
    QDir().mkpath(dir() + u("Data2_b/sub"));
    list()->setCurrentRow(2);
    box.answer(MsgResult::Yes);
    child<QAbstractButton>(fmSelCorp, "sbDelete")->click();
    EXPECT_EQ(box.lastText(), u("次のファイルは削除できませんでした。\n\n") + dir() + u("Data2_b/"));
    EXPECT_FALSE(QFile::exists(dir() + u("Tolvane_b.ini")));
    EXPECT_EQ(list()->currentRow(), 1) << "the new last line";
    fmSelCorp->reject();
}

TEST_F(CorpDataTest, NamesAreCutTo26FullWidthCharactersAndARenameCp932CannotStoreIsRefused)
{
    const QString line = FormatCorpLine(QString(30, QChar(0x3042)) + u("한"), u("_c"));
    EXPECT_EQ(cp932::encode(line).size(), 62);
    EXPECT_EQ(CorpLineName(line), QString(26, QChar(0x3042)));
    EXPECT_EQ(CorpLineCode(line), u("_c"));
    fmSelCorp->show();
    const QString before = list()->item(0)->text();
    struct Case {
        const char* typed;
        const char* refusal;  // empty: renamed
    } const cases[] = {
        {"Café😀株式会社", "「é」はこのプログラムで扱えない文字です。"},
        {"株式会社😀", "「😀」はこのプログラムで扱えない文字です。"},
        {"本社 ✓", "「✓」はこのプログラムで扱えない文字です。"},
        {"本社", ""},  // the first line is padded and has no code
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        box.clear();
        const QString typed = u(c.typed);
        WhenShown([] { return QApplication::activeModalWidget(); },
                  [typed] {
                      if (auto* edit = QApplication::activeModalWidget()->findChild<QLineEdit*>())
                          edit->setText(typed);
                      static_cast<QDialog*>(QApplication::activeModalWidget())->accept();
                  });
        child<QAbstractButton>(fmSelCorp, "sbReName")->click();
        if (*c.refusal) {
            EXPECT_EQ(box.lastText(), u(c.refusal));
            EXPECT_EQ(list()->item(0)->text(), before);
        } else {
            EXPECT_TRUE(box.shown().empty());
            EXPECT_EQ(list()->item(0)->text(), cp932::padRight(u("本社"), 60));
        }
    }
    // A 27th full-width character is taken back as it comes, with a beep: the box shows what the
    // line keeps.
    box.clear();
    QString shown;
    WhenShown([] { return QApplication::activeModalWidget(); },
              [&shown] {
                  QWidget* query = QApplication::activeModalWidget();
                  auto* edit = query->findChild<QLineEdit*>();
                  edit->setFocus();
                  edit->setText(QString(27, QChar(0x3042)));
                  shown = edit->text();
                  static_cast<QDialog*>(query)->accept();
              });
    child<QAbstractButton>(fmSelCorp, "sbReName")->click();
    EXPECT_EQ(shown, QString(26, QChar(0x3042)));
    EXPECT_EQ(box.beeps(), 1);
    EXPECT_EQ(list()->item(0)->text(), cp932::padRight(QString(26, QChar(0x3042)), 60));
    fmSelCorp->reject();
}

TEST_F(CorpDataTest, TheChosenSetGivesSettingsFileAndDataFolderAtStart)
{
    WhenShown(fmSelCorp, [this] {
        Screenshot(fmSelCorp, "data-set-selection.png");
        list()->setCurrentRow(2);
        QTest::keyClick(list(), Qt::Key_Return);
    });
    start();
    EXPECT_TRUE(periodShown);
    EXPECT_EQ(IniFileName, dir() + u("Tolvane_b.ini"));
    EXPECT_EQ(DataPath, dir() + u("Data2_b/"));
}

TEST_F(CorpDataTest, EveryLineBlankStillOffersTheFirstSet)
{
    IniFile ini(SysIniFileName);
    for (const char* k : {"Data1", "Data2", "Data4"}) ini.writeString(u("CorpData"), u(k), QString());
    ini.save();
    fmSelCorp->show();
    ASSERT_EQ(list()->count(), 1);
    EXPECT_EQ(list()->item(0)->text(), u("オリジナルデータ"));
    child<QPushButton>(fmSelCorp, "btSelect")->click();
    EXPECT_EQ(fmSelCorp->result(), QDialog::Accepted);
    EXPECT_EQ(fmSelCorp->SelCode, QString());
}

}  // namespace
