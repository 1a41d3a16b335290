// The lines of the version window: the dates of the files the calculation depends on.
#pragma once
#include <QString>
#include <QStringList>

// The four files in their order: the pay and bonus tax tables, the health insurance grades (the
// loaded paths, or the tables folder's when a table was not loaded) and the prefectures' rates.
QStringList VersionFiles();
// One line per file that exists, in order, so that a missing file leaves no gap: the file name
// padded to 20 CP932 bytes (a longer name is kept whole) and "  yyyy/mm/dd": the date of the
// published tables the file carries, or for a file without one its local modification date.
QStringList VersionFileLines(const QStringList& files);
