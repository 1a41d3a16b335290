// Attendance report files of the separate attendance program: one file per employee and month,
// named with the employee's name in brackets, read into the attendance row of the open month.
#pragma once
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// The items a report sets: attendance index by item value (days, counts, decimal hours).
struct TKinmuReport {
    QMap<int, double> values;
    QStringList bad;  // items skipped for a value that is no number or no "h:mm": "実働時間 (7:75)"
};
// The lines of a report: bytes 1..12 (trimmed) name the item, bytes 15..20 hold its value; other
// lines and items are ignored, an item given twice takes its last value.
TKinmuReport ReadKinmuReport(const QByteArray& bytes);
// A value of a report: a decimal number or "h:mm" (minutes 0..59); false for anything else.
bool KinmuValue(const QString& text, double& value);

// The text between the first "[" and the first "]" of a file name (without its folder).
QString KinmuNameKey(const QString& path);
// The slot of the employee named key (blanks of the name ignored, compared as CP932): one in
// service before a retired one, the highest slot among equals; 0 when nobody has that name.
// EncodingError when the key has no CP932 form.
int FindKinmuSlot(const QString& key);

// One file read into the open month: the items stored into the employee's row, his month
// recalculated and his remaining paid leave carried from the previous period. Returns the
// message of a file not read (no employee, unreadable, a name without CP932 form), else empty;
// items skipped for bad values are added to bad as "file: item (value)".
QString ImportKinmuFile(const QString& path, QStringList& bad);
