// Files staged in a folder of their own and swapped into place by renames, the swap written first
// in a journal in that folder, so that a swap stopped at any rename (a kill, a power cut) is
// finished or undone afterwards: by the process itself when a rename fails, by the next run that
// finds the folder otherwise. The restore, the installer and the unpacking of archives use it.
#pragma once
#include <sys/types.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <vector>

// One rename of the swap: 'A' moves a current file aside (nothing to do when it is not there),
// 'P' puts a staged file or folder where nothing is (any more), 'R' puts one over what is there,
// which rename() replaces whole: what it replaced is gone, so a swap past its first 'R' is never
// undone, only finished.
struct TSwapStep {
    char kind;
    QByteArray from, to;
};
// The swap in the order it runs: the folders it makes, every file moved aside, then every staged
// file put in place.
struct TSwapJournal {
    QList<QByteArray> folders;
    std::vector<TSwapStep> steps;
    void place(const QString& from, const QString& to);
    void replace(const QString& from, const QString& to);
    // Every file goes aside before the first is put in place.
    void aside(const QString& from, const QString& to);
};

// The kind of swap: its journal's first line, the mode of the folders it makes (0700 for the
// user's data; a folder that exists keeps its mode), and what it is for the user's messages
// ("復元の作業記録"). A stopped swap is finished when every staged file not yet in place is still
// there, else undone.
struct TSwapKind {
    QByteArray head;
    mode_t folderMode = 0700;
    QString what;
};

// How a swap run by the process itself ended.
struct TSwapRun {
    enum Outcome { Done, Undone, Pending };
    Outcome outcome = Done;
    int err = 0;   // Undone, Pending: the error of the rename that failed
    QString path;  // Undone, Pending: its source
};
// Writes the journal into stage (ends with "/") as SwapStaged does before its first rename.
void WriteSwapJournal(const QString& stage, const TSwapJournal& journal, const TSwapKind& kind);
// Writes the journal into stage (ends with "/"), runs the swap, and undoes it when a rename fails
// (unless an 'R' step was done: then it is left to be finished).
// Done: in place, the journal became the mark of a finished swap (or, when not even that rename
// went, the journal stays for the next run to tidy). Undone: as before, the journal removed.
// Pending: neither finished nor undone; the journal stays for the next run. Throws IoError (with
// nothing renamed) when the journal cannot be written.
TSwapRun SwapStaged(const QString& stage, const TSwapJournal& journal, const TSwapKind& kind);

// The journal of stage, only when it is whole and every path it names lies inside root: none
// outside it, none with a ".." part, none through a link below root.
bool ReadSwapJournal(const QString& stage, const QString& root, const TSwapKind& kind, TSwapJournal& journal);

// A stage found by a later run: finished or undone by the kind's rule, then removed.
struct TSwapRecovery {
    enum Outcome { None, RolledBack, Completed, Failed };
    Outcome outcome = None;
    QString reason;  // Failed: why (the stage is kept)
};
// Settles the stage a stopped swap left (its paths checked against root). None when it holds
// neither journal nor mark (the swap never started: the caller decides what the copies are).
TSwapRecovery RecoverSwapStage(const QString& stage, const QString& root, const TSwapKind& kind);

// Removes stage with everything in it, never following a link, the mark of a finished swap last
// so that a stop in between leaves the mark. False when something could not be removed.
bool RemoveSwapStage(const QString& stage);
