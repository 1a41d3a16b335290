// A restore killed at every rename of its swap, and the next start: the data root holds exactly
// the old or exactly the new files each time, and the user is told which. The renames are counted
// by the test's own rename() below, which every rename of the program in this test binary goes
// through; the product has no hook for it. Also the start's removal of leftover temporary files.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <QProcess>
#include <QTest>
#include <atomic>
#include <cstring>
#include <functional>

#include "payroll/datamanage.h"
#include "payroll/paths.h"
#include "payroll/startup.h"
#include "payroll/yearfile.h"
#include "platform/atomicfile.h"
#include "platform/msgbox.h"
#include "platform/readfile.h"
#include "tests/testutil.h"

namespace {
// 0: renames run as usual. n > 0: the process kills itself at the nth rename from now on, before
// it (killBefore) or right after it; or, with failFrom, that rename and every later one fail.
std::atomic<int> renamesLeft{0};
bool killBefore = true;
bool failFrom = false;
bool failing = false;
}  // namespace

extern "C" int rename(const char* from, const char* to)
{
    const bool last = renamesLeft > 0 && --renamesLeft == 0;
    failing = failing || (last && failFrom);
    if (failing) {
        errno = EIO;
        return -1;
    }
    if (last && killBefore) ::raise(SIGKILL);
    const int r = ::renameat(AT_FDCWD, from, AT_FDCWD, to);
    if (last) ::raise(SIGKILL);
    return r;
}

namespace {

using Tree = QMap<QString, QByteArray>;

// Every file and folder under folder, hidden ones included; folders end in "/".
Tree tree(const QString& folder)
{
    Tree t;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        const QString rel = QDir(folder).relativeFilePath(f);
        struct stat st;
        if (QFileInfo(f).isDir())
            t.insert(rel + u'/', {});
        else if (::stat(QFile::encodeName(f).constData(), &st) == 0 && !S_ISREG(st.st_mode))
            t.insert(rel, "<no file>");  // a pipe or a device is never read
        else
            t.insert(rel, ReadAll(f));
    }
    return t;
}

class RestoreKillTest : public CoreTest {
  protected:
    QString root, bk;
    void SetUp() override
    {
        CoreTest::SetUp();
        root = dir() + u("root/");
        bk = dir() + u("bk/");
        DataRoot = root;
        DataPath = root + u("Data2/");
        SysIniFileName = IniFileName = root + u("Tolvane.ini");
        // The backup: a changed first set with a year more, the set "_a" gone, a new set "_b".
        QDir().mkpath(bk + u("Data2_b"));
        WriteAll(bk + u("Tolvane.ini"), "[CorpData]\r\nCount=2\r\nnew\r\n");
        WriteAll(bk + u("Tolvane_b.ini"), "[Option]\r\nb\r\n");
        WriteAll(bk + u("令和08年給与･賞与.dat"), "new year 8");
        WriteAll(bk + u("令和09年給与･賞与.dat"), "new year 9");
        WriteAll(bk + u("Data2_b/令和08年給与･賞与.dat"), "new set b year 8");
    }
    // The data as it was before the restore.
    void makeOld()
    {
        QDir(root).removeRecursively();
        QDir().mkpath(root + u("Data2_a"));
        QDir().mkpath(root + u("Data2"));
        WriteAll(root + u("Data2/令和08年給与･賞与.dat"), "old year 8");
        WriteAll(root + u("Data2/社員情報.dat"), "old template");
        WriteAll(root + u("Data2/Yubinno.DAT"), "postal");
        WriteAll(root + u("Data2/memo.txt"), "note");
        WriteAll(root + u("Data2_a/令和08年給与･賞与.dat"), "old set a year 8");
        WriteAll(root + u("Tolvane.ini"), "[CorpData]\r\nCount=2\r\nold\r\n");
        WriteAll(root + u("Tolvane_a.ini"), "[Option]\r\na\r\n");
    }
};

const char* const Completed =
    "前回のデータの復元が途中で止まっていたため、続きを行って復元を完了しました。\r"
    "復元したデータで起動します。";
