// Folders and settings files of the run, settled at start.
#pragma once
#include <QString>

extern QString TablePath;       // folder of the program and its table files, ends with "/"
extern QString DataPath;        // data folder of the open company data set, ends with "/"
extern QString DataRoot;        // data folder before the company data set's subfolder
extern QString IniFileName;     // settings file of the company data set
extern QString SysIniFileName;  // program-wide settings file
extern bool IsNT6;
extern bool DataMoved;  // the start-up moved the shipped data to the user's data folder on this start
extern const QString ProductName;  // "給与計算PelmoraS"

// An installed program folder keeps each version of the program whole in a folder of its own,
// "versions/<name>/" (the program, its installer, the table files, the help pages), and the link
// "current" names the one in use: an update switches it by one rename, so that the folder always
// holds one whole version. The program and its installer are started through the links "pelmoras"
// and "pelmoras-update" in the program folder, which lead through "current". The data and the
// settings that live in the program folder when it is writable stay beside "versions", never in
// a version, which a later update replaces.
extern const QString ProgramVersionsName;  // "versions"
extern const QString ProgramCurrentName;   // "current"
struct TProgramFolders {
    QString root;    // the program folder: data beside the program live here; ends with "/"
    QString tables;  // the version in use, through "current"; ends with "/"
};
// The folders of a program that lies in programDir (the folder of the running program file): in
// root/versions/<name>/ with root/current a link, root and root/current/; anywhere else (a build
// folder, a program folder of an earlier layout) programDir for both.
TProgramFolders ProgramFoldersOf(const QString& programDir);
