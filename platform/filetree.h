// Folders and trees of files: the one remover that never follows a link, the one folder maker,
// the one staging folder, the one block copy, the one "ends with a slash".
#pragma once
#include <sys/types.h>

#include <QByteArray>
#include <QList>
#include <QString>

// folder with one "/" at its end (as it is when it has one already).
QString WithSlash(const QString& folder);

// The names in the folder open as dirFd, without "." and ".." (the descriptor stays open and
// unread).
QList<QByteArray> NamesInFolder(int dirFd);

// Whose trees may be removed.
enum class TreeOwner {
    Any,     // whatever owner (a tree the caller made and holds)
    Mine,    // only folders of this user (the effective uid); another's stays with all it holds
    Marked,  // only a tree whose own name carries TemporaryMarker, and of this user
};
// Removes path with everything below it, never following a link: a link at path or inside is
// removed itself, what it points to stays whole. openat/unlinkat below the parent, never a path
// with a trailing slash. Nothing there counts as removed. False with reason (when given) set
// when something stayed: a folder the owner rule refuses, or one that could not be removed.
bool RemoveTree(const QString& path, TreeOwner owner, QString* reason = nullptr);
// The same, the entry named last inside path removed after every other one and only when they
// all went (the mark of a finished swap, which tells the next run what the rest is).
bool RemoveTreeLast(const QString& path, TreeOwner owner, const QString& last, QString* reason = nullptr);

// Makes folder and its missing parents, each one made with exactly mode (not narrowed by the
// umask); a folder that is there already keeps its mode. made (when given) says whether folder
// itself was made now. A link at folder's own name is refused (ELOOP), as is a file there (EEXIST)
// or at a parent's name (ENOTDIR, as mkdir says). False with errno set.
bool MakeFolder(const QString& folder, mode_t mode = 0700, bool* made = nullptr);

// A staging folder of the program's own: made new (never one that was there), removed by
// RemoveTree with everything in it when the object ends, unless it holds the file named by
// keepIfHolds (a journal the next run settles) or keep() was called.
class TStageFolder {
  public:
    // ".<purpose>~pelmoras-tmp~XXXXXX" in parent, mode 0700, recorded for the start's clean-up.
    TStageFolder(const QString& parent, const QString& purpose);
    // Exactly path (a fixed name), made with mode; fails (EEXIST) when anything is at that name.
    static TStageFolder exactly(const QString& path, mode_t mode = 0700);
    TStageFolder(TStageFolder&& other) noexcept;
    TStageFolder(const TStageFolder&) = delete;
    TStageFolder& operator=(const TStageFolder&) = delete;
    TStageFolder& operator=(TStageFolder&&) = delete;
    ~TStageFolder();

    bool ok() const { return !path_.isEmpty(); }
    int error() const { return err_; }             // errno of a failed make
    const QString& path() const { return path_; }  // ends with "/"; empty when not made
    void keepIfHolds(const QString& name) { keepIfHolds_ = name; }
    // name is removed after everything else in it (the mark of a finished swap).
    void removeLast(const QString& name) { last_ = name; }
    void keep() { kept_ = true; }
    // Removes it now (unless kept); false with reason when something stayed.
    bool remove(QString* reason = nullptr);

  private:
    TStageFolder() = default;
    QString path_;
    QString keepIfHolds_;
    QString last_;
    int err_ = 0;
    bool kept_ = false;
};

// How a copy ended.
struct TBlockCopy {
    enum Outcome { Done, ReadFailed, WriteFailed, TooLarge };
    Outcome outcome = Done;
    int err = 0;  // ReadFailed, WriteFailed: the system's error
    bool ok() const { return outcome == Done; }
};
// Copies what is left to read of in into a new file to (mode, O_CREAT|O_EXCL|O_NOFOLLOW) in
// blocks, interrupted reads and short writes resumed, never the whole file in memory, at most
// maxSize bytes (negative: no cap), then syncs it. On failure the partial target is removed.
TBlockCopy CopyToNewFile(int in, const QString& to, qint64 maxSize = -1, mode_t mode = 0600);
