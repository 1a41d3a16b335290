// The system log of a company data set: one CP932 line per event in "システムログ.dat" of its data
// folder, stamped with the local time.
#pragma once
#include <QDateTime>
#include <QString>

// Path of the log in the data folder of the open company data set.
QString SysLogFileName();
// The action text of a log kind (10 start, 11..13 employee registered, updated, deleted, 20 and 21
// withholding slips); empty for any other kind.
QString SysLogAction(int kind);
// The line as it is written, without its CR LF: "yyyy/mm/dd hh:nn  " and the action text.
QString SysLogLine(int kind, const QDateTime& at);
// Appends the line of kind stamped with Now(), whole or not at all. A log that cannot be written
// is reported once per run (a warning naming the file and the reason) and otherwise ignored: the
// action that logged is done by then. Returns false when the line was not written.
bool WriteSysLog(int kind);
// Set once the failure has been reported; cleared by ResetGlobals.
extern bool SysLogFailureShown;
