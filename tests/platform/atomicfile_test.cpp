// Whole-file writes stopped by a full disk, a size limit or a missing folder keep the old file,
// leave no temporary file and tell the user the file and the reason; new files are private.
#include "platform/atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/core/membedit.h"
#include "payroll/paths.h"
#include "platform/errors.h"
#include "platform/filetree.h"
#include "platform/inifile.h"
#include "platform/readfile.h"
#include "tests/testutil.h"

// The test binary is linked with --wrap for write, fsync and rename: while a test records, each
// call is noted with the inode of its descriptor or the names it renames, then passed on.
namespace {
bool recording = false;
std::vector<std::string> calls;

std::string inodeOf(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0) return "?";
    return (S_ISDIR(st.st_mode) ? "folder " : "file ") + std::to_string(st.st_ino);
}
}  // namespace

extern "C" {
ssize_t __real_write(int fd, const void* buf, size_t n);
int __real_fsync(int fd);
int __real_rename(const char* from, const char* to);

ssize_t __wrap_write(int fd, const void* buf, size_t n)
{
    // Consecutive writes to one file are one step.
    if (recording) {
        const std::string call = "write " + inodeOf(fd);
        if (calls.empty() || calls.back() != call) calls.push_back(call);
    }
    return __real_write(fd, buf, n);
}
int __wrap_fsync(int fd)
{
    if (recording) calls.push_back("fsync " + inodeOf(fd));
    return __real_fsync(fd);
}
int __wrap_rename(const char* from, const char* to)
{
    struct stat st;
    if (recording && ::stat(from, &st) == 0)
        calls.push_back("rename file " + std::to_string(st.st_ino) + " " + to);
    return __real_rename(from, to);
}
}

namespace {

using AtomicFileTest = CoreTest;

// Durability: the content is written and synced before the rename puts it in place, and the
// folder is synced after it, so that a power loss leaves the old file or the whole new one.
TEST_F(AtomicFileTest, ContentIsSyncedBeforeTheRenameAndTheFolderAfterIt)
{
    const QString file = dir() + QStringLiteral("Tolvane.ini");
    const QString part = dir() + QStringLiteral("download.part");
    const std::string target = QFile::encodeName(file).toStdString();
    struct stat folder;
    ASSERT_EQ(::stat(QFile::encodeName(dir()).constData(), &folder), 0);
    for (bool whole : {true, false}) {
        SCOPED_TRACE(whole ? "WriteFileAtomic" : "CommitFileAtomic");
        WriteAll(file, "old");
        WriteAll(part, "new");
        calls.clear();
        recording = true;
        if (whole)
            WriteFileAtomic(file, "new", QStringLiteral("書き込み"));
        else
            CommitFileAtomic(part, file, QStringLiteral("書き込み"));
        recording = false;
        EXPECT_EQ(ReadAll(file), QByteArray("new"));
        struct stat st;
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        const std::string inode = "file " + std::to_string(st.st_ino);
        std::vector<std::string> want = {"fsync " + inode, "rename " + inode + " " + target,
                                         "fsync folder " + std::to_string(folder.st_ino)};
        if (whole) want.insert(want.begin(), "write " + inode);
        EXPECT_EQ(calls, want);
    }
}

// The settings file and the employee template, each saved where the disk is full or the write
// stops at a byte, and into a folder that does not exist.
TEST_F(AtomicFileTest, FailedSaveKeepsTheOldBytesAndSaysWhy)
{
    enum Stop { FullDisk, SizeLimit, NoFolder, ReadOnly };
    struct Case {
        const char* name;
        Stop stop;
        const char* reason;
    };
    const Case cases[] = {{"Tolvane.ini", ReadOnly, "書き込む権限がありません。"},
                          {"Tolvane.ini", FullDisk, "ディスクの空き容量が足りません。"},
                          {"Tolvane.ini", SizeLimit, "ファイルが大きすぎます。"},
                          {"社員情報.dat", SizeLimit, "ファイルが大きすぎます。"},
                          {"Tolvane.ini", NoFolder, "フォルダーが見つかりません。"}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " stop " + std::to_string(c.stop));
        const QString folder = dir() + QString::number(++n) + QStringLiteral("/");
        std::optional<FullFileSystem> disk;
        if (c.stop == FullDisk && !disk.emplace(folder).mounted()) {
            std::cout << "no tmpfs can be mounted here; the full-disk cases are skipped\n";
            continue;
        }
        QDir().mkpath(folder);
        DataPath = c.stop == NoFolder ? folder + QStringLiteral("gone/") : folder;
        const QString path = DataPath + QString::fromUtf8(c.name);
        const QByteArray old = "[Option]\r\nA=1\r\n" + QByteArray(600, 'x');
        if (c.stop != NoFolder) WriteAll(path, old);
        if (c.stop == ReadOnly) QFile::setPermissions(path, QFileDevice::ReadOwner);
        if (disk) disk->fill();
        try {
            std::optional<FileSizeLimit> limit;
            if (c.stop == SizeLimit) limit.emplace(100);
            if (path.endsWith(QStringLiteral(".ini"))) {
                IniFile ini(path);
                ini.writeInteger(QStringLiteral("Option"), QStringLiteral("A"), 2);
                ini.save();
            } else {
                SaveMemberTemplate(FieldsOf(MemberFields(), TEmployeeRec()));
            }
            ADD_FAILURE() << "no error";
        } catch (const IoError& e) {
            EXPECT_TRUE(e.message().contains(path)) << e.message();
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.reason))) << e.message();
        }
        EXPECT_EQ(ReadAll(path), c.stop == NoFolder ? QByteArray() : old);
        const QStringList left = QDir(DataPath).entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(left.size(), c.stop == FullDisk ? 2 : c.stop == NoFolder ? 0 : 1) << left.join(' ');
    }
}

