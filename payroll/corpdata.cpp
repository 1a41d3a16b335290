// Company data set lines and files.
#include "payroll/corpdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "platform/cp932.h"
#include "platform/inifile.h"

namespace {
const QString Sec = QStringLiteral("CorpData");

// Bytes from..from+n of a line as text, cut on character boundaries.
QString bytesOf(const QString& line, int from, int n)
{
    QByteArray b;
    try {
        b = cp932::encode(line);
    } catch (const std::exception&) {
        b = cp932::encode(cp932::keepEncodable(line));
    }
    // A double-byte character across the start belongs to the part before it.
    int start = 0;
    while (start < from && start < b.size())
        start += cp932::isLeadByte(b[start]) && start + 1 < b.size() ? 2 : 1;
    return cp932::decode(cp932::cutBytes(b.mid(start), n + from - start));
}
}  // namespace

QString OriginalCorpLine()
{
    return QStringLiteral("オリジナルデータ");
}

QStringList ReadCorpList(const IniFile& sysIni)
{
    QStringList lines;
    // A count beyond the sets there can be is not read line by line (99,999,999 took 17 s).
    const int count = std::min(sysIni.readInteger(Sec, QStringLiteral("Count"), 1), MaxCorpSets);
    for (int i = 1; i <= count; ++i) {
        const QString line = sysIni.readString(Sec, QStringLiteral("Data%1").arg(i));
        if (!line.trimmed().isEmpty()) lines << line;
    }
    return lines;
}

void WriteCorpList(IniFile& sysIni, const QStringList& lines)
{
    sysIni.writeInteger(Sec, QStringLiteral("Count"), lines.size());
    for (int i = 0; i < lines.size(); ++i)
        sysIni.writeString(Sec, QStringLiteral("Data%1").arg(i + 1), lines[i]);
}

QString CorpLineName(const QString& line)
{
    return bytesOf(line, 0, CorpNameMax).trimmed();
}

QString CorpLineCode(const QString& line)
{
    return bytesOf(line, CorpNameWidth, 2).trimmed();
}

QString FormatCorpLine(const QString& name, const QString& code)
{
    return cp932::padRight(cp932::cut(cp932::keepEncodable(name), CorpNameMax), CorpNameWidth) + code;
}

bool IsCorpCode(const QString& code)
{
    return code.size() == 2 && code[0] == QLatin1Char('_') && code[1] >= QLatin1Char('a') &&
           code[1] <= QLatin1Char('z');
}

QString CorpIniFile(const QString& root, const QString& code)
{
    return root + QStringLiteral("Tolvane%1.ini").arg(code);
}

QString CorpDataFolder(const QString& root, const QString& code)
{
    return root + QStringLiteral("Data2%1/").arg(code);
}

QStringList DeleteCorpFiles(const QString& root, const QString& code)
{
    if (!IsCorpCode(code)) return {code};
    QStringList failed;
    const QString ini = CorpIniFile(root, code);
    if (QFileInfo::exists(ini) && !QFile::remove(ini)) failed << ini;
    const QString folder = CorpDataFolder(root, code);
    QDir dir(folder);
    if (!dir.exists()) return failed;
    for (const QFileInfo& f : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System))
        if (!QFile::remove(f.filePath())) failed << f.filePath();
    if (!QDir(root).rmdir(QStringLiteral("Data2%1").arg(code))) failed << folder;
    return failed;
}
