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