const char* const RolledBack =
    "前回のデータの復元が途中で止まっていたため、復元前のデータに戻しました。\r"
    "必要であれば、もう一度復元を行って下さい。";

// Runs the restore in a child killed at rename n; true when it was killed, false when it finished.
bool restoreKilledAt(int n, bool before, const QString& bk)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        killBefore = before;
        renamesLeft = n;
        const bool ok = RestoreFromFolder(bk).ok;
        renamesLeft = 0;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) {
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the restore itself failed";
    }
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

TEST_F(RestoreKillTest, KilledAtEveryRenameTheNextStartHasTheOldOrTheNewData)
{
    makeOld();
    const Tree oldTree = tree(root);
    ASSERT_TRUE(RestoreFromFolder(bk).ok);
    const Tree newTree = tree(root);
    ASSERT_NE(oldTree, newTree);
    EXPECT_TRUE(newTree.contains(u("Data2_b/")));
    EXPECT_FALSE(newTree.contains(u("Data2_a/令和08年給与･賞与.dat")));
    EXPECT_EQ(newTree.value(u("Data2/memo.txt")), "note");  // what no backup carries stays

    int olds = 0, news = 0;
    for (const bool before : {true, false}) {
        for (int n = 1;; ++n) {
            SCOPED_TRACE(
                QStringLiteral("rename %1 %2").arg(n).arg(before ? "before" : "after").toStdString());
            makeOld();
            if (!restoreKilledAt(n, before, bk)) {
                EXPECT_EQ(tree(root), newTree);
                EXPECT_GT(n, 10);
                break;
            }
            ASSERT_LT(n, 100);
            ScriptedMsgBox box;
            // The data root as the start has it, with or without its final "/".
            EXPECT_TRUE(FinishStoppedWork(n % 2 ? root : root.chopped(1)));
            const Tree now = tree(root);
            ASSERT_EQ(box.shown().size(), 1u);
            if (now == newTree) {
                ++news;
                EXPECT_EQ(box.lastText(), u(Completed));
            } else {
                ++olds;
                EXPECT_EQ(now, oldTree);
                EXPECT_EQ(box.lastText(), u(RolledBack));
            }
            // Started once more: nothing is left to do or to say.
            box.clear();
            EXPECT_TRUE(FinishStoppedWork(root));
            EXPECT_TRUE(box.shown().empty());
            EXPECT_EQ(tree(root), now);
        }
    }
    // A kill before the journal is in place gives the old data (the copies into the staging folder
    // are written in blocks, without a rename: a kill among them leaves the same stage without a
    // journal); kills during the swap the new.
    EXPECT_GE(olds, 1);
    EXPECT_GT(news, 5);
}

// Renames that fail from the nth on (a disk gone bad): a restore that stops before its swap, or
// undoes it, changes nothing; one that can do neither says so, and the next start settles it.
TEST_F(RestoreKillTest, RenamesThatFailLeaveTheOldDataOrAFinishedSwapAtTheNextStart)
{
    makeOld();
    const Tree oldTree = tree(root);
    ASSERT_TRUE(RestoreFromFolder(bk).ok);
    const Tree newTree = tree(root);
    int pendings = 0;
    for (int n = 1;; ++n) {
        SCOPED_TRACE(QStringLiteral("rename %1").arg(n).toStdString());
        ASSERT_LT(n, 100);
        makeOld();
        failFrom = true;
        renamesLeft = n;
        const TCopyResult r = RestoreFromFolder(bk);
        const bool reached = renamesLeft == 0;
        renamesLeft = 0;
        failing = failFrom = false;
        ScriptedMsgBox box;
        if (r.pending) {
            ++pendings;
            EXPECT_FALSE(r.ok);
            EXPECT_TRUE(
                r.reason.startsWith(u("ファイルの置き換えに失敗し、元に戻すこともできませんでした。\r")))
                << r.reason;
            EXPECT_TRUE(r.reason.endsWith(
                u("\r\r給与計算PelmoraSを終了します。次の起動時に復元を完了するか、元に戻します。")))
                << r.reason;
            EXPECT_TRUE(FinishStoppedWork(root));
            ASSERT_EQ(box.shown().size(), 1u);
            EXPECT_TRUE(tree(root) == oldTree || tree(root) == newTree);
            EXPECT_EQ(box.lastText(), u(tree(root) == newTree ? Completed : RolledBack));
        } else if (r.ok) {
            // Past the last rename, or only the mark of the finished swap failed.
            EXPECT_TRUE(FinishStoppedWork(root));
            EXPECT_EQ(tree(root), newTree);
            if (!reached) break;
        } else {
            EXPECT_EQ(tree(root), oldTree) << r.reason;
            EXPECT_TRUE(FinishStoppedWork(root));
            EXPECT_TRUE(box.shown().empty());
        }
    }
    EXPECT_GT(pendings, 3);
}

