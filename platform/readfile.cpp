// The checked open of a file to read: a name, a kind, and what can be planted in its place.
#include "platform/readfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QStringList>
#include <cerrno>

#include "platform/atomicfile.h"
#include "platform/errors.h"

namespace {

bool followsLinks(ReadKind kind)
{
    return kind == ReadKind::Settings || kind == ReadKind::Table || kind == ReadKind::Chosen;
}

QString tooLargeReason(qint64 size, qint64 cap)
{
    return QStringLiteral(
               "ファイルが大きすぎます（%1 バイトあります。このファイルとして読めるのは %2 "
               "バイトまでです）。")
        .arg(size)
        .arg(cap);
}

}  // namespace

QString NotRegularReason(unsigned mode)
{
    if (S_ISREG(mode)) return {};
    if (S_ISLNK(mode)) return QStringLiteral("シンボリックリンクなので読み込みません。");
    if (S_ISFIFO(mode)) return QStringLiteral("名前付きパイプなので読み込みません。");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("デバイスなので読み込みません。");
    if (S_ISSOCK(mode)) return QStringLiteral("ソケットなので読み込みません。");
    if (S_ISDIR(mode)) return QStringLiteral("ファイルではなくフォルダーです。");
    return QStringLiteral("通常のファイルではありません。");
}

TFd::~TFd()
{
    if (fd >= 0) ::close(fd);
}

namespace {

// -1 with errno err and its reason.
int failWith(int err, QString& reason)
{
    reason = SystemReadReason(err);
    errno = err;
    return -1;
}

// -1 for what is not a regular file (mode), with its reason and errno: EISDIR for a folder, ELOOP
// for a link, EINVAL for anything else.
int refuseNotRegular(unsigned mode, QString& reason)
{
    if (S_ISDIR(mode)) return failWith(EISDIR, reason);
    reason = NotRegularReason(mode);
    errno = S_ISLNK(mode) ? ELOOP : EINVAL;
    return -1;
}

// Opens name in the folder open as dirFd (AT_FDCWD: the current folder, or name a whole path) by
// the rules of OpenForReading, a link at name followed only when follow, at most cap bytes.
int openChecked(int dirFd, const QByteArray& name, bool follow, qint64 cap, QString& reason)
{
    // What is not a regular file is not even opened: the open of a device may act (a tape
    // rewinds). What is put in its place meanwhile is caught by the fstat below.
    struct stat pre;
    if (::fstatat(dirFd, name.constData(), &pre, follow ? 0 : AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISREG(pre.st_mode))
        return refuseNotRegular(pre.st_mode, reason);
    // Non-blocking: the open of a FIFO with no writer would wait for one forever.
    TFd f(::openat(dirFd, name.constData(),
                   O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW)));
    if (f.fd < 0) {
        const int err = errno;
        struct stat st;
        if (err == ELOOP && ::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(st.st_mode))
            return refuseNotRegular(st.st_mode, reason);
        return failWith(err, reason);
    }
    struct stat st;
    if (::fstat(f.fd, &st) != 0) return failWith(errno, reason);
    if (!S_ISREG(st.st_mode)) return refuseNotRegular(st.st_mode, reason);
    if (st.st_size > cap) {
        reason = tooLargeReason(st.st_size, cap);
        errno = EFBIG;
        return -1;
    }
    const int flags = ::fcntl(f.fd, F_GETFL);
    if (flags < 0 || ::fcntl(f.fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return failWith(errno, reason);
    return f.release();
}

}  // namespace

int OpenForReading(const QString& path, ReadKind kind, QString& reason)
{
    return openChecked(AT_FDCWD, QFile::encodeName(path), followsLinks(kind), MaxReadSize(kind), reason);
}

int OpenForReadingAt(int dirFd, const QByteArray& name, ReadKind kind, QString& reason)
{
    return openChecked(dirFd, name, followsLinks(kind), MaxReadSize(kind), reason);
}

int OpenBelowForReading(const QString& base, const QString& rel, ReadKind kind, QString& reason)
{
    const QStringList parts = rel.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty()) return failWith(EISDIR, reason);
    // base itself is the caller's (a folder the user chose, a link to another disk his to have).
    TFd dir(::open(QFile::encodeName(base).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (qsizetype k = 0; dir.fd >= 0 && k + 1 < parts.size(); ++k) {
        const QByteArray part = QFile::encodeName(parts[k]);
        struct stat st;
        // A link or a pipe in a folder's place is told as what it is, and never opened.
        if (::fstatat(dir.fd, part.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode)) {
            reason = S_ISREG(st.st_mode) ? SystemReadReason(ENOTDIR) : NotRegularReason(st.st_mode);
            errno = S_ISLNK(st.st_mode) ? ELOOP : ENOTDIR;
            return -1;
        }
        const int next = ::openat(dir.fd, part.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int err = errno;
        ::close(dir.fd);
        dir.fd = next;
        errno = err;
    }
    if (dir.fd < 0) return failWith(errno, reason);
    return openChecked(dir.fd, QFile::encodeName(parts.last()), false, MaxReadSize(kind), reason);
}

int OpenForReadingOrThrow(const QString& path, ReadKind kind, const QString& what)
{
    QString reason;
    const int fd = OpenForReading(path, kind, reason);
    if (fd < 0) throw IoError::failed(what, QDir::toNativeSeparators(path), reason);
    return fd;
}

bool OpenReadFile(QFile& file, const QString& path, ReadKind kind, QString& reason)
{
    const int fd = OpenForReading(path, kind, reason);
    if (fd < 0) return false;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        reason = FileReadReason(file);
        errno = EIO;
        return false;
    }
    return true;
}

void OpenReadFileOrThrow(QFile& file, const QString& path, ReadKind kind, const QString& what)
{
    QString reason;
    if (!OpenReadFile(file, path, kind, reason))
        throw IoError::failed(what, QDir::toNativeSeparators(path), reason);
}

bool ReadWholeFile(const QString& path, ReadKind kind, QByteArray& data, QString& reason)
{
    TFd f(OpenForReading(path, kind, reason));
    if (f.fd < 0) return false;
    struct stat st;
    const qint64 cap = MaxReadSize(kind);
    QByteArray out;
    // Sized by what fstat says, read to the end: a file that grows meanwhile is held to the cap.
    out.reserve(::fstat(f.fd, &st) == 0 ? qsizetype(st.st_size) : 0);
    char block[65536];
    for (;;) {
        const ssize_t n = ::read(f.fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failWith(errno, reason), false;
        if (n == 0) break;
        if (out.size() + n > cap) {
            reason = tooLargeReason(out.size() + n, cap);
            errno = EFBIG;
            return false;
        }
        out.append(block, n);
    }
    data = out.isNull() ? QByteArray("") : out;
    return true;
}

QByteArray ReadWholeFileOrThrow(const QString& path, ReadKind kind, const QString& what)
{
    QByteArray data;
    QString reason;
    if (!ReadWholeFile(path, kind, data, reason))
        throw IoError::failed(what, QDir::toNativeSeparators(path), reason);
    return data;
}
