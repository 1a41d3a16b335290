// Exceptions that carry the message a user sees; one guard at the event-handler level shows them.
#pragma once
#include <QString>
#include <stdexcept>

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
