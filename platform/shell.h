// Shell services: open a document or web page with the desktop's program for it, start another
// program, delete a folder tree.
#pragma once
#include <QString>
#include <QStringList>
#include <functional>

// Target is a URL with a scheme ("https://...", "mailto:...") or a local file path.
bool ShellOpen(const QString& target);
// Opens a local file with the desktop's program for its type and returns at once. failed runs
// later, from the event loop, when no program opens it (none for the type, or it cannot be
// started): the opener's answer is awaited in the background, as on some desktops it comes only
// when the program it started ends. The opener put in place by SetShellOpener answers at once.
void ShellOpenDocument(const QString& file, std::function<void()> failed);
// Opens a web page in the browser; when none can be started the user is told so, with the
// address to open by hand. Returns whether the page was handed to a browser.
bool OpenWebPage(const QString& url);
// Puts opener in place of the desktop for ShellOpen (tests, which must not start programs; an
// empty one gives the desktop back). Returns the previous one.
using ShellOpener = std::function<bool(const QString& target)>;
ShellOpener SetShellOpener(ShellOpener opener);
// Starts Program detached from this one; it keeps running when this program ends.
bool ShellRun(const QString& program, const QStringList& arguments = {}, const QString& workDir = {});
// Puts runner in place of the start of ShellRun (tests, which must not start programs; an empty
// one gives the real start back). Returns the previous one.
using ShellRunner =
    std::function<bool(const QString& program, const QStringList& arguments, const QString& workDir)>;
ShellRunner SetShellRunner(ShellRunner runner);
// Deletes Folder with everything in it, without asking and without following any link (a link in
// its place is removed itself). Refuses an empty path and the root folder.
bool ShellDeleteTree(const QString& folder);
