// Start-up paths: where the data goes, the one-time relocation of the shipped data, the folder
// copy and the write check of the settings file and data folder.
#include "payroll/startup.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "payroll/paths.h"
#include "platform/msgbox.h"
#include "tests/testutil.h"

namespace {

const QString kWriteMsg = QStringLiteral("設定ファイルに書き込み出来ません。");

class StartupTest : public CoreTest {
  protected:
    QString prog() const { return dir() + QStringLiteral("prog/"); }
    QString home() const { return dir() + QStringLiteral("home"); }
    void ship()
    {
        ASSERT_TRUE(QDir().mkpath(prog() + QStringLiteral("Data/Data2")));
        WriteAll(prog() + QStringLiteral("Tolvane.ini"), "[Option]\r\nProgVer=1.00\r\n");
        WriteAll(prog() + QStringLiteral("Data/old.dat"), "old");
        WriteAll(prog() + QStringLiteral("Data/Data2/year.dat"), "year");
    }
};

TEST_F(StartupTest, FirstUnwritableStartCopiesTheShippedDataOnce)
{
    ship();
    SetupPathsFor(prog(), false, home());
    const QString data = home() + QStringLiteral("/PelmoraS/");
    EXPECT_EQ(TablePath, prog());
    EXPECT_EQ(DataPath, data);
    EXPECT_EQ(IniFileName, data + QStringLiteral("Tolvane.ini"));
    EXPECT_TRUE(DataMoved);
    EXPECT_EQ(ReadAll(IniFileName), QByteArray("[Option]\r\nProgVer=1.00\r\n"));
    EXPECT_EQ(ReadAll(data + QStringLiteral("Data/Data2/year.dat")), QByteArray("year"));
    // Pay data and settings are the user's alone.
    for (const char* folder : {"", "Data", "Data/Data2"}) EXPECT_EQ(FileMode(data + folder), 0700) << folder;
    EXPECT_EQ(FileMode(IniFileName), 0600);
    EXPECT_EQ(FileMode(data + QStringLiteral("Data/Data2/year.dat")), 0600);

    // The user works on; a second start must not put the shipped files back, but tightens a data
    // folder that an earlier version left open.
    ::chmod(QFile::encodeName(data).constData(), 0755);
    WriteAll(data + QStringLiteral("Data/Data2/year.dat"), "mine");
    WriteAll(IniFileName, "[Option]\r\n");
    SetupPathsFor(prog(), false, home());
    EXPECT_FALSE(DataMoved);
    EXPECT_EQ(ReadAll(data + QStringLiteral("Data/Data2/year.dat")), QByteArray("mine"));
    EXPECT_EQ(ReadAll(IniFileName), QByteArray("[Option]\r\n"));
    EXPECT_EQ(FileMode(data), 0700);
}

TEST_F(StartupTest, CopyFolderTreeSkipsProgramsAndHelpInAnyCaseAndLeavesCopiesWritable)
{
    const QString src = dir() + QStringLiteral("src/");
    ASSERT_TRUE(QDir().mkpath(src + QStringLiteral("sub")));
    WriteAll(src + QStringLiteral("Setup.EXE"), "x");
    WriteAll(src + QStringLiteral("sub/Help.Chm"), "x");
    WriteAll(src + QStringLiteral("sub/a.dat"), "a");
    WriteAll(src + QStringLiteral("notes.exe.txt"), "n");
    QFile::setPermissions(src + QStringLiteral("sub/a.dat"), QFileDevice::ReadOwner | QFileDevice::ReadOther);

    CopyFolderTree(src, dir() + QStringLiteral("a/b/dst"));
    const QString dst = dir() + QStringLiteral("a/b/dst/");
    EXPECT_FALSE(QFileInfo::exists(dst + QStringLiteral("Setup.EXE")));
    EXPECT_FALSE(QFileInfo::exists(dst + QStringLiteral("sub/Help.Chm")));
    EXPECT_EQ(ReadAll(dst + QStringLiteral("sub/a.dat")), QByteArray("a"));
    EXPECT_EQ(ReadAll(dst + QStringLiteral("notes.exe.txt")), QByteArray("n"));
    EXPECT_EQ(FileMode(dst + QStringLiteral("sub/a.dat")), 0600) << "the user's own, and only his";
}

TEST_F(StartupTest, MissingDataFolderGivesBothMessagesWithItsErrorCode)
{
    DataPath = dir() + QStringLiteral("gone/");
    IniFileName = DataPath + QStringLiteral("Tolvane.ini");
    ScriptedMsgBox box;
    EXPECT_FALSE(CheckIniWritable());
    ASSERT_EQ(box.shown().size(), 2u);
    EXPECT_EQ(box.shown()[0].text, kWriteMsg);
    EXPECT_EQ(box.shown()[1].text, QStringLiteral("プログラム起動不可[2]"));
}

// A program folder of versions: the program file lies in versions/<name>/; its tables are read
// through "current", and the data of a writable program folder stays in the program folder, never
// in a version a later update replaces. Anywhere else the program's own folder is both.
TEST_F(StartupTest, TheDataOfAProgramFolderOfVersionsLiveBesideTheVersions)
{
    const QString root = dir() + QStringLiteral("opt/");
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("versions/3")));
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("versions/4")));
    ASSERT_TRUE(QDir().mkpath(dir() + QStringLiteral("plain/versions/1")));
    ASSERT_TRUE(QFile::link(QStringLiteral("versions/4"), root + QStringLiteral("current")));
    const struct {
        QString programDir;
        QString root, tables;
    } cases[] = {
        {root + QStringLiteral("versions/4"), root, root + QStringLiteral("current/")},
        // An older version still running: the tables in use are those of "current".
        {root + QStringLiteral("versions/3/"), root, root + QStringLiteral("current/")},
        // Through the link, as the program file's folder may be given.
        {root + QStringLiteral("current"), root, root + QStringLiteral("current/")},
        // No "current" beside "versions": a folder of its own.
        {dir() + QStringLiteral("plain/versions/1"), dir() + QStringLiteral("plain/versions/1/"),
         dir() + QStringLiteral("plain/versions/1/")},
        {prog(), prog(), prog()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.programDir.toStdString());
        const TProgramFolders f = ProgramFoldersOf(c.programDir);
        EXPECT_EQ(f.root, c.root);
        EXPECT_EQ(f.tables, c.tables);
        SetupPathsFor(c.programDir, true, home());
        EXPECT_EQ(TablePath, c.tables);
        EXPECT_EQ(DataPath, c.root);
        EXPECT_EQ(IniFileName, c.root + QStringLiteral("Tolvane.ini"));
    }
    // Relocated: the shipped data is looked for in the program folder.
    WriteAll(root + QStringLiteral("Tolvane.ini"), "[Option]\r\nshipped\r\n");
    SetupPathsFor(root + QStringLiteral("versions/4"), false, home());
    EXPECT_EQ(DataPath, home() + QStringLiteral("/PelmoraS/"));
    EXPECT_EQ(ReadAll(IniFileName), QByteArray("[Option]\r\nshipped\r\n"));
}

