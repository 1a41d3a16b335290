// Leftovers of stopped writes: the writer removes the unheld temporary file of its own target and
// nothing else, and a partial file another writer fills starts empty and private.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>

#include "platform/atomicfile.h"
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

}  // namespace
