// The zip archive service over libzip.
#include "services/zip.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/filetree.h"
#include "platform/readfile.h"

namespace {

// The folder's files below it, in a fixed order, without following links.
QStringList filesBelow(const QString& folder, const QString& skip)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        if (QFileInfo(f).canonicalFilePath() != skip) files << f;
    }
    files.sort();
    return files;
}

// A name that stays below the target folder once unpacked.
bool safeName(const QString& name)
{
    if (name.isEmpty() || name.startsWith(u'/') || name.contains(u'\\') || name.contains(QChar(0)) ||
        (name.size() > 1 && name[1] == u':'))
        return false;
    for (const QString& part : name.split(u'/'))
        if (part == QStringLiteral("..")) return false;
    return true;
}

bool isSymlink(zip_t* za, zip_uint64_t i)
{
    zip_uint8_t opsys = 0;
    zip_uint32_t attr = 0;
    if (zip_file_get_external_attributes(za, i, 0, &opsys, &attr) != 0) return true;
    return opsys == ZIP_OPSYS_UNIX && ((attr >> 16) & S_IFMT) == S_IFLNK;
}

// The results of a full disk and of any other failure of the file system.
int diskResult(int err)
{
    return err == ENOSPC || err == EDQUOT ? kZipDiskFull : kZipFailed;
}

constexpr size_t kBlock = 256 * 1024;
constexpr int kBadData = 1;  // an entry that does not unpack to what it declares (CRC, inflate, size)

// One entry streamed into path (0600) in blocks, read to its end so that libzip compares the
// CRC-32; it may not grow past its declared size nor the total past the limit.
int streamEntry(zip_file_t* f, const QString& path, zip_uint64_t declared, const TUnzipLimits& limits,
                qint64& total, std::vector<char>& block)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return diskResult(errno);
    zip_uint64_t got = 0;
    int result = kZipOk;
    for (;;) {
        const zip_int64_t r = zip_fread(f, block.data(), block.size());
        if (r < 0) {
            const int ze = zip_error_code_zip(zip_file_get_error(f));
            result = ze == ZIP_ER_READ || ze == ZIP_ER_MEMORY ? kZipFailed : kBadData;
            break;
        }
        if (r == 0) {
            if (got != declared) result = kBadData;
            break;
        }
        got += zip_uint64_t(r);
        total += r;
        if (got > declared) {
            result = kBadData;
            break;
        }
        if (total > limits.maxTotal) {
            result = kZipTooLarge;
            break;
        }
        if (!WriteAllBytes(fd, block.data(), r)) {
            result = diskResult(errno);
            break;
        }
    }
    if (result == kZipOk && ::fsync(fd) != 0) result = diskResult(errno);
    if (::close(fd) != 0 && result == kZipOk) result = diskResult(errno);
    return result;
}

// The unpacked files into place, each renamed over what is there (replaced whole, never moved
// aside: the stage, which the next start removes with whatever is in it, never holds a file the
// user had, so nothing is journalled for a later run). A failed rename puts back the files that
// had nowhere been yet and gives its errno.
int placeAll(const QList<QPair<QByteArray, QByteArray>>& moves, const QList<bool>& fresh)
{
    for (qsizetype i = 0; i < moves.size(); ++i) {
        if (::rename(moves[i].first.constData(), moves[i].second.constData()) == 0) continue;
        const int err = errno;
        for (qsizetype j = i - 1; j >= 0; --j)
            if (fresh[j]) ::rename(moves[j].second.constData(), moves[j].first.constData());
        return err;
    }
    return 0;
}

