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

// Puts a file that another writer has finished (its PartialFileName) in place of path the same way:
// synced, mode 0600, renamed, folder synced. On failure the partial file is removed, the old file
// stays and IoError is thrown.
void CommitFileAtomic(const QString& partial, const QString& path, const QString& what);

// MakeFolder (filetree.h) with mode 0700 for the data root, which the program has always owned:
// an existing one of this user is tightened to 0700. False with errno set.
bool MakePrivateFolder(const QString& folder);
// Tightens an existing file of the user's data to 0600 (nothing when it does not exist).
void MakePrivateFile(const QString& path);

// Every temporary file and folder the program makes is named ".<name>~pelmoras-tmp~<rest>": a
// dot, the name of the file it becomes (or what the folder is for), this marker, then six random
// characters or "part". No user names a file so; the start removes exactly these.
inline constexpr char TemporaryMarker[] = "~pelmoras-tmp~";
// ".<fileName>~pelmoras-tmp~": the start of the temporaries of the file named fileName.
QString TemporaryPrefix(const QString& fileName);
// The partial file of target that another writer fills (a printer's PDF engine, libzip, a
// download): ".<name>~pelmoras-tmp~part" beside it.
QString PartialFileName(const QString& target);
// True for a name made by TemporaryPrefix.
bool IsTemporaryName(const QString& fileName);
// Creates a private (0600) temporary file for target beside it, its folder recorded for the
// start's clean-up; returns the descriptor (name set) or -1 with errno set.
int CreateTemporaryFile(const QString& target, QByteArray& name);
// Creates a private (0700) temporary folder ".<purpose>~pelmoras-tmp~XXXXXX" in parent; empty with
// errno set on failure.
QString CreateTemporaryFolder(const QString& parent, const QString& purpose);
// Removes the leftover temporaries in folder: all of them, files and folders, or only the files of
// the file named target when it is given. Other names, other users' files, links (never followed)
// and files a running writer holds stay. Returns the number removed.
int RemoveStaleTemporaries(const QString& folder, const QString& target = QString());

// Temporaries made outside the data root (a backup, an export, a PDF in a folder the user chose)
// are found again through a record in the data root: the folders are listed in the file named
// here, each once, before a temporary is made in them. Empty: nothing is recorded.
void SetTemporaryRecord(const QString& recordFile);
// The record file of the data root root.
QString TemporaryRecordFile(const QString& root);
// Adds folder to the record.
void RecordTemporaryFolder(const QString& folder);
// Removes the leftover temporaries in every folder the record of root lists, then the record.
int RemoveRecordedTemporaries(const QString& root);

// The older writer named its temporaries ".<target>.XXXXXX", as a user may name his own copies
// (".<year file>.bak001", "cp -p" keeps size, mode and owner). One of those is removed only when
// nothing is lost with it: the target is a year file ("*.dat") of this user beside it, and the
// leftover is this user's private (0600) regular file, held by nobody, byte for byte the same as
// the target. Returns the number removed.
int RemoveOlderTemporaries(const QString& folder);

// Writes every byte to the descriptor (interrupted writes resumed); false with errno set.
bool WriteAllBytes(int fd, const char* data, qint64 size);
// Syncs folder itself, so that renames inside it are on disk; a file system that cannot sync a
// folder counts as done. False with errno set.
bool SyncFolder(const QString& folder);
// Syncs the folder that holds path, so that a rename into it is on disk; a file system that cannot
// sync a folder counts as done. False with errno set.
bool SyncFolderOf(const QString& path);
