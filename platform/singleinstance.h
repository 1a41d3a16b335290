// Single-instance guard: a lock file held by the running copy plus a Unix-domain socket of the same
// name through which a later copy asks the running one to bring its main window forward. The socket
// is served through plain POSIX calls and socket notifiers, so the start needs no network library.
#pragma once
#include <QHash>
#include <QList>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QSocketNotifier;
class QWidget;

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // Folder empty: the user's runtime folder, so that every user has his own copy.
    explicit SingleInstance(const QString& name, const QString& folder = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock and starts serving activation requests. False while another copy holds it.
    bool acquire();
    bool isHeld() const { return held_; }
    // False after acquire() when the lock file could not be made at all (a full or unwritable
    // runtime folder): nothing tells whether another copy runs.
    bool isUsable() const { return usable_; }
    QString lockFileName() const { return lock_.fileName(); }
    // Asks the copy holding the lock to activate its main window; false when none answered.
    bool activateRunning(int timeoutMs = 2000);
    // What the holding copy does when asked (normally RestoreAndRaise of the main window).
    void setActivateHandler(std::function<void()> handler) { activate_ = std::move(handler); }
    // Stops serving and gives the lock up; also done by the destructor.
    void release();

    QString serverPath() const { return serverPath_; }

  private:
    struct Client;
    void onConnection();
    void onClientData(int fd);
    void closeClient(int fd, bool fromItsSignal);

    QString serverPath_;
    QLockFile lock_;
    int listenFd_ = -1;
    std::unique_ptr<QSocketNotifier> listener_;
    QHash<int, Client*> clients_;
    QList<int> order_;  // the clients' descriptors, oldest first
    std::function<void()> activate_;
    bool held_ = false;
    bool usable_ = true;
};

// Un-minimises a window and brings it to the front.
void RestoreAndRaise(QWidget* window);

// The arguments (the program's name first) of an update run: exactly one of "/Update",
// "/Download" and "/DownloadF".
bool IsUpdateRunArguments(const QStringList& arguments);
// The start-up step: a copy started while another runs shows "このプログラムは二重起動できません。",
// activates the running copy and must end (false). Only the update runs pass beside it; any other
// parameter would let a second copy work on the same data.
bool PassSingleInstanceGuard(SingleInstance& guard, const QStringList& arguments);
