// The mail layer: [Mail] settings, the MIME message, SMTP through libcurl, the desktop composer
// through xdg-email, and the private folder of attachments.
#include "services/mail.h"

#include <curl/curl.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <mutex>

#include "payroll/common.h"
#include "payroll/paths.h"
#include "platform/atomicfile.h"
#include "platform/filetree.h"
#include "platform/inifile.h"
#include "platform/readfile.h"

namespace {

const QString kMail = QStringLiteral("Mail");

// Base64 in lines of 76 characters, each ended by CRLF.
QByteArray base64Lines(const QByteArray& data)
{
    const QByteArray b = data.toBase64();
    QByteArray out;
    out.reserve(b.size() + b.size() / 76 * 2 + 2);
    for (qsizetype i = 0; i < b.size(); i += 76) out += b.mid(i, 76) + "\r\n";
    return out;
}

// RFC 2231 value of a parameter: UTF-8''%XX...
QByteArray extendedValue(const QString& text)
{
    return "UTF-8''" + text.toUtf8().toPercentEncoding("", "!#$&+-.^_`|~");
}

QByteArray randomToken()
{
    return QByteArray::number(QRandomGenerator::global()->generate64(), 36);
}

struct Upload {
    QByteArray data;
    qsizetype pos = 0;
};

size_t readUpload(char* buffer, size_t size, size_t count, void* user)
{
    auto* up = static_cast<Upload*>(user);
    const size_t n = std::min(size * count, size_t(up->data.size() - up->pos));
    std::memcpy(buffer, up->data.constData() + up->pos, n);
    up->pos += qsizetype(n);
    return n;
}

// Throws what a failed send means for the rest of the run: the server out of reach or a login
// refused (told in our words: libcurl's carry timings) ends it; a refusal of this message does not.
// handedOver: the whole message went to the server before it failed.
[[noreturn]] void smtpFailed(const TMailSettings& settings, CURLcode rc, long reply, const char* error,
                             bool handedOver)
{
    const QString server = settings.Server + QLatin1Char(':') + QString::number(settings.Port);
    const QString reason = QString::fromUtf8(*error ? error : curl_easy_strerror(rc));
    // The server took the message and then gave no answer to its end: whether it will deliver it
    // cannot be known, and the next message would wait as long.
    if (handedOver && (reply < 400 || reply == 421) &&
        (rc == CURLE_OPERATION_TIMEDOUT || rc == CURLE_RECV_ERROR || rc == CURLE_GOT_NOTHING))
        throw MailServerError(QStringLiteral("送信サーバー %1 はメールを受け取った後、応答しませんでした。\n"
                                             "このメールが届くかどうかは分かりません。")
                                  .arg(server));
    switch (rc) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_OPERATION_TIMEDOUT:
            throw MailServerError(QStringLiteral("送信サーバー %1 に接続できませんでした。").arg(server));
        case CURLE_LOGIN_DENIED:
        case CURLE_AUTH_ERROR:
            throw MailServerError(QStringLiteral("送信サーバー %1 にログインできませんでした。\n[Mail] の "
                                                 "User と Password を確かめて下さい。")
                                      .arg(server));
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
            // With a reply of the server, the server refused this message (a recipient, its size);
            // without one, or with "authentication required" or "closing", the connection is gone.
            if (reply >= 400 && reply != 421 && reply != 530) break;
            [[fallthrough]];
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_GOT_NOTHING:
        case CURLE_USE_SSL_FAILED:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
            throw MailServerError(
                QStringLiteral("送信サーバー %1 に送れませんでした。\n%2").arg(server, reason));
        default:
            break;
    }
    throw MailError(QStringLiteral("送信サーバー %1 に送れませんでした。\n%2").arg(server, reason));
}

// A line break in a header value would end the header and start another (a "Bcc:" of its own);
// an address takes no control character at all, also not in the SMTP commands.
void refuseUnsafeHeaders(const QString& from, const TMailMessage& message)
{
    const auto lineBreak = [](const QString& s) { return s.contains(u'\r') || s.contains(u'\n'); };
    if (HasControlChar(from) || HasControlChar(message.To) || lineBreak(message.Subject) ||
        lineBreak(message.AttachmentName))
        throw MailError(
            QStringLiteral(
                "メールアドレスまたは件名に改行などの制御文字が含まれているため、送信しません。\n宛先：%1")
                .arg(QString(message.To)
                         .replace(QRegularExpression(QStringLiteral("[\\x00-\\x1f\\x7f]")),
                                  QStringLiteral("?"))));
}

}  // namespace

