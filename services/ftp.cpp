// FTP transfers through libcurl.
#include "services/ftp.h"

#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/atomicfile.h"
#include "platform/beside.h"
#include "platform/errors.h"
#include "platform/filetree.h"
#include "platform/readfile.h"
#include "services/curlreason.h"

namespace {

struct Transfer {
    QFile* file = nullptr;
    const FtpProgress* progress = nullptr;
    bool cancelled = false;
    qint64 maxBytes = -1;  // downloads: what may arrive
    qint64 received = 0;
    bool tooLarge = false;
    bool moved = false;  // data went either way
    int writeErrno = 0;  // why the local file did not take a block (a full disk ...)
};

size_t writeFile(char* buf, size_t size, size_t n, void* data)
{
    auto* t = static_cast<Transfer*>(data);
    t->moved = true;
    t->received += qint64(size * n);
    if (t->maxBytes >= 0 && t->received > t->maxBytes) {
        t->tooLarge = true;
        return 0;
    }
    errno = 0;
    if (t->file->write(buf, qint64(size * n)) == qint64(size * n)) return size * n;
    t->writeErrno = errno ? errno : EIO;
    return 0;
}

int onProgress(void* data, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal, curl_off_t ulNow)
{
    auto* t = static_cast<Transfer*>(data);
    t->moved = t->moved || dlNow > 0 || ulNow > 0;
    // One thread: the windows stay drawn and the cancel button can be pressed while it waits.
    QCoreApplication::processEvents();
    if (t->progress && *t->progress) {
        const bool up = ulTotal > 0 || ulNow > 0;
        // An upload is whole only when the server has confirmed it: until then one byte is missing.
        if (up && ulTotal > 0 && ulNow >= ulTotal) ulNow = ulTotal - 1;
        if (!(*t->progress)(up ? ulNow : dlNow, up ? ulTotal : dlTotal)) {
            t->cancelled = true;
            return 1;
        }
    }
    return 0;
}

size_t discard(char*, size_t size, size_t n, void*)
{
    return size * n;
}

struct CurlFree {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
using CurlPtr = std::unique_ptr<CURL, CurlFree>;

// A handle for url below the server's folder, logged in, TLS when offered, short connect timeout.
QString folderOf(const TFtpServer& s)
{
    QString folder = s.Folder.isEmpty() ? QStringLiteral("/") : s.Folder;
    if (!folder.startsWith(u'/')) folder.prepend(u'/');
    return WithSlash(folder);
}

// The address of name in the server's folder: the path from the root of the server ("%2F"), each
// part escaped.
QByteArray urlOf(const TFtpServer& s, const QString& name)
{
    const QString folder = folderOf(s);
    return "ftp://" + QUrl::toPercentEncoding(s.Host, ":[]") + ":" + QByteArray::number(s.Port) + "/%2F" +
           QUrl::toPercentEncoding(folder.mid(1), "/") + QUrl::toPercentEncoding(name);
}

CurlPtr handle(const TFtpServer& s, const QString& name, QByteArray& url, char* error)
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    CurlPtr c(curl_easy_init());
    if (!c) return c;
    url = urlOf(s, name);
    curl_easy_setopt(c.get(), CURLOPT_URL, url.constData());
    curl_easy_setopt(c.get(), CURLOPT_ERRORBUFFER, error);
    // What a transfer without a local file gets (the size and date lines) goes nowhere.
    curl_easy_setopt(c.get(), CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(c.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c.get(), CURLOPT_CONNECTTIMEOUT, 15L);
    // A stalled data connection or a silent server ends the transfer instead of holding the
    // program (the automatic backup at the end has no cancel button).
    curl_easy_setopt(c.get(), CURLOPT_LOW_SPEED_LIMIT, s.LowSpeedBytes);
    curl_easy_setopt(c.get(), CURLOPT_LOW_SPEED_TIME, s.StallSeconds);
    curl_easy_setopt(c.get(), CURLOPT_SERVER_RESPONSE_TIMEOUT, s.StallSeconds);
    curl_easy_setopt(c.get(), CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
    const QByteArray user = s.User.toUtf8(), password = s.Password.toUtf8();
    curl_easy_setopt(c.get(), CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(c.get(), CURLOPT_PASSWORD, password.constData());
    return c;
}

QString hostPort(const TFtpServer& s)
{
    return s.Host + QLatin1Char(':') + QString::number(s.Port);
}

// A connection that failed is told in our words with the server's address; everything else with
// the reason in the program's words.
TFtpResult finish(CURLcode rc, const char* error, const Transfer& t, const TFtpServer& s)
{
    TFtpResult r;
    r.Ok = rc == CURLE_OK;
    r.Cancelled = t.cancelled;
    if (r.Ok) return r;
    r.Failure = FtpFailure::Other;
    r.Error = CurlReason(rc, error, t.writeErrno);
    switch (rc) {
        case CURLE_COULDNT_RESOLVE_HOST:
            r.Failure = FtpFailure::Connect;
            r.Error = QStringLiteral("サーバー %1 が見つかりません").arg(s.Host);
            break;
        case CURLE_COULDNT_CONNECT:
        case CURLE_OPERATION_TIMEDOUT:
            r.Failure = FtpFailure::Connect;
            r.Error = QStringLiteral("%1 に接続できません").arg(hostPort(s));
            break;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_GOT_NOTHING:
            r.Failure = FtpFailure::Connect;
            r.Error = QStringLiteral("%1 がFTPサーバーとして応答しません").arg(hostPort(s));
            break;
        case CURLE_LOGIN_DENIED:
            r.Failure = FtpFailure::Connect;
            r.Error = QStringLiteral("%1 にログインできません（ユーザー名かパスワードが違います）")
                          .arg(hostPort(s));
            break;
        case CURLE_REMOTE_ACCESS_DENIED:
            r.Failure = FtpFailure::NoFolder;
            break;
        case CURLE_REMOTE_FILE_NOT_FOUND:
            r.Failure = FtpFailure::NoFile;
            break;
        default:
            break;
    }
    // A download past its cap, and a transfer that moved data and then stalled (not a connection
    // that never came), are told as such.
    if (t.tooLarge || rc == CURLE_FILESIZE_EXCEEDED) {
        r.Failure = FtpFailure::Other;
        r.Error = QStringLiteral("ダウンロードするファイルが大きすぎるため中断しました。");
    } else if (rc == CURLE_OPERATION_TIMEDOUT && t.moved) {
        r.Failure = FtpFailure::Other;
        r.Error = QStringLiteral("通信が止まったため中断しました。");
    }
    if (t.cancelled) r.Error = QStringLiteral("中止しました。");
    return r;
}

TFtpResult noHandle()
{
    return {false, false, QStringLiteral("通信の準備ができません。"), FtpFailure::Other};
}

}  // namespace

namespace {

// How often an upload asks the server how much of the file it holds.
constexpr int kConfirmEveryMs = 500;

// Where an upload stands, as its transfer thread and the window thread agree on it.
enum UploadState : int {
    kSending,      // a cancel is taken
    kCancelAsked,  // the user chose 中止: the data stops and nothing is renamed
    kCommitting,   // the rename was sent: its answer decides, a cancel comes too late
};

struct Upload {
    QFile* file = nullptr;
    std::atomic<int> state{kSending};
    std::atomic<bool> moved{false};
    // The sockets of the transfer: a cancel shuts them, since libcurl waits for the server's
    // answer after the data in place, without asking whether to go on.
    std::mutex lock;
    std::vector<curl_socket_t> sockets;

    void stop()
    {
        const std::lock_guard<std::mutex> hold(lock);
        for (const curl_socket_t fd : sockets) ::shutdown(fd, SHUT_RDWR);
    }
};

curl_socket_t openUploadSocket(void* data, curlsocktype, curl_sockaddr* address)
{
    auto* u = static_cast<Upload*>(data);
    const curl_socket_t fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (fd == CURL_SOCKET_BAD) return fd;
    const std::lock_guard<std::mutex> hold(u->lock);
    u->sockets.push_back(fd);
    if (u->state == kCancelAsked) ::shutdown(fd, SHUT_RDWR);
    return fd;
}

int closeUploadSocket(void* data, curl_socket_t fd)
{
    auto* u = static_cast<Upload*>(data);
    {
        const std::lock_guard<std::mutex> hold(u->lock);
        u->sockets.erase(std::remove(u->sockets.begin(), u->sockets.end(), fd), u->sockets.end());
    }
    return ::close(fd);
}

size_t readUpload(char* buf, size_t size, size_t n, void* data)
{
    auto* u = static_cast<Upload*>(data);
    const qint64 got = u->file->read(buf, qint64(size * n));
    return got < 0 ? CURL_READFUNC_ABORT : size_t(got);
}

int onUploadProgress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulNow)
{
    auto* u = static_cast<Upload*>(data);
    if (ulNow > 0) u->moved = true;
    return u->state == kCancelAsked ? 1 : 0;
}

// The upload's work on the server, on its own thread: the data as name + ".part", then the rename
// unless a cancel came first; a lost answer to the rename is settled by the server's folder; what
// arrived of an upload that did not end in place is deleted.
TFtpResult uploadOnServer(const TFtpServer& server, const QString& name, qint64 total, Upload& u)
{
    char error[CURL_ERROR_SIZE] = {};
    QByteArray url;
    const QString part = name + QStringLiteral(".part");
    CurlPtr c = handle(server, part, url, error);
    if (!c) return noHandle();
    curl_easy_setopt(c.get(), CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c.get(), CURLOPT_FTP_CREATE_MISSING_DIRS, long(CURLFTP_CREATE_DIR_RETRY));
    curl_easy_setopt(c.get(), CURLOPT_INFILESIZE_LARGE, curl_off_t(total));
    curl_easy_setopt(c.get(), CURLOPT_READFUNCTION, readUpload);
    curl_easy_setopt(c.get(), CURLOPT_READDATA, &u);
    curl_easy_setopt(c.get(), CURLOPT_XFERINFOFUNCTION, onUploadProgress);
    curl_easy_setopt(c.get(), CURLOPT_XFERINFODATA, &u);
    curl_easy_setopt(c.get(), CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c.get(), CURLOPT_OPENSOCKETFUNCTION, openUploadSocket);
    curl_easy_setopt(c.get(), CURLOPT_OPENSOCKETDATA, &u);
    curl_easy_setopt(c.get(), CURLOPT_CLOSESOCKETFUNCTION, closeUploadSocket);
    curl_easy_setopt(c.get(), CURLOPT_CLOSESOCKETDATA, &u);
    CURLcode rc = curl_easy_perform(c.get());
    // The server confirmed every byte (226). A cancel is still taken until the rename is sent.
    int sending = kSending;
    if (rc == CURLE_OK && !u.state.compare_exchange_strong(sending, kCommitting))
        rc = CURLE_ABORTED_BY_CALLBACK;
    Transfer t;
    t.moved = u.moved;
    t.cancelled = u.state == kCancelAsked;
    if (rc != CURLE_OK) {
        const TFtpResult r = finish(rc, error, t, server);
        if (r.Failure != FtpFailure::Connect) FtpDelete(server, part);
        return r;
    }
    // The rename on the upload's connection; the quoted commands run before the change of folder:
    // full paths.
    const QString folder = folderOf(server);
    const QByteArray rnfr = "RNFR " + (folder + part).toUtf8(), rnto = "RNTO " + (folder + name).toUtf8();
    curl_slist* quote = curl_slist_append(nullptr, rnfr.constData());
    quote = curl_slist_append(quote, rnto.constData());
    const QByteArray folderUrl = urlOf(server, QString());
    curl_easy_setopt(c.get(), CURLOPT_UPLOAD, 0L);
    curl_easy_setopt(c.get(), CURLOPT_NOBODY, 1L);
    curl_easy_setopt(c.get(), CURLOPT_URL, folderUrl.constData());
    curl_easy_setopt(c.get(), CURLOPT_QUOTE, quote);
    std::memset(error, 0, sizeof error);
    rc = curl_easy_perform(c.get());
    c.reset();
    curl_slist_free_all(quote);
    TFtpResult r = finish(rc, error, Transfer{}, server);
    if (rc == CURLE_QUOTE_ERROR) {
        r.Error = QStringLiteral("サーバーで %1 を置き換えられません。").arg(name);
    } else if (!r.Ok) {
        // The answer to the rename was lost: the server's folder tells whether it was done.
        const TFtpResult still = FtpSize(server, part);
        if (!still.Ok && still.Failure == FtpFailure::NoFile && FtpSize(server, name).Size == total)
            r = {true, false, {}, FtpFailure::None};
    }
    if (!r.Ok) FtpDelete(server, part);
    return r;
}

}  // namespace

TFtpResult FtpUpload(const TFtpServer& server, const QString& localFile, const QString& name,
                     const FtpProgress& progress)
{
    QFile file;
    QString reason;
    if (!OpenReadFile(file, localFile, ReadKind::Archive, reason))
        return {false, false, reason, FtpFailure::Other};
    const qint64 total = file.size();
    Upload u;
    u.file = &file;
    // The transfer runs on a thread of its own (libcurl waits in place for the server's answers)
    // while this one turns the event loop: the windows are painted and 中止 is taken meanwhile.
    // A third thread asks the server on a second connection how much of the file it holds: the
    // progress shows that, never what was only sent (it may sit in buffers on the way), and the
    // whole file only once it is in place.
    std::atomic<qint64> serverHolds{0};
    std::atomic<bool> done{false};
    TFtpResult r;
    std::unique_ptr<QThread> asker(QThread::create([&] {
        char askError[CURL_ERROR_SIZE] = {};
        QByteArray askUrl;
        CurlPtr ask = handle(server, name + QStringLiteral(".part"), askUrl, askError);
        if (!ask) return;
        curl_easy_setopt(ask.get(), CURLOPT_NOBODY, 1L);
        curl_easy_setopt(ask.get(), CURLOPT_TIMEOUT, 10L);
        while (!done) {
            for (int waited = 0; waited < kConfirmEveryMs && !done; waited += 20) QThread::msleep(20);
            curl_off_t size = -1;
            if (!done && u.moved && curl_easy_perform(ask.get()) == CURLE_OK &&
                curl_easy_getinfo(ask.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size) == CURLE_OK &&
                size > serverHolds)
                serverHolds = qint64(size);
        }
    }));
    const auto tell = [&] {
        // After a cancel the box is not shown again while the transfer winds down.
        if (u.state == kCancelAsked) return;
        const qint64 shown = std::max<qint64>(0, std::min<qint64>(serverHolds, total - 1));
        const bool goOn = progress ? progress(shown, total) : true;
        int sending = kSending;
        if (!goOn && u.state.compare_exchange_strong(sending, kCancelAsked)) u.stop();
    };
    tell();  // 0 shown, and a cancel chosen already is taken before the first byte
    asker->start();
    RunBesideEventLoop([&] { r = uploadOnServer(server, name, total, u); }, tell);
    done = true;
    asker->wait();
    r.Cancelled = !r.Ok && u.state == kCancelAsked;
    // The server holds the whole file in its place.
    if (r.Ok && progress) progress(total, total);
    return r;
}

TFtpResult FtpDownload(const TFtpServer& server, const QString& name, const QString& localFile,
                       const FtpProgress& progress, qint64 maxBytes)
{
    const QString part = PartialFileName(localFile);
    RecordTemporaryFolder(QFileInfo(part).absolutePath());
    QFile file(part);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {false, false, FileWriteReason(file), FtpFailure::Other};
    char error[CURL_ERROR_SIZE] = {};
    QByteArray url;
    CurlPtr c = handle(server, name, url, error);
    if (!c) return noHandle();
    Transfer t;
    t.file = &file;
    t.progress = &progress;
    t.maxBytes = maxBytes;
    curl_easy_setopt(c.get(), CURLOPT_MAXFILESIZE_LARGE, curl_off_t(maxBytes));
    curl_easy_setopt(c.get(), CURLOPT_WRITEFUNCTION, writeFile);
    curl_easy_setopt(c.get(), CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c.get(), CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(c.get(), CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(c.get(), CURLOPT_NOPROGRESS, 0L);
    const CURLcode rc = curl_easy_perform(c.get());
    const bool flushed = file.flush();
    const QString unflushed = flushed ? QString() : FileWriteReason(file);
    file.close();
    TFtpResult r = finish(rc, error, t, server);
    if (r.Ok && !flushed) r = {false, false, unflushed, FtpFailure::Other};
    if (!r.Ok) {
        QFile::remove(part);
        return r;
    }
    try {
        CommitFileAtomic(part, localFile, QStringLiteral("ダウンロードしたファイルの保存"));
    } catch (const AppError& e) {
        return {false, false, e.message(), FtpFailure::Other};
    }
    return r;
}

TFtpResult FtpSize(const TFtpServer& server, const QString& name)
{
    char error[CURL_ERROR_SIZE] = {};
    QByteArray url;
    CurlPtr c = handle(server, name, url, error);
    if (!c) return noHandle();
    curl_easy_setopt(c.get(), CURLOPT_NOBODY, 1L);
    TFtpResult r = finish(curl_easy_perform(c.get()), error, Transfer{}, server);
    if (!r.Ok) return r;
    curl_off_t size = -1;
    curl_easy_getinfo(c.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
    r.Size = qint64(size);
    return r;
}

TFtpResult FtpDelete(const TFtpServer& server, const QString& name)
{
    char error[CURL_ERROR_SIZE] = {};
    QByteArray url;
    CurlPtr c = handle(server, QString(), url, error);
    if (!c) return noHandle();
    // The quoted command runs before the change of folder: the full path.
    const QByteArray dele = "DELE " + (folderOf(server) + name).toUtf8();
    curl_slist* quote = curl_slist_append(nullptr, dele.constData());
    curl_easy_setopt(c.get(), CURLOPT_NOBODY, 1L);
    curl_easy_setopt(c.get(), CURLOPT_QUOTE, quote);
    const CURLcode rc = curl_easy_perform(c.get());
    c.reset();
    curl_slist_free_all(quote);
    return finish(rc, error, Transfer{}, server);
}