// The restore's staging folder, marked as everything the program makes, and of the earlier naming.
const QString MarkedStage = u(".restore") + QString::fromLatin1(TemporaryMarker);
const QString LegacyStage = u(".restore-");

// A folder made with exactly mode.
void makeFolder(const QString& folder, mode_t mode)
{
    QDir().mkpath(folder);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), mode), 0);
}

// FinishStoppedWork run in a child process, so that a journal that would hang the start or eat its
// memory cannot take the test with it: whether the child ended by itself, its result and the
// messages it showed.
struct TChildStart {
    bool ended = false;
    bool result = false;
    QString shown;
};
TChildStart finishInChild(const QString& root, const QString& shownFile)
{
    QFile::remove(shownFile);
    const pid_t pid = ::fork();
    if (pid == 0) {
#if !defined(__SANITIZE_ADDRESS__)
        // Reading /dev/zero as a journal would otherwise take all memory before it failed.
        const rlimit lim{rlim_t(1) << 30, rlim_t(1) << 30};
        ::setrlimit(RLIMIT_AS, &lim);
#endif
        ScriptedMsgBox box;
        const bool ok = FinishStoppedWork(root);
        QStringList texts;
        for (const MsgShown& m : box.shown()) texts << m.text;
        WriteAll(shownFile, texts.join(u'\n').toUtf8());
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    TChildStart r;
    // Only a start that hangs reaches the limit.
    if (!QTest::qWaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 60000)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return r;
    }
    r.ended = WIFEXITED(status);
    r.result = r.ended && WEXITSTATUS(status) == 0;
    r.shown = QString::fromUtf8(ReadAll(shownFile));
    return r;
}

