// The installer killed before and after every rename of an update (a program archive, a table
// archive, and the first update of a program folder of the earlier flat layout): right after each
// kill, with nothing run to repair it, the program folder holds one whole version, old or new,
// whose program starts and whose tables load, and the data beside it is untouched. The renames are
// counted by the test's own rename() below, which every rename of this test binary goes through;
// the product has no hook for it. Also the guards of the installer's journal.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <QRegularExpression>
#include <atomic>

#include "payroll/paths.h"
#include "payroll/taxtable.h"
#include "platform/atomicfile.h"
#include "services/updater.h"
#include "services/zip.h"
#include "tests/services/updatesite.h"

namespace {
// 0: renames run as usual. n > 0: the process kills itself at the nth rename from now on, before
// it (killBefore) or right after it.
std::atomic<int> renamesLeft{0};
bool killBefore = true;
}  // namespace

extern "C" int rename(const char* from, const char* to)
{
    const bool last = renamesLeft > 0 && --renamesLeft == 0;
    if (last && killBefore) ::raise(SIGKILL);
    const int r = ::renameat(AT_FDCWD, from, AT_FDCWD, to);
    if (last) ::raise(SIGKILL);
    return r;
}

// A kill loses nothing a process wrote (the system still holds it), only a power cut would: the
// flushes to the disk, which would make the hundreds of runs here slow, are left out.
extern "C" int fsync(int)
{
    return 0;
}

extern "C" int fdatasync(int)
{
    return 0;
}

namespace {

using Tree = FolderTree;

// Copies the tree from into to (made), links as links.
void copyTree(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QFileInfo& e :
         QDir(from).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = to + u'/' + e.fileName();
        if (e.isSymLink()) {
            char link[4096];
            const ssize_t n = ::readlink(QFile::encodeName(e.filePath()).constData(), link, sizeof link - 1);
            ASSERT_GT(n, 0);
            link[n] = 0;
            ASSERT_EQ(::symlink(link, QFile::encodeName(target).constData()), 0);
        } else if (e.isDir()) {
            copyTree(e.filePath(), target);
        } else {
            ASSERT_TRUE(QFile::copy(e.filePath(), target));
        }
    }
}

