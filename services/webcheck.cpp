// The version file over libcurl.
#include "services/webcheck.h"

#include <curl/curl.h>

#include <QCoreApplication>
#include <QStringList>
#include <QUrl>
#include <mutex>

#include "payroll/paths.h"
#include "platform/cp932.h"
#include "platform/filetree.h"
#include "platform/inifile.h"
#include "services/curlreason.h"

QString WebBaseUrl()
{
    QString base =
        IniFile(SysIniFileName).readString(QStringLiteral("Web"), QStringLiteral("BaseURL")).trimmed();
    return base.isEmpty() ? base : WithSlash(base);
}

bool IsAllowedUrl(const QString& url)
{
    const QUrl u(url, QUrl::StrictMode);
    if (!u.isValid() || u.host().isEmpty()) return false;
    const QString scheme = u.scheme().toLower();
    if (scheme == QStringLiteral("https")) return true;
    const QString host = u.host().toLower();
    return scheme == QStringLiteral("http") &&
           (host == QStringLiteral("127.0.0.1") || host == QStringLiteral("localhost") ||
            host == QStringLiteral("::1"));
}

bool IsAllowedRedirect(const QString& from, const QString& to)
{
    if (!IsAllowedUrl(to)) return false;
    const bool fromSecure = QUrl(from).scheme().compare(QStringLiteral("https"), Qt::CaseInsensitive) == 0;
    const bool toSecure = QUrl(to).scheme().compare(QStringLiteral("https"), Qt::CaseInsensitive) == 0;
    return toSecure || !fromSecure;
}

namespace {
// The request headers the maker's web host has always been sent.
constexpr char kUserAgent[] = "Mozilla/3.0 (compatible; Indy Library)";
constexpr char kAcceptHeader[] = "Accept: text/html, */*";
constexpr int kMaxRedirects = 5;

struct Transfer {
    CURL* curl;
    const THttpSink* sink;
    qint64 maxBytes;
    qint64 received = 0, dropped = 0;
    bool tooLarge = false;
    bool stopped = false;
    // A redirect's own body is not the answer: it is read and dropped.
    bool redirecting() const
    {
        long code = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
        return code >= 300 && code < 400;
    }
};
size_t takeBytes(char* data, size_t size, size_t n, void* out)
{
    auto* t = static_cast<Transfer*>(out);
    const qint64 len = qint64(size * n);
    qint64& count = t->redirecting() ? t->dropped : t->received;
    if (count + len > t->maxBytes) {
        t->tooLarge = true;
        return 0;
    }
    if (&count == &t->received && !t->sink->take(data, len)) return 0;
    count += len;
    return size * n;
}
int progressed(void* out, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t)
{
    auto* t = static_cast<Transfer*>(out);
    if (t->sink->progress) {
        const bool redirect = t->redirecting();
        if (!t->sink->progress(total > 0 && !redirect ? qint64(total) : -1, redirect ? 0 : qint64(now))) {
            t->stopped = true;
            return 1;
        }
    } else {
        // One thread: the windows stay drawn while it waits, and no command starts meanwhile.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    return 0;
}
}  // namespace

QString HttpTransfer(const QString& url, const THttpLimits& limits, const THttpSink& sink, long* status)
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (status) *status = 0;
    if (!IsAllowedUrl(url)) return QStringLiteral("安全でないアドレスのため接続しません。\n%1").arg(url);
    CURL* curl = curl_easy_init();
    if (!curl) return QStringLiteral("通信の準備ができません。");
    char error[CURL_ERROR_SIZE] = {};
    curl_slist* headers = curl_slist_append(nullptr, kAcceptHeader);
    Transfer transfer{curl, &sink, limits.maxBytes};
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");  // cookies kept for the redirects of one fetch
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, limits.totalSeconds);
    // A server that sends a byte now and then is as good as none.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytes);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.lowSpeedSeconds);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(limits.maxBytes));
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    // Redirects are followed here, each one only to an address a fetch could start at.
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, takeBytes);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, progressed);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    QString at = url, refused;
    CURLcode rc = CURLE_OK;
    long code = 0;
    for (int hop = 0;; ++hop) {
        const QByteArray u = at.toUtf8();
        curl_easy_setopt(curl, CURLOPT_URL, u.constData());
        rc = curl_easy_perform(curl);
        code = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
        if (rc != CURLE_OK || code < 300 || code >= 400) break;
        char* next = nullptr;
        curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &next);
        const QString to = next ? QString::fromUtf8(next) : QString();
        if (to.isEmpty())
            refused = QStringLiteral("サーバーの応答に転送先がありません（HTTP %1）。").arg(code);
        else if (hop == kMaxRedirects)
            refused = QStringLiteral("転送が多すぎるため中断しました。");
        else if (!IsAllowedRedirect(at, to))
            refused = QStringLiteral("安全でないアドレスへの転送のため接続しません。\n%1").arg(to);
        if (!refused.isEmpty()) break;
        at = to;
    }
    if (status) *status = code;
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
    if (!refused.isEmpty()) return refused;
    if (rc == CURLE_OK) return {};
    if (transfer.stopped) return QStringLiteral("中止しました。");
    if (transfer.tooLarge || rc == CURLE_FILESIZE_EXCEEDED)
        return QStringLiteral("受信するデータが大きすぎるため中断しました。");
    if (rc == CURLE_OPERATION_TIMEDOUT)
        return QStringLiteral("通信が止まったか時間がかかりすぎるため中断しました。");
    return CurlReason(rc, error);
}

