// Exceptions that carry the message a user sees.
#include "platform/errors.h"

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