// The exit code of program started without arguments, -1 when it does not start.
int exitCodeOf(const QString& program)
{
    const QByteArray path = QFile::encodeName(program);
    char* const argv[] = {const_cast<char*>(path.constData()), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, path.constData(), nullptr, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const QStringList kDataNames{u("Tolvane.ini"), u("Tolvane_a.ini"), u("Data2"), u("Data2_a")};

// The files of the version the program folder starts: through the link "pelmoras" to the program
// file, and from its folder to the tables folder as the program finds it. For a folder of the
// flat layout, the files flatNames names.
Tree versionInUse(const QString& root, const QStringList& flatNames)
{
    const QString exe = QFileInfo(root + u("pelmoras")).canonicalFilePath();
    if (exe.isEmpty()) return {{u("(no program)"), {}}};
    const TProgramFolders folders = ProgramFoldersOf(QFileInfo(exe).path());
    if (folders.root != folders.tables) return ReadFolderTree(QFileInfo(folders.tables).canonicalFilePath());
    Tree t;
    for (const QString& f : flatNames)
        if (QFileInfo::exists(root + f)) t.insert(f, ReadAll(root + f));
    return t;
}

class InstallerKillTest : public CoreTest {
  protected:
    QString root, pristine, update;
    void SetUp() override
    {
        CoreTest::SetUp();
        root = dir() + u("prog/");
        pristine = dir() + u("pristine/");
        update = dir() + u("home/Update/");
        ASSERT_TRUE(QDir().mkpath(update));
        QFile::setPermissions(update,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        // A program folder of the flat layout, with the data of a writable one beside it.
        MakeProgramFolder(pristine);
        QFile::copy(u("/bin/true"), pristine + u("pelmoras"));
        // The installer runs in this process; a small stand-in of the file keeps the copies quick.
        QFile::remove(pristine + u("pelmoras-update"));
        QFile::copy(u("/bin/true"), pristine + u("pelmoras-update"));
        QDir().mkpath(pristine + u("help"));
        WriteAll(pristine + u("help/index.html"), "old help");
        QDir().mkpath(pristine + u("Data2_a"));
        QDir().mkpath(pristine + u("Data2"));
        WriteAll(pristine + u("Tolvane.ini"), "[CorpData]\r\nCount=2\r\n");
        WriteAll(pristine + u("Tolvane_a.ini"), "[Option]\r\n");
        WriteAll(pristine + u("Data2/令和08年給与･賞与.dat"), "year 8");
        WriteAll(pristine + u("Data2_a/令和08年給与･賞与.dat"), "set a year 8");
        // The program archive: a new program, help pages, notes and the changed table files.
        WriteAll(dir() + u("page.html"), "new help");
        MakeChangedTables(dir() + u("tables/"));
        QList<std::pair<QString, QString>> entries{{u("pelmoras"), u("/bin/echo")},
                                                   {u("Tolvane2.txt"), dir() + u("page.html")}};
        for (const char* page : {"index.html", "a.html"})
            entries.push_back({u("help/") + QLatin1String(page), dir() + u("page.html")});
        for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName, KenRituName})
            entries.push_back({name, dir() + u("tables/") + name});
        MakeArchive(update + u("PelmoraS_upd.zip"), entries);
        MakeTablesArchive(update + u("PelmoraData.zip"), dir() + u("tables2/"));
    }
    // root as pristine was.
    void reset()
    {
        QDir(root).removeRecursively();
        copyTree(pristine, root.chopped(1));
    }
    QStringList args(const char* kind) const
    {
        const QString archive =
            update + (QLatin1String(kind) == "program" ? u("PelmoraS_upd.zip") : u("PelmoraData.zip"));
        return {QLatin1String(kind), archive, selfFolder()};
    }
    // The folder the installer started as root + "pelmoras-update" lies in.
    QString selfFolder() const
    {
        return QFileInfo(QFileInfo(root + u("pelmoras-update")).canonicalFilePath()).path();
    }
    Tree data() const
    {
        Tree t;
        const Tree all = ReadFolderTree(root);
        for (auto it = all.cbegin(); it != all.cend(); ++it)
            if (kDataNames.contains(it.key().section(u'/', 0, 0))) t.insert(it.key(), it.value());
        return t;
    }
    // The folder starts one whole version: old or new (which one in isNew), its program runs, its
    // table files load, its installer can be started; the data is what it was.
    void expectWhole(const Tree& oldVersion, const Tree& newVersion, const Tree& oldData, bool& isNew)
    {
        const Tree v = versionInUse(root, oldVersion.keys());
        isNew = v == newVersion;
        EXPECT_TRUE(isNew || v == oldVersion) << QStringList(v.keys()).join(u' ').toStdString();
        EXPECT_EQ(data(), oldData);
        EXPECT_EQ(exitCodeOf(root + u("pelmoras")), 0);
        TablePath =
            ProgramFoldersOf(QFileInfo(QFileInfo(root + u("pelmoras")).canonicalFilePath()).path()).tables;
        LoadTableFiles();
        EXPECT_EQ(TableFileCount, 3) << TableFileProblems.join(u' ').toStdString();
        ClearTableFiles();
        EXPECT_TRUE(QFileInfo(root + u("pelmoras-update")).isExecutable());
    }
    // Runs the installer in a child killed at rename n; true when it was killed.
    bool killedAt(int n, bool before, const QStringList& a)
    {
        const QString self = selfFolder();
        const pid_t pid = ::fork();
        if (pid == 0) {
            killBefore = before;
            renamesLeft = n;
            QString error;
            const int r = RunUpdater(a, self, error);
            renamesLeft = 0;
            ::_exit(r);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (WIFEXITED(status)) {
            EXPECT_EQ(WEXITSTATUS(status), kUpdaterOk) << "the installer itself failed";
        }
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }
    // Kills the installer of kind at every rename on the folder pristine holds.
    void killEverywhere(const char* kind)
    {
        reset();
        const Tree oldVersion = versionInUse(
            root,
            ReadFolderTree(root).keys().filter(QRegularExpression(u("^(pelmoras|help/.|[^/]*\\.dat$)"))));
        const Tree oldData = data();
        QString error;
        ASSERT_EQ(RunUpdater(args(kind), selfFolder(), error), kUpdaterOk) << error.toStdString();
        const Tree newVersion = versionInUse(root, {});
        ASSERT_NE(newVersion, oldVersion);
        int olds = 0, news = 0;
        for (const bool before : {true, false}) {
            for (int n = 1;; ++n) {
                SCOPED_TRACE(u("%1: rename %2 %3")
                                 .arg(QLatin1String(kind))
                                 .arg(n)
                                 .arg(before ? "before" : "after")
                                 .toStdString());
                ASSERT_LT(n, 200);
                reset();
                const bool killed = killedAt(n, before, args(kind));
                bool isNew = false;
                expectWhole(oldVersion, newVersion, oldData, isNew);
                if (!killed) {
                    EXPECT_TRUE(isNew);
                    EXPECT_GT(n, 10);
                    break;
                }
                (isNew ? news : olds)++;
                // The next run tidies what the stopped one left, and the folder stays whole.
                QString e;
                EXPECT_EQ(
                    RunUpdater({QLatin1String(kind), update + u("none.zip"), selfFolder()}, selfFolder(), e),
                    kUpdaterRefused);
                expectWhole(oldVersion, newVersion, oldData, isNew);
                EXPECT_EQ(QDir(root).entryList({u(".pelmoras-update*")}, QDir::AllEntries | QDir::Hidden),
                          QStringList());
            }
        }
        EXPECT_GT(olds, 5);
        EXPECT_GT(news, 2);
        // After the tidying the update goes in whole, and only the version in use is kept.
        QString e;
        ASSERT_EQ(RunUpdater(args(kind), selfFolder(), e), kUpdaterOk) << e.toStdString();
        bool isNew = false;
        expectWhole(oldVersion, newVersion, oldData, isNew);
        EXPECT_TRUE(isNew);
        EXPECT_EQ(QDir(root + u("versions"))
                      .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                      .size(),
                  1);
    }
};

TEST_F(InstallerKillTest, AFlatProgramFolderKilledAtEveryRenameOfItsFirstUpdate)
{
    killEverywhere("program");
}

TEST_F(InstallerKillTest, AProgramUpdateKilledAtEveryRename)
{
    // The earlier layout updated once: versions from now on.
    reset();
    QString error;
    ASSERT_EQ(RunUpdater(args("tables"), selfFolder(), error), kUpdaterOk) << error.toStdString();
    ASSERT_TRUE(QFileInfo(root + u("current")).isSymLink());
    QDir(pristine).removeRecursively();
    copyTree(root, pristine.chopped(1));
    killEverywhere("program");
}

TEST_F(InstallerKillTest, ATableUpdateKilledAtEveryRename)
{
    reset();
    QString error;
    ASSERT_EQ(RunUpdater(args("program"), selfFolder(), error), kUpdaterOk) << error.toStdString();
    QDir(pristine).removeRecursively();
    copyTree(root, pristine.chopped(1));
    // Tables of another day than those the program archive carried.
    MakeChangedTables(dir() + u("tables3/"));
    WriteAt(dir() + u("tables3/") + TaxTableKyuyoName,
            qint64(offsetof(TTaxTableKyuyo, Rows) + 4 * sizeof(TTaxRow) + 8), int32_t(54321));
    QList<std::pair<QString, QString>> entries;
    for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName, KenRituName})
        entries.push_back({name, dir() + u("tables3/") + name});
    MakeArchive(update + u("PelmoraData.zip"), entries);
    killEverywhere("tables");
}