TMailSettings LoadMailSettings()
{
    const IniFile ini(SysIniFileName);
    TMailSettings s;
    s.Server = ini.readString(kMail, QStringLiteral("Server")).trimmed();
    s.Port = ini.readInteger(kMail, QStringLiteral("Port"), 0);
    s.Tls = ini.readInteger(kMail, QStringLiteral("TLS"), 1);
    if (s.Port <= 0 || s.Port > 65535) s.Port = s.Tls == 2 ? 465 : s.Tls == 1 ? 587 : 25;
    s.User = ini.readString(kMail, QStringLiteral("User"));
    s.Password = ini.readString(kMail, QStringLiteral("Password"));
    s.From = ini.readString(kMail, QStringLiteral("From")).trimmed();
    return s;
}

MailRoute CurrentMailRoute()
{
    try {
        if (!LoadMailSettings().Server.isEmpty()) return MailRoute::Smtp;
    } catch (const AppError&) {
        // An unreadable settings file configures nothing.
    }
    return ComposerAnswers() ? MailRoute::Composer : MailRoute::None;
}

bool ComposerAnswers()
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-email")).isEmpty()) return false;
    // xdg-email hands the message to the program the desktop has for mailto: links; without one
    // it only fails, after a page of its tools' output.
    QProcess query;
    query.setStandardInputFile(QProcess::nullDevice());
    query.setStandardErrorFile(QProcess::nullDevice());
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("x-scheme-handler/mailto")});
    if (!query.waitForFinished(10000)) {
        query.kill();
        query.waitForFinished(1000);
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           !query.readAllStandardOutput().trimmed().isEmpty();
}

QString MailUnavailableReason()
{
    return QStringLiteral(
        "メールソフト（mailto: を開くプログラム）が見つからず、送信サーバーも設定されていないため、"
        "送信できません。\n帳票内容の保存はできます。送信するには、メールソフトを入れて既定に"
        "するか、Tolvane.ini の [Mail] に送信サーバーを設定して下さい。");
}

bool IsMapiAvailable()
{
    return CurrentMailRoute() != MailRoute::None;
}

QByteArray EncodeHeaderWord(const QString& text)
{
    bool ascii = true;
    for (QChar c : text) ascii = ascii && c.unicode() >= 0x20 && c.unicode() < 0x7F;
    if (ascii) return text.toUtf8();
    // Words of at most 45 bytes (60 base64 characters, 72 with the frame), never half a character.
    QList<QByteArray> words;
    QByteArray chunk;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray ch = text.mid(i, n).toUtf8();
        i += n - 1;
        if (chunk.size() + ch.size() > 45) words << chunk, chunk.clear();
        chunk += ch;
    }
    if (!chunk.isEmpty()) words << chunk;
    QByteArray out;
    for (const QByteArray& w : words) {
        if (!out.isEmpty()) out += "\r\n ";
        out += "=?UTF-8?B?" + w.toBase64() + "?=";
    }
    return out;
}

