// Exceptions that carry the message a user sees.
#include "platform/errors.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>

AppError::AppError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}

IoError IoError::failed(const QString& what, const QString& path, const QString& reason)
{
    QString text = what + QStringLiteral("に失敗しました。\n") + path;
    if (!reason.isEmpty()) text += QStringLiteral("\n") + reason;
    return IoError(text);
}

RangeError::RangeError()
    : AppError(QStringLiteral("計算結果が扱える数値の範囲(-2,147,483,648～2,147,483,647)を超えました。"))
{
}

namespace {

// One sentence per error code; a read's differs only where the cause reads differently.
struct Reason {
    int err;
    const char* write;
    const char* read;  // nullptr: as for a write
};

constexpr Reason Reasons[] = {
    {ENOENT, "フォルダーが見つかりません。", "ファイルが見つかりません。"},
    {ENOTDIR, "フォルダーが見つかりません。", nullptr},
    {EISDIR, "ファイルではなくフォルダーです。", nullptr},
    {EACCES, "書き込む権限がありません。", "読み込む権限がありません。"},
    {EPERM, "書き込む権限がありません。", "読み込む権限がありません。"},
    {EROFS, "読み取り専用の場所には書き込めません。", nullptr},
    {ENOSPC, "ディスクの空き容量が足りません。", nullptr},
    {EDQUOT, "ディスクの使用量の上限に達しました。", nullptr},
    {EFBIG, "ファイルが大きすぎます。", nullptr},
    {EIO, "ディスクの読み書きでエラーが起きました。", nullptr},
    {EEXIST, "同じ名前のファイルかフォルダーが既にあります。", nullptr},
    {ENOTEMPTY, "フォルダーが空ではありません。", nullptr},
    {ENAMETOOLONG, "ファイル名が長すぎます。", nullptr},
    {ELOOP, "リンクになっているため開けません。", nullptr},
    {EMLINK, "フォルダーの中身が多すぎます。", nullptr},
    {EXDEV, "別のディスクへは移せません。", nullptr},
    {EBUSY, "ほかのプログラムが使用中です。", nullptr},
    {ETXTBSY, "ほかのプログラムが使用中です。", nullptr},
    {EAGAIN, "ほかのプログラムが使用中です。", nullptr},
    {EMFILE, "開いているファイルが多すぎます。", nullptr},
    {ENFILE, "開いているファイルが多すぎます。", nullptr},
    {ENOMEM, "メモリーが足りません。", nullptr},
    {ENXIO, "装置が見つかりません。", nullptr},
    {ENODEV, "装置が見つかりません。", nullptr},
    {EINTR, "処理が中断されました。", nullptr},
    {EINVAL, "この場所では扱えない名前か操作です。", nullptr},
    {EOPNOTSUPP, "この場所では扱えない操作です。", nullptr},
    {ENOSYS, "この場所では扱えない操作です。", nullptr},
    {ESTALE, "ネットワーク上のファイルが見えなくなりました。", nullptr},
    {ETIMEDOUT, "応答がなく時間切れになりました。", nullptr},
    {ENOTCONN, "ネットワークの接続が切れました。", nullptr},
    {ECONNRESET, "ネットワークの接続が切れました。", nullptr},
    {EPIPE, "書き込む先が閉じられました。", nullptr},
};

QString reasonOf(int err, bool reading)
{
    for (const Reason& r : Reasons)
        if (r.err == err) return QString::fromUtf8(reading && r.read ? r.read : r.write);
    return QStringLiteral("システムのエラーが起きました（エラー番号 %1）。").arg(err);
}

QString fileReason(const QFileDevice& f, bool reading)
{
    const int err = errno;
    // Opened for reading, a folder fails without a code of its own.
    if (const auto* file = qobject_cast<const QFile*>(&f); file && QFileInfo(file->fileName()).isDir())
        return reasonOf(EISDIR, reading);
    // A short read leaves no error and the code of some earlier call: not its reason.
    if (f.error() != QFileDevice::NoError && err != 0) return reasonOf(err, reading);
    return reading ? QStringLiteral("ファイルを読み込めませんでした。")
                   : QStringLiteral("ファイルに書き込めませんでした。");
}

}  // namespace

QString SystemReason(int err)
{
    return reasonOf(err, false);
}

QString SystemReadReason(int err)
{
    return reasonOf(err, true);
}

QString FileReadReason(const QFileDevice& f)
{
    return fileReason(f, true);
}

QString FileWriteReason(const QFileDevice& f)
{
    return fileReason(f, false);
}
