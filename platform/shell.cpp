// Shell services over QDesktopServices, QProcess and QDir.
#include "platform/shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include "platform/filetree.h"
#include "platform/msgbox.h"

namespace {
ShellOpener& opener()
{
    static ShellOpener o;
    return o;
}
ShellRunner& runner()
{
    static ShellRunner r;
    return r;
}
}  // namespace

ShellOpener SetShellOpener(ShellOpener o)
{
    ShellOpener old = std::move(opener());
    opener() = std::move(o);
    return old;
}

bool ShellOpen(const QString& target)
{
    if (opener()) return opener()(target);
    // A scheme of two or more letters: a one-letter one would be a drive of an old path.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    const QUrl url = scheme.match(target).hasMatch()
                         ? QUrl(target)
                         : QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
    return QDesktopServices::openUrl(url);
}

void ShellOpenDocument(const QString& file, std::function<void()> failed)
{
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener() || xdgOpen.isEmpty()) {
        if (!ShellOpen(file)) failed();
        return;
    }
    // No parent: the program it starts must not end with this one (a QProcess deleted kills).
    auto* p = new QProcess;
    p->setStandardInputFile(QProcess::nullDevice());
    p->setStandardOutputFile(QProcess::nullDevice());
    p->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(p, &QProcess::finished, p, [p, failed](int code, QProcess::ExitStatus status) {
        p->deleteLater();
        if (status != QProcess::NormalExit || code != 0) failed();
    });
    QObject::connect(p, &QProcess::errorOccurred, p, [p, failed](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart) return;
        p->deleteLater();
        failed();
    });
    p->start(xdgOpen, {QFileInfo(file).absoluteFilePath()});
}

bool OpenWebPage(const QString& url)
{
    if (ShellOpen(url)) return true;
    ShowWarning(
        QStringLiteral("ブラウザでページを開けませんでした。\r次のアドレスをブラウザで開いて下さい。\r%1")
            .arg(url));
    return false;
}

bool ShellRun(const QString& program, const QStringList& arguments, const QString& workDir)
{
    if (runner()) return runner()(program, arguments, workDir);
    return QProcess::startDetached(program, arguments, workDir);
}

bool ShellDeleteTree(const QString& folder)
{
    // QDir("") is the current folder: a path lost on the way must never delete that.
    if (folder.trimmed().isEmpty()) return false;
    QDir dir(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
    if (dir.isRoot() || !dir.exists()) return false;
    // A link in the folder's place goes itself; what it points to is never emptied.
    return RemoveTree(dir.path(), TreeOwner::Mine);
}

ShellRunner SetShellRunner(ShellRunner r)
{
    ShellRunner old = std::move(runner());
    runner() = std::move(r);
    return old;
}
