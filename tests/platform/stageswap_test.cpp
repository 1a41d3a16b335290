// The journalled swap itself: a swap whose rename fails is undone while nothing it replaced is
// lost, and left to be finished once a replacing rename went through; what a later run makes of a
// stage by each rule.
#include "platform/stageswap.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <array>

#include "tests/testutil.h"

namespace {

class StageSwapTest : public CoreTest {};

const TSwapKind kFinish{"TEST JOURNAL 1", 0700, QStringLiteral("作業記録")};

TEST_F(StageSwapTest, AFailedRenameUndoesTheSwapUnlessAReplacingOneWentThrough)
{
    // Each step: kind, staged name ("-" none there, so that its rename fails), target name.
    const struct {
        const char* name;
        QList<std::array<const char*, 3>> steps;
        TSwapRun::Outcome outcome;
        const char* a;  // root/a afterwards
    } cases[] = {
        {"placed, then a failure", {{"P", "a", "a"}, {"P", "-", "b"}}, TSwapRun::Undone, nullptr},
        {"aside and placed, then a failure",
         {{"A", "old", "a"}, {"P", "a", "a"}, {"P", "-", "b"}},
         TSwapRun::Undone,
         "old a"},
        {"replaced, then a failure", {{"R", "a", "a"}, {"P", "-", "b"}}, TSwapRun::Pending, "new a"},
        {"whole", {{"R", "a", "a"}, {"P", "b", "b"}}, TSwapRun::Done, "new a"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString root = dir() + QStringLiteral("root%1/").arg(++n),
                      stage = root + QStringLiteral(".stage/");
        QDir().mkpath(stage);
        WriteAll(stage + QStringLiteral("a"), "new a");
        WriteAll(stage + QStringLiteral("b"), "new b");
        TSwapJournal j;
        bool hadA = false;
        for (const auto& [kind, from, to] : c.steps) {
            const QString staged =
                stage + (QByteArray(from) == "-" ? QStringLiteral("missing") : QString::fromLatin1(from));
            if (QByteArray(kind) == "A") {
                hadA = true;
                j.aside(root + QStringLiteral("a"), stage + QStringLiteral("old"));
            } else if (QByteArray(kind) == "R") {
                j.replace(staged, root + QLatin1String(to));
            } else {
                j.place(staged, root + QLatin1String(to));
            }
        }
        if (hadA || c.steps.first()[0] == QByteArray("R")) WriteAll(root + QStringLiteral("a"), "old a");
        const TSwapRun r = SwapStaged(stage, j, kFinish);
        EXPECT_EQ(r.outcome, c.outcome);
        if (c.a)
            EXPECT_EQ(ReadAll(root + QStringLiteral("a")), QByteArray(c.a));
        else
            EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("a")));
        EXPECT_EQ(QFileInfo::exists(stage + QStringLiteral("journal")), c.outcome == TSwapRun::Pending);
    }
}

TEST_F(StageSwapTest, AStoppedSwapIsFinishedOrUndoneByItsRule)
{
    for (const bool whole : {true, false}) {
        SCOPED_TRACE(whole ? "its staged file still there: finished" : "its staged file gone: undone");
        const QString root = dir() + (whole ? QStringLiteral("f/") : QStringLiteral("u/"));
        const QString stage = root + QStringLiteral(".stage/");
        QDir().mkpath(stage);
        WriteAll(root + QStringLiteral("a"), "old a");
        WriteAll(stage + QStringLiteral("b"), "new b");
        // Stopped after the first rename: "a" moved aside, "b" not yet placed.
        WriteAll(stage + QStringLiteral("journal"),
                 "TEST JOURNAL 1\nA " + QFile::encodeName(root + QStringLiteral("a")).toPercentEncoding() +
                     ' ' + QFile::encodeName(stage + QStringLiteral("old")).toPercentEncoding() + "\nP " +
                     QFile::encodeName(stage + QStringLiteral("b")).toPercentEncoding() + ' ' +
                     QFile::encodeName(root + QStringLiteral("b")).toPercentEncoding() + "\nEND\n");
        ASSERT_TRUE(QFile::rename(root + QStringLiteral("a"), stage + QStringLiteral("old")));
        if (!whole) QFile::remove(stage + QStringLiteral("b"));
        const TSwapRecovery r = RecoverSwapStage(stage, root, kFinish);
        if (whole) {
            EXPECT_EQ(r.outcome, TSwapRecovery::Completed);
            EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("a")));
            EXPECT_EQ(ReadAll(root + QStringLiteral("b")), "new b");
        } else {
            EXPECT_EQ(r.outcome, TSwapRecovery::RolledBack);
            EXPECT_EQ(ReadAll(root + QStringLiteral("a")), "old a");
            EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("b")));
        }
        EXPECT_FALSE(QFileInfo::exists(stage));
    }
}