THttpResult HttpGet(const QString& url, const THttpLimits& limits)
{
    THttpResult r;
    const THttpSink sink{[&r](const char* data, qint64 size) {
                             r.Body.append(data, qsizetype(size));
                             return true;
                         },
                         {}};
    r.Error = HttpTransfer(url, limits, sink, &r.Status);
    r.Ok = r.Error.isEmpty();
    if (!r.Ok) r.Body.clear();
    return r;
}

TVersionInfo ParseVersionFile(const QByteArray& bytes)
{
    QStringList lines;
    for (QByteArray l : bytes.split('\n')) {
        if (l.endsWith('\r')) l.chop(1);
        try {
            lines << cp932::decode(l);
        } catch (const std::exception&) {
            lines << QString();  // a line that is not CP932 counts as empty
        }
    }
    const auto line = [&](const char* header, int n) {
        const int at = lines.indexOf(QString::fromLatin1(header));
        return at < 0 ? QString() : lines.value(at + n);
    };
    const auto value = [&](const char* header, int n) {
        const QString l = line(header, n);
        const int eq = l.indexOf(u'=');
        return eq < 0 ? QString() : l.mid(eq + 1, 99);
    };
    TVersionInfo v;
    v.Latest = value("[PelmoraS]", 1);
    v.UpdaterUrl = value("[PelmoraS]", 2);
    v.ChangesUrl = value("[PelmoraS]", 3);
    v.DataDate = line("[Pelmora_Data]", 1);
    v.DataMinVersion = line("[Pelmora_Data]", 2).mid(12, 4);
    v.NoticeDate = line("[Pelmora_Notice]", 1);
    v.Notice1 = line("[Pelmora_Notice]", 2);
    v.Notice2 = line("[Pelmora_Notice]", 3);
    v.NoticeUrl = value("[Pelmora_Notice]", 4);
    return v;
}

VersionFetch FetchVersionInfo(TVersionInfo& info, const THttpLimits& limits)
{
    const QString base = WebBaseUrl();
    if (base.isEmpty()) return VersionFetch::NoAddress;
    const THttpResult r = HttpGet(base + QStringLiteral("version_info.dat"), limits);
    if (!r.Ok) return VersionFetch::NoConnection;
    info = ParseVersionFile(r.Body);
    return VersionFetch::Read;
}

bool VersionBefore(const QString& version, const QString& other)
{
    return version.toLatin1() < other.toLatin1();
}

VersionCheck CheckProgramVersion(const QString& current, TVersionInfo& info)
{
    switch (FetchVersionInfo(info)) {
        case VersionFetch::NoAddress:
            return VersionCheck::NoAddress;
        case VersionFetch::NoConnection:
            return VersionCheck::NoConnection;
        case VersionFetch::Read:
            break;
    }
    if (info.Latest.isEmpty()) return VersionCheck::NoInfo;
    return VersionBefore(current, info.Latest) ? VersionCheck::Newer : VersionCheck::UpToDate;
}

QString NoticeText(const TVersionInfo& info, const QString& storedDate)
{
    if (info.NoticeDate.isEmpty() || cp932::encode(info.NoticeDate) <= cp932::encode(storedDate)) return {};
    QString text = info.Notice1 + u'\r';
    if (!info.Notice2.isEmpty()) text += info.Notice2 + u'\r';
    return text + QStringLiteral("\rこのお知らせを次回以降も表示しますか？");
}