struct ZipCloser {
    void operator()(zip_t* za) const { zip_discard(za); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipCloser>;

// The archive opened to read by the reader's rules (no link at its name, never waiting on a pipe
// put there, a regular file of at most an archive's size); null otherwise, missing set when
// nothing (or a folder) is at its name.
ZipPtr openArchive(const QString& archive, int flags, bool& missing)
{
    QString unread;
    const int fd = OpenForReading(archive, ReadKind::Archive, unread);
    missing = fd < 0 && (errno == ENOENT || errno == EISDIR);
    if (fd < 0) return nullptr;
    int err = 0;
    // On success the archive owns the descriptor.
    ZipPtr za(zip_fdopen(fd, flags, &err));
    if (!za) ::close(fd);
    return za;
}

}  // namespace

int ZipFolder(const QString& archive, const QString& folder, const QString& password)
{
    const QFileInfo dir(folder);
    if (!dir.isDir()) return kZipNoSource;
    const QString root = QDir::cleanPath(dir.absoluteFilePath());
    const QString base = QFileInfo(root).fileName();
    const QString skip = QFileInfo(archive).canonicalFilePath();
    const QStringList files = filesBelow(root, skip);
    if (files.isEmpty()) return kZipEmptyFolder;

    // libzip writes its own temporary "<part>.XXXXXX" beside it, which carries the marker too.
    const QString part = PartialFileName(archive);
    RecordTemporaryFolder(QFileInfo(part).absolutePath());
    QFile::remove(part);
    int err = 0;
    zip_t* za = zip_open(QFile::encodeName(part).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!za) return kZipFailed;
    const QByteArray pw = password.toUtf8();
    bool ok = true;
    for (const QString& f : files) {
        const QByteArray name = (base + u'/' + QDir(root).relativeFilePath(f)).toUtf8();
        zip_source_t* src = zip_source_file(za, QFile::encodeName(f).constData(), 0, -1);
        const zip_int64_t i = src ? zip_file_add(za, name.constData(), src, ZIP_FL_ENC_UTF_8) : -1;
        if (i < 0) {
            if (src) zip_source_free(src);
            ok = false;
            break;
        }
        zip_file_set_mtime(za, zip_uint64_t(i), QFileInfo(f).lastModified().toSecsSinceEpoch(), 0);
        if (!pw.isEmpty() &&
            zip_file_set_encryption(za, zip_uint64_t(i), ZIP_EM_TRAD_PKWARE, pw.constData()) != 0) {
            ok = false;
            break;
        }
    }
    // A failed close leaves the archive open, to be discarded as after a failed addition.
    if (!ok || zip_close(za) != 0) {
        const int sys = zip_error_code_system(zip_get_error(za));
        const bool full =
            zip_error_system_type(zip_get_error(za)) == ZIP_ET_SYS && diskResult(sys) == kZipDiskFull;
        zip_discard(za);
        QFile::remove(part);
        return full ? kZipDiskFull : kZipFailed;
    }
    try {
        CommitFileAtomic(part, archive, QStringLiteral("圧縮ファイルの書き込み"));
    } catch (const AppError&) {
        return diskResult(errno);
    }
    return kZipOk;
}

QStringList ZipEntryNames(const QString& archive)
{
    bool missing = false;
    const ZipPtr za = openArchive(archive, ZIP_RDONLY, missing);
    QStringList names;
    if (!za) return names;
    const zip_int64_t n = zip_get_num_entries(za.get(), 0);
    for (zip_int64_t i = 0; i < n; ++i)
        if (const char* name = zip_get_name(za.get(), zip_uint64_t(i), 0)) names << QString::fromUtf8(name);
    return names;
}

int UnzipFile(const QString& archive, const QString& folder, const QString& password)
{
    return UnzipFile(archive, folder, password, TUnzipLimits());
}

int UnzipFile(const QString& archive, const QString& folder, const QString& password,
              const TUnzipLimits& limits)
{
    bool missing = false;
    const ZipPtr za = openArchive(archive, ZIP_RDONLY | ZIP_CHECKCONS, missing);
    if (!za) return missing ? kZipNoSource : kZipFailed;
    const QByteArray pw = password.toUtf8();
    if (!pw.isEmpty()) zip_set_default_password(za.get(), pw.constData());
    const zip_int64_t n = zip_get_num_entries(za.get(), 0);
    if (n > limits.maxEntries) return kZipTooLarge;
    QStringList names;
    std::vector<zip_stat_t> stats;
    qint64 declared = 0;
    for (zip_int64_t i = 0; i < n; ++i) {
        const char* name = zip_get_name(za.get(), zip_uint64_t(i), 0);
        if (!name || !safeName(QString::fromUtf8(name)) || isSymlink(za.get(), zip_uint64_t(i)))
            return kZipFailed;
        names << QString::fromUtf8(name);
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za.get(), zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
            return kZipFailed;
        // With a password every file must be encrypted: one in the clear was not packed with
        // that password, whoever put it there, and would be taken unchecked. A folder entry
        // (zip tools never encrypt those) only makes a folder; its data is never read.
        if (!pw.isEmpty() && !names.last().endsWith(u'/') &&
            (!(st.valid & ZIP_STAT_ENCRYPTION_METHOD) || st.encryption_method == ZIP_EM_NONE))
            return kZipWrongPassword;
        // The sizes the archive declares decide before anything is read.
        if (st.size > zip_uint64_t(limits.maxEntry)) return kZipTooLarge;
        declared += qint64(st.size);
        if (declared > limits.maxTotal) return kZipTooLarge;
        stats.push_back(st);
    }
    const QString root = QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) + u'/';
    if (!MakeFolder(root)) return diskResult(errno);
    TStageFolder staging(root, QStringLiteral("unzip"));
    if (!staging.ok()) return diskResult(staging.error());

