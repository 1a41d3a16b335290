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
};

// Packs every file below folder into archive, the entries named from the folder's own name on
// ("T/sub/a.dat" for a file sub/a.dat of the folder T). The archive is written beside its final
// name and put in place whole: on any failure an earlier archive stays as it was. An archive that
// lies inside folder is not packed into itself. Symbolic links are not followed.
int ZipFolder(const QString& archive, const QString& folder, const QString& password);
// Unpacks every entry of archive below folder, creating missing subfolders (0700) and files (0600).
// Before anything is written every entry is checked: an absolute path, a ".." part or a symbolic
// link makes the archive count as damaged (kZipFailed) and nothing is written.
int UnzipFile(const QString& archive, const QString& folder, const QString& password);
// The entry names of archive (without reading their data), empty when it cannot be opened.
QStringList ZipEntryNames(const QString& archive);
