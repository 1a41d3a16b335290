// Ini settings files: our own reader and writer over CP932 bytes.
#include "platform/inifile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "platform/atomicfile.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/readfile.h"

namespace {

QString decodeOrEmpty(const QByteArray& bytes, bool* ok = nullptr)
{
    try {
        if (ok) *ok = true;
        return cp932::decode(bytes);
    } catch (const EncodingError&) {
        if (ok) *ok = false;
        return {};
    }
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

IniFile::IniFile(const QString& path) : path_(path)
{
    const QString what = QStringLiteral("設定ファイルの読み込み");
    // A folder, a FIFO or a device of that name is told, never read as nothing or waited on.
    QByteArray all;
    QString reason;
    if (!ReadWholeFile(path, ReadKind::Settings, all, reason)) {
        if (errno == ENOENT || errno == ENOTDIR) return;
        throw IoError::failed(what, path, reason);
    }
    loaded_ = all;
    if (all.isEmpty()) return;
    QList<QByteArray> raws = all.split('\n');
    if (raws.last().isEmpty()) raws.removeLast();  // the file ended with a line end
    for (QByteArray& r : raws) {
        if (r.endsWith('\r')) r.chop(1);
        lines_.append(parse(r));
    }
}

IniFile::Line IniFile::parse(const QByteArray& raw)
{
    Line l;
    l.raw = raw;
    const QByteArray t = raw.trimmed();
    if (t.startsWith('[')) {
        const int close = t.indexOf(']');
        l.isSection = true;
        l.section = decodeOrEmpty(t.mid(1, close < 0 ? -1 : close - 1)).trimmed();
    } else if (!t.startsWith(';')) {
        const int eq = t.indexOf('=');
        if (eq > 0) {
            bool ok = false;
            l.key = decodeOrEmpty(t.left(eq).trimmed(), &ok);
            l.isKey = ok && !l.key.isEmpty();
        }
    }
    return l;
}

int IniFile::findSection(const QString& section) const
{
    for (int i = 0; i < lines_.size(); ++i)
        if (lines_[i].isSection && sameName(lines_[i].section, section)) return i;
    return -1;
}

int IniFile::sectionEnd(int header) const
{
    int i = header + 1;
    while (i < lines_.size() && !lines_[i].isSection) ++i;
    return i;
}

int IniFile::findKey(const QString& section, const QString& key) const
{
    const int h = findSection(section);
    if (h < 0) return -1;
    const int end = sectionEnd(h);
    for (int i = h + 1; i < end; ++i)
        if (lines_[i].isKey && sameName(lines_[i].key, key)) return i;
    return -1;
}

QByteArray IniFile::valueBytes(int line) const
{
    const QByteArray& raw = lines_[line].raw;
    QByteArray v = raw.mid(raw.indexOf('=') + 1).trimmed();
    if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"')) v = v.mid(1, v.size() - 2);
    return v;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const
{
    const int i = findKey(section, key);
    if (i < 0) return def;
    bool ok = false;
    const QString s = decodeOrEmpty(valueBytes(i), &ok);
    return ok ? s : def;
}

QByteArray IniFile::readBytes(const QString& section, const QString& key, const QByteArray& def) const
{
    const int i = findKey(section, key);
    return i < 0 ? def : valueBytes(i);
}

int IniFile::readInteger(const QString& section, const QString& key, int def) const
{
    const QString s = readString(section, key, QString()).trimmed();
    if (s.isEmpty()) return def;
    bool ok = false;
    int v = 0;
    if (s.startsWith(QLatin1Char('$')))
        v = s.mid(1).toInt(&ok, 16);
    else if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        v = s.mid(2).toInt(&ok, 16);
    else
        v = s.toInt(&ok, 10);
    return ok ? v : def;
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

bool IniFile::sectionExists(const QString& section) const
{
    return findSection(section) >= 0;
}

bool IniFile::valueExists(const QString& section, const QString& key) const
{
    return findKey(section, key) >= 0;
}

QStringList IniFile::readSection(const QString& section) const
{
    QStringList keys;
    const int h = findSection(section);
    if (h < 0) return keys;
    const int end = sectionEnd(h);
    for (int i = h + 1; i < end; ++i)
        if (lines_[i].isKey && !keys.contains(lines_[i].key, Qt::CaseInsensitive)) keys << lines_[i].key;
    return keys;
}

QStringList IniFile::readSections() const
{
    QStringList names;
    for (const Line& l : lines_)
        if (l.isSection && !names.contains(l.section, Qt::CaseInsensitive)) names << l.section;
    return names;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    writeBytes(section, key, cp932::encode(value));
}

void IniFile::writeBytes(const QString& section, const QString& key, const QByteArray& v)
{
    if (v.contains('\r') || v.contains('\n'))
        throw EncodingError(QStringLiteral("設定ファイルの値に改行は書き込めません（%1）。").arg(key));
    const int i = findKey(section, key);
    if (i >= 0) {
        const QByteArray& raw = lines_[i].raw;
        if (raw.mid(raw.indexOf('=') + 1).trimmed() == v.trimmed() && v == v.trimmed()) return;
        lines_[i] = parse(raw.left(raw.indexOf('=')).trimmed() + '=' + v);
        modified_ = true;
        return;
    }
    const Line keyLine = parse(cp932::encode(key) + '=' + v);
    int h = findSection(section);
    if (h < 0) {
        if (!lines_.isEmpty() && !lines_.last().raw.trimmed().isEmpty()) lines_.append(parse(QByteArray()));
        lines_.append(parse('[' + cp932::encode(section) + ']'));
        lines_.append(keyLine);
    } else {
        int at = sectionEnd(h);
        while (at > h + 1 && lines_[at - 1].raw.trimmed().isEmpty()) --at;  // before trailing blank lines
        lines_.insert(at, keyLine);
    }
    modified_ = true;
}

void IniFile::writeQuoted(const QString& section, const QString& key, const QString& value)
{
    writeString(section, key, QStringLiteral("\"%1\"").arg(value));
}

void IniFile::writeInteger(const QString& section, const QString& key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::deleteKey(const QString& section, const QString& key)
{
    const int i = findKey(section, key);
    if (i < 0) return;
    lines_.removeAt(i);
    modified_ = true;
}

void IniFile::eraseSection(const QString& section)
{
    int h;
    while ((h = findSection(section)) >= 0) {
        const int end = sectionEnd(h);
        lines_.remove(h, end - h);
        modified_ = true;
    }
}

QByteArray IniFile::bytes() const
{
    QByteArray out;
    for (const Line& l : lines_) {
        out += l.raw;
        out += "\r\n";
    }
    return out;
}

void IniFile::save()
{
    // A file that would get the bytes it already holds is left alone: no rewrite and no sync at
    // every start for a value that did not change.
    const QByteArray out = bytes();
    if (!loaded_.isNull() && out == loaded_) {
        MakePrivateFile(path_);
        modified_ = false;
        return;
    }
    WriteFileAtomic(path_, out, QStringLiteral("設定ファイルの書き込み"));
    loaded_ = out;
    modified_ = false;
}

QStringList ReadStoredLines(const QString& iniFile, const QString& section)
{
    const IniFile ini(iniFile);
    QStringList lines;
    const int count = ini.readInteger(section, QStringLiteral("LineCount"), 0);
    for (int i = 1; i <= count; ++i) {
        const QString line =
            ini.readString(section, QStringLiteral("Line%1").arg(i), QStringLiteral("NoData"));
        if (line == QStringLiteral("NoData")) break;
        lines << line;
    }
    return lines;
}

void WriteStoredLines(const QString& iniFile, const QString& section, const QStringList& lines)
{
    IniFile ini(iniFile);
    ini.eraseSection(section);
    ini.writeInteger(section, QStringLiteral("LineCount"), int(lines.size()));
    for (int i = 0; i < lines.size(); ++i)
        ini.writeQuoted(section, QStringLiteral("Line%1").arg(i + 1), lines[i]);
    ini.save();
}
