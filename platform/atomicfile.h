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

// Starts the partial file that another writer (a printer's PDF engine) fills: a stale one of an
// earlier stopped run is removed, and the new one is made empty and private (0600) before the
// writer opens it, so that the partial copy of the data is never readable by others. IoError on
// failure.
void StartPartialFile(const QString& partial, const QString& what);

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

// The temporary files of WriteFileAtomic are ".<target name>.XXXXXX" (six letters or digits, not
// all small letters or all digits, which would be a word or a date of the user's own) beside the
// target; the writer holds a lock on its own while it writes. A temporary file of this user that
// nobody holds any longer is a leftover of a stopped write.
bool IsAtomicTemporaryName(const QString& fileName);
// Removes the leftover temporary files in folder: all of them, or only those of the target named
// target (a file name) when it is given. Files of other names, of other users, links and files a
// running writer holds are left alone. Returns the number removed.
int RemoveStaleTemporaries(const QString& folder, const QString& target = QString());
// Writes every byte to the descriptor (interrupted writes resumed); false with errno set.
bool WriteAllBytes(int fd, const char* data, qint64 size);
// Syncs folder itself, so that renames inside it are on disk; a file system that cannot sync a
// folder counts as done. False with errno set.
bool SyncFolder(const QString& folder);
// Syncs the folder that holds path, so that a rename into it is on disk; a file system that cannot
// sync a folder counts as done. False with errno set.
bool SyncFolderOf(const QString& path);

// Removes a file of this user in folder, not following links; false when it was not there or could
// not be removed. Used for the program's own leftovers only.
bool RemoveOwnFile(const QString& path);
