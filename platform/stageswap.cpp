// The journalled swap of staged files: writing and reading the journal, the renames, their undoing,
// and the settling of a swap a stopped process left.
#include "platform/stageswap.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/filetree.h"
#include "platform/readfile.h"

namespace {

const QString JournalName = QStringLiteral("journal");
const QString DoneName = QStringLiteral("done");

bool exists(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

// A file moved aside is found only in its place; a staged file leaves the stage.
bool stepDone(const TSwapStep& s)
{
    return s.kind == 'A' ? exists(s.to) : !exists(s.from) && exists(s.to);
}

bool syncFolderOf(const QByteArray& path)
{
    return SyncFolderOf(QFile::decodeName(path));
}

// Whether one of the first done steps replaced a file: the swap can no longer be undone.
bool replaced(const TSwapJournal& j, int done)
{
    return std::any_of(j.steps.begin(), j.steps.begin() + done,
                       [](const TSwapStep& s) { return s.kind == 'R'; });
}

// Runs the steps from first on; returns the number of steps done (all of them on success, with
// errno set otherwise). An aside of a file that is not there (any more) is nothing to do.
int runSwap(const TSwapJournal& j, int first, mode_t mode)
{
    for (const QByteArray& f : j.folders)
        if (!MakeFolder(QFile::decodeName(f), mode)) return first;
    for (int i = first; i < int(j.steps.size()); ++i) {
        const TSwapStep& s = j.steps[size_t(i)];
        if (s.kind == 'A' && !exists(s.from)) continue;
        if (std::rename(s.from.constData(), s.to.constData()) != 0) return i;
        syncFolderOf(s.to);
    }
    return int(j.steps.size());
}

// Undoes the first done steps, last first, and removes the folders the swap made when they are
// empty again. False (errno set) when a file could not be moved back.
bool undoSwap(const TSwapJournal& j, int done)
{
    bool ok = true;
    for (int i = done - 1; i >= 0; --i) {
        const TSwapStep& s = j.steps[size_t(i)];
        if (!exists(s.to) || (s.kind == 'P' && exists(s.from))) continue;
        if (std::rename(s.to.constData(), s.from.constData()) != 0) {
            ok = false;
            continue;
        }
        syncFolderOf(s.from);
    }
    for (auto it = j.folders.rbegin(); it != j.folders.rend(); ++it) ::rmdir(it->constData());
    return ok;
}

// The journal becomes the mark of a finished swap: one rename, so there is always one of the two.
bool markDone(const QString& stage)
{
    const QByteArray from = QFile::encodeName(stage + JournalName), to = QFile::encodeName(stage + DoneName);
    return std::rename(from.constData(), to.constData()) == 0 && syncFolderOf(to);
}

// An undone swap: without its journal the stage is a mere copy, to be removed.
bool dropJournal(const QString& stage)
{
    const QByteArray name = QFile::encodeName(stage + JournalName);
    return ::unlink(name.constData()) == 0 && syncFolderOf(name);
}

}  // namespace

void TSwapJournal::place(const QString& from, const QString& to)
{
    steps.push_back({'P', QFile::encodeName(from), QFile::encodeName(to)});
}

void TSwapJournal::replace(const QString& from, const QString& to)
{
    steps.push_back({'R', QFile::encodeName(from), QFile::encodeName(to)});
}

void TSwapJournal::aside(const QString& from, const QString& to)
{
    auto at = std::find_if(steps.begin(), steps.end(), [](const TSwapStep& s) { return s.kind == 'P'; });
    steps.insert(at, {'A', QFile::encodeName(from), QFile::encodeName(to)});
}

void WriteSwapJournal(const QString& stage, const TSwapJournal& j, const TSwapKind& kind)
{
    QByteArray text = kind.head + '\n';
    for (const QByteArray& f : j.folders) text += "D " + f.toPercentEncoding() + '\n';
    for (const TSwapStep& s : j.steps)
        text +=
            QByteArray(1, s.kind) + ' ' + s.from.toPercentEncoding() + ' ' + s.to.toPercentEncoding() + '\n';
    text += "END\n";
    WriteFileAtomic(stage + JournalName, text, kind.what + QStringLiteral("の書き込み"));
}

TSwapRun SwapStaged(const QString& stage, const TSwapJournal& journal, const TSwapKind& kind)
{
    // On disk before the first rename: a stop from here on is finished or undone by the next run.
    WriteSwapJournal(stage, journal, kind);
    const int done = runSwap(journal, 0, kind.folderMode);
    if (done == int(journal.steps.size())) {
        // Swapped whole; when even the mark fails the next run finds the journal and tidies up.
        markDone(stage);
        return {};
    }
    TSwapRun r;
    r.err = errno;
    r.path = QFile::decodeName(journal.steps[size_t(done)].from);
    r.outcome = !replaced(journal, done) && undoSwap(journal, done) && dropJournal(stage) ? TSwapRun::Undone
                                                                                          : TSwapRun::Pending;
    return r;
}

bool ReadSwapJournal(const QString& stage, const QString& root, const TSwapKind& kind, TSwapJournal& j)
{
    // Not through a link, not a FIFO or a device, not past the cap: a planted journal is refused.
    QByteArray text;
    QString reason;
    if (!ReadWholeFile(stage + JournalName, ReadKind::Journal, text, reason)) return false;
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 3 || lines.first() != kind.head || lines[lines.size() - 2] != "END" ||
        !lines.last().isEmpty())
        return false;
    const QString base = WithSlash(QDir::cleanPath(root));
    const auto inside = [&](const QByteArray& p) {
        const QString path = QFile::decodeName(p);
        const QString clean = QDir::cleanPath(path);
        if (!clean.startsWith(base)) return false;
        // Cleaning drops a "..", but the system takes it after a link: one is never trusted.
        if (path.split(QLatin1Char('/')).contains(QStringLiteral(".."))) return false;
        const QStringList parts = clean.mid(base.size()).split(QLatin1Char('/'));
        // Every folder on the way below root is a folder of its own, not a link to elsewhere.
        QString at = base;
        for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
            at += parts[i] + QLatin1Char('/');
            struct stat st;
            if (::lstat(QFile::encodeName(at.chopped(1)).constData(), &st) == 0 && S_ISLNK(st.st_mode))
                return false;
        }
        return true;
    };
    for (qsizetype i = 1; i < lines.size() - 2; ++i) {
        const QList<QByteArray> parts = lines[i].split(' ');
        const QByteArray a = QByteArray::fromPercentEncoding(parts.value(1));
        const QByteArray b = QByteArray::fromPercentEncoding(parts.value(2));
        if (parts.size() == 2 && parts[0] == "D" && inside(a)) {
            j.folders << a;
        } else if (parts.size() == 3 && (parts[0] == "A" || parts[0] == "P" || parts[0] == "R") &&
                   inside(a) && inside(b)) {
            j.steps.push_back({parts[0][0], a, b});
        } else {
            return false;
        }
    }
    return true;
}

