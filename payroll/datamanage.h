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
// would copy the data into itself, a restore from there would replace the files it reads. The
// program's own temporary folders there (the cloud backup's work folder) do not count.
bool IsInDataRoot(const QString& folder, const QString& dataRoot);

// The data folder of the first set (index 0) and of the sets "_a".."_z" (1..26) under root.
QString SetDataFolder(const QString& root, int index);
// The backup's folder of the same set: folder itself, or folder + "/Data2_" + letter.
QString BackupSetFolder(const QString& folder, int index);

// The result of a backup or restore: ok, or the reason for the user (file and system reason).
struct TCopyResult {
    bool ok = true;
    QString reason;
    // A restore whose swap could neither finish nor be undone (the files could not be renamed):
    // the program must end, and its next start completes or undoes the swap.
    bool pending = false;
};

// Copies every set's "*.dat" files (not "yubinno.dat"), the program-wide settings file and the
// sets' settings files into folder, each file written atomically; the folders it makes are 0700,
// folders that exist keep their mode (a folder the user chose may be shared). The files of an
// earlier backup in folder are removed first when clearOld is set (so that a set deleted since
// does not come back with a restore). The SMTP password of [Mail] is left out of the settings file
// it writes. Stops at the first failure: a link, a pipe or a device where it reads (a file or a
// set folder) and a file past the data files' size are refused, never followed or read; files are
// copied in blocks, never read whole; any exception becomes the result's message.
TCopyResult BackupToFolder(const QString& folder, bool clearOld = false);

// Replaces the data with the backup in folder: every file is first copied into a staging folder
// under the data root; only when every copy succeeded are the files a backup carries (the
// "*.dat" files of the set folders except "yubinno.dat", the settings files) swapped for the
// staged ones. The SMTP password of [Mail] stays the local one (none when there is none here),
// whatever the backup's settings file holds. Any failure leaves the data as it was. Refuses a
// folder without "Tolvane.ini" and one in the data root; a backup that holds a link, a pipe or a
// device where it reads (set folders, "*.dat" files, settings files), found before anything is
// copied or while copying, is refused, as is a file past 64 MB (the program's largest file, a year
// file, is 1,349,288 bytes). Files are copied in blocks, never read whole.
TCopyResult RestoreFromFolder(const QString& folder);

// A restore stopped while it swapped files (a kill, a crash, a power cut) is found at the next start
// by the journal in its staging folder under the data root (".restore~pelmoras-tmp~XXXXXX") and
// completed, or undone when a staged file is missing or a rename fails; the data sets then hold
// exactly the old or exactly the new files. A staging folder of a restore stopped before its swap is
// removed. Only this user's private (0700) folders are taken, and of the earlier naming
// (".restore-XXXXXX", as a user may name his own folder) only one that holds a whole journal; a
// journal that is a link, a pipe, a device or too large is not read (Failed).
struct TRestoreRecovery {
    enum Outcome { None, RolledBack, Completed, Failed };
    Outcome outcome = None;
    QString folder;  // Failed: the staging folder kept with the files moved aside
    QString reason;  // Failed: why
};
TRestoreRecovery RecoverRestores(const QString& root);
// Whether root holds a restore stopped in its swap (a journal RecoverRestores would read): the
// data sets may be half restored.
bool HasStoppedRestore(const QString& root);

// The messages of the start after a stopped restore.
inline const QString RestoreCompletedMessage = QStringLiteral(
    "前回のデータの復元が途中で止まっていたため、続きを行って復元を完了しました。\r"
    "復元したデータで起動します。");
inline const QString RestoreRolledBackMessage = QStringLiteral(
    "前回のデータの復元が途中で止まっていたため、復元前のデータに戻しました。\r"
    "必要であれば、もう一度復元を行って下さい。");
// A restore whose files could neither be swapped nor put back; %1 the file.
inline const QString RestorePendingMessage = QStringLiteral(
    "ファイルの置き換えに失敗し、元に戻すこともできませんでした。\r%1\r\r"
    "給与計算PelmoraSを終了します。次の起動時に復元を完了するか、元に戻します。");
// %1 the reason, %2 the folder that holds the files moved aside.
inline const QString RestoreFailedMessage = QStringLiteral(
    "前回のデータの復元が途中で止まっていますが、完了することも元に戻すこともできませんでした。\r%1\r\r"
    "復元前のファイルは次のフォルダーに残してあります。このフォルダーは削除しないで下さい。\r%2");

// Removes the program's own leftovers of stopped runs: every temporary (see TemporaryPrefix) in
// the settings folder root, in the data folders of the sets under it and in the folders outside it
// that the last run recorded, with the older writer's year file copies that leave no doubt (see
// RemoveOlderTemporaries). Files of other names, links and files of other users stay. Returns the
// number of entries removed.
int RemoveLeftovers(const QString& root);

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
// A mounted file system: its folder, its device ("/dev/sdb1"), type ("ext4") and display name.
struct TMount {
    QString path;
    QString device;
    QString type;
    QString name;
};
// The top nodes for these mounts: removable media wherever they are mounted, network shares, and
// the other mounts under /media, /run/media and /mnt (as fixed disks); the rest is reached from "/".
// sysRoot is where sysfs is mounted ("/sys").
QList<TFolderRoot> FolderRootsOf(const QList<TMount>& mounts, const QString& sysRoot);
// Whether the block device (a disk or one of its partitions) can be taken out: the kernel calls its
// disk removable, or the disk hangs on USB.
bool IsRemovableDevice(const QString& device, const QString& sysRoot);

// The folder the picker starts at: BackupPath of [Option] in IniFileName, whether it still exists
// or not, else the home folder.
QString DefaultBackupFolder();
