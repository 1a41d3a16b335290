// libcurl's result codes in the program's words.
#include "services/curlreason.h"

#include <curl/curl.h>

#include <cerrno>

#include "platform/errors.h"

QString CurlReason(int code, const char* detail, int localErrno)
{
    const auto rc = CURLcode(code);
    switch (rc) {
        case CURLE_OPERATION_TIMEDOUT:
            return QStringLiteral("時間内にサーバーから応答がありませんでした。");
        case CURLE_COULDNT_CONNECT:
            return QStringLiteral("サーバーに接続できません（接続を拒否されたか、サーバーに届きません）。");
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return QStringLiteral("サーバーの名前が見つかりません。");
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return QStringLiteral("サーバーの証明書を確認できません。");
        case CURLE_SSL_CONNECT_ERROR:
            return QStringLiteral("暗号化した接続を始められません。");
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
        case CURLE_FTP_ACCEPT_FAILED:
            return QStringLiteral("通信が途中で切れました。");
        case CURLE_WRITE_ERROR:
            return localErrno ? SystemReason(localErrno) : QStringLiteral("受信したデータを保存できません。");
        case CURLE_READ_ERROR:
            return QStringLiteral("送信するファイルを読み込めません。");
        case CURLE_OUT_OF_MEMORY:
            return SystemReason(ENOMEM);
        case CURLE_LOGIN_DENIED:
            return QStringLiteral("ログインできません（ユーザー名かパスワードが違います）。");
        case CURLE_REMOTE_FILE_NOT_FOUND:
            return QStringLiteral("サーバーにファイルがありません。");
        case CURLE_REMOTE_DISK_FULL:
            return QStringLiteral("サーバーの空き容量が足りません。");
        case CURLE_FILESIZE_EXCEEDED:
            return QStringLiteral("受信するデータが大きすぎるため中断しました。");
        case CURLE_TOO_MANY_REDIRECTS:
            return QStringLiteral("転送が多すぎるため中断しました。");
        default:
            break;
    }
    QString general;
    switch (rc) {
        case CURLE_QUOTE_ERROR:
        case CURLE_REMOTE_ACCESS_DENIED:
        case CURLE_UPLOAD_FAILED:
            general = QStringLiteral("サーバーが要求を拒否しました。");
            break;
        case CURLE_HTTP_RETURNED_ERROR:
            general = QStringLiteral("サーバーがエラーを返しました。");
            break;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_FTP_WEIRD_PASV_REPLY:
        case CURLE_FTP_WEIRD_227_FORMAT:
            general = QStringLiteral("サーバーの応答が正しくありません。");
            break;
        default:
            general = QStringLiteral("通信に失敗しました。");
            break;
    }
    const QString words = QString::fromLocal8Bit(detail && *detail ? detail : curl_easy_strerror(rc));
    return words.isEmpty() ? general : general + QStringLiteral("（%1）").arg(words);
}
