// Backup and restore on a data root of two company data sets (and later ones): the files a backup
// holds, the bytes a restore gives back, the folders refused, the modes of the backup's folders,
// restores stopped by a link, a pipe, a device or a huge file in the backup, a file size limit or a
// full disk leaving the data as it was; the deletion of a period; new years and codes.
#include "payroll/datamanage.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <functional>
#include <optional>
#include <stdexcept>

#include "payroll/corpdata.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/periodselect.h"
#include "payroll/yearfile.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/inifile.h"
#include "platform/readfile.h"
#include "tests/testutil.h"

namespace {
// Run once at the next fsync of the process: lets a test change the backup between two files of a
// restore, as another program could. The product has no hook for it.
std::function<void()> atNextFsync;
}  // namespace

extern "C" int fsync(int fd)
{
    if (atNextFsync) {
        const std::function<void()> f = std::move(atNextFsync);
        atNextFsync = nullptr;
        f();
    }
    return int(::syscall(SYS_fsync, fd));
}

namespace {

using Tree = QMap<QString, QByteArray>;

// The message a call fails with, or "<none>".
template <typename F>
QString thrown(F call)
{
    try {
        call();
    } catch (const AppError& e) {
        return e.message();
    }
    return QStringLiteral("<none>");
}

const QString InRoot =
    u("データのフォルダー（またはその中のフォルダー）は指定できません。\r別の場所を指定して下さい。");
const QString NoIni = u("指定された場所に「Tolvane.ini」がありません。");
// The reason a restore gives for an entry of the backup that is no plain file.
QString refusedKind(const char* kind)
{
    return u(kind) + u("です。バックアップの中のリンク、名前付きパイプ、デバイスは復元しません。");
}
const QString TooLarge =
    u("ファイルが大きすぎます（復元できるのは64MBまでです。"
      "給与計算PelmoraSのファイルは大きくても約1.3MBです）。");

// Every file under folder (hidden ones and links included) by its relative path.
Tree tree(const QString& folder)
{
    Tree t;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        t.insert(QDir(folder).relativeFilePath(f), ReadAll(f));
    }
    return t;
}

class DataManageTest : public CoreTest {
  protected:
    QString root;
    void SetUp() override
    {
        CoreTest::SetUp();
        makeRoot(dir() + QStringLiteral("root/"));
    }
    // The first set with a year file, the new-employee template, the postal table and a note; the
    // set "_a" with its year file; both settings files.
    void makeRoot(const QString& folder)
    {
        root = folder;
        DataRoot = root;
        DataPath = root + QStringLiteral("Data2/");
        SysIniFileName = IniFileName = root + QStringLiteral("Tolvane.ini");
        QDir().mkpath(root + QStringLiteral("Data2_a"));
        QDir().mkpath(DataPath);
        WriteAll(DataPath + u("令和08年給与･賞与.dat"), "year 8");
        WriteAll(DataPath + u("社員情報.dat"), "template");
        WriteAll(DataPath + QStringLiteral("Yubinno.DAT"), "postal");
        WriteAll(DataPath + QStringLiteral("memo.txt"), "note");
        WriteAll(root + u("Data2_a/令和08年給与･賞与.dat"), "set a year 8");
        WriteAll(SysIniFileName, "[CorpData]\r\nCount=2\r\n");
        WriteAll(root + QStringLiteral("Tolvane_a.ini"), "[Option]\r\n");
    }
};

TEST_F(DataManageTest, BackupHoldsTheSetsAndRestoreGivesTheSameBytes)
{
    const QString bk = DatedFolder(dir() + QStringLiteral("bk"), QDate(2026, 12, 7));
    EXPECT_EQ(bk, dir() + u("bk/2026年12月7日"));
    const Tree before = tree(root);
    ASSERT_TRUE(BackupToFolder(bk).ok);
    const Tree expected{{u("令和08年給与･賞与.dat"), "year 8"},
                        {u("社員情報.dat"), "template"},
                        {u("Data2_a/令和08年給与･賞与.dat"), "set a year 8"},
                        {QStringLiteral("Tolvane.ini"), before[QStringLiteral("Tolvane.ini")]},
                        {QStringLiteral("Tolvane_a.ini"), "[Option]\r\n"}};
    EXPECT_EQ(tree(bk), expected);
    EXPECT_EQ(FileMode(bk + QStringLiteral("/Data2_a")), 0700);
    EXPECT_EQ(FileMode(bk + QStringLiteral("/Tolvane.ini")), 0600);

    // Changed, added and removed since: the restore puts back what the backup holds, and what no
    // backup carries (the note, the postal table) stays.
    WriteAll(DataPath + u("令和08年給与･賞与.dat"), "changed");
    WriteAll(DataPath + u("令和09年給与･賞与.dat"), "year 9");
    QFile::remove(root + QStringLiteral("Tolvane_a.ini"));
    const TCopyResult r = RestoreFromFolder(bk);
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(tree(root), before);
}

