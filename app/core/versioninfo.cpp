// The version window's file lines.
#include "app/core/versioninfo.h"

#include <QDateTime>
#include <QFileInfo>

#include "payroll/paths.h"
#include "payroll/taxtable.h"
#include "platform/cp932.h"

QStringList VersionFiles()
{
    const auto path = [](const QString& loaded, const QString& name) {
        return loaded.isEmpty() ? TablePath + name : loaded;
    };
    return {path(TaxTableKyuyoFile, TaxTableKyuyoName), path(TaxTableSyoyoFile, TaxTableSyoyoName),
            path(KenhoTableFile, KenhoTableName), TablePath + KenRituName};
}

QStringList VersionFileLines(const QStringList& files)
{
    QStringList lines;
    for (const QString& file : files) {
        const QFileInfo info(file);
        if (!info.exists()) continue;
        const QString name = info.fileName();
        const int pad = 20 - cp932::byteLength(name);
        // The date of the published tables the file carries; a file made before tells only when
        // it was written.
        QString date = TableFileDate(file);
        if (date.isEmpty()) date = info.lastModified().toString(QStringLiteral("yyyy/MM/dd"));
        lines << name + QString(qMax(pad, 0), QLatin1Char(' ')) + QStringLiteral("  ") + date;
    }
    return lines;
}
