// The installer pelmoras-update: checks an archive of the update folder and puts its files into
// the folder the installer itself lies in, whole or not at all.
#pragma once
#include <QString>
#include <QStringList>

#include "services/update.h"

// pelmoras-update [--user=<name>] <program|tables> <archive> <program folder>: the archive lies in
// the update folder of the user who asked for the update (under pkexec or sudo), or of the user
// root names with --user (accepted from root only). Returns an UpdaterExit and, unless
// it is kUpdaterOk, the reason in error. selfFolder is the folder the installer lies in (from its
// own executable); the program folder argument must name that same folder, and nothing is ever
// written anywhere else.
int RunUpdater(const QStringList& args, const QString& selfFolder, QString& error);
