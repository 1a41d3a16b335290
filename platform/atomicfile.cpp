// Atomic whole-file writes over POSIX: temporary file, checked writes, fsync, rename, fsync of the
// folder. Not QSaveFile: on a full disk its buffered write failed unseen and commit() still put the
// empty temporary file in place of the settings, and it never syncs the folder.
#include "platform/atomicfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/errors.h"
#include "platform/filetree.h"
#include "platform/readfile.h"

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
    tmp.fd = CreateTemporaryFile(target, tmp.name);
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
    RecordTemporaryFolder(QFileInfo(partial).absolutePath());
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

bool MakePrivateFolder(const QString& folder)
{
    bool made = false;
    if (!MakeFolder(folder, 0700, &made)) return false;
    // Only a folder of this user is tightened; the mode of another's is not ours to change.
    const QByteArray name = QFile::encodeName(QDir::cleanPath(QDir(folder).absolutePath()));
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 077))
        ::fchmod(fd, 0700);
    if (fd >= 0) ::close(fd);
    return true;
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

namespace {

constexpr size_t kMarkerSize = sizeof TemporaryMarker - 1;

bool isTemporaryName(const char* name, size_t n)
{
    return n > kMarkerSize && name[0] == '.' && ::memmem(name + 1, n - 1, TemporaryMarker, kMarkerSize);
}

// Opens folder itself, a link in its place not followed.
int openFolder(const QString& folder)
{
    return ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

struct TRecord {
    QString file;
    QSet<QString> folders;
};

TRecord& record()
{
    static TRecord r;
    return r;
}

bool isOlderTemporaryName(const QByteArray& n)
{
    // ".x.ABCDEF": a dot, the target's name, a dot and the six characters mkostemp put in.
    if (n.size() < 9 || n[0] != '.' || n[n.size() - 7] != '.') return false;
    for (qsizetype i = n.size() - 6; i < n.size(); ++i) {
        const char c = n[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
    }
    return true;
}

// The leading bytes of the file open as fd.
QByteArray headOf(int fd, qint64 size)
{
    QByteArray head(int(size), '\0');
    return ::pread(fd, head.data(), size_t(size), 0) == ssize_t(size) ? head : QByteArray();
}

// Whether the files open as a and b both hold the same size bytes, read in blocks.
bool sameContents(int a, int b, qint64 size)
{
    constexpr qint64 kBlock = 64 * 1024;
    QByteArray x(int(kBlock), '\0'), y(int(kBlock), '\0');
    for (qint64 at = 0; at < size; at += kBlock) {
        const qint64 n = std::min(kBlock, size - at);
        if (::pread(a, x.data(), size_t(n), at) != ssize_t(n) ||
            ::pread(b, y.data(), size_t(n), at) != ssize_t(n) ||
            std::memcmp(x.constData(), y.constData(), size_t(n)) != 0)
            return false;
    }
    return true;
}

}  // namespace

QString TemporaryPrefix(const QString& fileName)
{
    return QLatin1Char('.') + fileName + QLatin1String(TemporaryMarker);
}

QString PartialFileName(const QString& target)
{
    const QFileInfo info(target);
    return info.absolutePath() + QLatin1Char('/') + TemporaryPrefix(info.fileName()) + QStringLiteral("part");
}

bool IsTemporaryName(const QString& fileName)
{
    const QByteArray n = QFile::encodeName(fileName);
    return isTemporaryName(n.constData(), size_t(n.size()));
}

int CreateTemporaryFile(const QString& target, QByteArray& name)
{
    const QFileInfo info(target);
    RecordTemporaryFolder(info.absolutePath());
    name = QFile::encodeName(info.absolutePath() + QLatin1Char('/') + TemporaryPrefix(info.fileName()) +
                             QStringLiteral("XXXXXX"));
    return ::mkostemp(name.data(), O_CLOEXEC);  // mode 0600
}

QString CreateTemporaryFolder(const QString& parent, const QString& purpose)
{
    const QString clean = QDir::cleanPath(QDir(parent).absolutePath());
    RecordTemporaryFolder(clean);
    QByteArray name =
        QFile::encodeName(clean + QLatin1Char('/') + TemporaryPrefix(purpose) + QStringLiteral("XXXXXX"));
    if (!::mkdtemp(name.data())) return {};  // mode 0700
    return QFile::decodeName(name);
}

int RemoveStaleTemporaries(const QString& folder, const QString& target)
{
    const QByteArray dirName = QFile::encodeName(folder);
    const QByteArray prefix = target.isEmpty() ? QByteArray() : QFile::encodeName(TemporaryPrefix(target));
    const int dirFd = openFolder(folder);
    if (dirFd < 0) return 0;
    int removed = 0;
    for (const QByteArray& name : NamesInFolder(dirFd)) {
        if (!isTemporaryName(name.constData(), size_t(name.size())) || !name.startsWith(prefix)) continue;
        struct stat st;
        if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(st.st_mode))
            removed += removeIfStale(dirName + '/' + name) ? 1 : 0;
        else if (S_ISDIR(st.st_mode) && target.isEmpty() && st.st_uid == ::geteuid())
            removed += RemoveTree(QFile::decodeName(dirName + '/' + name), TreeOwner::Marked) ? 1 : 0;
    }
    ::close(dirFd);
    return removed;
}

void SetTemporaryRecord(const QString& recordFile)
{
    record().file = recordFile;
    record().folders.clear();
}

QString TemporaryRecordFile(const QString& root)
{
    return QDir::cleanPath(root) + QLatin1Char('/') + TemporaryPrefix(QStringLiteral("folders")) +
           QStringLiteral("list");
}

void RecordTemporaryFolder(const QString& folder)
{
    TRecord& r = record();
    if (r.file.isEmpty()) return;
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    if (r.folders.contains(clean)) return;
    const QByteArray line = QFile::encodeName(clean) + '\n';
    // A name with a line end cannot be listed; the folder's own write removes its leftovers.
    if (line.indexOf('\n') != line.size() - 1) return;
    const int fd = ::open(QFile::encodeName(r.file).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return;
    // One short write with O_APPEND: a stop leaves the line whole or absent.
    if (WriteAllBytes(fd, line.constData(), line.size())) r.folders.insert(clean);
    ::close(fd);
}

int RemoveRecordedTemporaries(const QString& root)
{
    const QString file = TemporaryRecordFile(root);
    const QByteArray name = QFile::encodeName(file);
    QString reason;
    // A few folders a run: anything far larger is not the program's record.
    const int fd = OpenForReading(file, ReadKind::List, reason);
    if (fd < 0) return 0;
    struct stat st;
    QByteArray text;
    const bool ours = ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid();
    if (ours) text = headOf(fd, st.st_size);
    ::close(fd);
    if (!ours) return 0;
    int removed = 0;
    QSet<QByteArray> seen;
    for (const QByteArray& line : text.split('\n')) {
        if (!line.startsWith('/') || seen.contains(line)) continue;
        seen.insert(line);
        removed += RemoveStaleTemporaries(QFile::decodeName(line));
    }
    ::unlink(name.constData());
    return removed;
}

int RemoveOlderTemporaries(const QString& folder)
{
    const int dirFd = openFolder(folder);
    if (dirFd < 0) return 0;
    int removed = 0;
    for (const QByteArray& name : NamesInFolder(dirFd)) {
        if (!isOlderTemporaryName(name)) continue;
        const QByteArray target = name.mid(1, name.size() - 8);
        if (!target.toLower().endsWith(".dat")) continue;
        // Both read as year files are: plain files no larger than one could be, no link followed.
        QString unread;
        const int tfd = OpenForReadingAt(dirFd, target, ReadKind::Data, unread);
        if (tfd < 0) continue;
        const int fd = OpenForReadingAt(dirFd, name, ReadKind::Data, unread);
        struct stat ts, st;
        bool stale = fd >= 0 && ::fstat(tfd, &ts) == 0 && ::fstat(fd, &st) == 0 && ts.st_uid == ::geteuid() &&
                     st.st_uid == ::geteuid() && (st.st_mode & 07777) == 0600 && st.st_size == ts.st_size &&
                     st.st_size > 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        // Size, first bytes, mode and owner are those of a copy the user made with cp as well:
        // only a file that holds nothing its year file does not is removed.
        if (stale) stale = sameContents(fd, tfd, st.st_size) && ::unlinkat(dirFd, name.constData(), 0) == 0;
        if (fd >= 0) ::close(fd);
        ::close(tfd);
        removed += stale ? 1 : 0;
    }
    ::close(dirFd);
    return removed;
}