TEST_F(DataManageTest, DataRootAndWhatLiesInItAreRefusedWithNothingChanged)
{
    ::symlink(QFile::encodeName(root).constData(),
              QFile::encodeName(dir() + QStringLiteral("link")).constData());
    const Tree before = tree(root);
    // A restore first asks for the settings file, which only the root itself holds.
    const std::pair<QString, QString> cases[] = {{root, InRoot},
                                                 {root + QStringLiteral("Data2"), NoIni},
                                                 {root + QStringLiteral("new/dated"), NoIni},
                                                 {dir() + QStringLiteral("link/x"), NoIni},
                                                 {root + QStringLiteral("Data2/../"), InRoot}};
    for (const auto& [target, restoreReason] : cases) {
        SCOPED_TRACE(target.toStdString());
        const TCopyResult b = BackupToFolder(target);
        EXPECT_FALSE(b.ok);
        EXPECT_EQ(b.reason, InRoot);
        const TCopyResult r = RestoreFromFolder(target);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.reason, restoreReason);
        EXPECT_EQ(tree(root), before);
    }
    EXPECT_FALSE(IsInDataRoot(dir() + QStringLiteral("rootx"), root));
    // A backup folder that cannot be made: a file stands where its parent folder should be.
    WriteAll(dir() + QStringLiteral("file"), "x");
    const QString under = dir() + QStringLiteral("file/bk");
    EXPECT_EQ(BackupToFolder(under).reason,
              u("フォルダーの作成に失敗しました。\n") + under + u("\n") + SystemReason(ENOTDIR));
    // A folder without the settings file is no backup.
    const QString bk = dir() + QStringLiteral("bk");
    ASSERT_TRUE(BackupToFolder(bk).ok);
    QFile::remove(bk + QStringLiteral("/Tolvane.ini"));
    const TCopyResult r = RestoreFromFolder(bk);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, NoIni);
    EXPECT_EQ(tree(root), before);
}

// A restore stopped by an unreadable file of the backup, by a file size limit or by a full disk.
TEST_F(DataManageTest, RestoreThatFailsLeavesTheDataAsItWas)
{
    enum Stop { Unreadable, SizeLimit, FullDisk };
    for (const Stop stop : {Unreadable, SizeLimit, FullDisk}) {
        SCOPED_TRACE(stop);
        const QString bk = dir() + QStringLiteral("bk%1").arg(stop);
        std::optional<FullFileSystem> disk;
        if (stop == FullDisk) {
            const QString full = dir() + QStringLiteral("full/");
            QDir().mkpath(full);
            if (!disk.emplace(full).mounted()) continue;
            makeRoot(full);
        }
        ASSERT_TRUE(BackupToFolder(bk).ok);
        WriteAll(DataPath + u("令和08年給与･賞与.dat"), "changed since");
        if (stop == Unreadable)
            ::symlink("/nonexistent", QFile::encodeName(bk + QStringLiteral("/Data2_a/z.dat")).constData());
        if (disk) disk->fill();
        const Tree before = tree(root);
        TCopyResult r;
        {
            std::optional<FileSizeLimit> limit;
            if (stop == SizeLimit) limit.emplace(5);
            r = RestoreFromFolder(bk);
        }
        EXPECT_FALSE(r.ok);
        // The backup's file is named, whatever hidden copy of it failed.
        const QString year = bk + u("/令和08年給与･賞与.dat");
        if (stop == Unreadable)
            EXPECT_EQ(r.reason, u("バックアップの読み込みに失敗しました。\n") + bk + u("/Data2_a/z.dat\n") +
                                    refusedKind("シンボリックリンク"));
        else
            EXPECT_TRUE(r.reason.startsWith(year + u(" の作業用コピーに失敗しました。\n")) &&
                        r.reason.endsWith(u("\n") + SystemReason(stop == SizeLimit ? EFBIG : ENOSPC)))
                << r.reason;
        EXPECT_EQ(tree(root), before);
    }
}

// Staging folders of the restore left in the data root.
QStringList stages(const QString& root)
{
    return QDir(root).entryList({QStringLiteral(".restore*")}, QDir::AllEntries | QDir::Hidden);
}