// Journals left complete by a stopped installer that name a path outside the program folder, one
// through "..", one through a link: the next run refuses them and touches nothing they name.
TEST_F(InstallerKillTest, AJournalNamingWhatIsNotItsOwnIsRefused)
{
    reset();
    QString error;
    ASSERT_EQ(RunUpdater(args("tables"), selfFolder(), error), kUpdaterOk) << error.toStdString();
    const QString outside = dir() + u("outside/");
    QDir().mkpath(outside);
    WriteAll(outside + u("victim"), "not the installer's");
    ASSERT_TRUE(QFile::link(outside, root + u("lnk")));
    const QString stage = root + u(".pelmoras-update.999999999/");
    const struct {
        const char* name;
        QString line;
    } cases[] = {
        {"outside", u("R %1x %2victim")},
        {"dotdot", u("R %1x %3versions/../current")},
        {"link", u("R %1x %3lnk/victim")},
        {"folder outside", u("D %2made\nP %1x %3y")},
        {"aside outside", u("A %2victim %1old\nP %1x %3y")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir().mkpath(stage);
        WriteAll(stage + u("x"), "staged");
        WriteSwapJournalLines(
            stage, "PELMORAS UPDATE JOURNAL 1",
            QString(c.line).replace(u("%1"), stage).replace(u("%2"), outside).replace(u("%3"), root));
        const Tree before = ReadFolderTree(root), outsideBefore = ReadFolderTree(outside);
        EXPECT_EQ(RunUpdater({u("tables"), update + u("none.zip"), selfFolder()}, selfFolder(), error),
                  kUpdaterRefused);
        EXPECT_EQ(ReadFolderTree(root), before);
        EXPECT_EQ(ReadFolderTree(outside), outsideBefore);
        EXPECT_FALSE(QFileInfo::exists(outside + u("made")));
        QDir(stage).removeRecursively();
    }
    // The same journal naming only its own folder: in a stage of another user (who may write the
    // program folder) neither carried out nor removed; in the installer's own, finished.
    QDir().mkpath(stage);
    WriteAll(stage + u("x"), "staged");
    WriteAll(stage + u("journal"), "PELMORAS UPDATE JOURNAL 1\nP " +
                                       QFile::encodeName(stage + u("x")).toPercentEncoding() + ' ' +
                                       QFile::encodeName(root + u("y")).toPercentEncoding() + "\nEND\n");
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(stage).constData(), 65534, 65534), 0);
        EXPECT_EQ(RunUpdater({u("tables"), update + u("none.zip"), selfFolder()}, selfFolder(), error),
                  kUpdaterRefused);
        EXPECT_FALSE(QFileInfo::exists(root + u("y")));
        EXPECT_EQ(ReadAll(stage + u("x")), "staged");
        ASSERT_EQ(::chown(QFile::encodeName(stage).constData(), 0, 0), 0);
    }
    EXPECT_EQ(RunUpdater({u("tables"), update + u("none.zip"), selfFolder()}, selfFolder(), error),
              kUpdaterRefused);
    EXPECT_EQ(ReadAll(root + u("y")), "staged");
    EXPECT_FALSE(QFileInfo::exists(stage));
}

}  // namespace

