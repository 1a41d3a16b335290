// Exceptions that carry the message a user sees; one guard at the event-handler level shows them.
#pragma once
#include <QString>
#include <stdexcept>

class QFileDevice;

class AppError : public std::runtime_error {
  public:
    explicit AppError(const QString& message);
    const QString& message() const { return message_; }

  private:
    QString message_;
};

// A file could not be opened, read, written or closed.
class IoError : public AppError {
  public:
    using AppError::AppError;
    // "<what> に失敗しました。" with the path and the system's reason on the following lines.
    static IoError failed(const QString& what, const QString& path, const QString& reason);
};

// A text could not be converted into a number.
class ConvertError : public AppError {
  public:
    using AppError::AppError;
};

// A text cannot be written in code page 932, or bytes are not valid code page 932.
class EncodingError : public AppError {
  public:
    using AppError::AppError;
};

// A computed value is not a number, or does not fit the whole number it is to be kept in.
class RangeError : public AppError {
  public:
    using AppError::AppError;
    RangeError();
};

// The reason of a failed system call for the user, in one Japanese sentence per error code and in
// the program's words (フォルダー, never the system's own English or translated text): a write's
// reason (a missing folder, no right to write).
QString SystemReason(int err);
// The same for a read, where a code reads differently (a missing file, no right to read).
QString SystemReadReason(int err);
// The reason a QFile or QSaveFile failed, from the error code its failed call left in errno (read
// at the call, so pass it on at once): a folder in place of the file says so; a failure that left
// no code says which of reading and writing failed.
QString FileReadReason(const QFileDevice& f);
QString FileWriteReason(const QFileDevice& f);
