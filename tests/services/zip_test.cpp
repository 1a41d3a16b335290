// The zip archive service: round trips with Japanese names, archives that unzip and zip exchange,
// wrong passwords, and entries that would leave the target folder.
#include "services/zip.h"

#include <sys/stat.h>

#include <QDir>
#include <QProcess>

#include "platform/atomicfile.h"
#include "tests/testutil.h"

namespace {

using ZipTest = CoreTest;

// Runs a program of the system in the test's folder; true when it ends with 0.
bool run(const QString& program, const QStringList& args, const QString& cwd)
{
    QProcess p;
    p.setWorkingDirectory(cwd);
    p.start(program, args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The tree the tests pack: Japanese names, a subfolder, an empty file.
void makeTree(const QString& root)
{
    QDir().mkpath(root + u("/会社1/令和08年"));
    WriteAll(root + u("/Tolvane.ini"), "[Option]\r\nA=1\r\n");
    WriteAll(root + u("/会社1/令和08年/令和08年給与･賞与.dat"), QByteArray(89944, '\x5a'));
    WriteAll(root + u("/会社1/空.dat"), QByteArray());
}

void expectTree(const QString& root)
{
    EXPECT_EQ(ReadAll(root + u("/Tolvane.ini")), QByteArray("[Option]\r\nA=1\r\n"));
    EXPECT_EQ(ReadAll(root + u("/会社1/令和08年/令和08年給与･賞与.dat")), QByteArray(89944, '\x5a'));
    EXPECT_TRUE(QFile::exists(root + u("/会社1/空.dat")));
}

TEST_F(ZipTest, RoundTripAndTheUnzipToolsBothWays)
{
    makeTree(dir() + u("Pelmora_Temp"));
    const QString zip = dir() + u("backup.zip");
    // The archive placed inside the folder it packs is not packed into itself.
    ASSERT_EQ(ZipFolder(dir() + u("Pelmora_Temp/self.zip"), dir() + u("Pelmora_Temp"), u("pw")), kZipOk);
    EXPECT_FALSE(ZipEntryNames(dir() + u("Pelmora_Temp/self.zip")).contains(u("Pelmora_Temp/self.zip")));
    QFile::remove(dir() + u("Pelmora_Temp/self.zip"));

    ASSERT_EQ(ZipFolder(zip, dir() + u("Pelmora_Temp"), u("秘密pw")), kZipOk);
    EXPECT_FALSE(QFile::exists(PartialFileName(zip)));

    QDir().mkpath(dir() + u("ours"));
    ASSERT_EQ(UnzipFile(zip, dir() + u("ours"), u("秘密pw")), kZipOk);
    expectTree(dir() + u("ours/Pelmora_Temp"));
    EXPECT_EQ(FileMode(dir() + u("ours/Pelmora_Temp/会社1")), 0700);

    // unzip opens ours (an ASCII password: the tools' own encoding of others is not ours to fix).
    ASSERT_EQ(ZipFolder(zip, dir() + u("Pelmora_Temp"), u("pw123")), kZipOk);
    QDir().mkpath(dir() + u("theirs"));
    ASSERT_TRUE(run(u("unzip"), {u("-q"), u("-P"), u("pw123"), zip, u("-d"), dir() + u("theirs")}, dir()));
    expectTree(dir() + u("theirs/Pelmora_Temp"));

    // ... and we open one made by zip -P; a wrong password is told as such and writes nothing.
    const QString made = dir() + u("made.zip");
    ASSERT_TRUE(run(u("zip"), {u("-q"), u("-r"), u("-P"), u("pw123"), made, u("Pelmora_Temp")}, dir()));
    QDir().mkpath(dir() + u("fromzip"));
    EXPECT_EQ(UnzipFile(made, dir() + u("fromzip"), u("wrong")), kZipWrongPassword);
    EXPECT_TRUE(QDir(dir() + u("fromzip")).isEmpty());
    EXPECT_EQ(UnzipFile(zip, dir() + u("fromzip"), u("")), kZipWrongPassword);
    ASSERT_EQ(UnzipFile(made, dir() + u("fromzip"), u("pw123")), kZipOk);
    expectTree(dir() + u("fromzip/Pelmora_Temp"));
}

TEST_F(ZipTest, MissingEmptyAndUnsafeSourcesWriteNothing)
{
    QDir().mkpath(dir() + u("empty"));
    EXPECT_EQ(ZipFolder(dir() + u("a.zip"), dir() + u("none"), u("pw")), kZipNoSource);
    EXPECT_EQ(ZipFolder(dir() + u("a.zip"), dir() + u("empty"), u("pw")), kZipEmptyFolder);
    EXPECT_FALSE(QFile::exists(dir() + u("a.zip")));
    EXPECT_EQ(UnzipFile(dir() + u("a.zip"), dir() + u("empty"), u("pw")), kZipNoSource);
    WriteAll(dir() + u("junk.zip"), "PK\x03\x04 not an archive");
    EXPECT_EQ(UnzipFile(dir() + u("junk.zip"), dir() + u("empty"), u("pw")), kZipFailed);
    // An archive reached through a link, or a pipe at its name: neither read through nor waited on.
    ASSERT_TRUE(
        run(u("/usr/bin/python3"),
            {u("-c"), u("import zipfile\nz=zipfile.ZipFile('good.zip','w')\nz.writestr('ok.txt','a')\n"
                        "z.close()\n")},
            dir()));
    ASSERT_TRUE(QFile::link(dir() + u("good.zip"), dir() + u("linked.zip")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir() + u("fifo.zip")).constData(), 0600), 0);
    for (const char* name : {"linked.zip", "fifo.zip"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(InChild([&] {
                      return ZipEntryNames(dir() + u(name)).join(u' ') + u("|") +
                             QString::number(UnzipFile(dir() + u(name), dir() + u("empty"), u("")));
                  }),
                  u("|") + QString::number(kZipFailed));
        EXPECT_TRUE(QDir(dir() + u("empty")).isEmpty());
    }
    EXPECT_EQ(ZipEntryNames(dir() + u("good.zip")), QStringList{u("ok.txt")});

    // Archives that would write outside the target, each with a harmless first entry.
    const struct {
        const char* name;
        const char* python;
    } cases[] = {
        {"dotdot", "z.writestr('ok.txt','a'); z.writestr('../x','b')"},
        {"inner dotdot", "z.writestr('ok.txt','a'); z.writestr('d/../../x','b')"},
        {"absolute", "z.writestr('ok.txt','a'); z.writestr('/tmp/pelmora-x','b')"},
        {"symlink",
         "z.writestr('ok.txt','a'); i=zipfile.ZipInfo('link'); i.create_system=3; "
         "i.external_attr=(0o120777<<16); z.writestr(i,'/etc')"},
    };
    for (const auto& c : cases) {
        const QString zip = dir() + u("bad.zip");
        const QString script = u("import zipfile\nz=zipfile.ZipFile('bad.zip','w')\n") +
                               QString::fromLatin1(c.python) + u("\nz.close()\n");
        ASSERT_TRUE(run(u("/usr/bin/python3"), {u("-c"), script}, dir())) << c.name;
        QDir().mkpath(dir() + u("target/inner"));
        EXPECT_EQ(UnzipFile(zip, dir() + u("target/inner"), u("")), kZipFailed) << c.name;
        EXPECT_TRUE(QDir(dir() + u("target/inner")).isEmpty()) << c.name;
        EXPECT_FALSE(QFile::exists(dir() + u("target/x"))) << c.name;
    }
    EXPECT_FALSE(QFile::exists(u("/tmp/pelmora-x")));
}

// Names with ".." inside the path, not only at its start, after an entry that makes the folders
// they climb out of: whether they would leave the target or stay in it, the archive counts as
// damaged and nothing is written, inside the target or beside it.
TEST_F(ZipTest, NamesWithDotDotInsideThePathWriteNothing)
{
    const char* const names[] = {"a/../../x", "a/b/../../../x",         "a/b/../../x",
                                 "a/..",      "a/b/c/../../../../../x", "./a/../../x"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const QString script = u("import zipfile\nz=zipfile.ZipFile('bad.zip','w')\n"
                                 "z.writestr('a/b/c/ok.txt','a')\nz.writestr(%1,'b')\nz.close()\n")
                                   .arg(u("'") + QLatin1String(name) + u("'"));
        ASSERT_TRUE(run(u("/usr/bin/python3"), {u("-c"), script}, dir()));
        ASSERT_EQ(ZipEntryNames(dir() + u("bad.zip")).value(1), QLatin1String(name));
        QDir().mkpath(dir() + u("target/inner"));
        EXPECT_EQ(UnzipFile(dir() + u("bad.zip"), dir() + u("target/inner"), u("")), kZipFailed);
        EXPECT_TRUE(QDir(dir() + u("target/inner")).isEmpty());
        EXPECT_EQ(QDir(dir() + u("target")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  QStringList{u("inner")});
        EXPECT_FALSE(QFile::exists(dir() + u("x")));
    }
}

// Unpacking over files that are there: they are replaced whole; a folder where the archive has a
// file stops the whole unpacking, and nothing of it is in place.
TEST_F(ZipTest, UnpackingOverWhatIsThereIsWholeOrNothing)
{
    const QString script =
        u("import zipfile\nz=zipfile.ZipFile('over.zip','w')\n"
          "z.writestr('a.txt','new a')\nz.writestr('sub/b.txt','new b')\nz.close()\n");
    ASSERT_TRUE(run(u("/usr/bin/python3"), {u("-c"), script}, dir()));
    const QString target = dir() + u("target/");
    QDir().mkpath(target + u("sub"));
    WriteAll(target + u("a.txt"), "old a");
    WriteAll(target + u("sub/b.txt"), "old b");
    ASSERT_EQ(UnzipFile(dir() + u("over.zip"), target, u("")), kZipOk);
    EXPECT_EQ(ReadAll(target + u("a.txt")), "new a");
    EXPECT_EQ(ReadAll(target + u("sub/b.txt")), "new b");
    EXPECT_EQ(QDir(target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{u("a.txt"), u("sub")}));

    QDir(target).removeRecursively();
    QDir().mkpath(target + u("sub/b.txt"));
    WriteAll(target + u("sub/b.txt/mine.txt"), "mine");
    EXPECT_EQ(UnzipFile(dir() + u("over.zip"), target, u("")), kZipFailed);
    EXPECT_EQ(ReadAll(target + u("sub/b.txt/mine.txt")), "mine");
    EXPECT_FALSE(QFileInfo::exists(target + u("a.txt")));
    EXPECT_EQ(QDir(target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{u("sub")});
}

}  // namespace
