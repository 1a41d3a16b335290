// Atomic whole-file writes over POSIX: temporary file, checked writes, fsync, rename, fsync of the
// folder. Not QSaveFile: on a full disk its buffered write failed unseen and commit() still put the
// empty temporary file in place of the settings, and it never syncs the folder.
#include "platform/atomicfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <cerrno>
#include <cstring>

#include "platform/errors.h"

namespace {

// Closes the descriptor and removes the temporary file unless the write went through. lockFd
// holds a lock on the temporary file until it is renamed or removed: a file that nobody holds is
// a leftover that RemoveStaleTemporaries may delete.
struct TempFile {
    QByteArray name;
    int fd = -1;
    int lockFd = -1;
    bool keep = false;
    ~TempFile()
    {
        if (fd >= 0) ::close(fd);
        if (!keep && !name.isEmpty()) ::unlink(name.constData());
        if (lockFd >= 0) ::close(lockFd);
    }
    // A second open file description: its lock outlives the close of the written one.
    void lock()
    {
        lockFd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (lockFd >= 0) ::flock(lockFd, LOCK_EX);
    }
};

bool isAsciiAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isTemporaryName(const char* name, size_t n)
{
    // ".x.ABCDEF": a dot, the target's name, a dot and the six characters mkostemp put in.
    // A word or a number there ("backup", "202612") is a name of the user's own.
    if (n < 9 || name[0] != '.' || name[n - 7] != '.') return false;
    bool lower = true, digits = true;
    for (size_t i = n - 6; i < n; ++i) {
        if (!isAsciiAlnum(name[i])) return false;
        lower = lower && name[i] >= 'a' && name[i] <= 'z';
        digits = digits && name[i] >= '0' && name[i] <= '9';
    }
    return !lower && !digits;
}

// Removes path when it is a regular file of this user that no writer holds.
bool removeIfStale(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool stale = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                 ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (stale) stale = ::unlink(path.constData()) == 0;
    ::close(fd);
    return stale;
}

[[noreturn]] void fail(const QString& what, const QString& path, int err)
{
    throw IoError::failed(what, QDir::toNativeSeparators(path), SystemReason(err));
}

// A file system that cannot sync a folder says EINVAL; the rename is then as durable as it gets.
bool syncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    const int err = errno;
    ::close(fd);
    errno = err;
    return ok;
}

// The file a link points to is the one replaced, so that a linked settings file stays linked.
QString resolved(const QString& path)
{
    const QFileInfo info(path);
    return info.isSymLink() ? info.symLinkTarget() : path;
}

// Sync, rename and folder sync of a temporary file that holds the whole new content.
void commit(TempFile& tmp, const QString& target, const QString& what)
{
    if (::fsync(tmp.fd) != 0) fail(what, target, errno);
    const int fd = tmp.fd;
    tmp.fd = -1;
    if (::close(fd) != 0) fail(what, target, errno);
    const QByteArray to = QFile::encodeName(target);
    if (::rename(tmp.name.constData(), to.constData()) != 0) fail(what, target, errno);
    tmp.keep = true;
    if (!SyncFolderOf(target)) fail(what, target, errno);
}

}  // namespace

void WriteFileAtomic(const QString& path, const QByteArray& data, const QString& what)
{
    const QString target = resolved(path);
    const QFileInfo info(target);
    // A rename would replace a file the user made read-only; refuse as writing into it would. The
    // owner's write bit counts for root too, who passes access().
    const QByteArray name = QFile::encodeName(target);
    struct stat st;
    if (::stat(name.constData(), &st) == 0 &&
        (!(st.st_mode & S_IWUSR) || ::access(name.constData(), W_OK) != 0))
        fail(what, path, EACCES);
    // A temporary file of the same target left by a stopped write goes first.
    RemoveStaleTemporaries(info.absolutePath(), info.fileName());
    // Hidden, in the same folder (a rename never crosses file systems), unique per writer.
    TempFile tmp;
    tmp.name = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                 QStringLiteral(".XXXXXX"));
    tmp.fd = ::mkostemp(tmp.name.data(), O_CLOEXEC);  // mode 0600
    if (tmp.fd < 0) {
        tmp.name.clear();
        fail(what, path, errno);
    }
    tmp.lock();
    if (!WriteAllBytes(tmp.fd, data.constData(), data.size())) fail(what, path, errno);
    commit(tmp, target, what);
}

