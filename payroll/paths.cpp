// Folders and settings files of the run.
#include "payroll/paths.h"

#include <QFileInfo>

#include "platform/filetree.h"

QString TablePath;
QString DataPath;
QString DataRoot;
QString IniFileName;
QString SysIniFileName;
bool IsNT6 = true;
bool DataMoved = false;
const QString ProductName = QStringLiteral("給与計算PelmoraS");
const QString ProgramVersionsName = QStringLiteral("versions");
const QString ProgramCurrentName = QStringLiteral("current");

TProgramFolders ProgramFoldersOf(const QString& programDir)
{
    QString dir = programDir;
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/'))) dir.chop(1);
    const QString real = QFileInfo(dir).canonicalFilePath();
    const QFileInfo version(real.isEmpty() ? dir : real);
    const QFileInfo versions(version.path());
    const QString root = versions.path();
    if (versions.fileName() == ProgramVersionsName &&
        QFileInfo(root + QLatin1Char('/') + ProgramCurrentName).isSymLink()) {
        const QString slashed = WithSlash(root);
        return {slashed, slashed + ProgramCurrentName + QLatin1Char('/')};
    }
    return {dir + QLatin1Char('/'), dir + QLatin1Char('/')};
}
