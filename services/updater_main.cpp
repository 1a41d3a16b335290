// The program pelmoras-update: installs a downloaded program or table-file archive into the
// folder it lies in itself (run by the program directly, or through pkexec or sudo).
#include <sys/stat.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "services/updater.h"

int main(int argc, char** argv)
{
    ::umask(022);
    QCoreApplication app(argc, argv);
    // The folder comes from the running executable itself, never from the command line.
    const QString self = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
    QString error;
    const int rc = RunUpdater(QCoreApplication::arguments().mid(1), self, error);
    if (rc != kUpdaterOk) std::fprintf(stderr, "%s\n", error.toUtf8().constData());
    return rc;
}