// A stage of this user's that holds a journal the program did not write (cut short, a pipe, a link
// to /dev/zero or to a whole journal elsewhere), or one opened to others since: the start reads
// none of them, says where the files moved aside are and stops. Of the earlier naming, where the
// folder may be anything of the user's, such a stage is left as it is, without a word.
TEST_F(RestoreKillTest, AStartThatCanNeitherFinishNorUndoTellsWhereTheFilesAreAndStops)
{
    makeOld();
    const QString elsewhere = dir() + u("elsewhere");
    const QString Unreadable = u("作業記録が読めません。\r");
    const struct {
        const char* what;
        std::function<void(const QString& stage)> plant;
        QString reason;
        int mode = 0700;
    } cases[] = {
        // A journal cut short names nothing that can be trusted.
        {"cut short",
         [](const QString& stage) {
             WriteAll(stage + u("journal"), "PELMORAS RESTORE JOURNAL 1\nA %2Fx %2Fy\n");
         },
         u("作業記録が読めません。")},
        {"a pipe",
         [](const QString& stage) {
             ASSERT_EQ(::mkfifo(QFile::encodeName(stage + u("journal")).constData(), 0600), 0);
         },
         Unreadable + NotRegularReason(S_IFIFO)},
        {"a link to /dev/zero",
         [](const QString& stage) { ASSERT_TRUE(QFile::link(u("/dev/zero"), stage + u("journal"))); },
         Unreadable + NotRegularReason(S_IFLNK)},
        // Followed, it would move the settings file aside.
        {"a link to a whole journal",
         [&](const QString& stage) {
             QDir().mkpath(elsewhere);
             WriteSwapJournalLines(elsewhere + u("/"), "PELMORAS RESTORE JOURNAL 1",
                                   u("A ") + root + u("Tolvane.ini ") + stage + u("old/2"));
             ASSERT_TRUE(QFile::link(elsewhere + u("/journal"), stage + u("journal")));
         },
         Unreadable + NotRegularReason(S_IFLNK)},
        {"opened to the group",
         [&](const QString& stage) {
             WriteSwapJournalLines(stage, "PELMORAS RESTORE JOURNAL 1",
                                   u("A ") + root + u("Tolvane.ini ") + stage + u("old/2"));
         },
         u("作業用フォルダーをほかのユーザーも書き換えられるため、作業記録を使えません。"), 0770},
    };
    const Tree before = tree(root);
    for (const auto& c : cases) {
        for (const QString& name : {MarkedStage, LegacyStage}) {
            SCOPED_TRACE(QStringLiteral("%1, %2").arg(u(c.what), name).toStdString());
            const QString stage = root + name + u("Ab12Cd/");
            makeFolder(stage, mode_t(c.mode));
            QDir().mkpath(stage + u("old"));
            WriteAll(stage + u("old/1"), "old year 8");
            c.plant(stage);
            const Tree stageBefore = tree(stage);
            const TChildStart r = finishInChild(root.chopped(1), dir() + u("shown"));
            ASSERT_TRUE(r.ended) << "the start hung or died";
            if (name == MarkedStage) {
                EXPECT_FALSE(r.result);
                const QString told =
                    u("前回のデータの復元が途中で止まっていますが、完了することも元に戻すこともできませんでし"
                      "た。\r");
                const QString kept = u("\r\r復元前のファイルは次のフォルダーに残してあります。このフォルダー"
                                       "は削除しないで下さい。\r") +
                                     stage;
                EXPECT_EQ(r.shown, told + c.reason + kept);
            } else {
                EXPECT_TRUE(r.result);
                EXPECT_EQ(r.shown, QString());
            }
            EXPECT_EQ(tree(stage), stageBefore);
            QDir(stage).removeRecursively();
            EXPECT_EQ(tree(root), before);
        }
    }

    // A staging folder of an earlier version, with files moved aside and no journal, is kept.
    const QString legacy = root + u(".restore-zz99ZZ/");
    makeFolder(legacy, 0700);
    QDir().mkpath(legacy + u("old"));
    WriteAll(legacy + u("old/1"), "moved aside");
    ScriptedMsgBox box;
    EXPECT_TRUE(FinishStoppedWork(root));
    EXPECT_TRUE(box.shown().empty());
    EXPECT_EQ(ReadAll(legacy + u("old/1")), "moved aside");
}

