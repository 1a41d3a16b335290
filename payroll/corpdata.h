// The company data sets of one installation: their list lines in [CorpData] of the program-wide
// settings file, the code of each set ("_a".."_z", none for the first set), its settings file and
// data folder, and the deletion of a set's files.
#pragma once
#include <QString>
#include <QStringList>

class IniFile;

// A line is the name padded with blanks to 60 CP932 bytes, then the code in bytes 61..62.
inline constexpr int CorpNameWidth = 60;
inline constexpr int CorpNameMax = 52;  // 26 full-width characters
// The data sets there can be: the first and nine added ones.
inline constexpr int MaxCorpSets = 10;
// The line of the first data set when the list holds none.
QString OriginalCorpLine();

// The lines of [CorpData]: Count (default 1) keys "Data%d", blank ones left out.
QStringList ReadCorpList(const IniFile& sysIni);
// Count := the number of lines, then "Data%d" for each; keys above the count stay.
void WriteCorpList(IniFile& sysIni, const QStringList& lines);

// The name of a line: its first 52 bytes, trimmed.
QString CorpLineName(const QString& line);
// The code of a line: its bytes 61..62, trimmed; empty for the first data set.
QString CorpLineCode(const QString& line);
// name (cut to 52 bytes, characters CP932 lacks dropped) padded to 60 bytes, then code.
QString FormatCorpLine(const QString& name, const QString& code);
// "_" and one lower-case letter: the only codes whose files a deletion may touch, so that the
// program-wide "Tolvane.ini" and the first set's "Data2" are never deleted.
bool IsCorpCode(const QString& code);

// The settings file and data folder of the set with code under root (the data root, "/" at its end).
QString CorpIniFile(const QString& root, const QString& code);
QString CorpDataFolder(const QString& root, const QString& code);

// Deletes the settings file of the set and the files directly in its data folder, then the
// folder. Returns what could not be deleted (a subfolder keeps its folder). A code that is not
// IsCorpCode deletes nothing and is returned as refused.
QStringList DeleteCorpFiles(const QString& root, const QString& code);
