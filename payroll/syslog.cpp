// The system log: appended to, never rewritten, so that it keeps the history of every run.
#include "payroll/syslog.h"

#include <QFile>

#include "payroll/paths.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/errors.h"

QString SysLogFileName() {
    return DataPath + QStringLiteral("システムログ.dat");
}

QString SysLogAction(int kind) {
    switch (kind) {
        // Half-width brackets (one byte each in CP932), as every log written so far has them.
        case 10:
            return QStringLiteral("給与計算ソフト ｢給与計算PelmoraS｣を起動");
        case 11:
            return QStringLiteral("従業員情報の登録");
        case 12:
            return QStringLiteral("従業員情報の更新");
        case 13:
            return QStringLiteral("従業員情報の削除");
        case 20:
            return QStringLiteral("源泉徴収票作成 ｢Norbek｣を起動");
        case 21:
            return QStringLiteral("源泉徴収票の印刷");
        default:
            return QString();
    }
}

QString SysLogLine(int kind, const QDateTime& at) {
    return at.toString(QStringLiteral("yyyy/MM/dd HH:mm")) + QStringLiteral("  ") + SysLogAction(kind);
}

void WriteSysLog(int kind) {
    const QString path = SysLogFileName();
    const QByteArray line = cp932::encode(SysLogLine(kind, Now())) + "\r\n";
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        throw IoError::failed(QStringLiteral("システムログの書き込み"), path, f.errorString());
    if (f.write(line) != line.size() || !f.flush())
        throw IoError::failed(QStringLiteral("システムログの書き込み"), path, f.errorString());
    f.close();
}
