// The mail layer: slips go out through an SMTP server (libcurl) configured in the [Mail] section of
// the program-wide settings file, without a window; where none is configured, the desktop's mail
// composer is opened through xdg-email, one compose window per message.
#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "platform/errors.h"

// [Mail] of the program-wide settings file.
struct TMailSettings {
    QString Server;    // "Server": host name; empty = no SMTP server
    int Port = 587;    // "Port"
    int Tls = 1;       // "TLS": 0 none, 1 STARTTLS (required), 2 TLS from the start (smtps)
    QString User;      // "User": empty = no authentication
    QString Password;  // "Password"
    QString From;      // "From": the sender's address
    // The longest one message may take, answers included, and one answer at most 60 s (not stored).
    int TimeoutSeconds = 300;
};

enum class MailRoute { None, Smtp, Composer };

// Reads [Mail] of SysIniFileName.
TMailSettings LoadMailSettings();
// SMTP when a server is configured, else the composer when a mail program answers mailto: links.
MailRoute CurrentMailRoute();
// Whether xdg-email is installed and the desktop has a program for mailto: links.
bool ComposerAnswers();
// Why slips cannot be mailed (no route), as the mail window tells it.
QString MailUnavailableReason();
// Whether slips can be mailed at all (one of the two routes is usable).
bool IsMapiAvailable();

struct TMailMessage {
    QString To;
    QString Subject;
    QString Body;
    QString Attachment;      // path of the file
    QString AttachmentName;  // its name in the message
};

// A message could not be handed over; the text says why.
class MailError : public AppError {
  public:
    using AppError::AppError;
};
// The way out cannot take any message: the server was not reached, did not answer as a mail
// server or refused the login, or the mail composer cannot be started. No other message can go either.
class MailServerError : public MailError {
  public:
    using MailError::MailError;
};

// The message as it goes to the server: UTF-8 text, the subject and the attachment's name encoded
// for mail headers (RFC 2047, and RFC 2231 for the file name), the body and the attachment in
// base64. attachment is the file's content.
QByteArray BuildMimeMessage(const TMailSettings& settings, const TMailMessage& message,
                            const QByteArray& attachment, const QDateTime& date);
// "=?UTF-8?B?...?=" words of at most 75 characters, or the text itself when it is plain ASCII.
QByteArray EncodeHeaderWord(const QString& text);
// Sends one message through the configured server. MailServerError when the server cannot be
// reached or refuses the login, else MailError with the server's or libcurl's reason (a refused
// recipient, a refused message).
void SendSmtpMail(const TMailSettings& settings, const TMailMessage& message);
// Opens the desktop's mail composer with the message filled in (xdg-email). MailServerError when
// the composer cannot be started at all, MailError when this message cannot be handed to it; the
// tool's own output is never part of the text.
void ComposeMail(const TMailMessage& message);

// The private folder (0700) that attachments are written to before they are sent or handed to the
// composer: DataRoot + "MailTemp/" (DataPath before the data root is settled). The composer may read them
// long after it was started, so what is there is deleted only at the next start (ClearMailAttachments).
QString MailAttachmentFolder();
void ClearMailAttachments();
