// Single-instance guard over QLockFile and a Unix-domain socket.
#include "platform/singleinstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QWidget>
#include <cerrno>
#include <cstring>

#include "platform/filetree.h"
#include "platform/msgbox.h"

namespace {

const QByteArray kActivate = "activate\n";
// A request is one short line; a peer that sends more than this without a line end is dropped.
constexpr int kMaxPending = 256;

// At most this many peers are held at once; the oldest goes for a newer one, so that held
// connections can neither fill the descriptor table nor keep a real request out.
constexpr int kMaxClients = 16;

// A folder of this user alone: a real folder (not a link), his, mode 0700.
bool isPrivateFolder(const QByteArray& name)
{
    struct stat st;
    return ::lstat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 07777) == 0700;
}

QString defaultFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty()) {
        MakeFolder(runtime, 0700);
        return runtime;
    }
    // The shared temporary folder: anyone may have made the name first. The first name of the row
    // that is this user's private folder, or that he can make so, is taken; every copy of his walks
    // the same row and so finds the same folder.
    const QString base = QDir::tempPath() + QStringLiteral("/pelmoras-%1").arg(::geteuid());
    for (int i = 0; i < 100; ++i) {
        const QString folder = i == 0 ? base : base + QStringLiteral("-%1").arg(i);
        // A folder there already (anyone's, of any mode) is taken only when it is his own and private;
        // a link at the name is not followed.
        if (MakeFolder(folder, 0700) && isPrivateFolder(QFile::encodeName(folder))) return folder;
    }
    // Every name taken by others: a fresh folder of this run alone.
    QByteArray name = QFile::encodeName(base + QStringLiteral("-XXXXXX"));
    return ::mkdtemp(name.data()) ? QFile::decodeName(name) : base;
}

QString folderOr(const QString& folder)
{
    return folder.isEmpty() ? defaultFolder() : folder;
}

// The socket address of path; false when the path does not fit.
bool addressOf(const QString& path, sockaddr_un& addr)
{
    const QByteArray name = QFile::encodeName(path);
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (name.isEmpty() || size_t(name.size()) >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, name.constData(), size_t(name.size()));
    return true;
}

// Waits until fd is ready for events or the time is up.
bool waitFor(int fd, short events, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    for (;;) {
        pollfd p{fd, events, 0};
        const int left = std::max(0, timeoutMs - int(t.elapsed()));
        const int n = ::poll(&p, 1, left);
        if (n > 0) return (p.revents & events) != 0;
        if (n == 0 || errno != EINTR) return false;
    }
}

}  // namespace

struct SingleInstance::Client {
    std::unique_ptr<QSocketNotifier> notifier;
    QByteArray pending;
};

SingleInstance::SingleInstance(const QString& name, const QString& folder, QObject* parent)
    : QObject(parent),
      serverPath_(folderOr(folder) + QLatin1Char('/') + name),
      lock_(serverPath_ + QStringLiteral(".lock"))
{
    // A running copy keeps its lock however long it runs; a crashed one is detected by its pid.
    lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    release();
}

bool SingleInstance::acquire()
{
    if (held_) return true;
    if (!lock_.tryLock(0)) {
        // Only a lock held by a live copy refuses the start here; what a start may do without a
        // usable lock is the caller's to decide (isUsable()).
        if (lock_.error() == QLockFile::LockFailedError) return false;
        qWarning("single-instance lock %s not usable", qPrintable(lock_.fileName()));
        usable_ = false;
        return true;
    }
    usable_ = true;
    held_ = true;
    sockaddr_un addr;
    if (!addressOf(serverPath_, addr)) {
        qWarning("single-instance socket path too long: %s", qPrintable(serverPath_));
        return true;
    }
    // A socket left by a copy that crashed would make bind() fail; the lock says none runs.
    ::unlink(addr.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        qWarning("single-instance socket: %s", std::strerror(errno));
        return true;
    }
    // Only this user may ask the running copy anything.
    const mode_t old = ::umask(0077);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    ::umask(old);
    if (!bound || ::listen(fd, 8) != 0) {
        qWarning("single-instance socket %s: %s", addr.sun_path, std::strerror(errno));
        ::close(fd);
        return true;
    }
    listenFd_ = fd;
    listener_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(listener_.get(), &QSocketNotifier::activated, this, &SingleInstance::onConnection);
    return true;
}

void SingleInstance::onConnection()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        if (clients_.size() >= kMaxClients && !order_.isEmpty()) closeClient(order_.first(), false);
        auto* c = new Client;
        order_.append(fd);
        c->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(c->notifier.get(), &QSocketNotifier::activated, this, [this, fd] { onClientData(fd); });
        clients_.insert(fd, c);
    }
}

void SingleInstance::onClientData(int fd)
{
    char buf[128];
    for (;;) {
        Client* c = clients_.value(fd);
        // The handler may have let the guard go.
        if (!c) return;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) closeClient(fd, true);
            return;
        }
        c->pending.append(buf, n);
        // Lines are taken as they come, so that what waits is never more than one short line.
        int activations = 0;
        for (int at; (at = c->pending.indexOf('\n')) >= 0;) {
            if (c->pending.left(at + 1) == kActivate) ++activations;
            c->pending.remove(0, at + 1);
        }
        if (c->pending.size() > kMaxPending) closeClient(fd, true);
        for (int i = 0; i < activations && activate_; ++i) activate_();
    }
}

void SingleInstance::closeClient(int fd, bool fromItsSignal)
{
    Client* c = clients_.take(fd);
    if (!c) return;
    order_.removeOne(fd);
    c->notifier->setEnabled(false);
    // From the notifier's own signal it is deleted once control is back in the event loop.
    if (fromItsSignal) c->notifier.release()->deleteLater();
    delete c;
    ::close(fd);
}

bool SingleInstance::activateRunning(int timeoutMs)
{
    sockaddr_un addr;
    if (!addressOf(serverPath_, addr)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    bool sent = false;
    int r = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    if (r != 0 && (errno == EAGAIN || errno == EINPROGRESS) && waitFor(fd, POLLOUT, timeoutMs)) {
        int err = 0;
        socklen_t len = sizeof err;
        r = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0 ? 0 : -1;
    }
    if (r == 0 && waitFor(fd, POLLOUT, timeoutMs))
        sent = ::send(fd, kActivate.constData(), size_t(kActivate.size()), MSG_NOSIGNAL) == kActivate.size();
    ::close(fd);
    return sent;
}

void SingleInstance::release()
{
    listener_.reset();
    for (int fd : clients_.keys()) closeClient(fd, false);
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        sockaddr_un addr;
        if (addressOf(serverPath_, addr)) ::unlink(addr.sun_path);
    }
    if (held_) lock_.unlock();
    held_ = false;
}

void RestoreAndRaise(QWidget* window)
{
    if (!window) return;
    if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

bool IsUpdateRunArguments(const QStringList& arguments)
{
    static const QStringList switches{QStringLiteral("/Update"), QStringLiteral("/Download"),
                                      QStringLiteral("/DownloadF")};
    return arguments.size() == 2 && switches.contains(arguments[1]);
}

bool PassSingleInstanceGuard(SingleInstance& guard, const QStringList& arguments)
{
    if (guard.acquire() || IsUpdateRunArguments(arguments)) return true;
    ShowError(QStringLiteral("このプログラムは二重起動できません。"));
    guard.activateRunning();
    return false;
}
