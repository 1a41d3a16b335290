// Single-instance guard over QLockFile and QLocalServer.
#include "platform/singleinstance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QWidget>

#include "platform/msgbox.h"

namespace {

const QByteArray kActivate = "activate\n";

QString defaultFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath() + QStringLiteral("/pelmoras-%1").arg(::getuid());
    QDir().mkpath(folder);
    return folder;
}

QString folderOr(const QString& folder)
{
    return folder.isEmpty() ? defaultFolder() : folder;
}

}  // namespace

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
        // Only a lock held by a live copy refuses the start; a lock folder we cannot use must not
        // keep the program from running at all.
        if (lock_.error() == QLockFile::LockFailedError) return false;
        qWarning("single-instance lock %s not usable", qPrintable(lock_.fileName()));
        return true;
    }
    held_ = true;
    // A socket left by a copy that crashed would make listen() fail.
    QLocalServer::removeServer(serverPath_);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::onConnection);
    if (!server_->listen(serverPath_))
        qWarning("single-instance server: %s", qPrintable(server_->errorString()));
    return true;
}

void SingleInstance::onConnection()
{
    while (QLocalSocket* s = server_->nextPendingConnection()) {
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QLocalSocket::readyRead, this, [this, s] {
            while (s->canReadLine())
                if (s->readLine() == kActivate && activate_) activate_();
        });
    }
}

bool SingleInstance::activateRunning(int timeoutMs)
{
    QLocalSocket s;
    s.connectToServer(serverPath_);
    if (!s.waitForConnected(timeoutMs)) return false;
    s.write(kActivate);
    const bool sent = s.waitForBytesWritten(timeoutMs);
    s.disconnectFromServer();
    return sent;
}

void SingleInstance::release()
{
    server_.reset();
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

bool PassSingleInstanceGuard(SingleInstance& guard, const QStringList& arguments)
{
    if (guard.acquire() || arguments.size() > 1) return true;
    ShowError(QStringLiteral("このプログラムは二重起動できません。"));
    guard.activateRunning();
    return false;
}