// What another account or a stopped run could plant at or in a stage: a stage is removed and
// settled without going through a link, a FIFO or a device, and without touching a folder of
// another owner. Each row plants one thing, then removes or settles the stage in a child (a
// blocked open or an endless read would hang or exhaust it) and reads back what stayed.
TEST_F(StageSwapTest, WhatIsPlantedAtOrInAStageIsNeverFollowed)
{
    const QString outside = dir() + u("outside/");
    const QString root = dir() + u("root/"), stage = root + u(".stage");
    const auto link = [](const QString& to, const QString& at) {
        return ::symlink(QFile::encodeName(to).constData(), QFile::encodeName(at).constData()) == 0;
    };
    const QString journal = u("P ") + root + u(".stage/b ") + root + u("b");
    const struct {
        const char* name;
        std::function<bool()> plant;
        bool settle;          // RecoverSwapStage, else RemoveSwapStage
        const char* outcome;  // what the child says
    } cases[] = {
        {"a link at the stage's name", [&] { return link(outside, stage); }, false, "removed"},
        {"a link inside to a folder outside",
         [&] { return QDir().mkpath(stage) && link(outside, stage + u("/in")); }, false, "removed"},
        {"a folder of another owner inside",
         [&] {
             QDir().mkpath(stage + u("/theirs"));
             WriteAll(stage + u("/theirs/t"), "theirs");
             return ::chown(QFile::encodeName(stage + u("/theirs")).constData(), 65534, 65534) == 0;
         },
         false, "kept"},
        {"the journal a FIFO",
         [&] {
             return QDir().mkpath(stage) &&
                    ::mkfifo(QFile::encodeName(stage + u("/journal")).constData(), 0600) == 0;
         },
         true, "failed"},
        {"the journal a link to /dev/zero",
         [&] { return QDir().mkpath(stage) && link(u("/dev/zero"), stage + u("/journal")); }, true, "failed"},
        {"the journal a link to a whole journal outside",
         [&] {
             QDir().mkpath(outside + u("j"));
             QDir().mkpath(stage);
             WriteAll(stage + u("/b"), "new b");
             WriteSwapJournalLines(outside + u("j/"), "TEST JOURNAL 1", journal);
             return link(outside + u("j/journal"), stage + u("/journal"));
         },
         true, "failed"},
        {"the stage a link to a stage outside holding a journal",
         [&] {
             QDir().mkpath(outside + u("s"));
             WriteAll(outside + u("s/b"), "new b");
             WriteSwapJournalLines(outside + u("s/"), "TEST JOURNAL 1", journal);
             return link(outside + u("s"), stage);
         },
         true, "failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(root).removeRecursively();
        QDir(outside).removeRecursively();
        QDir().mkpath(root);
        QDir().mkpath(outside + u("sub"));
        WriteAll(outside + u("sub/keep.dat"), "outside");
        WriteAll(root + u("a"), "old a");
        ASSERT_TRUE(c.plant());
        const FolderTree before = ReadFolderTree(outside);
        const QString said = InChild([&] {
            if (!c.settle) return QString::fromLatin1(RemoveSwapStage(stage + u("/")) ? "removed" : "kept");
            const TSwapRecovery r = RecoverSwapStage(stage + u("/"), root, kFinish);
            return QString::fromLatin1(r.outcome == TSwapRecovery::Failed ? "failed" : "settled");
        });
        EXPECT_EQ(said, u(c.outcome));
        EXPECT_EQ(ReadFolderTree(outside), before);
        EXPECT_EQ(ReadAll(root + u("a")), "old a");
        EXPECT_FALSE(QFileInfo::exists(root + u("b")));
        if (QByteArray(c.outcome) == "kept") {
            EXPECT_EQ(ReadAll(stage + u("/theirs/t")), "theirs");
        }
        if (!c.settle && QByteArray(c.outcome) == "removed") {
            EXPECT_FALSE(QFileInfo(stage).isSymLink());
        }
    }
}

}  // namespace