// Folders named as the earlier version named the restore's stage, but not left by a restore of
// this user: his own folders without a journal (private or shared), another user's (with or without
// a journal that names this user's files), a stage of the present naming planted by a member of the
// group of a shared (2775) data folder. The start leaves each as it is, with the data, and says
// nothing.
TEST_F(RestoreKillTest, StagesThatAreNoRestoreOfThisUserStayAndNothingIsSaid)
{
    makeOld();
    ASSERT_EQ(::chmod(QFile::encodeName(root).constData(), 02775), 0);
    const bool asRoot = ::geteuid() == 0;
    const struct {
        const char* name;
        int mode;
        bool other;    // another user's (needs root to plant)
        bool journal;  // holds a whole journal that moves the settings aside and puts its own in
    } cases[] = {
        {".restore-Ab12Cd", 0700, false, false},
        {".restore-backup", 0755, false, false},
        {".restore-Ab12Cd", 0700, true, false},
        {".restore-Ab12Cd", 0775, true, false},
        {".restore-Ab12Cd", 02775, true, true},
        {".restore-Ab12Cd", 0700, true, true},
        {".restore~pelmoras-tmp~Ab12Cd", 02700, true, true},
    };
    const Tree before = tree(root);
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 %2 %3 %4")
                         .arg(c.name)
                         .arg(c.mode, 0, 8)
                         .arg(c.other)
                         .arg(c.journal)
                         .toStdString());
        if (c.other && !asRoot) continue;
        const QString stage = root + u(c.name) + u("/");
        QDir().mkpath(stage + u("0"));
        QDir().mkpath(stage + u("ini"));
        WriteAll(stage + u("0/令和08年給与･賞与.dat"), "the folder's own");
        WriteAll(stage + u("ini/Tolvane.ini"), "[CorpData]\r\nCount=1\r\nplanted\r\n");
        if (c.journal)
            WriteSwapJournalLines(stage, "PELMORAS RESTORE JOURNAL 1",
                                  u("D ") + stage + u("old\nA ") + root + u("Tolvane.ini ") + stage +
                                      u("old/1\nP ") + stage + u("ini/Tolvane.ini ") + root +
                                      u("Tolvane.ini"));
        QDirIterator it(stage, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        QStringList all{stage};
        while (it.hasNext()) all << it.next();
        for (const QString& f : all) {
            if (c.other) {
                ASSERT_EQ(::lchown(QFile::encodeName(f).constData(), 65534, 65534), 0);
            }
        }
        ASSERT_EQ(::chmod(QFile::encodeName(stage).constData(), mode_t(c.mode)), 0);
        const Tree stageBefore = tree(stage);
        ScriptedMsgBox box;
        EXPECT_TRUE(FinishStoppedWork(root));
        EXPECT_TRUE(box.shown().empty()) << box.lastText().toStdString();
        EXPECT_EQ(tree(stage), stageBefore);
        QDir(stage).removeRecursively();
        EXPECT_EQ(tree(root), before);
    }
}

