// The checked open of a file to read: a name, a kind, and what can be planted in its place.
#include "platform/readfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <cerrno>

#include "platform/atomicfile.h"
#include "platform/errors.h"

namespace {

bool followsLinks(ReadKind kind)
{
    return kind == ReadKind::Settings || kind == ReadKind::Chosen;
}

QString tooLargeReason(qint64 size, ReadKind kind)
{
    return QStringLiteral(
               "ファイルが大きすぎます（%1 バイトあります。このファイルとして読めるのは %2 "
               "バイトまでです）。")
        .arg(size)
        .arg(MaxReadSize(kind));
}

// The descriptor closed unless released.
struct TFd {
    int fd = -1;
    ~TFd()
    {
        if (fd >= 0) ::close(fd);
    }
    int release()
    {
        const int f = fd;
        fd = -1;
        return f;
    }
};

}  // namespace

qint64 MaxReadSize(ReadKind kind)
{
    switch (kind) {
        case ReadKind::Data:
            return qint64(16) << 20;
        case ReadKind::Settings:
            return qint64(4) << 20;
        case ReadKind::Journal:
            return qint64(16) << 20;
        case ReadKind::Table:
            return qint64(16) << 20;
        case ReadKind::Log:
            return qint64(64) << 20;
        case ReadKind::Checksum:
            return qint64(64) << 10;
        case ReadKind::List:
            return qint64(1) << 20;
        case ReadKind::Chosen:
            return qint64(64) << 20;
        case ReadKind::Archive:
            return qint64(256) << 20;
    }
    return 0;
}

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

int OpenForReading(const QString& path, ReadKind kind, QString& reason)
{
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking: the open of a FIFO with no writer would wait for one forever.
    TFd f{::open(name.constData(),
                 O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (followsLinks(kind) ? 0 : O_NOFOLLOW))};
    if (f.fd < 0) {
        const int err = errno;
        struct stat st;
        if (err == ELOOP && ::lstat(name.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            reason = NotRegularReason(st.st_mode);
        else
            reason = SystemReadReason(err);
        errno = err;
        return -1;
    }
    struct stat st;
    if (::fstat(f.fd, &st) != 0) {
        const int err = errno;
        reason = SystemReadReason(err);
        errno = err;
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = NotRegularReason(st.st_mode);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    if (st.st_size > MaxReadSize(kind)) {
        reason = tooLargeReason(st.st_size, kind);
        errno = EFBIG;
        return -1;
    }
    const int flags = ::fcntl(f.fd, F_GETFL);
    if (flags < 0 || ::fcntl(f.fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int err = errno;
        reason = SystemReadReason(err);
        errno = err;
        return -1;
    }
    return f.release();
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
        reason = file.errorString();
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
    TFd f{OpenForReading(path, kind, reason)};
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
        if (n < 0) {
            const int err = errno;
            reason = SystemReadReason(err);
            errno = err;
            return false;
        }
        if (n == 0) break;
        if (out.size() + n > cap) {
            reason = tooLargeReason(out.size() + n, kind);
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
