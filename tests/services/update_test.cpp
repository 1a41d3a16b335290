// The update downloads against a loopback web host (whole, missing, short, wrong checksum,
// damaged or escaping archives), the update folder, and the built installer run in a program
// folder of its own: what it installs, what it refuses, and its rollback.
#include "services/update.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include "payroll/paths.h"
#include "platform/notice.h"
#include "tests/services/updatesite.h"
#include "tests/testutil.h"

namespace {

class UpdateTest : public CoreTest {
  protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        DataRoot = dir() + u("data/");
        QDir().mkpath(DataRoot);
        web = dir() + u("web/");
        QDir().mkpath(web);
    }
    QString web;
};

TEST_F(UpdateTest, ChecksumLines)
{
    const QByteArray sum(64, 'a');
    const struct {
        QByteArray text;
        QByteArray sum;
    } cases[] = {
        {sum + "  PelmoraData.zip\n", sum},
        {sum.toUpper() + "\n", sum},
        {sum, sum},
        {sum.left(63), {}},
        {sum + "b  x.zip", {}},
        {"g" + sum.left(63), {}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(ChecksumOfLine(c.text), c.sum) << c.text.toStdString();
}

// Every failed download leaves nothing in the update folder; a whole one leaves the archive and
// its checksum, and drives the download panel's progress bar up to the archive's size.
TEST_F(UpdateTest, OnlyAWholeCheckedArchiveIsKept)
{
    MakeTablesArchive(web + u("good.zip"), dir() + u("tables/"));
    const qint64 size = QFileInfo(web + u("good.zip")).size();
    for (const char* name : {"nosum.zip", "short.zip"})
        QFile::copy(web + u("good.zip"), web + QString::fromLatin1(name));
    WriteAll(web + u("wrongsum.zip"), ReadAll(web + u("good.zip")) + "x");
    QFile::copy(web + u("good.zip.sha256"), web + u("short.zip.sha256"));
    QFile::copy(web + u("good.zip.sha256"), web + u("wrongsum.zip.sha256"));
    WriteAll(web + u("short.zip.cut"), QByteArray::number(size / 2));
    WriteAll(web + u("garbage.zip"), QByteArray(5000, 'x'));
    WriteChecksum(web + u("garbage.zip"));
    WriteAll(dir() + u("evil.dat"), "evil");
    MakeArchive(web + u("escape.zip"),
                {{TaxTableKyuyoName, dir() + u("evil.dat")}, {u("../evil.dat"), dir() + u("evil.dat")}});
    WriteAll(web + u("badsum.zip"), ReadAll(web + u("good.zip")));
    WriteAll(web + u("badsum.zip.sha256"), "not a checksum\n");
    UpdateSite site(web);
    ASSERT_NE(site.port(), 0);

    const struct {
        const char* file;
        bool ok;
        const char* why;
    } cases[] = {
        {"good.zip", true, ""},
        {"missing.zip", false, "404"},
        {"nosum.zip", false, "404"},
        {"badsum.zip", false, "チェックサムのファイルが正しくありません。"},
        {"wrongsum.zip", false, "チェックサムが一致しません。"},
        {"short.zip", false, ""},
        {"garbage.zip", false, "圧縮ファイルが壊れています。"},
        {"escape.zip", false, "圧縮ファイルが壊れています。"},
    };
    for (const auto& c : cases) {
        ClearUpdateFolder();
        RecordedNotices notices;
        const TDownload d = DownloadArchive(site.url() + QString::fromLatin1(c.file), u("PelmoraData.zip"));
        EXPECT_EQ(d.Ok, c.ok) << c.file << " " << d.Error;
        EXPECT_TRUE(d.Error.contains(u(c.why))) << c.file << " " << d.Error;
        const QStringList left =
            QDir(UpdateFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        if (c.ok) {
            EXPECT_EQ(left, (QStringList{u("PelmoraData.zip"), u("PelmoraData.zip.sha256")}));
            EXPECT_EQ(ReadAll(d.File), ReadAll(web + u("good.zip")));
            EXPECT_EQ(FileMode(UpdateFolder()), 0700);
            bool sized = false;
            qint64 last = 0;
            for (const auto& call : notices.calls()) {
                sized = sized || (call.kind == RecordedNotices::Call::ProgressMaximum && call.value == size);
                if (call.kind == RecordedNotices::Call::ProgressPosition) last = call.value;
            }
            EXPECT_TRUE(sized);
            EXPECT_EQ(last, size);
        } else {
            EXPECT_TRUE(left.isEmpty()) << c.file << ": " << left.join(u' ');
        }
    }
    // Only https, and plain http on this host.
    EXPECT_FALSE(DownloadArchive(u("http://192.0.2.1/PelmoraData.zip"), u("PelmoraData.zip")).Ok);
}

// What an earlier run left is deleted at start; a link in place of the folder is removed, never
// followed.
TEST_F(UpdateTest, ClearingTheUpdateFolder)
{
    QDir().mkpath(UpdateFolder() + u("sub"));
    WriteAll(UpdateFolder() + u("PelmoraS_upd.zip.part"), "half");
    WriteAll(UpdateFolder() + u("sub/x"), "x");
    ClearUpdateFolder();
    EXPECT_FALSE(QFileInfo::exists(UpdateFolder()));

    QDir().mkpath(dir() + u("elsewhere"));
    WriteAll(dir() + u("elsewhere/keep.dat"), "keep");
    ASSERT_TRUE(QFile::link(dir() + u("elsewhere"), UpdateFolder().chopped(1)));
    ClearUpdateFolder();
    EXPECT_FALSE(QFileInfo(UpdateFolder().chopped(1)).isSymLink());
    EXPECT_EQ(ReadAll(dir() + u("elsewhere/keep.dat")), QByteArray("keep"));

    DataRoot.clear();  // no data root: no folder, nothing deleted
    EXPECT_EQ(UpdateFolder(), QString());
    ClearUpdateFolder();
}

// The built installer, copied into a program folder of the test.
class InstallerTest : public CoreTest {
  protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        prog = MakeProgramFolder(dir() + u("prog/"));
        update = dir() + u("home/Update/");
        ASSERT_TRUE(QDir().mkpath(update));
        QFile::setPermissions(update,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        for (const QString& f : QDir(prog).entryList(QDir::Files)) before[f] = ReadAll(prog + f);
    }
    int run(const QStringList& args)
    {
        QProcess p;
        p.start(prog + u("pelmoras-update"), args);
        EXPECT_TRUE(p.waitForFinished(30000));
        error = QString::fromUtf8(p.readAllStandardError()).trimmed();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    // The program folder holds exactly what it held before, byte for byte, and no staging folder.
    void expectUnchanged()
    {
        const QStringList now = QDir(prog).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        EXPECT_EQ(now, QStringList(before.keys())) << now.join(u' ');
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            EXPECT_EQ(ReadAll(prog + it.key()), it.value()) << it.key();
    }
    QString prog, update, error;
    QMap<QString, QByteArray> before;
};

TEST_F(InstallerTest, InstallsTablesThatLoadAndAProgramWithItsHelpPages)
{
    MakeTablesArchive(update + u("PelmoraData.zip"), dir() + u("tables/"));
    ASSERT_EQ(run({u("tables"), update + u("PelmoraData.zip"), prog}), kUpdaterOk) << error;
    TablePath = prog;
    LoadTableFiles();
    EXPECT_EQ(TableFileCount, 3);
    EXPECT_EQ(TaxTableKyuyo.Rows[5].Kou[0], kChangedTax);
    EXPECT_EQ(FileMode(prog + TaxTableKyuyoName), 0644);

    WriteAll(dir() + u("notes.txt"), "新しい版");
    MakeArchive(update + u("PelmoraS_upd.zip"), {{u("pelmoras"), u("/bin/true")},
                                                 {u("Tolvane2.txt"), dir() + u("notes.txt")},
                                                 {u("help/index.html"), dir() + u("notes.txt")}});
    ASSERT_EQ(run({u("program"), update + u("PelmoraS_upd.zip"), prog}), kUpdaterOk) << error;
    EXPECT_EQ(ReadAll(prog + u("pelmoras")), ReadAll(u("/bin/true")));
    EXPECT_EQ(FileMode(prog + u("pelmoras")), 0755);
    EXPECT_EQ(ReadAll(prog + u("help/index.html")), QByteArray("新しい版"));
    EXPECT_EQ(FileMode(prog + u("help")), 0755);
    EXPECT_EQ(QDir(prog).entryList({u(".pelmoras-update*")}, QDir::AllEntries | QDir::Hidden), QStringList());
}

// Each archive or command line the installer refuses changes nothing in its folder.
TEST_F(InstallerTest, RefusesAndChangesNothing)
{
    MakeTablesArchive(update + u("PelmoraData.zip"), dir() + u("tables/"));
    // The same archive outside the update folder, and in an update folder others may enter.
    const QString outside = dir() + u("home/PelmoraData.zip"), open = dir() + u("open/Update/");
    QFile::copy(update + u("PelmoraData.zip"), outside);
    QFile::copy(update + u("PelmoraData.zip.sha256"), outside + u(".sha256"));
    QDir().mkpath(open);
    QFile::copy(update + u("PelmoraData.zip"), open + u("PelmoraData.zip"));
    QFile::copy(update + u("PelmoraData.zip.sha256"), open + u("PelmoraData.zip.sha256"));
    QFile::link(update + u("PelmoraData.zip"), update + u("link.zip"));
    QFile::copy(update + u("PelmoraData.zip.sha256"), update + u("link.zip.sha256"));
    // A checksum of other bytes, a table cut short, an extra file, a program archive without the
    // program, and one that would put a settings file over the user's.
    QFile::copy(update + u("PelmoraData.zip"), update + u("wrongsum.zip"));
    WriteAll(update + u("wrongsum.zip.sha256"), QByteArray(64, '0') + "  wrongsum.zip\n");
    WriteAll(dir() + u("short.dat"), ReadAll(dir() + u("tables/") + TaxTableKyuyoName).left(100));
    MakeArchive(update + u("short.zip"), {{TaxTableKyuyoName, dir() + u("short.dat")},
                                          {TaxTableSyoyoName, dir() + u("tables/") + TaxTableSyoyoName},
                                          {KenhoTableName, dir() + u("tables/") + KenhoTableName},
                                          {KenRituName, dir() + u("tables/") + KenRituName}});
    MakeArchive(update + u("extra.zip"), {{TaxTableKyuyoName, dir() + u("tables/") + TaxTableKyuyoName},
                                          {TaxTableSyoyoName, dir() + u("tables/") + TaxTableSyoyoName},
                                          {KenhoTableName, dir() + u("tables/") + KenhoTableName},
                                          {KenRituName, dir() + u("tables/") + KenRituName},
                                          {u("pelmoras"), u("/bin/true")}});
    MakeArchive(update + u("noprog.zip"), {{u("Tolvane2.txt"), dir() + u("short.dat")}});
    MakeArchive(update + u("ini.zip"),
                {{u("pelmoras"), u("/bin/true")}, {u("Tolvane.ini"), dir() + u("short.dat")}});
    MakeArchive(update + u("data.zip"),
                {{u("pelmoras"), u("/bin/true")}, {u("Data2/x.dat"), dir() + u("short.dat")}});

    const QString zip = update + u("PelmoraData.zip");
    const struct {
        QStringList args;
        int exit;
        const char* why;
    } cases[] = {
        {{u("tables"), zip, dir()}, kUpdaterRefused, "この更新プログラムのフォルダー"},
        {{u("tables"), zip, dir() + u("home/")}, kUpdaterRefused, "この更新プログラムのフォルダー"},
        {{u("tables"), zip}, kUpdaterRefused, "使い方"},
        {{u("everything"), zip, prog}, kUpdaterRefused, "使い方"},
        {{u("tables"), outside, prog}, kUpdaterRefused, "更新用フォルダーにありません"},
        {{u("tables"), open + u("PelmoraData.zip"), prog}, kUpdaterRefused, "更新用フォルダーにありません"},
        {{u("tables"), update + u("link.zip"), prog}, kUpdaterRefused, "更新用フォルダーにありません"},
        {{u("tables"), update + u("wrongsum.zip"), prog}, kUpdaterBadArchive, "チェックサムが一致しません"},
        {{u("tables"), update + u("short.zip"), prog}, kUpdaterBadArchive, "バイトではありません"},
        {{u("tables"), update + u("extra.zip"), prog}, kUpdaterBadArchive, "表データファイル以外"},
        {{u("program"), update + u("noprog.zip"), prog},
         kUpdaterBadArchive,
         "プログラム pelmoras が含まれていません"},
        {{u("program"), update + u("ini.zip"), prog}, kUpdaterBadArchive, "置けないファイル"},
        {{u("program"), update + u("data.zip"), prog}, kUpdaterBadArchive, "置けないファイル"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.args), c.exit) << c.args.join(u' ') << ": " << error;
        EXPECT_TRUE(error.contains(u(c.why))) << error;
        expectUnchanged();
    }
}

// A file that cannot be put in place half-way through the swap: every file already swapped goes
// back, the old ones whole.
TEST_F(InstallerTest, RollsBackWhenTheSwapFailsHalfWay)
{
    WriteAll(prog + u("pelmoras"), "old program");
    QDir().mkpath(prog + u("zz.txt/inside"));  // a folder where the archive has a file
    before.clear();
    for (const QString& f : QDir(prog).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        before[f] = QFileInfo(prog + f).isDir() ? QByteArray() : ReadAll(prog + f);
    WriteAll(dir() + u("n.txt"), "new");
    MakeArchive(update + u("PelmoraS_upd.zip"), {{u("pelmoras"), u("/bin/true")},
                                                 {u("help/new.html"), dir() + u("n.txt")},
                                                 {u("zz.txt"), dir() + u("n.txt")}});
    EXPECT_EQ(run({u("program"), update + u("PelmoraS_upd.zip"), prog}), kUpdaterFailed);
    EXPECT_TRUE(error.contains(u("zz.txt を置き換えられません"))) << error;
    EXPECT_EQ(ReadAll(prog + u("pelmoras")), QByteArray("old program"));
    EXPECT_FALSE(QFileInfo::exists(prog + u("help")));
    EXPECT_TRUE(QFileInfo(prog + u("zz.txt/inside")).isDir());
    const QStringList now = QDir(prog).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    EXPECT_EQ(now, QStringList(before.keys()));
}

// An installer stopped half-way through its swap left its staging folder: the next run puts the
// old files back and takes away the new ones, before it looks at anything else; the staging folder
// of an installer that still runs is left alone.
TEST_F(InstallerTest, PutsBackWhatAnInstallerStoppedHalfWayLeft)
{
    const QString stale = prog + u(".pelmoras-update.999999999/");
    const QString live = prog + u(".pelmoras-update.%1/").arg(QCoreApplication::applicationPid());
    QDir().mkpath(stale + u("old"));
    QDir().mkpath(stale + u("new"));
    QDir().mkpath(prog + u("help"));
    QDir().mkpath(live);
    WriteAll(stale + u("journal"), "help/new.html\npelmoras\nzz.txt");
    WriteAll(stale + u("old/pelmoras"), "old program");  // swapped
    WriteAll(prog + u("pelmoras"), "new program");
    WriteAll(prog + u("help/new.html"), "new page");  // swapped, nothing replaced
    WriteAll(stale + u("new/zz.txt"), "new zz");      // not reached
    WriteAll(prog + u("zz.txt"), "old zz");
    // Refused, after the repair.
    EXPECT_EQ(run({u("tables"), dir() + u("home/none.zip"), prog}), kUpdaterRefused);
    EXPECT_EQ(ReadAll(prog + u("pelmoras")), QByteArray("old program"));
    EXPECT_FALSE(QFileInfo::exists(prog + u("help/new.html")));
    EXPECT_EQ(ReadAll(prog + u("zz.txt")), QByteArray("old zz"));
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_TRUE(QFileInfo::exists(live));
}

}  // namespace
