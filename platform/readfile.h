// The one way the program opens a file to read: no link followed where the name is ours, an open
// that cannot block (a FIFO answers at once), regular files only, and a size cap for each kind.
#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>

// What a file read is: it decides the largest size taken and whether a link at its name is
// followed. Only a file the user chose himself is read through a link.
enum class ReadKind {
    Data,      // year files and the program's other record files (a year file is 1,349,288 bytes)
    Settings,  // ini files (a few kilobytes); a link the user made to keep them elsewhere is followed
    Journal,   // the journal of a swap of staged files
    Table,     // the published table files (a few hundred kilobytes)
    Log,       // the system log, which grows with years of use
    Checksum,  // a checksum file beside an archive (one line)
    List,      // the program's own lists (the record of folders holding temporaries)
    Chosen,    // a file the user picked (an import, an attachment); a link is followed
    Archive,   // an archive the program downloaded or made (an update, a backup)
};

// The largest file of kind that is read, in bytes.
qint64 MaxReadSize(ReadKind kind);

// Opens path for reading by the rules of kind: O_NOFOLLOW (unless the kind follows links),
// O_NONBLOCK (cleared once the file is known to be a regular one), fstat S_ISREG, size at most
// MaxReadSize(kind). Returns the descriptor (O_CLOEXEC; the caller closes it), or -1 with reason
// set to a Japanese sentence and errno set (ENOENT: nothing there, ELOOP: a link, EFTYPE-like
// EINVAL: not a regular file, EFBIG: too large, else the system's).
int OpenForReading(const QString& path, ReadKind kind, QString& reason);
// The same, throwing IoError::failed(what, path, reason) instead of returning -1.
int OpenForReadingOrThrow(const QString& path, ReadKind kind, const QString& what);

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