// The write probe never goes through a link planted under its name: the link's target is not made
// (nor touched when it exists), and the start goes on.
TEST_F(StartupTest, WriteProbeFollowsNoLink)
{
    DataPath = dir();
    IniFileName = DataPath + QStringLiteral("Tolvane.ini");
    const QString probe = DataPath + QStringLiteral("Write.chk");
    for (const bool targetExists : {false, true}) {
        const QString target = dir() + QStringLiteral("elsewhere/made.txt");
        QDir().mkpath(dir() + QStringLiteral("elsewhere"));
        QFile::remove(target);
        if (targetExists) WriteAll(target, "theirs");
        ASSERT_TRUE(QFile::link(target, probe));
        ScriptedMsgBox box;
        EXPECT_TRUE(CheckIniWritable());
        EXPECT_TRUE(box.shown().empty());
        EXPECT_EQ(QFileInfo::exists(target), targetExists);
        if (targetExists) {
            EXPECT_EQ(ReadAll(target), "theirs");
        }
        EXPECT_FALSE(QFileInfo(probe).isSymLink());
        EXPECT_FALSE(QFileInfo::exists(probe));
    }
}

// A settings file that cannot be read stops the start with the reason: a folder of its name, or
// (for a user other than root) a file he may not read.
TEST_F(StartupTest, UnreadableSettingsAreToldWithTheReason)
{
    DataPath = dir();
    IniFileName = DataPath + QStringLiteral("Tolvane.ini");
    ScriptedMsgBox box;
    EXPECT_TRUE(CheckIniReadable());
    QDir().mkpath(IniFileName);
    EXPECT_FALSE(CheckIniReadable());
    ASSERT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(box.lastText(),
              QStringLiteral("設定ファイルの読み込みに失敗しました。\n%1\nファイルではなくフォルダーです。")
                  .arg(IniFileName));
}

}  // namespace