// Links, pipes and devices in a backup would bring in what they point to (the system's or another
// user's files, which later backups would carry away) or never end: the restore is refused and
// nothing is copied.
TEST_F(DataManageTest, RestoreRefusesLinksPipesAndDevicesInTheBackup)
{
    const QString bk = dir() + QStringLiteral("bk");
    const QString secret = dir() + QStringLiteral("secret");
    WriteAll(secret, "[Web]\r\nBaseURL=https://elsewhere.example/\r\n");
    QDir().mkpath(dir() + QStringLiteral("elsewhere"));
    WriteAll(dir() + QStringLiteral("elsewhere/y.dat"), "not in the backup");
    const auto link = [&](const QString& to, const char* at) {
        return ::symlink(QFile::encodeName(to).constData(), QFile::encodeName(bk + u(at)).constData());
    };
    const struct {
        const char* what;
        const char* entry;  // below the backup folder
        const char* kind;
        std::function<int()> plant;  // 0 when planted
    } cases[] = {
        {"a year file linked to a file outside", "/Data2_a/x.dat", "シンボリックリンク",
         [&] { return link(secret, "/Data2_a/x.dat"); }},
        {"a data file linked to nowhere", "/z.DAT", "シンボリックリンク",
         [&] { return link(u("/nonexistent"), "/z.DAT"); }},
        {"the settings file linked", "/Tolvane.ini", "シンボリックリンク",
         [&] {
             QFile::remove(bk + u("/Tolvane.ini"));
             return link(secret, "/Tolvane.ini");
         }},
        {"a set's settings file linked to nowhere", "/Tolvane_b.ini", "シンボリックリンク",
         [&] { return link(u("/nonexistent"), "/Tolvane_b.ini"); }},
        {"a set folder linked to a folder outside", "/Data2_b", "シンボリックリンク",
         [&] { return link(dir() + u("elsewhere"), "/Data2_b"); }},
        {"a pipe", "/Data2_a/p.dat", "名前付きパイプ",
         [&] { return ::mkfifo(QFile::encodeName(bk + u("/Data2_a/p.dat")).constData(), 0600); }},
        {"a device", "/d.dat", "デバイス",
         [&] {
             return ::mknod(QFile::encodeName(bk + u("/d.dat")).constData(), S_IFCHR | 0600, makedev(1, 3));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(bk).removeRecursively();
        ASSERT_TRUE(BackupToFolder(bk).ok);
        if (c.plant() != 0) {
            // Only a device needs a right (CAP_MKNOD) that a test run may lack.
            ASSERT_EQ(std::string(c.kind), "デバイス");
            continue;
        }
        WriteAll(DataPath + u("令和08年給与･賞与.dat"), "changed since");
        const Tree before = tree(root);
        const TCopyResult r = RestoreFromFolder(bk);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.reason, u("バックアップの読み込みに失敗しました。\n") + bk + u(c.entry) + u("\n") +
                                refusedKind(c.kind));
        EXPECT_EQ(tree(root), before);
        EXPECT_EQ(stages(root), QStringList());
    }
}

// A link or a pipe put into the backup after the restore checked it, while it copies (after its
// first file): still refused, nothing of it read.
TEST_F(DataManageTest, RestoreFollowsNoLinkPutInWhileItCopies)
{
    const QString bk = dir() + QStringLiteral("bk");
    const QString secret = dir() + QStringLiteral("secret");
    WriteAll(secret, "[Web]\r\nBaseURL=https://elsewhere.example/\r\n");
    const QString elsewhere = dir() + QStringLiteral("elsewhere/");
    const auto swap = [&](const char* entry, const QString& to) {
        const QByteArray at = QFile::encodeName(bk + u(entry));
        QDir(bk + u(entry)).removeRecursively();
        QFile::remove(bk + u(entry));
        if (to.isEmpty())
            EXPECT_EQ(::mkfifo(at.constData(), 0600), 0);
        else
            EXPECT_EQ(::symlink(QFile::encodeName(to).constData(), at.constData()), 0);
    };
    const struct {
        const char* entry;  // swapped, below the backup folder
        QString to;         // the link's target; empty: a pipe
        const char* refused;
        const char* kind;
    } cases[] = {
        {"/Tolvane.ini", secret, "/Tolvane.ini", "シンボリックリンク"},
        {"/Data2_a", elsewhere, "/Data2_a/令和08年給与･賞与.dat", "シンボリックリンク"},
        {"/Tolvane_a.ini", QString(), "/Tolvane_a.ini", "名前付きパイプ"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        QDir(bk).removeRecursively();
        ASSERT_TRUE(BackupToFolder(bk).ok);
        QDir(elsewhere).removeRecursively();
        QDir().mkpath(elsewhere);
        WriteAll(elsewhere + u("令和08年給与･賞与.dat"), "not in the backup");
        WriteAll(DataPath + u("令和08年給与･賞与.dat"), "changed since");
        const Tree before = tree(root);
        atNextFsync = [&] { swap(c.entry, c.to); };
        const TCopyResult r = RestoreFromFolder(bk);
        EXPECT_FALSE(atNextFsync);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.reason, u("バックアップの読み込みに失敗しました。\n") + bk + u(c.refused) + u("\n") +
                                refusedKind(c.kind));
        EXPECT_EQ(tree(root), before);
        EXPECT_EQ(stages(root), QStringList());
    }
}

// A file of a backup is copied in blocks and refused when it is far past any file the program
// writes (the year file of 1,349,288 bytes), before any of it is copied: sparse files of 64 MiB
// and one byte and of 3 GiB under a file size limit of 16 MiB, which a copy would run into.
TEST_F(DataManageTest, RestoreRefusesHugeFilesBeforeCopyingThem)
{
    const QString bk = dir() + QStringLiteral("bk");
    ASSERT_TRUE(BackupToFolder(bk).ok);
    const QString big = bk + QStringLiteral("/Data2_a/big.dat");
    WriteAll(big, "");
    WriteAll(DataPath + u("令和08年給与･賞与.dat"), "changed since");
    const Tree before = tree(root);
    for (const qint64 size : {(qint64(64) << 20) + 1, qint64(3) << 30}) {
        SCOPED_TRACE(size);
        ASSERT_EQ(::truncate(QFile::encodeName(big).constData(), off_t(size)), 0);
        TCopyResult r;
        {
            const FileSizeLimit limit(qint64(16) << 20);
            r = RestoreFromFolder(bk);
        }
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.reason, u("バックアップの読み込みに失敗しました。\n") + big + u("\n") + TooLarge);
        EXPECT_EQ(tree(root), before);
        EXPECT_EQ(stages(root), QStringList());
    }
    // At the limit the file is taken, whole.
    ASSERT_EQ(::truncate(QFile::encodeName(big).constData(), off_t(64) << 20), 0);
    const TCopyResult r = RestoreFromFolder(bk);
    ASSERT_TRUE(r.ok) << r.reason.toStdString();
    EXPECT_EQ(QFileInfo(root + QStringLiteral("Data2_a/big.dat")).size(), qint64(64) << 20);
    EXPECT_EQ(ReadAll(DataPath + u("令和08年給与･賞与.dat")), "year 8");
}