QByteArray BuildMimeMessage(const TMailSettings& settings, const TMailMessage& message,
                            const QByteArray& attachment, const QDateTime& date)
{
    refuseUnsafeHeaders(settings.From, message);
    const QByteArray boundary = "=_PelmoraS_" + randomToken() + randomToken();
    QByteArray m;
    m += "From: <" + settings.From.toUtf8() + ">\r\n";
    m += "To: <" + message.To.toUtf8() + ">\r\n";
    m += "Subject: " + EncodeHeaderWord(message.Subject) + "\r\n";
    const int offset = date.offsetFromUtc() / 60;
    m += "Date: " + QLocale::c().toString(date, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss ")).toLatin1() +
         QString::asprintf("%c%02d%02d", offset < 0 ? '-' : '+', std::abs(offset) / 60, std::abs(offset) % 60)
             .toLatin1() +
         "\r\n";
    m += "Message-ID: <" + randomToken() + "." + QByteArray::number(date.toSecsSinceEpoch()) +
         "@pelmoras>\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    m += "--" + boundary + "\r\n";
    m += "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    QString body = message.Body;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    m += base64Lines(body.toUtf8());
    m += "--" + boundary + "\r\n";
    m += "Content-Type: image/jpeg;\r\n name=\"" +
         EncodeHeaderWord(message.AttachmentName).replace("\r\n ", " ") + "\"\r\n";
    m += "Content-Transfer-Encoding: base64\r\n";
    m += "Content-Disposition: attachment;\r\n filename*=" + extendedValue(message.AttachmentName) +
         "\r\n\r\n";
    m += base64Lines(attachment);
    m += "--" + boundary + "--\r\n";
    return m;
}

void SendSmtpMail(const TMailSettings& settings, const TMailMessage& message)
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (settings.From.isEmpty())
        throw MailError(QStringLiteral("送信者のメールアドレス（[Mail] の From）が設定されていません。"));
    QByteArray attachment;
    QString reason;
    if (!ReadWholeFile(message.Attachment, ReadKind::Chosen, attachment, reason))
        throw MailError(QStringLiteral("添付ファイルを読めません。\n%1\n%2").arg(message.Attachment, reason));
    Upload up;
    up.data = BuildMimeMessage(settings, message, attachment, QDateTime::currentDateTime());

    CURL* curl = curl_easy_init();
    if (!curl) throw MailError(QStringLiteral("メール送信の準備ができません。"));
    char error[CURL_ERROR_SIZE] = {};
    const QByteArray url = (settings.Tls == 2 ? "smtps://" : "smtp://") + settings.Server.toUtf8() + ":" +
                           QByteArray::number(settings.Port);
    const QByteArray from = "<" + settings.From.toUtf8() + ">";
    const QByteArray to = "<" + message.To.toUtf8() + ">";
    const QByteArray user = settings.User.toUtf8(), password = settings.Password.toUtf8();
    curl_slist* rcpt = curl_slist_append(nullptr, to.constData());
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, long(settings.TimeoutSeconds));
    // Each answer of the server, also that to the QUIT which ends even a failed session: a server
    // that stopped answering would hold the program two minutes more at the end.
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(std::min(settings.TimeoutSeconds, 60)));
    if (settings.Tls == 1) curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    if (!user.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, readUpload);
    curl_easy_setopt(curl, CURLOPT_READDATA, &up);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(up.data.size()));
    const CURLcode rc = curl_easy_perform(curl);
    long reply = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply);
    curl_slist_free_all(rcpt);
    curl_easy_cleanup(curl);
    if (rc != CURLE_OK) smtpFailed(settings, rc, reply, error, up.pos == up.data.size());
}

void ComposeMail(const TMailMessage& message)
{
    refuseUnsafeHeaders(QString(), message);
    const QString cannotStart = QStringLiteral("メールソフトを起動できませんでした。");
    QProcess p;
    // What the tools say goes nowhere: the user is told in the program's words.
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(QStringLiteral("xdg-email"),
            {QStringLiteral("--utf8"), QStringLiteral("--subject"), message.Subject, QStringLiteral("--body"),
             message.Body, QStringLiteral("--attach"), message.Attachment, message.To});
    if (!p.waitForStarted(10000)) throw MailServerError(cannotStart);
    // The composer runs on by itself; xdg-email returns once it has been started.
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(1000);
        throw MailServerError(QStringLiteral("メールソフトが応答しません。"));
    }
    if (p.exitStatus() != QProcess::NormalExit) throw MailServerError(cannotStart);
    switch (p.exitCode()) {
        case 0:
            return;
        case 1:  // the command line: this message's address or texts
        case 2:  // the attachment is missing
        case 5:  // the attachment cannot be read
            throw MailError(QStringLiteral("メールソフトに渡せませんでした（xdg-email 終了コード %1）。")
                                .arg(p.exitCode()));
        default:  // no program for mailto:, or it failed to start: so will every other message
            throw MailServerError(cannotStart);
    }
}

QString MailAttachmentFolder()
{
    return (DataRoot.isEmpty() ? DataPath : DataRoot) + QStringLiteral("MailTemp/");
}

void ClearMailAttachments()
{
    if (DataRoot.isEmpty() && DataPath.isEmpty()) return;
    const QString folder = MailAttachmentFolder();
    // A link in the folder's place is removed itself; what it points to is never touched.
    RemoveTree(folder, TreeOwner::Mine);
}
