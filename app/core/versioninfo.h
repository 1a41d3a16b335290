// The lines of the version window: the dates of the files the calculation depends on.
#pragma once
#include <QString>
#include <QStringList>

// The four files in their order: the pay and bonus tax tables, the health insurance grades (the
// loaded paths, or the tables folder's when a table was not loaded) and the prefectures' rates.
QStringList VersionFiles();
// One line per file that exists, in order, so that a missing file leaves no gap: the file name
// padded to 20 CP932 bytes (a longer name is kept whole) and its local modification date
// "  yyyy/mm/dd".
QStringList VersionFileLines(const QStringList& files);
