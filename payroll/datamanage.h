// Management of stored data: the deletion of one saved period, the backup of every company data
// set into a folder and the restore from one, the data folders of the sets, and the registration
// of a further company data set.
#pragma once
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// Deletes period p (1..15) of the year file fileName: its present byte (and for a bonus slot its
// payment date) cleared in YearHeader, for a month its entry of MonthCorpRecs zeroed, the record on
// disk all zeros and the period image empty. The file is rewritten atomically; on failure IoError
// is thrown and file and memory stay as they were.
void DeletePeriodData(const QString& fileName, int p);

// The dated backup folder: folder + "/" + "%d年%d月%d日".
QString DatedFolder(const QString& folder, const QDate& day);

// True when folder (followed through links) is the data root or lies inside it: a backup there
// would copy the data into itself, a restore from there would replace the files it reads.
bool IsInDataRoot(const QString& folder, const QString& dataRoot);

// The data folder of the first set (index 0) and of the sets "_a".."_z" (1..26) under root.
QString SetDataFolder(const QString& root, int index);
// The backup's folder of the same set: folder itself, or folder + "/Data2_" + letter.
QString BackupSetFolder(const QString& folder, int index);

// The result of a backup or restore: ok, or the reason for the user (file and system reason).
struct TCopyResult {
    bool ok = true;
    QString reason;
};

// Copies every set's "*.dat" files (not "yubinno.dat"), the program-wide settings file and the
// sets' settings files into folder, each file written atomically, folders 0700. The files of an
// earlier backup in folder are removed first when clearOld is set (so that a set deleted since
// does not come back with a restore). The SMTP password of [Mail] is left out of the settings file
// it writes. Stops at the first failure.
TCopyResult BackupToFolder(const QString& folder, bool clearOld = false);

// Replaces the data with the backup in folder: every file is first copied into a staging folder
// under the data root; only when every copy succeeded are the files a backup carries (the
// "*.dat" files of the set folders except "yubinno.dat", the settings files) swapped for the
// staged ones. The SMTP password of [Mail] stays the local one (none when there is none here),
// whatever the backup's settings file holds. Any failure leaves the data as it was. Refuses a
// folder without "Tolvane.ini" and one in the data root.
TCopyResult RestoreFromFolder(const QString& folder);

// True when the folder exists and holds no entries.
bool IsEmptyFolder(const QString& folder);

// The first code "_a".."_z" that no line carries, whose data folder holds no files and whose
// settings file is absent under root; empty when there is none.
QString FindFreeCorpCode(const QStringList& lines, const QString& root);

// A chosen folder whose path ends with a "Data2" component (any letter case): the settings file
// "Tolvane.ini" beside it. Empty when the folder is not a "Data2" folder.
QString ReferenceIniFile(const QString& folder);

// Registers a further company data set: code from FindFreeCorpCode; with a source folder (adding
// by reference) the source's settings file and "*.dat" files are copied into the new set's files
// first. Returns the new line count; throws AppError when no code is free or a copy failed (then
// nothing is registered and what was copied is removed).
int AddCorpData(const QString& sourceFolder, const QString& sourceIni);

// A name for a new folder inside a chosen one: not empty, no "/", no control character, not "."
// or "..", so that nothing is made outside that folder.
bool IsValidFolderName(const QString& name);

// A top node of the folder picker: the home folder, "/" and the removable and network mounts
// (pseudo file systems left out); path is absolute, without a final "/" except for "/".
struct TFolderRoot {
    QString text;
    QString path;
    bool removable = false;
};
QList<TFolderRoot> FolderRoots();

// The folder the picker starts at: BackupPath of [Option] in IniFileName, else the home folder.
QString DefaultBackupFolder();
