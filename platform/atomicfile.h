// Whole-file writes that leave either the old file or the new one, whole, however they stop
// (an error, a full disk, a kill, a power loss), and the private modes of the user's data.
#pragma once
#include <QByteArray>
#include <QString>

// Replaces path with data: written to a temporary file (mode 0600) in the same folder, every write
// checked, synced, renamed over path, then the folder synced. On any failure the old file stays
// as it was, the temporary file is removed and IoError names what, the path and the system's
// reason.
void WriteFileAtomic(const QString& path, const QByteArray& data, const QString& what);

// Puts a file that another writer has finished (a ".part" file) in place of path the same way:
// synced, mode 0600, renamed, folder synced. On failure the partial file is removed, the old file
// stays and IoError is thrown.
void CommitFileAtomic(const QString& partial, const QString& path, const QString& what);

// The reason of a system error code for the user: a Japanese sentence for the usual causes, with
// the system's own text behind it.
QString SystemReason(int err);

// Creates folder (and missing parents) for the user's data with mode 0700, and tightens an
// existing one to 0700. Returns false with errno set when it cannot be made.
bool MakePrivateFolder(const QString& folder);
// Creates folder (and missing parents) with mode 0700 like MakePrivateFolder, but leaves the mode
// of a folder that exists already: a folder the user chose may be shared with colleagues.
bool MakeFolderPrivateIfNew(const QString& folder);
// Tightens an existing file of the user's data to 0600 (nothing when it does not exist).
void MakePrivateFile(const QString& path);
