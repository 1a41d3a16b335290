// What the fuzz targets share: a private folder on a tmpfs where one exists, files written from
// the fuzzer's bytes, and those bytes repeated to the size a reader insists on, so that short
// inputs still reach every check behind the size test.
#pragma once
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

inline const QString& FuzzFolder()
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/pelfuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/pelfuzz-XXXXXX"));
    static const QString path = dir.path() + QStringLiteral("/");
    return path;
}

inline void FuzzWrite(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

// bytes repeated (or cut) to size; zeros when there are none.
inline QByteArray Tiled(const uint8_t* data, size_t n, qsizetype size)
{
    QByteArray out(size, '\0');
    if (n == 0) return out;
    for (qsizetype i = 0; i < size; i += qsizetype(n))
        std::memcpy(out.data() + i, data, size_t(std::min<qsizetype>(qsizetype(n), size - i)));
    return out;
}