TEST_F(AtomicFileTest, RewrittenFileIsPrivate)
{
    const QString file = dir() + QStringLiteral("a.ini");
    WriteAll(file, "old");
    ::chmod(QFile::encodeName(file).constData(), 0644);
    WriteFileAtomic(file, "new", QStringLiteral("書き込み"));
    EXPECT_EQ(ReadAll(file), QByteArray("new"));
    EXPECT_EQ(FileMode(file), 0600);
}

// Folders for the user's data: made 0700 whatever the umask, a folder that is there keeps its
// mode, and a link at the folder's name is refused, never gone through to re-mode or fill what
// it points to.
TEST_F(AtomicFileTest, FoldersAreMadeWithoutGoingThroughALinkOrReModingAFolderThatWasThere)
{
    const QString outside = dir() + u("outside");
    const struct {
        const char* name;
        std::function<void(const QString&)> plant;
        bool tighten;  // MakePrivateFolder, else MakeFolder
        bool ok;
        int mode;         // of the folder afterwards (through nothing)
        int outsideMode;  // of the folder a planted link points to
    } cases[] = {
        {"nothing there", [](const QString&) {}, false, true, 0700, 0755},
        {"nothing there, tightened", [](const QString&) {}, true, true, 0700, 0755},
        {"an open folder of the user's",
         [](const QString& at) { QDir().mkpath(at), ::chmod(QFile::encodeName(at).constData(), 0755); },
         false, true, 0755, 0755},
        {"an open folder of the user's, tightened",
         [](const QString& at) { QDir().mkpath(at), ::chmod(QFile::encodeName(at).constData(), 0755); }, true,
         true, 0700, 0755},
        {"another owner's open folder, tightened",
         [](const QString& at) {
             QDir().mkpath(at), ::chmod(QFile::encodeName(at).constData(), 0755);
             EXPECT_EQ(::chown(QFile::encodeName(at).constData(), 65534, 65534), 0);
         },
         true, true, 0755, 0755},
        {"a link to a folder outside", [&](const QString& at) { QFile::link(outside, at); }, false, false, -1,
         0755},
        {"a link to a folder outside, tightened", [&](const QString& at) { QFile::link(outside, at); }, true,
         false, -1, 0755},
    };
    const mode_t umask = ::umask(022);
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString at = dir() + QStringLiteral("f%1/Data/Data2").arg(++n);
        QDir().mkpath(outside);
        ::chmod(QFile::encodeName(outside).constData(), 0755);
        QDir().mkpath(QFileInfo(at).path());
        c.plant(at);
        EXPECT_EQ(c.tighten ? MakePrivateFolder(at) : MakeFolder(at), c.ok);
        struct stat st;
        const bool there = ::lstat(QFile::encodeName(at).constData(), &st) == 0 && S_ISDIR(st.st_mode);
        EXPECT_EQ(there ? int(st.st_mode & 07777) : -1, c.mode);
        EXPECT_EQ(FileMode(outside), c.outsideMode);
        EXPECT_TRUE(QDir(outside).isEmpty());
    }
    // Made now with exactly the mode asked for, parents too, and said so.
    bool made = false;
    EXPECT_TRUE(MakeFolder(dir() + u("new/a/b"), 0750, &made));
    EXPECT_TRUE(made);
    EXPECT_EQ(FileMode(dir() + u("new/a/b")), 0750);
    EXPECT_EQ(FileMode(dir() + u("new")), 0750);
    EXPECT_TRUE(MakeFolder(dir() + u("new/a/b"), 0700, &made));
    EXPECT_FALSE(made);
    EXPECT_EQ(FileMode(dir() + u("new/a/b")), 0750);
    ::umask(umask);
}

