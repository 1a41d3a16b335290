// Password-protected zip archives of a folder tree (deflate, traditional PKWARE encryption, which
// common unzip tools open), for the cloud backup.
#pragma once
#include <QString>

// Results of ZipFolder and UnzipFile.
enum ZipResult : int {
    kZipOk = 0,
    kZipNoSource = -1,       // ZipFolder: no such folder; UnzipFile: no such archive
    kZipFailed = -2,         // the archive could not be built or written, or read (damaged)
    kZipWrongPassword = -3,  // UnzipFile: the password does not open the archive
    kZipEmptyFolder = -4,    // ZipFolder: the folder holds no file, so there is nothing to keep
    kZipTooLarge = -5,       // UnzipFile: the unpacked size (declared or read) passes the limit
    kZipDiskFull = -6,       // the disk (or the user's quota) has no room for the archive or its files
};

// What an archive may unpack to. A year file of 90 employees is 1,349,288 bytes; all 27 company
// data sets with thirty years each stay below the total, and no file the program keeps comes near
// the entry limit. An archive past them is refused before anything is written.
struct TUnzipLimits {
    qint64 maxTotal = qint64(1) << 30;  // all entries together
    qint64 maxEntry = qint64(256) << 20;
};

// Packs every file below folder into archive, the entries named from the folder's own name on
// ("T/sub/a.dat" for a file sub/a.dat of the folder T). The archive is written beside its final
// name and put in place whole: on any failure an earlier archive stays as it was. An archive that
// lies inside folder is not packed into itself. Symbolic links are not followed.
int ZipFolder(const QString& archive, const QString& folder, const QString& password);
// Unpacks every entry of archive below folder, creating missing subfolders (0700) and files (0600).
// Before anything is written every entry is checked: an absolute path, a ".." part or a symbolic
// link makes the archive count as damaged (kZipFailed), and with a password a file entry that is
// not encrypted makes it kZipWrongPassword; then nothing is written. The entries are streamed in
// blocks into a hidden staging folder in folder (a temporary, ".unzip~pelmoras-tmp~XXXXXX"), each
// read to its end so that its CRC-32 is checked and stopped when it grows past its declared size; only when
// every entry passed are the files renamed into place, each over a file of its name (replaced
// whole, never moved aside: the staging folder, which the next start removes, holds nothing the
// folder had). A bad entry gives kZipFailed (damaged) or, in an encrypted archive before any entry
// proved the password, kZipWrongPassword; a size past limits kZipTooLarge, a full disk
// kZipDiskFull; in each case nothing in folder changes. A rename that fails after others (or a
// stop) leaves each file whole, the old or the new.
int UnzipFile(const QString& archive, const QString& folder, const QString& password);
int UnzipFile(const QString& archive, const QString& folder, const QString& password,
              const TUnzipLimits& limits);
// The entry names of archive (without reading their data), empty when it cannot be opened.
QStringList ZipEntryNames(const QString& archive);
