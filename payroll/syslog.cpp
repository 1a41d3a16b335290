// The system log: appended to, never rewritten, so that it keeps the history of every run.
#include "payroll/syslog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

#include "payroll/paths.h"
#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/msgbox.h"
#include "platform/readfile.h"

QString SysLogFileName()
{
    return DataPath + QStringLiteral("システムログ.dat");
}

QString SysLogAction(int kind)
{
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

QString SysLogLine(int kind, const QDateTime& at)
{
    return at.toString(QStringLiteral("yyyy/MM/dd HH:mm")) + QStringLiteral("  ") + SysLogAction(kind);
}

bool SysLogFailureShown = false;

namespace {

// Appends line whole or not at all: a write cut short by a full disk is taken back, and a log that
// this append created stays only when the line is in it.
int appendLine(const QByteArray& path, const QByteArray& line)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    struct stat st {};
    int err = ::fstat(fd, &st) != 0 ? errno : 0;
    const bool sized = !err;
    // The log names who was registered and deleted: it is the user's alone.
    if (!err && (st.st_mode & 077)) ::fchmod(fd, 0600);
    const char* p = line.constData();
    qint64 left = line.size();
    while (!err && left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n > 0) {
            p += n;
            left -= n;
        } else if (n == 0 || errno != EINTR) {
            err = n == 0 ? EIO : errno;
        }
    }
    if (err && sized && ::ftruncate(fd, st.st_size) == 0 && st.st_size == 0) ::unlink(path.constData());
    if (::close(fd) != 0 && !err) err = errno;
    return err;
}

}  // namespace

bool WriteSysLog(int kind)
{
    const QString path = SysLogFileName();
    const QByteArray line = cp932::encode(SysLogLine(kind, Now())) + "\r\n";
    const int err = appendLine(QFile::encodeName(path), line);
    if (!err) return true;
    // The log is not the data: the action is done and the work goes on. Said once, not at every
    // employee saved while the disk stays full.
    if (!SysLogFailureShown) {
        SysLogFailureShown = true;
        ShowWarning(
            IoError::failed(QStringLiteral("システムログの書き込み"), path, SystemReason(err)).message() +
            QStringLiteral("\n\n作業はこのまま続けられます。"));
    }
    return false;
}

QList<QByteArray> ReadSysLogLines(const QString& path)
{
    QByteArray bytes;
    QString reason;
    if (!ReadWholeFile(path, ReadKind::Log, bytes, reason)) {
        if (errno == ENOENT) return {};
        throw IoError::failed(QStringLiteral("システムログの読み込み"), path, reason);
    }
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();  // the final line end
    for (QByteArray& l : lines)
        if (l.endsWith('\r')) l.chop(1);
    return lines;
}

QString SysLogLineText(const QByteArray& line)
{
    // A foreign or damaged line is still shown, marking what is not CP932.
    return cp932::decodeShown(line, QChar(QChar::ReplacementCharacter));
}

QByteArray SysLogCsv(const QList<QByteArray>& lines)
{
    QByteArray csv = cp932::encode(QStringLiteral("日時, 内容")) + "\r\n";
    for (const QByteArray& l : lines)
        csv += '"' + cp932::cutBytes(l, 16) + "\", \"" + cp932::cutBytes(l.mid(18), 99) + "\"\r\n";
    return csv;
}

void ClearSysLog()
{
    const QString path = SysLogFileName();
    QFile f(path);
    if (f.exists() && !f.remove())
        throw IoError::failed(QStringLiteral("システムログのクリア"), path, f.errorString());
}
