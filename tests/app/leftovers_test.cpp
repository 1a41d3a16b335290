// Temporaries of writes killed part way: a settings write, a year file save, a backup, a zip and a
// workbook export each stopped by the file size limit's signal in a child process; the next start
// removes every temporary they left, here and in the folders outside the data root, and nothing
// else.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QRandomGenerator>
#include <csignal>
#include <functional>

#include "payroll/corpdata.h"
#include "payroll/datamanage.h"
#include "payroll/paths.h"
#include "payroll/startup.h"
#include "platform/atomicfile.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "print/exportframe.h"
#include "services/mail.h"
#include "services/zip.h"
#include "tests/testutil.h"

namespace {

using KilledWriteTest = CoreTest;

// Runs write in a child process whose files may not grow beyond limit bytes: the write is killed
// by SIGXFSZ where it stands. True when it was.
bool killedPartWay(const std::function<void()>& write, rlim_t limit)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_DFL);
        const rlimit r{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &r);
        try {
            write();
        } catch (...) {
        }
        ::_exit(0);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ;
}

// The entries below folder whose names carry the temporaries' marker.
QStringList temporariesBelow(const QString& folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        if (IsTemporaryName(QFileInfo(f).fileName())) found << f;
    }
    return found;
}

TEST_F(KilledWriteTest, TheNextStartRemovesWhatKilledWritesLeftAndKeepsThePreviousFiles)
{
    const QString root = dir() + u("root/"), backup = dir() + u("backup/"), zips = dir() + u("zips/"),
                  exports = dir() + u("exports/"), work = dir() + u("work/");
    for (const QString& f : {root + u("Data2"), backup, zips, exports, work}) QDir().mkpath(f);
    DataRoot = root;
    DataPath = root;
    SysIniFileName = IniFileName = root + u("Tolvane.ini");
    const QByteArray iniBefore = "[Option]\r\nProgVer=1\r\n";
    WriteAll(IniFileName, iniBefore);
    const QString year = root + u("Data2/令和08年給与･賞与.dat");
    const QByteArray yearBefore(200000, 'y');
    WriteAll(year, yearBefore);
    QByteArray noise(300000, '\0');
    QRandomGenerator random(42);
    for (char& c : noise) c = char(random.bounded(256));
    WriteAll(work + u("big.bin"), noise);
    WriteAll(backup + u("Tolvane.ini"), "an earlier backup");
    TExportSheet sheet{u("給与"), {}};
    for (int r = 0; r < 4000; ++r)
        sheet.rows << TExportRow{
            {TExportCell::text(u("社員%1 の名前").arg(r)), TExportCell::amount(r * 1000.0)}};

    SetTemporaryRecord(TemporaryRecordFile(root));
    const struct {
        const char* what;
        std::function<void()> write;
        rlim_t limit;
    } kills[] = {
        {"settings write", [] { WriteFileAtomic(IniFileName, QByteArray(20000, 'i'), u("設定")); }, 4096},
        {"year file save", [&] { WriteFileAtomic(year, QByteArray(400000, 'n'), u("年度")); }, 100000},
        {"backup", [&] { BackupToFolder(backup); }, 100000},
        {"zip", [&] { ZipFolder(zips + u("KEY.zip"), work, u("pw")); }, 20000},
        {"export", [&] { WriteExportWorkbook(exports + u("給与.xlsx"), {sheet}); }, 20000},
    };
    for (const auto& k : kills) EXPECT_TRUE(killedPartWay(k.write, k.limit)) << k.what;
    SetTemporaryRecord({});
    // What each left behind.
    for (const QString& f : {root, backup, zips, exports})
        EXPECT_FALSE(temporariesBelow(f).isEmpty()) << qPrintable(f);

    ScriptedMsgBox box;
    EXPECT_TRUE(FinishStoppedWork(root));
    EXPECT_TRUE(box.shown().empty());
    for (const QString& f : {root, backup, zips, exports})
        EXPECT_EQ(temporariesBelow(f), QStringList()) << qPrintable(f);
    EXPECT_EQ(ReadAll(IniFileName), iniBefore);
    EXPECT_EQ(ReadAll(year), yearBefore);
    EXPECT_EQ(ReadAll(backup + u("Tolvane.ini")), "an earlier backup");
    EXPECT_EQ(ReadAll(work + u("big.bin")), noise);
    EXPECT_FALSE(QFileInfo::exists(zips + u("KEY.zip")));
    EXPECT_FALSE(QFileInfo::exists(exports + u("給与.xlsx")));
    // The record went with them; the next run starts a new one.
    EXPECT_FALSE(QFileInfo::exists(TemporaryRecordFile(root)));
}

// The mail attachments' folder a link in its place: the link goes, the folder it points to and its
// files stay.
TEST_F(KilledWriteTest, MailFolderClearingFollowsNoLink)
{
    DataRoot = dir() + u("root/");
    QDir().mkpath(DataRoot);
    QDir().mkpath(dir() + u("theirs/sub"));
    WriteAll(dir() + u("theirs/a.jpg"), "theirs");
    WriteAll(dir() + u("theirs/sub/b.jpg"), "theirs too");
    ASSERT_TRUE(QFile::link(dir() + u("theirs"), DataRoot + u("MailTemp")));
    ClearMailAttachments();
    EXPECT_FALSE(QFileInfo::exists(DataRoot + u("MailTemp")));
    EXPECT_EQ(ReadAll(dir() + u("theirs/a.jpg")), "theirs");
    EXPECT_EQ(ReadAll(dir() + u("theirs/sub/b.jpg")), "theirs too");
    // The program's own folder, a link inside it: the folder goes, the link's target stays.
    QDir().mkpath(DataRoot + u("MailTemp/x"));
    WriteAll(DataRoot + u("MailTemp/x/slip.jpg"), "slip");
    ASSERT_TRUE(QFile::link(dir() + u("theirs"), DataRoot + u("MailTemp/x/link")));
    ClearMailAttachments();
    EXPECT_FALSE(QFileInfo::exists(DataRoot + u("MailTemp")));
    EXPECT_EQ(ReadAll(dir() + u("theirs/a.jpg")), "theirs");
}

// A data set count far beyond the ten sets there can be is read as ten lines.
TEST_F(KilledWriteTest, HugeDataSetCountReadsTenLines)
{
    QByteArray ini = "[CorpData]\r\nCount=2147483647\r\n";
    for (int i = 1; i <= 12; ++i) ini += QStringLiteral("Data%1=set %1\r\n").arg(i).toLatin1();
    WriteAll(dir() + u("Tolvane.ini"), ini);
    const QStringList lines = ReadCorpList(IniFile(dir() + u("Tolvane.ini")));
    ASSERT_EQ(lines.size(), MaxCorpSets);
    EXPECT_EQ(lines.last(), u("set 10"));
}

}  // namespace
