// The stored form of the passwords.
#include "payroll/password.h"

#include "payroll/paths.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/inifile.h"

namespace {
const int Shift = 16;

QString sectionOf(int passMode)
{
    return passMode == pmStartup ? QStringLiteral("Option") : QStringLiteral("Cloud");
}
QString keyOf(int passMode)
{
    return passMode == pmStartup ? QStringLiteral("ListFile") : QStringLiteral("Comment");
}
}  // namespace

QByteArray ScramblePassword(const QByteArray& plain)
{
    QByteArray s = plain;
    for (char& c : s) c = static_cast<char>(static_cast<unsigned char>(c) - Shift);
    return s;
}

QByteArray RestorePassword(const QByteArray& stored)
{
    QByteArray s = stored;
    for (char& c : s) c = static_cast<char>(static_cast<unsigned char>(c) + Shift);
    return s;
}

QByteArray ReadPassword(int passMode)
{
    const IniFile ini(SysIniFileName);
    return RestorePassword(ini.readBytes(sectionOf(passMode), keyOf(passMode)));
}

void WritePassword(int passMode, const QString& password)
{
    const QByteArray plain = cp932::encode(password);
    // A control character would come back as a line end or vanish in the file's blanks.
    for (char c : plain)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            throw EncodingError(QStringLiteral("パスワードに制御文字は使えません。"));
    IniFile ini(SysIniFileName);
    // Quoted: a scrambled "0" is a blank, a scrambled "2" a double quote.
    ini.writeBytes(sectionOf(passMode), keyOf(passMode), '"' + ScramblePassword(plain) + '"');
    ini.save();
}

bool PasswordMatches(const QByteArray& password, const QString& entry)
{
    if (!cp932::canEncode(entry)) return false;
    return cp932::encode(entry) == password;
}
