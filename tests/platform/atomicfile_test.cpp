// Whole-file writes stopped by a full disk, a size limit or a missing folder keep the old file,
// leave no temporary file and tell the user the file and the reason; new files are private.
#include "platform/atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/core/membedit.h"
#include "payroll/paths.h"
#include "platform/errors.h"
#include "platform/inifile.h"
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

}  // namespace
