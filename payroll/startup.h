// Start-up paths: the program folder, the data folder (moved to the user's data home when the
// program folder is not writable), the settings file, and the check that they can be written.
#pragma once
#include <QDate>
#include <QString>
#include <QStringList>

#include "payroll/period.h"

// Where the data lives for a program folder. Pure, so that the rule is testable without
// installing anything.
struct DataFolderPlan {
    QString dataPath;  // ends with "/"
    bool relocate;     // dataPath is not the program folder
};
DataFolderPlan PlanDataFolder(const QString& programDir, bool programDirWritable, const QString& xdgDataHome);

// $XDG_DATA_HOME when set to an absolute path, else ~/.local/share (no trailing "/").
QString XdgDataHome();

// Sets TablePath, DataPath, IniFileName and DataMoved for this program file and user, and on the
// first relocated start copies the shipped data and settings file into the new data folder.
void SetupPaths();
// The same with the inputs given (tests); programDirWritable tells whether the program folder
// (ProgramFoldersOf(programDir).root) may be written.
void SetupPathsFor(const QString& programDir, bool programDirWritable, const QString& xdgDataHome);

// Copies the tree Src into Dst, overwriting, without ".exe" and ".chm" files; failures of single
// copies are ignored, whatever was copied stays. The copies are the user's data: folders 0700,
// files 0600.
void CopyFolderTree(const QString& src, const QString& dst);

// The start's tidying of what a stopped run left under the data root: a stopped restore is
// completed or undone (the user is told which), then the leftover temporary files of the data and
// settings folders are removed. Only the one running copy may do it (a restore of another copy
// could be under way). False, after its message, when a stopped restore could be neither completed
// nor undone: the program must not start and make new year files in its place.
bool FinishStoppedWork(const QString& root);

// A start whose single-instance lock file (lockFile) could not be made: nothing tells whether
// another copy runs, so a stopped restore is neither finished nor undone, and the program must not
// start on the half-restored data (false, after the message that says why and what to do). Without
// one the start goes on after a warning (true); leftovers are left to a start that holds the lock.
bool StartWithoutLock(const QString& root, const QString& lockFile);
// %1 the lock file.
inline const QString NoLockMessage = QStringLiteral(
    "二重起動を確認するためのファイルを作成できません（空き容量の不足、書き込む権限がないなど）。\r%1\r\r");
inline const QString NoLockStoppedRestore = QStringLiteral(
    "前回のデータの復元が途中で止まっていますが、ほかに給与計算PelmoraSが動いていないことを確かめられないため"
    "、"
    "続きを行えません。\r給与計算PelmoraSを終了します。このファイルを作成できるようにしてから、もう一度起動し"
    "て下さい。");
inline const QString NoLockCaution =
    QStringLiteral("給与計算PelmoraSを同時に二つ起動しないように注意して下さい。");

// False, after its messages, when the settings file is read-only or DataPath cannot be written.
bool CheckIniWritable();
// False, after the message that says why, when the settings file is there but cannot be read (a
// folder of that name, no right to read it): every window reads it on the way to the first.
bool CheckIniReadable();

// The default data year of a day: 令和 from May 2019, 平成 before.
TEraYear DefaultEra(const QDate& today);
// The default year file of a day in folder: during 2019 always 平成31.
QString DefaultYearFile(const QString& folder, const QDate& today);

// Moves the year files and other files of an earlier version's data folder into DataPath; only
// files of exactly the old year-file size are converted, the rest copied. A file that cannot be
// converted or copied is left where it was and named with the reason; the others still move.
struct TMigration {
    int moved = 0;
    QStringList failed;  // one line per file left behind
};
TMigration MigrateOldData(const QString& oldFolder);

// Reads "TaxChangeDate" of [Option] in iniFile; true when the rate change notice is due. Writes
// the date when it was due or when the settings file is new.
bool CheckTaxChange(const QString& iniFile, bool newSysIni);
constexpr const char* TaxChangeDate = "2023/04/01";
