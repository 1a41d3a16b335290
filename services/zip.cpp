// The zip archive service over libzip.
#include "services/zip.h"

#include <sys/stat.h>
#include <zip.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <memory>

#include "platform/atomicfile.h"
#include "platform/errors.h"

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

struct ZipCloser {
    void operator()(zip_t* za) const { zip_discard(za); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipCloser>;

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

    const QString part = archive + QStringLiteral(".part");
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
        zip_discard(za);
        QFile::remove(part);
        return kZipFailed;
    }
    try {
        CommitFileAtomic(part, archive, QStringLiteral("圧縮ファイルの書き込み"));
    } catch (const AppError&) {
        return kZipFailed;
    }
    return kZipOk;
}

QStringList ZipEntryNames(const QString& archive)
{
    int err = 0;
    ZipPtr za(zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &err));
    QStringList names;
    if (!za) return names;
    const zip_int64_t n = zip_get_num_entries(za.get(), 0);
    for (zip_int64_t i = 0; i < n; ++i)
        if (const char* name = zip_get_name(za.get(), zip_uint64_t(i), 0)) names << QString::fromUtf8(name);
    return names;
}

int UnzipFile(const QString& archive, const QString& folder, const QString& password)
{
    if (!QFileInfo(archive).isFile()) return kZipNoSource;
    int err = 0;
    ZipPtr za(zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &err));
    if (!za) return kZipFailed;
    const QByteArray pw = password.toUtf8();
    if (!pw.isEmpty()) zip_set_default_password(za.get(), pw.constData());
    const zip_int64_t n = zip_get_num_entries(za.get(), 0);
    QStringList names;
    for (zip_int64_t i = 0; i < n; ++i) {
        const char* name = zip_get_name(za.get(), zip_uint64_t(i), 0);
        if (!name || !safeName(QString::fromUtf8(name)) || isSymlink(za.get(), zip_uint64_t(i)))
            return kZipFailed;
        names << QString::fromUtf8(name);
    }
    // Read every entry first: a wrong password or a damaged entry is found before anything is written.
    QList<QByteArray> data;
    for (zip_int64_t i = 0; i < n; ++i) {
        QByteArray bytes;
        if (!names[int(i)].endsWith(u'/')) {
            zip_stat_t st;
            zip_stat_init(&st);
            if (zip_stat_index(za.get(), zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE) ||
                st.size > (1u << 30))
                return kZipFailed;
            zip_file_t* f = zip_fopen_index(za.get(), zip_uint64_t(i), 0);
            if (!f) {
                const int ze = zip_error_code_zip(zip_get_error(za.get()));
                return ze == ZIP_ER_WRONGPASSWD || ze == ZIP_ER_NOPASSWD ? kZipWrongPassword : kZipFailed;
            }
            bytes.resize(qsizetype(st.size));
            const zip_int64_t got = zip_fread(f, bytes.data(), st.size);
            const int ze = zip_error_code_zip(zip_file_get_error(f));
            zip_fclose(f);
            if (got != zip_int64_t(st.size)) {
                // Traditional encryption checks one byte of the key: a wrong password passes that
                // check one time in 256 and is then found by the checksum.
                const bool encrypted =
                    (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
                return encrypted && (ze == ZIP_ER_CRC || ze == ZIP_ER_ZLIB || ze == ZIP_ER_WRONGPASSWD)
                           ? kZipWrongPassword
                           : kZipFailed;
            }
        }
        data << bytes;
    }
    const QString root = QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) + u'/';
    try {
        for (int i = 0; i < names.size(); ++i) {
            const QString path = root + names[i];
            if (names[i].endsWith(u'/')) {
                if (!MakePrivateFolder(path)) return kZipFailed;
                continue;
            }
            if (!MakePrivateFolder(QFileInfo(path).path())) return kZipFailed;
            WriteFileAtomic(path, data[i], QStringLiteral("圧縮ファイルの展開"));
        }
    } catch (const AppError&) {
        return kZipFailed;
    }
    return kZipOk;
}
