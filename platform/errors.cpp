// Exceptions that carry the message a user sees.
#include "platform/errors.h"

AppError::AppError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}

IoError IoError::failed(const QString& what, const QString& path, const QString& reason)
{
    QString text = what + QStringLiteral("に失敗しました。\n") + path;
    if (!reason.isEmpty()) text += QStringLiteral("\n") + reason;
    return IoError(text);
}