// The start removes every temporary the program makes, whatever its random part, files and the
// cloud's work folder alike, and nothing else: names a user gives his own copies stay, as do links
// (never followed) and what a running writer holds. A temporary of the older naming goes only when
// nothing is lost with it: a private copy byte for byte the same as its year file.
TEST_F(RestoreKillTest, TheStartRemovesTheProgramsLeftoversAndNothingElse)
{
    makeOld();
    const QString yearCopy(1000, u'y');
    WriteAll(root + u("Data2/令和08年給与･賞与.dat"), yearCopy.toLatin1());
    const Tree mine = tree(root);
    const QString m = QString::fromLatin1(TemporaryMarker);
    const QStringList leftovers{u("Data2/.令和08年給与･賞与.dat") + m + u("aB3xY9"),
                                u(".Tolvane.ini") + m + u("abcdef"),
                                u("Data2_a/.社員情報.dat") + m + u("000000"),
                                u("Data2/.給与明細.pdf") + m + u("part"),
                                u(".KEY.zip") + m + u("part.q1W2e3"),
                                u(".cloud") + m + u("Ab12Cd/Pelmora_Temp/Data2_a/令和08年給与･賞与.dat"),
                                u(".restore") + m + u("k9K9k9/0/.令和08年給与･賞与.dat") + m + u("Zz0Zz0"),
                                u(".restore") + m + u("k9K9k9/ini/Tolvane.ini")};
    // Names of the user's own, in the data root and in Data2.
    QStringList users{u("Data2/.memo.txt.backup"),
                      u("Data2/memo.txt.aB3xY9"),
                      u(".Tolvane.ini.12345"),
                      u("Data2/給与明細.pdf"),
                      u("Data2/.part"),
                      u(".restore-notes/a.txt"),
                      u("Data2_a/.x.abc-12"),
                      u(".Tolvane.ini.before"),
                      u(".Tolvane.ini.202612"),
                      u("Data2/.notes.txt.Draft1"),
                      u("Data2/.Tolvane.ini~pelmoras-tmpAb12Cd")};
    for (const QString& f :
         {u(".Tolvane.ini.BACKUP"), u(".Tolvane.ini.bak001"), u(".Tolvane.ini.v2Copy"),
          u(".myown.ini.OLD001"), u(".令和08年給与･賞与.dat.Copy01"), u("report.pdf.part")})
        users << f << u("Data2/") + f;
    for (const QString& f : leftovers + users) {
        QDir().mkpath(QFileInfo(root + f).path());
        WriteAll(root + f, "x");
    }
    ASSERT_EQ(::chmod(QFile::encodeName(root + u(".restore") + m + u("k9K9k9")).constData(), 0700), 0);
    // A year file of the full size with a month saved, and the user's own copies of it made with
    // "cp -p" under names the older writer could have given its temporaries; a month saved since,
    // so that each holds what the year file no longer does. Only a copy byte for byte the same as
    // its year file goes.
    const QString realYear = u("Data2/令和06年給与･賞与.dat");
    CreateYearFile(root + realYear);
    auto month = PeriodRecord();
    std::memset(reinterpret_cast<char*>(month.get()) + 100, 'a', 1000);
    StorePeriod(root + realYear, 4, *month);
    QStringList copies;
    for (const char* suffix : {"Copy01", "bak001", "2026v1", "OLD001", "backup", "Draft1", "cp-001"})
        copies << u("Data2/.令和06年給与･賞与.dat.") + u(suffix);
    for (const QString& f : copies)
        ASSERT_EQ(QProcess::execute(u("cp"), {u("-p"), root + realYear, root + f}), 0);
    std::memset(reinterpret_cast<char*>(month.get()) + 100, 'b', 1000);
    StorePeriod(root + realYear, 5, *month);
    const QString sameCopy = u("Data2/.令和06年給与･賞与.dat.Same01");
    ASSERT_EQ(QProcess::execute(u("cp"), {u("-p"), root + realYear, root + sameCopy}), 0);
    const QByteArray yearNow = ReadAll(root + realYear), yearBefore = ReadAll(root + copies[0]);
    ASSERT_EQ(yearNow.size(), 1349288);
    ASSERT_EQ(yearBefore.size(), 1349288);
    ASSERT_EQ(yearBefore.left(8), yearNow.left(8));
    ASSERT_NE(yearBefore, yearNow);
    for (const QString& f : copies + QStringList{sameCopy}) ASSERT_EQ(FileMode(root + f), 0600);
    // The older naming: a year file's private copy goes; one of another size, or readable by
    // others, or without its year file beside it stays.
    const QString olderCopy = u("Data2/.令和08年給与･賞与.dat.Qw3rT9");
    WriteAll(root + olderCopy, yearCopy.toLatin1());
    const QStringList olderKept{
        u("Data2/.令和08年給与･賞与.dat.Qw3rT8"), u("Data2/.令和08年給与･賞与.dat.Qw3rT7"),
        u("Data2/.令和07年給与･賞与.dat.Qw3rT9"), u("Data2/.令和08年給与･賞与.dat.Qw3rT6")};
    WriteAll(root + olderKept[0], yearCopy.chopped(1).toLatin1());
    WriteAll(root + olderKept[1], yearCopy.toLatin1());
    WriteAll(root + olderKept[2], yearCopy.toLatin1());
    WriteAll(root + olderKept[3], QByteArray(yearCopy.size(), 'z'));  // not the year file's bytes
    for (const QString& f : QStringList{olderCopy} + olderKept)
        ASSERT_EQ(::chmod(QFile::encodeName(root + f).constData(), f == olderKept[1] ? 0644 : 0600), 0);
    // A temporary file that a writer still holds is not a leftover.
    const QString held = root + u("Data2/.令和09年給与･賞与.dat") + m + u("HeLd00");
    WriteAll(held, "being written");
    const int fd = ::open(QFile::encodeName(held).constData(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    // A link of a temporary's name is not the program's either, nor what it points to: a file, or
    // a folder in place of the cloud's work folder.
    const QString target = dir() + u("elsewhere.dat");
    WriteAll(target, "theirs");
    QDir().mkpath(dir() + u("theirs"));
    WriteAll(dir() + u("theirs/a.dat"), "theirs too");
    const QString fileLink = u("Data2/.link.dat") + m + u("LiNk00"),
                  folderLink = u(".cloud") + m + u("LiNk01");
    ASSERT_TRUE(QFile::link(target, root + fileLink));
    ASSERT_TRUE(QFile::link(dir() + u("theirs"), root + folderLink));

    QMap<QString, QByteArray> olderBytes;
    for (const QString& f : olderKept) olderBytes.insert(f, ReadAll(root + f));
    ScriptedMsgBox box;
    EXPECT_TRUE(FinishStoppedWork(root));
    ::close(fd);
    Tree expected = mine;
    for (const QString& f : users) expected.insert(f, "x");
    for (const QString& f : olderKept) expected.insert(f, olderBytes.value(f));
    expected.insert(realYear, yearNow);
    for (const QString& f : copies) expected.insert(f, yearBefore);
    expected.insert(u(".restore-notes/"), {});
    expected.insert(held.mid(root.size()), "being written");
    expected.insert(fileLink, "theirs");
    expected.insert(folderLink + QLatin1Char('/'), {});
    EXPECT_EQ(tree(root).keys(), expected.keys());
    EXPECT_EQ(tree(root), expected);
    EXPECT_EQ(ReadAll(target), "theirs");
    EXPECT_EQ(ReadAll(dir() + u("theirs/a.dat")), "theirs too");
    // The staging folder of a restore stopped while copying: the user hears that nothing changed.
    ASSERT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(box.lastText(), u(RolledBack));
}

// Journals left complete by a stopped restore that name a path outside the data root, one through
// "..", one through a link: the start refuses them, says so, and touches nothing they name.
TEST_F(RestoreKillTest, AJournalNamingWhatIsNotItsOwnIsRefused)
{
    makeOld();
    const QString outside = dir() + u("outside/");
    QDir().mkpath(outside);
    WriteAll(outside + u("victim"), "not the restore's");
    ASSERT_TRUE(QFile::link(outside, root + u("lnk")));
    const QString stage = root + u(".restore-Gu4rd1/");
    makeFolder(stage, 0700);
    const struct {
        const char* name;
        const char* lines;
    } cases[] = {
        {"outside", "P %1x %2victim"},
        {"dotdot", "P %1x %3Data2/../Tolvane.ini"},
        {"link", "P %1x %3lnk/victim"},
        {"folder outside", "D %2made\nP %1x %3Data2/y"},
        {"aside outside", "A %2victim %1old\nP %1x %3Data2/y"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        makeFolder(stage, 0700);
        WriteAll(stage + u("x"), "staged");
        WriteSwapJournalLines(
            stage, "PELMORAS RESTORE JOURNAL 1",
            u(c.lines).replace(u("%1"), stage).replace(u("%2"), outside).replace(u("%3"), root));
        const Tree before = tree(root), outsideBefore = tree(outside);
        ScriptedMsgBox box;
        EXPECT_FALSE(FinishStoppedWork(root));
        ASSERT_EQ(box.shown().size(), 1u);
        EXPECT_TRUE(box.lastText().contains(u("作業記録が読めません。"))) << box.lastText().toStdString();
        EXPECT_EQ(tree(root), before);
        EXPECT_EQ(tree(outside), outsideBefore);
        EXPECT_FALSE(QFileInfo::exists(outside + u("made")));
        QDir(stage).removeRecursively();
    }
    // The same journal naming only the data root is finished.
    makeFolder(stage, 0700);
    WriteAll(stage + u("x"), "staged");
    WriteAll(stage + u("journal"),
             "PELMORAS RESTORE JOURNAL 1\nP " + QFile::encodeName(stage + u("x")).toPercentEncoding() + ' ' +
                 QFile::encodeName(root + u("Data2/y")).toPercentEncoding() + "\nEND\n");
    ScriptedMsgBox box;
    EXPECT_TRUE(FinishStoppedWork(root));
    EXPECT_EQ(ReadAll(root + u("Data2/y")), "staged");
    EXPECT_FALSE(QFileInfo::exists(stage));
}

}  // namespace
