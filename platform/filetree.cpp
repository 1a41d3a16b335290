// Trees of files without following links: removing, making folders, staging, copying in blocks.
#include "platform/filetree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/atomicfile.h"
#include "platform/errors.h"

namespace {

struct TRemoval {
    TreeOwner owner;
    QString why;
    QString at;  // the folder being removed, for the reason
    void failed(const QString& text)
    {
        if (why.isEmpty()) why = QDir::toNativeSeparators(at) + QLatin1Char('\n') + text;
    }
};

bool removeEntryAt(int parentFd, const QByteArray& name, TRemoval& r, const QByteArray& last);

// Removes the folder name in parentFd with everything in it, last (when not empty) after every
// other entry of it.
bool removeFolderAt(int parentFd, const QByteArray& name, TRemoval& r, const QByteArray& last)
{
    const int fd = ::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        // Put in a folder's place meanwhile: whatever it is now goes itself.
        if (errno == ENOTDIR || errno == ELOOP) return removeEntryAt(parentFd, name, r, {});
        r.failed(SystemReason(errno));
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || (r.owner != TreeOwner::Any && st.st_uid != ::geteuid())) {
        ::close(fd);
        r.failed(QStringLiteral("別の利用者のフォルダー %1 があるため削除しません。")
                     .arg(QFile::decodeName(name)));
        return false;
    }
    bool ok = true;
    QList<QByteArray> names = NamesInFolder(fd);
    const bool hasLast = names.removeAll(last) > 0;
    for (const QByteArray& entry : names) ok = removeEntryAt(fd, entry, r, {}) && ok;
    // Kept while anything else stayed: it tells the next run what the rest is.
    if (hasLast) ok = ok && removeEntryAt(fd, last, r, {});
    ::close(fd);
    if (::unlinkat(parentFd, name.constData(), AT_REMOVEDIR) != 0) {
        if (ok) r.failed(SystemReason(errno));
        return false;
    }
    return ok;
}