// What the one reader makes of what can be at a name: a plain file is read whole, a link where
// the name is ours, a FIFO, a device or a file past its kind's cap is refused at once with the
// user's reason; a settings file the user linked elsewhere is read through the link.
TEST_F(AtomicFileTest, TheReaderTakesOnlyAPlainFileUpToItsKindsSize)
{
    const QString at = dir() + u("令和08年給与･賞与.dat"), plain = dir() + u("plain");
    WriteAll(plain, "plain bytes");
    const struct {
        const char* name;
        std::function<bool()> plant;
        ReadKind kind;
        const char* reason;  // nullptr: read
    } cases[] = {
        {"a plain file", [&] { return QFile::copy(plain, at); }, ReadKind::Data, nullptr},
        {"a link to a plain file", [&] { return QFile::link(plain, at); }, ReadKind::Data,
         "シンボリックリンクなので読み込みません。"},
        {"a settings file linked elsewhere", [&] { return QFile::link(plain, at); }, ReadKind::Settings,
         nullptr},
        {"a FIFO", [&] { return ::mkfifo(QFile::encodeName(at).constData(), 0600) == 0; }, ReadKind::Data,
         "名前付きパイプなので読み込みません。"},
        {"a FIFO linked as settings",
         [&] {
             return ::mkfifo(QFile::encodeName(dir() + u("fifo")).constData(), 0600) == 0 &&
                    QFile::link(dir() + u("fifo"), at);
         },
         ReadKind::Settings, "名前付きパイプなので読み込みません。"},
        {"/dev/zero linked as settings", [&] { return QFile::link(u("/dev/zero"), at); }, ReadKind::Settings,
         "デバイスなので読み込みません。"},
        {"a year file past its cap",
         [&] {
             WriteAll(at, "");
             return ::truncate(QFile::encodeName(at).constData(), MaxReadSize(ReadKind::Data) + 1) == 0;
         },
         ReadKind::Data, "ファイルが大きすぎます"},
        {"a checksum file of a year file's size",
         [&] {
             WriteAll(at, QByteArray(1349288, '\x01'));
             return true;
         },
         ReadKind::Checksum, "ファイルが大きすぎます"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(at);
        QFile::remove(dir() + u("fifo"));
        ASSERT_TRUE(c.plant());
        const QString said = InChild([&] {
            QByteArray data;
            QString reason;
            return ReadWholeFile(at, c.kind, data, reason) ? QString::fromLatin1(data)
                                                           : u("refused: ") + reason;
        });
        if (c.reason)
            EXPECT_TRUE(said.startsWith(u("refused: ") + QString::fromUtf8(c.reason))) << said;
        else
            EXPECT_EQ(said, u("plain bytes"));
        EXPECT_EQ(ReadAll(plain), "plain bytes");
    }
    EXPECT_GT(MaxReadSize(ReadKind::Data), 10 * 1349288);

    // Below a folder (a backup's files): whatever the kind, no link below it is followed, neither
    // at the file nor at a folder on the way; the folder itself may be reached through a link.
    const QString base = dir() + u("bk/"), elsewhere = dir() + u("elsewhere/");
    const struct {
        const char* name;
        std::function<bool()> plant;
        const char* reason;  // nullptr: read
    } below[] = {
        {"a plain file", [&] { return QFile::copy(plain, base + u("Data2_a/x.dat")); }, nullptr},
        {"the base reached through a link",
         [&] {
             return QFile::copy(plain, base + u("Data2_a/x.dat")) && QDir(elsewhere).removeRecursively() &&
                    QFile::rename(dir() + u("bk"), elsewhere) && QFile::link(elsewhere, dir() + u("bk"));
         },
         nullptr},
        {"the file a link", [&] { return QFile::link(plain, base + u("Data2_a/x.dat")); },
         "シンボリックリンクなので読み込みません。"},
        {"the folder on the way a link",
         [&] {
             return QFile::copy(plain, elsewhere + u("x.dat")) &&
                    QDir(base + u("Data2_a")).removeRecursively() &&
                    QFile::link(elsewhere, base + u("Data2_a"));
         },
         "シンボリックリンクなので読み込みません。"},
        {"the folder on the way a FIFO",
         [&] {
             return QDir(base + u("Data2_a")).removeRecursively() &&
                    ::mkfifo(QFile::encodeName(base + u("Data2_a")).constData(), 0600) == 0;
         },
         "名前付きパイプなので読み込みません。"},
        {"the file a FIFO",
         [&] { return ::mkfifo(QFile::encodeName(base + u("Data2_a/x.dat")).constData(), 0600) == 0; },
         "名前付きパイプなので読み込みません。"},
        {"the file past its cap",
         [&] {
             WriteAll(base + u("Data2_a/x.dat"), "");
             return ::truncate(QFile::encodeName(base + u("Data2_a/x.dat")).constData(),
                               MaxReadSize(ReadKind::Settings) + 1) == 0;
         },
         "ファイルが大きすぎます"},
    };
    for (const auto& c : below) {
        SCOPED_TRACE(c.name);
        QFile::remove(dir() + u("bk"));
        QDir(dir() + u("bk")).removeRecursively();
        QDir(elsewhere).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(base + u("Data2_a")) && QDir().mkpath(elsewhere));
        ASSERT_TRUE(c.plant());
        const QString said = InChild([&] {
            QString reason;
            const int fd = OpenBelowForReading(base, u("Data2_a/x.dat"), ReadKind::Settings, reason);
            if (fd < 0) return u("refused: ") + reason;
            char bytes[64];
            const ssize_t n = ::read(fd, bytes, sizeof bytes);
            ::close(fd);
            return QString::fromLatin1(bytes, n < 0 ? 0 : int(n));
        });
        if (c.reason)
            EXPECT_TRUE(said.startsWith(u("refused: ") + QString::fromUtf8(c.reason))) << said;
        else
            EXPECT_EQ(said, u("plain bytes"));
    }
    QFile::remove(dir() + u("bk"));

    // The block copy: a year file's bytes whole into a new private file; never over a link put
    // at the target; past its cap nothing of the copy is left.
    const QByteArray year = QByteArray(1349288, '\x01') + "end";
    WriteAll(at, year);
    const QString to = dir() + u("copy.dat");
    const struct {
        const char* name;
        std::function<void()> plant;
        qint64 cap;
        TBlockCopy::Outcome outcome;
    } copies[] = {
        {"whole", [] {}, -1, TBlockCopy::Done},
        {"a link at the target", [&] { QFile::link(plain, to); }, -1, TBlockCopy::WriteFailed},
        {"past the cap", [] {}, 1 << 20, TBlockCopy::TooLarge},
    };
    for (const auto& c : copies) {
        SCOPED_TRACE(c.name);
        QFile::remove(to);
        c.plant();
        const int in = OpenForReadingOrThrow(at, ReadKind::Data, u("読み込み"));
        EXPECT_EQ(CopyToNewFile(in, to, c.cap).outcome, c.outcome);
        ::close(in);
        EXPECT_EQ(ReadAll(plain), "plain bytes");
        if (c.outcome == TBlockCopy::Done) {
            EXPECT_EQ(ReadAll(to), year);
            EXPECT_EQ(FileMode(to), 0600);
        } else if (c.outcome == TBlockCopy::TooLarge) {
            EXPECT_FALSE(QFileInfo::exists(to));
        }
    }
}

}  // namespace