void StartPartialFile(const QString& partial, const QString& what)
{
    const QByteArray name = QFile::encodeName(partial);
    struct stat st;
    // A stale partial file (or a link put in its place) goes; what it pointed to stays.
    if (::lstat(name.constData(), &st) == 0 && !S_ISDIR(st.st_mode) && ::unlink(name.constData()) != 0)
        fail(what, partial, errno);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) fail(what, partial, errno);
    ::close(fd);
}

void CommitFileAtomic(const QString& partial, const QString& path, const QString& what)
{
    TempFile tmp;
    tmp.name = QFile::encodeName(partial);
    tmp.fd = ::open(tmp.name.constData(), O_RDWR | O_CLOEXEC);
    if (tmp.fd < 0 || ::fchmod(tmp.fd, 0600) != 0) fail(what, path, errno);
    commit(tmp, resolved(path), what);
}

QString SystemReason(int err)
{
    QString text;
    switch (err) {
        case ENOSPC:
            text = QStringLiteral("ディスクの空き容量が足りません。");
            break;
        case EDQUOT:
            text = QStringLiteral("ディスクの使用量の上限に達しました。");
            break;
        case EFBIG:
            text = QStringLiteral("ファイルが大きすぎます。");
            break;
        case EACCES:
        case EPERM:
            text = QStringLiteral("書き込む権限がありません。");
            break;
        case EROFS:
            text = QStringLiteral("読み取り専用の場所には書き込めません。");
            break;
        case ENOENT:
        case ENOTDIR:
            text = QStringLiteral("フォルダーが見つかりません。");
            break;
        case EIO:
            text = QStringLiteral("ディスクの読み書きでエラーが起きました。");
            break;
        default:
            break;
    }
    const QString system = QString::fromLocal8Bit(std::strerror(err));
    return text.isEmpty() ? system : text + QStringLiteral("(") + system + QStringLiteral(")");
}

namespace {
bool makeFolder(const QString& folder, bool tightenExisting)
{
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    const QString parent = QFileInfo(clean).path();
    if (parent != clean && !QFileInfo(parent).isDir() && !makeFolder(parent, tightenExisting)) return false;
    const QByteArray name = QFile::encodeName(clean);
    if (::mkdir(name.constData(), 0700) == 0) return true;
    if (errno != EEXIST || !QFileInfo(clean).isDir()) return false;
    if (!tightenExisting) return true;
    // Only a folder of this user is tightened; the mode of another's is not ours to change.
    struct stat st;
    if (::stat(name.constData(), &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 077))
        ::chmod(name.constData(), 0700);
    return true;
}
}  // namespace

bool MakePrivateFolder(const QString& folder)
{
    return makeFolder(folder, true);
}

bool MakeFolderPrivateIfNew(const QString& folder)
{
    return makeFolder(folder, false);
}

void MakePrivateFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::stat(name.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 077))
        ::chmod(name.constData(), 0600);
}

bool WriteAllBytes(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

bool SyncFolder(const QString& folder)
{
    return syncFolder(QFile::encodeName(folder));
}

bool SyncFolderOf(const QString& path)
{
    return syncFolder(QFile::encodeName(QFileInfo(path).absolutePath()));
}

bool IsAtomicTemporaryName(const QString& fileName)
{
    const QByteArray n = QFile::encodeName(fileName);
    return isTemporaryName(n.constData(), size_t(n.size()));
}

int RemoveStaleTemporaries(const QString& folder, const QString& target)
{
    const QByteArray dirName = QFile::encodeName(folder);
    const QByteArray prefix = target.isEmpty() ? QByteArray(".") : "." + QFile::encodeName(target) + ".";
    DIR* dir = ::opendir(dirName.constData());
    if (!dir) return 0;
    QList<QByteArray> stale;
    while (const dirent* e = ::readdir(dir)) {
        const size_t n = std::strlen(e->d_name);
        if (!isTemporaryName(e->d_name, n) || std::strncmp(e->d_name, prefix.constData(), prefix.size()) != 0)
            continue;
        if (!target.isEmpty() && n != size_t(prefix.size()) + 6) continue;
        stale << QByteArray(e->d_name, qsizetype(n));
    }
    ::closedir(dir);
    int removed = 0;
    for (const QByteArray& name : stale) removed += removeIfStale(dirName + '/' + name) ? 1 : 0;
    return removed;
}

bool RemoveOwnFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    return ::lstat(name.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
           ::unlink(name.constData()) == 0;
}
