// The system log of a company data set: one CP932 line per event in "システムログ.dat" of its data
// folder, stamped with the local time.
#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
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

// The lines of the log at path as they are stored (CP932, without line ends); none when there is
// no log. A log that cannot be read raises IoError.
QList<QByteArray> ReadSysLogLines(const QString& path);
// A stored line as the viewer shows it; bytes that are not CP932 show as U+FFFD.
QString SysLogLineText(const QByteArray& line);
// The CSV export of the lines: the header "日時, 内容", then per line its bytes 1..16 and its bytes
// 19..117 (cut on a character boundary) between double quotes, as they stand, with CR LF.
QByteArray SysLogCsv(const QList<QByteArray>& lines);
// Deletes the log of the open data set (the next event starts it again); IoError on failure.
void ClearSysLog();
