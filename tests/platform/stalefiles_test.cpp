// Leftovers of stopped writes: the writer removes the unheld temporary file of its own target and
// nothing else, and a partial file another writer fills starts empty and private.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <functional>

#include "platform/atomicfile.h"
#include "platform/filetree.h"
#include "tests/testutil.h"

namespace {

using StaleFilesTest = CoreTest;

// A write removes the temporary files a stopped write of the same target left, whatever their
// random part (all small letters or all digits too), and nothing else: not another target's, not one
// a running writer holds, not a user's file of a similar name.
TEST_F(StaleFilesTest, AWriteRemovesTheStaleTemporaryFileOfItsTarget)
{
    const QString target = dir() + u("令和08年給与･賞与.dat");
    const QString mark = QString::fromLatin1(TemporaryMarker);
    const QStringList stale{u(".令和08年給与･賞与.dat") + mark + u("Ab12Cd"),
                            u(".令和08年給与･賞与.dat") + mark + u("abcdef"),
                            u(".令和08年給与･賞与.dat") + mark + u("123456")};
    const QStringList kept{u(".令和09年給与･賞与.dat") + mark + u("Ab12Cd"),
                           u(".令和08年給与･賞与.dat.Ab12Cd"), u(".令和08年給与･賞与.dat.backup"),
                           u("令和08年給与･賞与.dat") + mark + u("Ab12Cd"),
                           u(".令和08年給与･賞与.dat") + mark + u("HeLd01")};
    for (const QString& f : stale + kept) WriteAll(dir() + f, "left");
    const int fd = ::open(QFile::encodeName(dir() + kept.last()).constData(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    WriteFileAtomic(target, "year", u("書き込み"));
    ::close(fd);
    EXPECT_EQ(ReadAll(target), "year");
    for (const QString& f : stale) EXPECT_FALSE(QFile::exists(dir() + f)) << f;
    for (const QString& f : kept) EXPECT_EQ(ReadAll(dir() + f), "left") << f;
    EXPECT_TRUE(IsTemporaryName(stale.first()));
    EXPECT_FALSE(IsTemporaryName(kept[1]));
    EXPECT_FALSE(IsTemporaryName(kept[3]));
}

// The partial file of a PDF is private before the engine writes into it; a stale one, or a link
// put in its place, goes without touching what the link points to.
TEST_F(StaleFilesTest, APartialFileStartsEmptyAndPrivate)
{
    const QString partial = PartialFileName(dir() + u("明細.pdf"));
    WriteAll(partial, "stale pages");
    ::chmod(QFile::encodeName(partial).constData(), 0644);
    StartPartialFile(partial, u("PDFファイルの書き込み"));
    EXPECT_EQ(ReadAll(partial), QByteArray());
    EXPECT_EQ(FileMode(partial), 0600);
    QFile::remove(partial);
    WriteAll(dir() + u("theirs"), "theirs");
    ASSERT_TRUE(QFile::link(dir() + u("theirs"), partial));
    StartPartialFile(partial, u("PDFファイルの書き込み"));
    EXPECT_FALSE(QFileInfo(partial).isSymLink());
    EXPECT_EQ(FileMode(partial), 0600);
    EXPECT_EQ(ReadAll(dir() + u("theirs")), "theirs");
}

// The one remover and the one staging folder by their owner rules: a tree goes with everything in
// it while links inside or at its name go themselves (what they point to stays whole, also when
// the name is given with a trailing slash), a folder of another owner stays where the rule says,
// and a stage never takes over or removes what was at its name before it.
TEST_F(StaleFilesTest, TreesGoByTheOwnerRuleAndNeverThroughALink)
{
    // Another owner's trees are made by handing them to another account.
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant another owner's folders";
    const QString outside = dir() + u("outside/");
    const auto tree = [&](const QString& at) {
        QDir().mkpath(at + u("/sub"));
        WriteAll(at + u("/sub/a.dat"), "a");
        QFile::link(outside, at + u("/in"));
    };
    const auto theirs = [](const QString& at) {
        return ::chown(QFile::encodeName(at).constData(), 65534, 65534) == 0;
    };
    const struct {
        const char* name;
        const char* at;
        std::function<bool(const QString&)> plant;
        std::function<bool(const QString&)> remove;
        bool removed;
    } cases[] = {
        {"a tree of the user's", "mine", [&](const QString& at) { return tree(at), true; },
         [](const QString& at) { return RemoveTree(at, TreeOwner::Mine); }, true},
        {"a link given with a trailing slash", "link",
         [&](const QString& at) { return QFile::link(outside, at); },
         [](const QString& at) { return RemoveTree(at + u("/"), TreeOwner::Any); }, true},
        {"another owner's tree, mine only", "theirs", [&](const QString& at) { return tree(at), theirs(at); },
         [](const QString& at) { return RemoveTree(at, TreeOwner::Mine); }, false},
        {"another owner's folder inside, mine only", "inner",
         [&](const QString& at) { return tree(at), theirs(at + u("/sub")); },
         [](const QString& at) { return RemoveTree(at, TreeOwner::Mine); }, false},
        {"another owner's tree, any owner", "any", [&](const QString& at) { return tree(at), theirs(at); },
         [](const QString& at) { return RemoveTree(at, TreeOwner::Any); }, true},
        {"an unmarked tree, marked only", "plain", [&](const QString& at) { return tree(at), true; },
         [](const QString& at) { return RemoveTree(at, TreeOwner::Marked); }, false},
        {"a marked tree, marked only", ".unzip~pelmoras-tmp~Ab12Cd",
         [&](const QString& at) { return tree(at), true; },
         [](const QString& at) { return RemoveTree(at, TreeOwner::Marked); }, true},
        {"a tree in a folder another account swapped for a link", "swapped/7",
         [&](const QString&) {
             QDir().mkpath(outside + u("7"));
             WriteAll(outside + u("7/x.dat"), "x");
             const QString link = dir() + u("swapped");
             return QFile::link(outside, link) &&
                    ::lchown(QFile::encodeName(link).constData(), 65534, 65534) == 0;
         },
         [](const QString& at) { return RemoveTree(at, TreeOwner::Mine); }, false},
        {"a stage at a name a link holds", ".pelmoras-update.1",
         [&](const QString& at) { return QFile::link(outside, at); },
         [](const QString& at) {
             const TStageFolder stage = TStageFolder::exactly(at);
             return stage.ok() || stage.error() != EEXIST;
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir().mkpath(outside + u("sub"));
        WriteAll(outside + u("sub/keep.dat"), "outside");
        const QString at = dir() + u(c.at);
        ASSERT_TRUE(c.plant(at));
        EXPECT_EQ(c.remove(at), c.removed);
        struct stat st;
        EXPECT_EQ(::lstat(QFile::encodeName(at).constData(), &st) != 0, c.removed);
        EXPECT_EQ(ReadAll(outside + u("sub/keep.dat")), "outside");
    }
    EXPECT_EQ(ReadAll(dir() + u("theirs/sub/a.dat")), "a");
    EXPECT_EQ(ReadAll(dir() + u("inner/sub/a.dat")), "a");
    EXPECT_EQ(ReadAll(outside + u("7/x.dat")), "x");
    // A stage holding a journal stays for the next run; one without goes with all it holds.
    QString kept, gone;
    {
        TStageFolder a(dir(), u("restore")), b(dir(), u("restore"));
        ASSERT_TRUE(a.ok() && b.ok());
        kept = a.path(), gone = b.path();
        EXPECT_TRUE(IsTemporaryName(QFileInfo(kept.chopped(1)).fileName()));
        EXPECT_EQ(FileMode(kept), 0700);
        a.keepIfHolds(u("journal"));
        b.keepIfHolds(u("journal"));
        WriteAll(kept + u("journal"), "j");
        tree(gone + u("new"));
    }
    EXPECT_EQ(ReadAll(kept + u("journal")), "j");
    EXPECT_FALSE(QFileInfo::exists(gone));
    EXPECT_EQ(ReadAll(outside + u("sub/keep.dat")), "outside");
}

}  // namespace