bool removeEntryAt(int parentFd, const QByteArray& name, TRemoval& r, const QByteArray& last)
{
    struct stat st;
    if (::fstatat(parentFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    if (S_ISDIR(st.st_mode)) return removeFolderAt(parentFd, name, r, last);
    if (::unlinkat(parentFd, name.constData(), 0) != 0 && errno != ENOENT) {
        r.failed(SystemReason(errno));
        return false;
    }
    return true;
}

// Opens the folder parent. The folders above it are the caller's path, a link among them his to
// have; parent's own name is followed only when it is a link of this user or of the
// administrator (as the kernel protects links in shared folders): in a folder others may write,
// another account could swap it for a link between a check and the removal.
int openParent(const QString& parent)
{
    const QFileInfo p(parent);
    const QByteArray name = QFile::encodeName(p.fileName());
    if (name.isEmpty())
        return ::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int above = ::open(QFile::encodeName(p.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (above < 0) return -1;
    struct stat st;
    int fd = -1;
    if (::fstatat(above, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
        if (st.st_uid == ::geteuid() || st.st_uid == 0)
            fd = ::openat(above, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        else
            errno = ELOOP;
    } else {
        fd = ::openat(above, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    const int err = errno;
    ::close(above);
    errno = err;
    return fd;
}

bool removeTree(const QString& path, TreeOwner owner, QString* reason, const QString& last)
{
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    const QFileInfo info(clean);
    TRemoval r{owner, {}, clean};
    const auto refuse = [&](const QString& text) {
        r.failed(text);
        if (reason) *reason = r.why;
        return false;
    };
    if (path.isEmpty() || info.fileName().isEmpty()) return refuse(QStringLiteral("削除できない場所です。"));
    const QByteArray name = QFile::encodeName(info.fileName());
    if (owner == TreeOwner::Marked && !IsTemporaryName(info.fileName()))
        return refuse(QStringLiteral("プログラムの作業用フォルダーではないため削除しません。"));
    const int parentFd = openParent(info.path());
    if (parentFd < 0) {
        if (errno == ENOENT) return true;
        return refuse(SystemReason(errno));
    }
    struct stat st;
    bool ok = true;
    if (::fstatat(parentFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        ok = errno == ENOENT || (r.failed(SystemReason(errno)), false);
    } else if (owner != TreeOwner::Any && st.st_uid != ::geteuid()) {
        r.failed(QStringLiteral("別の利用者のものなので削除しません。"));
        ok = false;
    } else {
        ok = removeEntryAt(parentFd, name, r, QFile::encodeName(last));
    }
    ::close(parentFd);
    if (!ok && reason) *reason = r.why;
    return ok;
}

// Sets the mode of the folder just made to exactly mode (mkdir narrows it by the umask).
bool setMode(const QByteArray& folder, mode_t mode)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    const bool ok = ::fstat(fd, &st) == 0 && ((st.st_mode & 07777) == mode || ::fchmod(fd, mode) == 0);
    const int err = errno;
    ::close(fd);
    errno = err;
    return ok;
}

}  // namespace

QList<QByteArray> NamesInFolder(int dirFd)
{
    QList<QByteArray> names;
    const int fd = ::dup(dirFd);
    if (fd < 0) return names;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return names;
    }
    ::rewinddir(dir);
    while (const dirent* e = ::readdir(dir))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names << QByteArray(e->d_name);
    ::closedir(dir);
    return names;
}

QString WithSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

bool RemoveTree(const QString& path, TreeOwner owner, QString* reason)
{
    return removeTree(path, owner, reason, {});
}

bool RemoveTreeLast(const QString& path, TreeOwner owner, const QString& last, QString* reason)
{
    return removeTree(path, owner, reason, last);
}

bool MakeFolder(const QString& folder, mode_t mode, bool* made)
{
    if (made) *made = false;
    if (folder.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    const QByteArray name = QFile::encodeName(clean);
    const auto there = [&] {
        struct stat st;
        if (::lstat(name.constData(), &st) != 0) return false;
        errno = S_ISLNK(st.st_mode) ? ELOOP : EEXIST;
        return S_ISDIR(st.st_mode);
    };
    if (there()) return true;
    // ENOTDIR: a file at a parent's name, told below as mkdir tells it.
    if (errno != ENOENT && errno != ENOTDIR) return false;
    const QString parent = QFileInfo(clean).path();
    struct stat ps;
    // The folders above are the user's path: a link among them is his to have.
    if (parent != clean && ::stat(QFile::encodeName(parent).constData(), &ps) != 0) {
        if ((errno != ENOENT && errno != ENOTDIR) || !MakeFolder(parent, mode)) return false;
    } else if (parent != clean && !S_ISDIR(ps.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    if (::mkdir(name.constData(), mode) != 0) {
        if (errno != EEXIST) return false;
        return there();
    }
    if (made) *made = true;
    return setMode(name, mode);
}

TStageFolder::TStageFolder(const QString& parent, const QString& purpose)
{
    const QString made = CreateTemporaryFolder(parent, purpose);
    if (made.isEmpty())
        err_ = errno;
    else
        path_ = made + QLatin1Char('/');
}

TStageFolder TStageFolder::exactly(const QString& path, mode_t mode)
{
    TStageFolder stage;
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    const QByteArray name = QFile::encodeName(clean);
    if (::mkdir(name.constData(), mode) != 0 || !setMode(name, mode))
        stage.err_ = errno;
    else
        stage.path_ = clean + QLatin1Char('/');
    return stage;
}

TStageFolder::TStageFolder(TStageFolder&& other) noexcept
    : path_(std::move(other.path_)),
      keepIfHolds_(std::move(other.keepIfHolds_)),
      last_(std::move(other.last_)),
      err_(other.err_),
      kept_(other.kept_)
{
    other.path_.clear();
}

TStageFolder::~TStageFolder()
{
    remove();
}

bool TStageFolder::remove(QString* reason)
{
    if (path_.isEmpty() || kept_) return true;
    struct stat st;
    if (!keepIfHolds_.isEmpty() && ::lstat(QFile::encodeName(path_ + keepIfHolds_).constData(), &st) == 0)
        return true;
    const bool ok = removeTree(path_, TreeOwner::Mine, reason, last_);
    if (ok) path_.clear();
    return ok;
}

TBlockCopy CopyToNewFile(int in, const QString& to, qint64 maxSize, mode_t mode)
{
    const QByteArray target = QFile::encodeName(to);
    TBlockCopy r;
    const int out = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (out < 0) return {TBlockCopy::WriteFailed, errno};
    std::vector<char> block(256 * 1024);
    qint64 total = 0;
    if (::fchmod(out, mode) != 0) r = {TBlockCopy::WriteFailed, errno};
    while (r.ok()) {
        const ssize_t n = ::read(in, block.data(), block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            r = {TBlockCopy::ReadFailed, errno};
            break;
        }
        if (n == 0) break;
        // A file that grows while it is copied is held to the same cap.
        total += n;
        if (maxSize >= 0 && total > maxSize) {
            r = {TBlockCopy::TooLarge, EFBIG};
            break;
        }
        if (!WriteAllBytes(out, block.data(), n)) r = {TBlockCopy::WriteFailed, errno};
    }
    if (r.ok() && ::fsync(out) != 0) r = {TBlockCopy::WriteFailed, errno};
    if (::close(out) != 0 && r.ok()) r = {TBlockCopy::WriteFailed, errno};
    if (!r.ok()) ::unlink(target.constData());
    return r;
}
