// A restore killed at every rename of its swap, and the next start: the data root holds exactly
// the old or exactly the new files each time, and the user is told which. The renames are counted
// by the test's own rename() below, which every rename of the program in this test binary goes
// through; the product has no hook for it. Also the start's removal of leftover temporary files.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <atomic>

#include "payroll/datamanage.h"
#include "payroll/paths.h"
#include "payroll/startup.h"
#include "platform/atomicfile.h"
#include "platform/msgbox.h"
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
        if (QFileInfo(f).isDir())
            t.insert(rel + u'/', {});
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

TEST_F(RestoreKillTest, AStartThatCanNeitherFinishNorUndoTellsWhereTheFilesAreAndStops)
{
    makeOld();
    const QString stage = root + u(".restore-Ab12Cd/");
    QDir().mkpath(stage + u("old"));
    WriteAll(stage + u("old/1"), "old year 8");
    // A journal cut short names nothing that can be trusted.
    WriteAll(stage + u("journal"), "PELMORAS RESTORE JOURNAL 1\nA %2Fx %2Fy\n");
    ScriptedMsgBox box;
    EXPECT_FALSE(FinishStoppedWork(root));
    ASSERT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(box.lastText(),
              u("前回のデータの復元が途中で止まっていますが、完了することも元に戻すこともできませんでした。\r"
                "作業記録が読めません。\r\r"
                "復元前のファイルは次のフォルダーに残してあります。このフォルダーは削除しないで下さい。\r") +
                  stage);
    EXPECT_EQ(ReadAll(stage + u("old/1")), "old year 8");

    // A staging folder of an earlier version, with files moved aside and no journal, is kept.
    QDir(stage).removeRecursively();
    const QString legacy = root + u(".restore-zz99ZZ/");
    QDir().mkpath(legacy + u("old"));
    WriteAll(legacy + u("old/1"), "moved aside");
    box.clear();
    EXPECT_TRUE(FinishStoppedWork(root));
    EXPECT_TRUE(box.shown().empty());
    EXPECT_EQ(ReadAll(legacy + u("old/1")), "moved aside");
}

// The start removes every temporary the program makes, whatever its random part, files and the
// cloud's work folder alike, and nothing else: names a user gives his own copies stay, as do links
// (never followed) and what a running writer holds. A temporary of the older naming goes only when
// it is beyond doubt a year file's: a private copy of its year file's size and first bytes.
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
                                u(".restore-k9K9k9/0/.令和08年給与･賞与.dat") + m + u("Zz0Zz0"),
                                u(".restore-k9K9k9/ini/Tolvane.ini")};
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
        QDir().mkpath(stage);
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
    QDir().mkpath(stage);
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
