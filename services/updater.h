// The installer pelmoras-update: checks an archive of the update folder and makes of it, with the
// files of the version in use it does not replace, a new whole version of the program folder the
// installer itself lies in (see ProgramFoldersOf), switched to by one rename or not at all.
#pragma once
#include <QString>
#include <QStringList>

#include "services/update.h"

// pelmoras-update [--user=<name>] <program|tables> <archive> <program folder>: the archive lies in
// the update folder of the user who asked for the update (under pkexec or sudo), or of the user
// root names with --user (accepted from root only). Returns an UpdaterExit and, unless
// it is kUpdaterOk, the reason in error. selfFolder is the folder the installer lies in (from its
// own executable); the program folder argument must name that same folder (in a program folder
// of versions, the version it lies in, as "current/" names it), and nothing is ever written
// outside the program folder it belongs to.
int RunUpdater(const QStringList& args, const QString& selfFolder, QString& error);
