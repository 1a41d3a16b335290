// The journalled swap itself: a swap whose rename fails is undone while nothing it replaced is
// lost, and left to be finished once a replacing rename went through; what a later run makes of a
// stage by each rule.
#include "platform/stageswap.h"

#include <QDir>
#include <QFile>
#include <array>

#include "tests/testutil.h"

namespace {

class StageSwapTest : public CoreTest {};

const TSwapKind kFinish{"TEST JOURNAL 1", 0700, SwapRule::FinishOrUndo, QStringLiteral("作業記録")};
const TSwapKind kUndo{"TEST JOURNAL 1", 0700, SwapRule::Undo, QStringLiteral("作業記録")};

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
    for (const TSwapKind* kind : {&kFinish, &kUndo}) {
        SCOPED_TRACE(kind == &kFinish ? "finish or undo" : "undo");
        const QString root = dir() + (kind == &kFinish ? QStringLiteral("f/") : QStringLiteral("u/"));
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
        const TSwapRecovery r = RecoverSwapStage(stage, root, *kind);
        if (kind == &kFinish) {
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

}  // namespace