// BackupToFolder run in a child process (InChild: its address space limited, as on a small
// machine, and a hang reported): whether the child ended by itself (not by an exception nobody
// caught, nor a signal), the backup's result and its message.
struct TChildBackup {
    bool ended = false;
    bool ok = false;
    QString reason;
};
TChildBackup backupInChild(const QString& folder)
{
    const QString out = InChild([&] {
        const TCopyResult r = BackupToFolder(folder);
        return (r.ok ? u("ok\n") : u("failed\n")) + r.reason;
    });
    TChildBackup r;
    r.ended = out.startsWith(u("ok\n")) || out.startsWith(u("failed\n"));
    r.ok = out.startsWith(u("ok\n"));
    if (r.ended) r.reason = out.mid(out.indexOf(u'\n') + 1);
    return r;
}

// What a backup would copy through a link (a year file or a set's settings file linked to a file
// outside, a set folder linked to a folder outside), a pipe, a device, a sparse year file of 3 GiB
// under a 2 GiB memory limit, and a failure that is no error of the program's (injected at the
// copy's sync): the backup fails with a message that names the file, carries nothing from outside,
// and the process goes on.
TEST_F(DataManageTest, BackupRefusesLinksPipesAndDevicesAndTellsEveryFailure)
{
    const QString bk = dir() + QStringLiteral("bk"), secret = dir() + QStringLiteral("secret");
    const QByteArray secretBytes = "[Mail]\r\nPassword=theirs\r\n";
    WriteAll(secret, secretBytes);
    QDir().mkpath(dir() + u("elsewhere"));
    WriteAll(dir() + u("elsewhere/令和07年給与･賞与.dat"), secretBytes);
    const auto link = [&](const QString& to, const char* at) {
        QFile::remove(root + u(at));
        return ::symlink(QFile::encodeName(to).constData(), QFile::encodeName(root + u(at)).constData());
    };
    const QString refused = u("ファイルの読み込みに失敗しました。\n");
    const struct {
        const char* what;
        const char* entry;           // below the data root
        std::function<int()> plant;  // 0 when planted
        QString reason;              // the message's end
    } cases[] = {
        {"a year file linked to a file outside", "Data2/evil.dat",
         [&] { return link(secret, "Data2/evil.dat"); }, NotRegularReason(S_IFLNK)},
        {"a set's settings file linked", "Tolvane_a.ini", [&] { return link(secret, "Tolvane_a.ini"); },
         NotRegularReason(S_IFLNK)},
        {"a set folder linked to a folder outside", "Data2_a",
         [&] {
             QDir(root + u("Data2_a")).removeRecursively();
             return link(dir() + u("elsewhere"), "Data2_a");
         },
         NotRegularReason(S_IFLNK)},
        {"a pipe", "Data2/p.dat",
         [&] { return ::mkfifo(QFile::encodeName(root + u("Data2/p.dat")).constData(), 0600); },
         NotRegularReason(S_IFIFO)},
        {"a device", "Data2/d.dat",
         [&] {
             return ::mknod(QFile::encodeName(root + u("Data2/d.dat")).constData(), S_IFCHR | 0600,
                            makedev(1, 5));
         },
         NotRegularReason(S_IFCHR)},
        {"3 GiB", "Data2/huge.dat",
         [&] {
             WriteAll(root + u("Data2/huge.dat"), "");
             return ::truncate(QFile::encodeName(root + u("Data2/huge.dat")).constData(), off_t(3) << 30);
         },
         u("ファイルが大きすぎます（3221225472 バイトあります。このファイルとして読めるのは 16777216 "
           "バイトまでです）。")},
        {"an exception at the copy's sync", "",
         [&] {
             atNextFsync = [] { throw std::runtime_error("the controller is gone"); };
             return 0;
         },
         u("バックアップを中止しました。\nthe controller is gone")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        makeRoot(root);
        QDir(bk).removeRecursively();
        if (c.plant() != 0) {
            // Only a device needs a right (CAP_MKNOD) that a test run may lack.
            ASSERT_EQ(std::string(c.what), "a device");
            continue;
        }
        const TChildBackup r = backupInChild(bk);
        atNextFsync = nullptr;
        EXPECT_TRUE(r.ended) << "the backup took the process down";
        EXPECT_FALSE(r.ok);
        if (*c.entry)
            EXPECT_EQ(r.reason, refused + root + u(c.entry) + u("\n") + c.reason);
        else
            EXPECT_EQ(r.reason, c.reason);
        for (const QByteArray& bytes : tree(bk)) EXPECT_NE(bytes, secretBytes);
        EXPECT_FALSE(QFileInfo::exists(bk + u("/evil.dat")));
        EXPECT_EQ(ReadAll(secret), secretBytes);
        QFile::remove(root + u(c.entry));
    }
}

// A backup into a folder that exists keeps its mode: shared with the group (setgid), or a folder
// of the system that others read. Only the folders the backup makes are private.
TEST_F(DataManageTest, BackupTightensOnlyTheFoldersItMakes)
{
    const struct {
        const char* folder;
        int mode;
    } existing[] = {{"shared", 02775}, {"open", 0755}, {"private", 0700}};
    for (const auto& c : existing) {
        SCOPED_TRACE(c.folder);
        const QString bk = dir() + u(c.folder);
        QDir().mkpath(bk);
        ASSERT_EQ(::chmod(QFile::encodeName(bk).constData(), mode_t(c.mode)), 0);
        ASSERT_TRUE(BackupToFolder(bk).ok);
        EXPECT_EQ(FileMode(bk), c.mode);
        // Made by the backup (a setgid parent passes its bit on, which keeps it private all the same).
        EXPECT_EQ(FileMode(bk + QStringLiteral("/Data2_a")) & 0777, 0700);
        // A set folder of an earlier backup, shared since, is the user's too.
        ASSERT_EQ(::chmod(QFile::encodeName(bk + QStringLiteral("/Data2_a")).constData(), 02770), 0);
        ASSERT_TRUE(BackupToFolder(bk).ok);
        EXPECT_EQ(FileMode(bk), c.mode);
        EXPECT_EQ(FileMode(bk + QStringLiteral("/Data2_a")), 02770);
    }
    // A folder the backup makes, its missing parent with it.
    const QString made = dir() + u("new/2026年12月7日");
    ASSERT_TRUE(BackupToFolder(made).ok);
    EXPECT_EQ(FileMode(dir() + u("new")), 0700);
    EXPECT_EQ(FileMode(made), 0700);
    EXPECT_EQ(FileMode(made + u("/Data2_a")), 0700);
}

// Every set goes into the backup and comes back, not only the first two: the tenth and the last
// ("_j", "_z") with their folders and settings files.
TEST_F(DataManageTest, LaterSetsGoIntoTheBackupAndComeBack)
{
    for (const char* code : {"_j", "_z"}) {
        SCOPED_TRACE(code);
        const QString data = root + u("Data2") + u(code) + u("/"),
                      ini = root + u("Tolvane") + u(code) + u(".ini");
        QDir().mkpath(data);
        WriteAll(data + u("令和08年給与･賞与.dat"), QByteArray("year 8 of ") + code);
        WriteAll(ini, QByteArray("[Option]\r\nSet=") + code + "\r\n");
        const Tree before = tree(root);
        const QString bk = dir() + u("bk") + u(code);
        ASSERT_TRUE(BackupToFolder(bk).ok);
        const Tree backedUp = tree(bk);
        EXPECT_EQ(backedUp.value(u("Data2") + u(code) + u("/令和08年給与･賞与.dat")),
                  QByteArray("year 8 of ") + code);
        EXPECT_EQ(backedUp.value(u("Tolvane") + u(code) + u(".ini")),
                  QByteArray("[Option]\r\nSet=") + code + "\r\n");

        // Changed, added and removed since: the restore gives the set back as it was.
        WriteAll(data + u("令和08年給与･賞与.dat"), "changed");
        WriteAll(data + u("令和09年給与･賞与.dat"), "added");
        QFile::remove(ini);
        const TCopyResult r = RestoreFromFolder(bk);
        ASSERT_TRUE(r.ok) << r.reason.toStdString();
        EXPECT_EQ(tree(root), before);

        // The set deleted since: a backup over the old one leaves nothing of it there.
        QDir(data).removeRecursively();
        QFile::remove(ini);
        ASSERT_TRUE(BackupToFolder(bk, true).ok);
        EXPECT_FALSE(QFileInfo::exists(bk + u("/Data2") + u(code)));
        EXPECT_FALSE(QFileInfo::exists(bk + u("/Tolvane") + u(code) + u(".ini")));
    }
}

TEST_F(DataManageTest, BackupOverAnOldOneRemovesItsFilesFirst)
{
    const QString bk = dir() + QStringLiteral("bk");
    ASSERT_TRUE(BackupToFolder(bk).ok);
    // Left from a set deleted since, and a file that no backup writes.
    QDir().mkpath(bk + QStringLiteral("/Data2_b"));
    WriteAll(bk + QStringLiteral("/Data2_b/old.dat"), "deleted set");
    WriteAll(bk + QStringLiteral("/Tolvane_b.ini"), "deleted set");
    WriteAll(bk + QStringLiteral("/notes.txt"), "user's");
    ASSERT_TRUE(BackupToFolder(bk, true).ok);
    const Tree t = tree(bk);
    EXPECT_EQ(t.size(), 6);
    EXPECT_FALSE(QFileInfo::exists(bk + QStringLiteral("/Data2_b")));
    EXPECT_TRUE(t.contains(QStringLiteral("notes.txt")));
    EXPECT_FALSE(t.contains(QStringLiteral("Tolvane_b.ini")));
}

// The SMTP password never goes into a backup, and a restore keeps the one of this computer (or
// none), whatever the backup's settings file holds; the rest of [Mail] comes from the backup.
TEST_F(DataManageTest, MailPasswordStaysOnThisComputer)
{
    const QByteArray sys = "[CorpData]\r\nCount=2\r\n[Mail]\r\nServer=smtp.example.jp\r\n";
    const struct {
        const char* local;     // [Mail] Password here at the restore, nullptr = none
        const char* inBackup;  // the backup's, written there behind the program's back
        const char* expected;  // the value after the restore as the file holds it
    } cases[] = {{"\" pw here \"", "stolen", "\" pw here \""},
                 {nullptr, "stolen", nullptr},
                 {"local", nullptr, "\"local\""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.local ? c.local : "none");
        const QString bk = dir() + u("bk");
        QDir(bk).removeRecursively();
        WriteAll(SysIniFileName, sys + "Password=smtp secret\r\nUser=kyuyo\r\n");
        ASSERT_TRUE(BackupToFolder(bk).ok);
        const QByteArray backedUp = ReadAll(bk + u("/Tolvane.ini"));
        EXPECT_EQ(backedUp, sys + "User=kyuyo\r\n");
        if (c.inBackup)
            WriteAll(bk + u("/Tolvane.ini"), sys + "Password=" + c.inBackup + "\r\nUser=other\r\n");
        WriteAll(SysIniFileName, "[Mail]\r\nServer=old\r\n" +
                                     (c.local ? "Password=" + QByteArray(c.local) + "\r\n" : QByteArray()));
        const TCopyResult r = RestoreFromFolder(bk);
        ASSERT_TRUE(r.ok) << r.reason;
        const IniFile restored(SysIniFileName);
        EXPECT_EQ(restored.readString(u("Mail"), u("Server")), u("smtp.example.jp"));
        EXPECT_EQ(restored.readString(u("Mail"), u("User")), c.inBackup ? u("other") : u("kyuyo"));
        EXPECT_EQ(restored.valueExists(u("Mail"), u("Password")), c.expected != nullptr);
        if (c.expected) {
            EXPECT_TRUE(ReadAll(SysIniFileName).contains("Password=" + QByteArray(c.expected) + "\r\n"))
                << ReadAll(SysIniFileName).toStdString();
        }
    }
}

// Month 5 and the second bonus: the record zero, the present byte and the bonus date cleared,
// the neighbours untouched.
TEST_F(DataManageTest, DeletingAPeriodZeroesItsRecordAndPresentByte)
{
    const QString file = DataPath + u("令和08年給与･賞与.dat");
    QFile::remove(file);
    auto rec = PeriodRecord();
    std::memset(static_cast<void*>(rec.get()), 0x5a, sizeof *rec);
    for (int p : {4, 5, 6, 14}) StorePeriod(file, p, *rec);
    WriteAt(file, 24 + 4, int32_t(7));
    WriteAt(file, 36 + 4, int32_t(10));
    for (int p : {5, 14}) {
        SCOPED_TRACE(p);
        ReadSelectState(file);
        DeletePeriodData(file, p);
        const QByteArray bytes = ReadAll(file);
        EXPECT_EQ(bytes.size(), YearFileSize);
        EXPECT_EQ(bytes.mid(DataRecPos(p - 1), PeriodRecSize), QByteArray(PeriodRecSize, '\0'));
        EXPECT_EQ(bytes[8 + p - 1], 0);
        EXPECT_EQ(bytes[8 + 6 - 1], 1);
        EXPECT_EQ(bytes.mid(DataRecPos(5), 16), QByteArray(16, '\x5a'));
        EXPECT_EQ(YearHeader.DataExists[p], 0);
        if (p == 14) {
            EXPECT_EQ(ValueAt<int32_t>(bytes, 24 + 4), 0);
        }
    }
    EXPECT_EQ(MonthCorpRecs[5].Nissu, 0);
    // A short file is refused before anything is written.
    WriteAll(file, "short");
    EXPECT_EQ(thrown([&] { DeletePeriodData(file, 4); }),
              u("年度データファイルの書き込みに失敗しました。\n") + file + u("\nファイルが短すぎます。"));
    EXPECT_EQ(ReadAll(file), QByteArray("short"));
    // A link to a whole year file elsewhere, or a pipe nothing writes, at the year file's name:
    // refused at once, neither it nor what it points to changed.
    const QString elsewhere = dir() + u("elsewhere.dat");
    StorePeriod(elsewhere, 4, *rec);
    const QByteArray whole = ReadAll(elsewhere);
    const QString failed = u("AppError: 年度データファイルの書き込みに失敗しました。\n") + file + u("\n");
    const struct {
        const char* what;
        std::function<int(const QByteArray&)> plant;
        QString said;
    } planted[] = {
        {"a link",
         [&](const QByteArray& at) {
             return ::symlink(QFile::encodeName(elsewhere).constData(), at.constData());
         },
         failed + u("シンボリックリンクなので読み込みません。")},
        {"a FIFO", [](const QByteArray& at) { return ::mkfifo(at.constData(), 0600); },
         failed + u("名前付きパイプなので読み込みません。")},
    };
    for (const auto& c : planted) {
        SCOPED_TRACE(c.what);
        QFile::remove(file);
        ASSERT_EQ(c.plant(QFile::encodeName(file)), 0);
        EXPECT_EQ(InChild([&] {
                      DeletePeriodData(file, 4);
                      return u("deleted");
                  }),
                  c.said);
        EXPECT_EQ(ReadAll(elsewhere), whole);
        struct stat st;
        ASSERT_EQ(::lstat(QFile::encodeName(file).constData(), &st), 0);
        EXPECT_FALSE(S_ISREG(st.st_mode));
    }
}

TEST_F(DataManageTest, NewYearMustBeOneTheYearListShows)
{
    WriteAll(DataPath + u("令和08年給与･賞与.dat"), "x");
    const struct {
        const char* era;
        int year;
        const char* refused;
    } cases[] = {{"令和", 0, "年の入力エラー(0以下または元年は不可)"},
                 {"令和", 1, "年の入力エラー(0以下または元年は不可)"},
                 {"令和", 21, "令和の年は2～20年の範囲で入力して下さい。"},
                 {"平成", 15, "平成の年は16～31年の範囲で入力して下さい。"},
                 {"令和", 8, "入力された年のデータは存在します。"},
                 {"令和", 20, ""},
                 {"平成", 31, ""}};
    for (const auto& c : cases) EXPECT_EQ(CheckNewYear(u(c.era), c.year), u(c.refused)) << c.era << c.year;
}

// A code is free only when no line, no file in its folder and no settings file holds it.
TEST_F(DataManageTest, FreeCodeSkipsCodesWithLinesFilesOrSettings)
{
    const QStringList lines{OriginalCorpLine(), FormatCorpLine(u("甲"), QStringLiteral("_b"))};
    WriteAll(root + QStringLiteral("Data2_a/x.dat"), "x");
    WriteAll(root + QStringLiteral("Tolvane_c.ini"), "x");
    QDir().mkpath(root + QStringLiteral("Data2_d"));  // left empty by a deleted set: taken
    EXPECT_EQ(FindFreeCorpCode(lines, root), QStringLiteral("_d"));
    WriteAll(root + QStringLiteral("Data2_d/.hidden"), "x");
    EXPECT_EQ(FindFreeCorpCode(lines, root), QStringLiteral("_e"));
    // Every code taken: nothing is added, and the user is told how to make room.
    for (char c = 'a'; c <= 'z'; ++c) WriteAll(root + QStringLiteral("Tolvane_%1.ini").arg(QChar(c)), "x");
    const QByteArray ini = ReadAll(SysIniFileName);
    EXPECT_EQ(thrown([] { AddCorpData({}, {}); }),
              u("使用できる会社データの記号がありません。\r使われていない会社データを削除して下さい。"));
    EXPECT_EQ(ReadAll(SysIniFileName), ini);
}

TEST_F(DataManageTest, AddingByReferenceReportsACopyFailureAndRegistersNothing)
{
    const QString other = dir() + QStringLiteral("old/Data2");
    QDir().mkpath(other);
    WriteAll(other + QStringLiteral("/a.dat"), "a");
    ::symlink("/nonexistent", QFile::encodeName(other + QStringLiteral("/b.dat")).constData());
    WriteAll(dir() + QStringLiteral("old/Tolvane.ini"), "[Option]\r\n");
    EXPECT_EQ(ReferenceIniFile(dir() + QStringLiteral("old/data2/")),
              dir() + QStringLiteral("old/Tolvane.ini"));
    EXPECT_EQ(ReferenceIniFile(other + QStringLiteral("/sub")), QString());
    const QByteArray ini = ReadAll(SysIniFileName);
    EXPECT_EQ(thrown([&] { AddCorpData(other, ReferenceIniFile(other)); }),
              u("会社データのコピーに失敗しました。会社データは追加していません。\r\r"
                "ファイルの読み込みに失敗しました。\n") +
                  other + u("/b.dat\n") + NotRegularReason(S_IFLNK));
    EXPECT_EQ(ReadAll(SysIniFileName), ini);
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("Tolvane_b.ini")));
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("Data2_b")));

    QFile::remove(other + QStringLiteral("/b.dat"));
    WriteAll(SysIniFileName, "");
    EXPECT_EQ(AddCorpData(other, ReferenceIniFile(other)), 2);
    const QStringList lines = ReadCorpList(IniFile(SysIniFileName));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], OriginalCorpLine());
    EXPECT_EQ(CorpLineCode(lines[1]), QStringLiteral("_b"));
    EXPECT_EQ(ReadAll(root + QStringLiteral("Data2_b/a.dat")), QByteArray("a"));
}