TSwapRecovery RecoverSwapStage(const QString& folder, const QString& root, const TSwapKind& kind)
{
    const QString stage = WithSlash(folder);
    TSwapRecovery result;
    // A link at the stage's name is never gone through: its journal is not this swap's.
    struct stat st;
    if (::lstat(QFile::encodeName(stage.chopped(1)).constData(), &st) != 0) return result;
    if (!S_ISDIR(st.st_mode)) {
        result.outcome = TSwapRecovery::Failed;
        result.reason = NotRegularReason(st.st_mode);
        return result;
    }
    if (exists(QFile::encodeName(stage + DoneName))) {
        // Swapped whole; only the removal of the stage was stopped.
        result.outcome = TSwapRecovery::Completed;
        RemoveSwapStage(stage);
        return result;
    }
    if (!exists(QFile::encodeName(stage + JournalName))) return result;
    TSwapJournal journal;
    if (!ReadSwapJournal(stage, root, kind, journal)) {
        result.outcome = TSwapRecovery::Failed;
        result.reason = QStringLiteral("作業記録が読めません。");
        return result;
    }
    // Renames run in order, so the moves done are those up to the last one found done.
    int done = 0;
    for (int i = 0; i < int(journal.steps.size()); ++i)
        if (stepDone(journal.steps[size_t(i)])) done = i + 1;
    bool complete = true;
    for (int i = done; i < int(journal.steps.size()); ++i)
        complete =
            complete && (journal.steps[size_t(i)].kind == 'A' || exists(journal.steps[size_t(i)].from));
    if (complete || replaced(journal, done)) {
        const int now = runSwap(journal, done, kind.folderMode);
        if (now == int(journal.steps.size()) && markDone(stage)) {
            result.outcome = TSwapRecovery::Completed;
            RemoveSwapStage(stage);
            return result;
        }
        done = now;
    }
    if (replaced(journal, done) || !undoSwap(journal, done) || !dropJournal(stage)) {
        result.outcome = TSwapRecovery::Failed;
        result.reason = SystemReason(errno);
        return result;
    }
    result.outcome = TSwapRecovery::RolledBack;
    RemoveSwapStage(stage);
    return result;
}

bool RemoveSwapStage(const QString& folder)
{
    return RemoveTreeLast(folder, TreeOwner::Mine, DoneName);
}
