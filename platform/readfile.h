// The one way the program opens a file to read: no link followed where the name is ours, an open
// that cannot block (a FIFO answers at once), regular files only, and a size cap for each kind.
#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>

// What a file read is: it decides the largest size taken and whether a link at its name is
// followed. Only a file the user chose himself, his settings and the tables the installer links
// are read through a link; what a link leads to is still refused when it is no regular file.
enum class ReadKind {
    Data,      // year files and the program's other record files (a year file is 1,349,288 bytes)
    Settings,  // ini files (a few kilobytes); a link the user made to keep them elsewhere is followed
    Journal,   // the journal of a swap of staged files
    Table,     // the published table files (a few hundred kilobytes); the installer's links at the old
               // names in the program folder's top lead to the version in use and are followed
    Log,       // the system log, which grows with years of use
    Checksum,  // a checksum file beside an archive (one line)
    List,      // the program's own lists (the record of folders holding temporaries)
    Chosen,    // a file the user picked (an import, an attachment); a link is followed
    Archive,   // an archive the program downloaded or made (an update, a backup)
    Backup,    // a file of a backup being restored (no link followed, whoever made the backup)
};

// The largest file of kind that is read, in bytes.
constexpr qint64 MaxReadSize(ReadKind kind)
{
    switch (kind) {
        case ReadKind::Data:
            return qint64(16) << 20;
        case ReadKind::Settings:
            return qint64(4) << 20;
        case ReadKind::Journal:
            return qint64(16) << 20;
        case ReadKind::Table:
            return qint64(16) << 20;
        case ReadKind::Log:
            return qint64(64) << 20;
        case ReadKind::Checksum:
            return qint64(64) << 10;
        case ReadKind::List:
            return qint64(1) << 20;
        case ReadKind::Chosen:
            return qint64(64) << 20;
        case ReadKind::Archive:
            return qint64(256) << 20;
        case ReadKind::Backup:
            // The largest file the program writes is a year file of 1,349,288 bytes, the settings
            // files stay at a few kilobytes: a file fifty times the year file is not ours.
            return qint64(64) << 20;
    }
    return 0;
}

// A descriptor closed when it goes out of scope, unless released.
struct TFd {
    int fd = -1;
    explicit TFd(int f) : fd(f) {}
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd();
    int release()
    {
        const int f = fd;
        fd = -1;
        return f;
    }
};

// Opens path for reading by the rules of kind (what is not a regular file is not even opened):
// O_NOFOLLOW (unless the kind follows links), O_NONBLOCK (cleared once the file is known to be a
// regular one), fstat S_ISREG, size at most MaxReadSize(kind). Returns the descriptor (O_CLOEXEC;
// the caller closes it), or -1 with reason set to a Japanese sentence and errno set (ENOENT:
// nothing there, ELOOP: a link, EISDIR: a folder, EINVAL: another kind of file, EFBIG: too
// large, else the system's).
int OpenForReading(const QString& path, ReadKind kind, QString& reason);
// The same, throwing IoError::failed(what, path, reason) instead of returning -1.
int OpenForReadingOrThrow(const QString& path, ReadKind kind, const QString& what);
// As OpenForReading for name (as the system has it) in the folder open as dirFd, which stays open.
int OpenForReadingAt(int dirFd, const QByteArray& name, ReadKind kind, QString& reason);
// The same for the file rel ("name" or "folder/name") below the folder base, whatever the kind
// following no link below base: each folder on the way is opened O_NOFOLLOW, so that a link put
// in one's place (before or while the caller reads) leads nowhere; base itself is the caller's.
// A link, a pipe or a file in a folder's place on the way fails as at the file (ELOOP for a link,
// ENOTDIR for anything else) with its reason.
int OpenBelowForReading(const QString& base, const QString& rel, ReadKind kind, QString& reason);

// Opens path into file (which then owns the descriptor) by the rules of kind; false with reason
// (and errno) set. file.fileName() stays empty: messages name path.
bool OpenReadFile(QFile& file, const QString& path, ReadKind kind, QString& reason);
// The same, throwing IoError::failed(what, path, reason).
void OpenReadFileOrThrow(QFile& file, const QString& path, ReadKind kind, const QString& what);

// The whole file (at most MaxReadSize(kind), also when it grows while read); false with reason
// (and errno) set.
bool ReadWholeFile(const QString& path, ReadKind kind, QByteArray& data, QString& reason);
// The same, throwing IoError::failed(what, path, reason).
QByteArray ReadWholeFileOrThrow(const QString& path, ReadKind kind, const QString& what);

// Why a file of mode is not read (a link, a FIFO, a device, a socket, a folder), or empty for a
// regular file.
QString NotRegularReason(unsigned mode);