namespace {

// The unzip the installer and the cloud restore use, over files that are there, killed before and
// after each of its renames, then the clean-up of the next start: every file that was there is
// still there, whole, the old or the new; none was left in the staging folder the start removes.
TEST_F(InstallerKillTest, AnUnzipKilledAtEveryRenameLosesNoFileThatWasThere)
{
    const QString src = dir() + u("src/"), target = dir() + u("unzip/"), zip = dir() + u("a.zip");
    QDir().mkpath(src + u("sub"));
    WriteAll(src + u("a.dat"), "new a");
    WriteAll(src + u("sub/b.dat"), "new b");
    WriteAll(src + u("c.dat"), "new c");
    ASSERT_EQ(ZipFolder(zip, src, QString()), kZipOk);
    int killed = 0;
    for (int n = 1; n < 40; ++n) {
        for (const bool before : {true, false}) {
            SCOPED_TRACE(QStringLiteral("rename %1, %2").arg(n).arg(before ? u("before") : u("after")));
            QDir(target).removeRecursively();
            QDir().mkpath(target + u("src/sub"));
            WriteAll(target + u("src/a.dat"), "old a");
            WriteAll(target + u("src/sub/b.dat"), "old b");
            const pid_t pid = ::fork();
            if (pid == 0) {
                killBefore = before;
                renamesLeft = n;
                const int r = UnzipFile(zip, target, QString());
                renamesLeft = 0;
                ::_exit(-r);
            }
            int status = 0;
            ::waitpid(pid, &status, 0);
            if (!WIFSIGNALED(status)) {
                EXPECT_EQ(WEXITSTATUS(status), 0);
                continue;
            }
            ++killed;
            RemoveStaleTemporaries(target);
            const QByteArray a = ReadAll(target + u("src/a.dat")), b = ReadAll(target + u("src/sub/b.dat"));
            EXPECT_TRUE(a == "old a" || a == "new a") << a.constData();
            EXPECT_TRUE(b == "old b" || b == "new b") << b.constData();
            const Tree left = ReadFolderTree(target);
            for (auto it = left.begin(); it != left.end(); ++it)
                EXPECT_FALSE(it.key().contains(u("~pelmoras-tmp~")));
        }
    }
    EXPECT_GE(killed, 3) << "the unzip made fewer renames than its three files";
}

}  // namespace