    // Every entry into the staging folder first, read to its end: a wrong password or a damaged
    // entry is found before anything is in place.
    std::vector<char> block(kBlock);
    qint64 total = 0;
    bool passwordProven = false;
    for (int i = 0; i < names.size(); ++i) {
        const QString staged = staging.path() + QStringLiteral("new/") + names[i];
        if (names[i].endsWith(u'/')) {
            if (!MakeFolder(staged)) return diskResult(errno);
            continue;
        }
        if (!MakeFolder(QFileInfo(staged).path())) return diskResult(errno);
        const zip_stat_t& st = stats[size_t(i)];
        const bool encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
        zip_file_t* f = zip_fopen_index(za.get(), zip_uint64_t(i), 0);
        if (!f) {
            const int ze = zip_error_code_zip(zip_get_error(za.get()));
            return ze == ZIP_ER_WRONGPASSWD || ze == ZIP_ER_NOPASSWD ? kZipWrongPassword : kZipFailed;
        }
        const int result = streamEntry(f, staged, st.size, limits, total, block);
        zip_fclose(f);
        if (result == kBadData)
            // Traditional encryption checks one byte of the key: a wrong password passes that check
            // one time in 256 and is then found by the checksum. Once an entry came out whole, the
            // password is right and a bad entry is damage.
            return encrypted && !passwordProven ? kZipWrongPassword : kZipFailed;
        if (result != kZipOk) return result;
        passwordProven = passwordProven || encrypted;
    }
    // Every entry passed. A folder where the archive has a file stays with all it holds, and
    // stops the unpacking before anything is in place.
    for (const QString& name : names) {
        struct stat st;
        if (!name.endsWith(u'/') && ::lstat(QFile::encodeName(root + name).constData(), &st) == 0 &&
            S_ISDIR(st.st_mode))
            return kZipFailed;
    }
    QList<QPair<QByteArray, QByteArray>> moves;
    QList<bool> fresh;
    QSet<QString> folders;
    for (const QString& name : names) {
        const QString folder = name.endsWith(u'/') ? root + name : QFileInfo(root + name).path();
        // A file or a link where the archive has a folder stops it too.
        if (!MakeFolder(folder))
            return errno == EEXIST || errno == ENOTDIR || errno == ELOOP ? kZipFailed : diskResult(errno);
        if (name.endsWith(u'/')) continue;
        folders.insert(folder);
        struct stat st;
        moves.append({QFile::encodeName(staging.path() + QStringLiteral("new/") + name),
                      QFile::encodeName(root + name)});
        fresh.append(::lstat(moves.last().second.constData(), &st) != 0);
    }
    if (const int err = placeAll(moves, fresh)) return diskResult(err);
    for (const QString& folder : folders) SyncFolder(folder);
    return kZipOk;
}