// The picker's top nodes from the mounts, with the kernel's view of each disk laid out as sysfs has
// it: a partition is a folder in its disk's folder, which sits under its controller and bus.
TEST_F(DataManageTest, OnlyRemovableMountsAreShownAsRemovable)
{
    const QString sys = dir() + u("sys");
    const auto disk = [&sys](const char* bus, const char* name, const char* removable,
                             std::initializer_list<const char*> partitions) {
        const QString folder = sys + u("/devices/") + u(bus) + u("/block/") + u(name);
        QDir().mkpath(folder);
        // No flag: a pipe in its place, which nothing writes.
        if (removable)
            WriteAll(folder + u("/removable"), QByteArray(removable) + '\n');
        else
            ::mkfifo(QFile::encodeName(folder + u("/removable")).constData(), 0600);
        QDir().mkpath(sys + u("/class/block"));
        QFile::link(folder, sys + u("/class/block/") + u(name));
        for (const char* p : partitions) {
            QDir().mkpath(folder + u("/") + u(p));
            WriteAll(folder + u("/") + u(p) + u("/partition"), "1\n");
            QFile::link(folder + u("/") + u(p), sys + u("/class/block/") + u(p));
        }
    };
    disk("pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", "sda", "0", {"sda1", "sda2"});
    disk("pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0", "sdb", "0", {"sdb1"});
    disk("pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/host7/target7:0:0/7:0:0:0", "sdc", "1", {"sdc1"});
    disk("pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0", "nvme0n1", "0", {"nvme0n1p3"});
    disk("platform/floppy.0", "fd0", "1", {});
    disk("pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0", "sdd", nullptr, {"sdd1"});
    const struct {
        TMount mount;
        bool listed;
        bool removable;
    } cases[] = {
        {{u("/"), u("/dev/sda2"), u("ext4"), {}}, true, false},  // the "/" node of its own
        {{u("/media/taro/USBSTICK"), u("/dev/sdb1"), u("vfat"), u("USBSTICK")}, true, true},
        {{u("/run/media/taro/CARD"), u("/dev/sdc1"), u("exfat"), {}}, true, true},
        {{u("/media/taro/WINDOWS"), u("/dev/nvme0n1p3"), u("ntfs3"), {}}, true, false},
        {{u("/mnt/data"), u("/dev/sda1"), u("ext4"), {}}, true, false},
        {{u("/mnt/ram"), u("tmpfs"), u("tmpfs"), {}}, true, false},
        {{u("/srv/backup"), u("/dev/sda1"), u("ext4"), {}}, false, false},  // reached from "/"
        {{u("/data/stick"), u("/dev/sdb1"), u("vfat"), {}}, true, true},    // removable wherever it is
        {{u("/floppy"), u("/dev/fd0"), u("vfat"), {}}, true, true},
        {{u("/net/server"), u("server:/export"), u("nfs4"), {}}, true, false},
        {{u("/mnt/gone"), u("/dev/sdz1"), u("ext4"), {}}, true, false},  // no such disk
        {{u("/mnt/odd"), u("/dev/sdd1"), u("ext4"), {}}, true, false},   // a flag that never answers
    };
    QList<TMount> mounts;
    for (const auto& c : cases) mounts << c.mount;
    const QList<TFolderRoot> roots = FolderRootsOf(mounts, sys);
    ASSERT_GE(roots.size(), 2);
    EXPECT_EQ(roots[1].path, u("/"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mount.path);
        if (c.mount.path == u("/")) continue;
        const auto it = std::find_if(roots.cbegin() + 2, roots.cend(),
                                     [&c](const TFolderRoot& r) { return r.path == c.mount.path; });
        ASSERT_EQ(it != roots.cend(), c.listed);
        if (!c.listed) continue;
        EXPECT_EQ(it->removable, c.removable);
        EXPECT_EQ(it->text, (c.mount.name.isEmpty() ? QFileInfo(c.mount.path).fileName() : c.mount.name) +
                                u(" [") + c.mount.path + u("]"));
    }
}

}  // namespace
