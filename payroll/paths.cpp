// Folders and settings files of the run.
#include "payroll/paths.h"

QString TablePath;
QString DataPath;
QString DataRoot;
QString IniFileName;
QString SysIniFileName;
bool IsNT6 = true;
bool DataMoved = false;
const QString ProductName = QStringLiteral("給与計算PelmoraS");
