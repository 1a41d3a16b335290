// The update downloads against a loopback web host (whole, missing, short, wrong checksum,
// damaged or escaping archives), the update folder, and the built installer run in a program
// folder of its own: what it installs, what it refuses, and its rollback.
#include "services/update.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <cerrno>
#include <cstring>
#include <functional>
#include <utility>

#include "payroll/paths.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/notice.h"
#include "services/zip.h"
#include "tests/services/updatesite.h"
#include "tests/testutil.h"

// The test binary is linked with --wrap=fsync: while failFsyncOfPart is set, a sync of a file whose
// name ends in ".part" fails with EIO.
extern "C" int __real_fsync(int fd);
namespace {
bool failFsyncOfPart = false;
}  // namespace
extern "C" int __wrap_fsync(int fd)
{
    if (failFsyncOfPart) {
        char path[4096] = {};
        const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
        const ssize_t n = ::readlink(link.constData(), path, sizeof path - 1);
        if (n > 0 && QByteArray(path, int(n)).endsWith(".part")) {
            errno = EIO;
            return -1;
        }
    }
    return __real_fsync(fd);
}

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
    // More entries than any published archive holds: the installer would refuse it.
    QList<std::pair<QString, QString>> many;
    for (int i = 0; i <= kMaxUpdateEntries; ++i)
        many.push_back({u("help/%1.html").arg(i), dir() + u("evil.dat")});
    MakeArchive(web + u("many.zip"), many);
    WriteChecksum(web + u("many.zip"));
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
        {"many.zip", false, "圧縮ファイルが壊れています。"},
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

// A download slower than the minimum speed over its window, and one the user stops with 中止:
// both end with their reason and leave nothing in the update folder.
TEST_F(UpdateTest, SlowAndCancelledDownloadsKeepNothing)
{
    MakeTablesArchive(web + u("slow.zip"), dir() + u("tables/"));
    // 2 KiB a second: a byte a second more than any stalled transfer, a fifth of the minimum.
    WriteAll(web + u("slow.zip.slow"), "2048");
    UpdateSite site(web);
    ASSERT_NE(site.port(), 0);
    const struct {
        const char* name;
        bool cancel;
        const char* why;
    } cases[] = {
        {"below the minimum speed", false, "通信が止まったか時間がかかりすぎるため中断しました。"},
        {"中止", true, "中止しました。"},
    };
    for (const auto& c : cases) {
        ClearUpdateFolder();
        bool moving = false;
        NoticeHandler h;
        h.setProgressPosition = [&](qint64 now) { moving = moving || now > 0; };
        h.cancelled = [&] { return c.cancel && moving; };
        const NoticeHandler previous = SetNoticeHandler(h);
        const TDownload d = DownloadArchive(site.url() + u("slow.zip"), u("PelmoraData.zip"), 1);
        SetNoticeHandler(previous);
        EXPECT_FALSE(d.Ok) << c.name;
        EXPECT_EQ(d.Cancelled, c.cancel) << c.name;
        EXPECT_FALSE(d.LocalFault) << c.name;
        EXPECT_EQ(d.Error, u(c.why)) << c.name;
        EXPECT_TRUE(moving) << c.name;
        EXPECT_TRUE(QDir(UpdateFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
            << c.name;
    }
    EXPECT_EQ(kMinDownloadBytesPerSecond, 10240);
    EXPECT_EQ(kDownloadSpeedWindowSeconds, 60);
}

// The archive's sync before its rename fails: the reason is told as this computer's fault and
// neither the archive nor its checksum stays.
TEST_F(UpdateTest, AFailingSyncOfTheDownloadKeepsNothing)
{
    MakeTablesArchive(web + u("good.zip"), dir() + u("tables/"));
    UpdateSite site(web);
    failFsyncOfPart = true;
    const TDownload d = DownloadArchive(site.url() + u("good.zip"), u("PelmoraData.zip"));
    failFsyncOfPart = false;
    EXPECT_FALSE(d.Ok);
    EXPECT_TRUE(d.LocalFault);
    EXPECT_TRUE(d.Error.contains(u("更新ファイルの保存"))) << d.Error;
    EXPECT_TRUE(d.Error.contains(SystemReason(EIO))) << d.Error;
    EXPECT_TRUE(QDir(UpdateFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    // The same download with syncs that work is kept.
    EXPECT_TRUE(DownloadArchive(site.url() + u("good.zip"), u("PelmoraData.zip")).Ok);
}

// The downloads follow a redirect on this host, and refuse one to another address (127.0.0.2) or
// to a protocol a fetch never uses, before connecting there: the server sees one request.
TEST_F(UpdateTest, DownloadsFollowOnlyRedirectsToAllowedAddresses)
{
    MakeTablesArchive(web + u("good.zip"), dir() + u("tables/"));
    const QString log = dir() + u("requests.log");
    UpdateSite site(web, log);
    ASSERT_NE(site.port(), 0);
    const QString port = QString::number(site.port());
    for (const QString& f : {u("moved.zip"), u("moved.zip.sha256")})
        WriteAll(web + f + u(".redirect"), (u("http://localhost:") + port + u("/good.zip") +
                                            (f.endsWith(u("sha256")) ? u(".sha256") : u("")))
                                               .toUtf8());
    WriteAll(web + u("away.zip.sha256.redirect"),
             (u("http://127.0.0.2:") + port + u("/good.zip.sha256")).toUtf8());
    WriteAll(web + u("file.zip.sha256.redirect"), "file:///etc/passwd");
    WriteAll(web + u("body.zip.sha256"), ReadAll(web + u("good.zip.sha256")));
    WriteAll(web + u("body.zip.redirect"), (u("ftp://127.0.0.1:") + port + u("/good.zip")).toUtf8());
    const struct {
        const char* file;
        bool ok;
        const char* refusedTo;  // the address of the refused redirect
        int requests;
    } cases[] = {
        {"moved.zip", true, nullptr, 4},
        {"away.zip", false, "http://127.0.0.2:", 1},
        {"file.zip", false, "file:///etc/passwd", 1},
        {"body.zip", false, "ftp://127.0.0.1:", 2},
    };
    for (const auto& c : cases) {
        ClearUpdateFolder();
        QFile::remove(log);
        const TDownload d = DownloadArchive(site.url() + QString::fromLatin1(c.file), u("PelmoraData.zip"));
        EXPECT_EQ(d.Ok, c.ok) << c.file << " " << d.Error;
        if (c.refusedTo) {
            EXPECT_TRUE(
                d.Error.startsWith(u("安全でないアドレスへの転送のため接続しません。\n") + u(c.refusedTo)))
                << c.file << " " << d.Error;
        }
        EXPECT_EQ(ReadAll(log).count('\n'), c.requests) << c.file << "\n" << ReadAll(log).toStdString();
        if (!c.ok) {
            EXPECT_TRUE(QDir(UpdateFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        }
    }
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
    // Runs the built installer; inChild (when given) runs in its process before the installer
    // starts there, with system calls only.
    int run(const QStringList& args, const std::function<void()>& inChild = {})
    {
        QProcess p;
        if (inChild) p.setChildProcessModifier(inChild);
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
    // The first update makes of the flat folder one of versions: the tables through "current",
    // and through links of the old names too.
    EXPECT_TRUE(QFileInfo(prog + u("current")).isSymLink());
    for (const QString& path : {prog + u("current/"), prog}) {
        TablePath = path;
        LoadTableFiles();
        EXPECT_EQ(TableFileCount, 3);
        EXPECT_EQ(TaxTableKyuyo.Rows[5].Kou[0], kChangedTax);
    }
    EXPECT_EQ(FileMode(prog + u("current/") + TaxTableKyuyoName), 0644);
    EXPECT_EQ(FileMode(prog + u("current")), 0755);

    WriteAll(dir() + u("notes.txt"), "新しい版");
    MakeArchive(update + u("PelmoraS_upd.zip"), {{u("pelmoras"), u("/bin/true")},
                                                 {u("Tolvane2.txt"), dir() + u("notes.txt")},
                                                 {u("help/index.html"), dir() + u("notes.txt")}});
    // From now on the installer is started through the link of the program folder.
    ASSERT_EQ(run({u("program"), update + u("PelmoraS_upd.zip"), prog + u("current/")}), kUpdaterOk) << error;
    EXPECT_EQ(ReadAll(prog + u("pelmoras")), ReadAll(u("/bin/true")));
    EXPECT_EQ(ReadAll(prog + u("current/pelmoras")), ReadAll(u("/bin/true")));
    EXPECT_EQ(FileMode(prog + u("pelmoras")), 0755);
    EXPECT_EQ(ReadAll(prog + u("help/index.html")), QByteArray("新しい版"));
    EXPECT_EQ(FileMode(prog + u("help")), 0755);
    EXPECT_EQ(QDir(prog).entryList({u(".pelmoras-update*")}, QDir::AllEntries | QDir::Hidden), QStringList());
    // The tables stayed; one version is left.
    EXPECT_EQ(ReadAll(prog + u("current/") + TaxTableKyuyoName),
              ReadAll(dir() + u("tables/") + TaxTableKyuyoName));
    EXPECT_EQ(QDir(prog + u("versions")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{u("2")});
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
    // Files at the top named like the folder's own layout, the installer's staging folders, and the
    // data, settings and update folder kept beside the program.
    for (const char* top :
         {"current", "versions", ".pelmoras-update.1", "Data2", "Data2_a", "Update", "data"})
        MakeArchive(update + u("top-%1.zip").arg(QLatin1String(top)),
                    {{u("pelmoras"), u("/bin/true")}, {QLatin1String(top), dir() + u("short.dat")}});
    // A checksum that is a FIFO (nothing ever writes it), and an archive of more entries than any
    // published one holds.
    QFile::copy(update + u("PelmoraData.zip"), update + u("fifo.zip"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(update + u("fifo.zip.sha256")).constData(), 0600), 0);
    QList<std::pair<QString, QString>> many{{u("pelmoras"), u("/bin/true")}};
    for (int i = 0; i < kMaxUpdateEntries; ++i)
        many.push_back({u("help/%1.html").arg(i), dir() + u("short.dat")});
    MakeArchive(update + u("many.zip"), many);

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
        {{u("tables"), update + u("fifo.zip"), prog}, kUpdaterBadArchive, "チェックサムが読めません"},
        {{u("program"), update + u("many.zip"), prog}, kUpdaterBadArchive, "ファイルが多すぎる"},
        {{u("program"), update + u("top-versions.zip"), prog},
         kUpdaterBadArchive,
         "置けないファイルが含まれています (versions)"},
        {{u("program"), update + u("top-.pelmoras-update.1.zip"), prog},
         kUpdaterBadArchive,
         "置けないファイルが含まれています (.pelmoras-update.1)"},
        {{u("program"), update + u("top-Data2.zip"), prog},
         kUpdaterBadArchive,
         "置けないファイルが含まれています (Data2)"},
        {{u("program"), update + u("top-Data2_a.zip"), prog},
         kUpdaterBadArchive,
         "置けないファイルが含まれています (Data2_a)"},
        {{u("program"), update + u("top-Update.zip"), prog},
         kUpdaterBadArchive,
         "置けないファイルが含まれています (Update)"},
        {{u("program"), update + u("top-data.zip"), prog},
         kUpdaterBadArchive,
         "置けないファイルが含まれています (data)"},
        {{u("program"), update + u("top-current.zip"), prog},
         kUpdaterBadArchive,
         "置けないファイルが含まれています (current)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.args), c.exit) << c.args.join(u' ') << ": " << error;
        EXPECT_TRUE(error.contains(u(c.why))) << error;
        expectUnchanged();
    }
}

// A switch that cannot be made (a folder where the link "current" goes): the new version is taken
// back and the folder holds exactly what it held.
TEST_F(InstallerTest, RollsBackWhenTheSwapFailsHalfWay)
{
    WriteAll(prog + u("pelmoras"), "old program");
    QDir().mkpath(prog + u("current/inside"));
    before.clear();
    for (const QString& f : QDir(prog).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        before[f] = QFileInfo(prog + f).isDir() ? QByteArray() : ReadAll(prog + f);
    WriteAll(dir() + u("n.txt"), "new");
    MakeArchive(update + u("PelmoraS_upd.zip"), {{u("pelmoras"), u("/bin/true")},
                                                 {u("help/new.html"), dir() + u("n.txt")},
                                                 {u("zz.txt"), dir() + u("n.txt")}});
    EXPECT_EQ(run({u("program"), update + u("PelmoraS_upd.zip"), prog}), kUpdaterFailed);
    EXPECT_TRUE(error.contains(u("を置き換えられません"))) << error;
    EXPECT_EQ(ReadAll(prog + u("pelmoras")), QByteArray("old program"));
    EXPECT_FALSE(QFileInfo::exists(prog + u("help")));
    EXPECT_FALSE(QFileInfo::exists(prog + u("versions")));
    EXPECT_TRUE(QFileInfo(prog + u("current/inside")).isDir());
    const QStringList now = QDir(prog).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    EXPECT_EQ(now, QStringList(before.keys()));
}

// An installer stopped during its swap left its staging folder: the next run finishes the switch
// to the version it had staged (and only then looks at anything else), or, when that version is
// gone, takes back what it had begun; the staging folder of an installer that still runs is left
// alone.
TEST_F(InstallerTest, FinishesWhatAnInstallerStoppedHalfWayLeft)
{
    const QString stale = prog + u(".pelmoras-update.999999999/");
    const QString live = prog + u(".pelmoras-update.%1/").arg(QCoreApplication::applicationPid());
    QDir().mkpath(live);
    QDir().mkpath(stale);
    const auto journal = [&](const QList<QByteArray>& lines) {
        QByteArray text = "PELMORAS UPDATE JOURNAL 1\n";
        for (const QByteArray& l : lines) text += l + '\n';
        WriteAll(stale + u("journal"), text + "END\n");
    };
    const auto enc = [](const QString& p) { return QFile::encodeName(p).toPercentEncoding(); };
    // The new version already in versions/7, "current" not yet switched.
    QDir().mkpath(prog + u("versions/7"));
    QFile::copy(u("/bin/true"), prog + u("versions/7/pelmoras"));
    ASSERT_TRUE(QFile::link(u("versions/7"), stale + u("link")));
    journal({"D " + enc(prog + u("versions")),
             "P " + enc(stale + u("version")) + ' ' + enc(prog + u("versions/7")),
             "R " + enc(stale + u("link")) + ' ' + enc(prog + u("current"))});
    // Refused, after the repair.
    EXPECT_EQ(run({u("tables"), dir() + u("home/none.zip"), prog}), kUpdaterRefused);
    EXPECT_EQ(QFile::symLinkTarget(prog + u("current")), prog + u("versions/7"));
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_TRUE(QFileInfo::exists(live));

    // Stopped before its version was in place, and that version gone: taken back.
    QDir().mkpath(stale);
    ASSERT_TRUE(QFile::link(u("versions/8"), stale + u("link")));
    journal({"P " + enc(stale + u("version")) + ' ' + enc(prog + u("versions/8")),
             "R " + enc(stale + u("link")) + ' ' + enc(prog + u("current"))});
    EXPECT_EQ(run({u("tables"), dir() + u("home/none.zip"), prog}), kUpdaterRefused);
    EXPECT_EQ(QFile::symLinkTarget(prog + u("current")), prog + u("versions/7"));
    EXPECT_FALSE(QFileInfo::exists(stale));
}

// What another user who may write the program folder (a group-shared one, or a user's own
// folder root updates) puts at the names the installer uses: a link at its staging folder's name
// (planted before the installer starts, as for every process id) or at a version's name leads to a
// folder of that user's files outside, which stay whole; folders of versions with names that are
// no version of the installer's, or a number as high as a signed 32-bit one goes, are numbered
// past and left as they are.
TEST_F(InstallerTest, NeverRemovesThroughALinkNorWhatIsNotItsOwn)
{
    if (::geteuid() != 0) GTEST_SKIP() << "only root may plant files of another user";
    const QString outside = dir() + u("outside/");
    const auto plantOutside = [&] {
        QDir().mkpath(outside + u("sub"));
        WriteAll(outside + u("a.txt"), "another user's file");
        WriteAll(outside + u("sub/b.txt"), "and another");
        for (const QString& f : {outside + u("sub/b.txt"), outside + u("a.txt"), outside + u("sub"), outside})
            ASSERT_EQ(::chown(QFile::encodeName(f).constData(), 65534, 65534), 0);
    };
    const auto plantLink = [&](const QString& at) {
        ASSERT_TRUE(QFile::link(outside, at));
        ASSERT_EQ(::lchown(QFile::encodeName(at).constData(), 65534, 65534), 0);
    };
    const auto plantFolder = [&](const QString& at) {
        ASSERT_TRUE(QDir().mkpath(at));
        WriteAll(at + u("/x"), "kept");
        ASSERT_EQ(::chown(QFile::encodeName(at).constData(), 65534, 65534), 0);
    };
    // In the installer's own process before it starts: a link at the name of its staging folder.
    // The child runs on a small stack of its own: the name is put together in a buffer made here.
    static char stageName[4096];
    const QByteArray stagePrefix = QFile::encodeName(prog + u(".pelmoras-update.")),
                     outsideName = QFile::encodeName(outside);
    ASSERT_LT(stagePrefix.size() + 24, qsizetype(sizeof stageName));
    std::memcpy(stageName, stagePrefix.constData(), size_t(stagePrefix.size()));
    const auto linkAtItsStage = [at = stageName + stagePrefix.size(), to = outsideName.constData()] {
        int k = 0;
        for (pid_t pid = ::getpid(); pid > 0; pid /= 10) at[k++] = char('0' + pid % 10);
        for (int a = 0, b = k - 1; a < b; ++a, --b) std::swap(at[a], at[b]);
        at[k] = 0;
        if (::symlink(to, stageName) == 0) ::lchown(stageName, 65534, 65534);
    };
    const struct {
        const char* name;
        std::function<void()> plant;  // before the installer starts
        bool atItsStage;
        int exit;
        const char* version;  // the version "current" names afterwards
        QStringList stays;    // planted names in versions that are still there
    } cases[] = {
        {"link at the staging folder's name", [] {}, true, kUpdaterFailed, "1", {}},
        {"link at a version's name",
         [&] { plantLink(prog + u("versions/5")); },
         false,
         kUpdaterOk,
         "6",
         {u("5")}},
        {"the highest 32-bit number",
         [&] { plantFolder(prog + u("versions/2147483647")); },
         false,
         kUpdaterOk,
         "2147483648",
         {u("2147483647")}},
        {"names that are no plain number",
         [&] {
             plantFolder(prog + u("versions/007"));
             plantFolder(prog + u("versions/12a"));
         },
         false,
         kUpdaterOk,
         "2",
         {u("007"), u("12a")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(prog).removeRecursively();
        MakeProgramFolder(prog);
        MakeTablesArchive(update + u("PelmoraData.zip"), dir() + u("tables/"));
        ASSERT_EQ(run({u("tables"), update + u("PelmoraData.zip"), prog}), kUpdaterOk) << error;
        ASSERT_EQ(QFile::symLinkTarget(prog + u("current")), prog + u("versions/1"));
        plantOutside();
        c.plant();
        const FolderTree outsideBefore = ReadFolderTree(outside);
        ASSERT_EQ(outsideBefore.size(), 3);
        EXPECT_EQ(run({u("tables"), update + u("PelmoraData.zip"), prog},
                      c.atItsStage ? std::function<void()>(linkAtItsStage) : nullptr),
                  c.exit)
            << error;
        if (c.atItsStage) {
            const QStringList stages = QDir(prog).entryList({u(".pelmoras-update.*")},
                                                            QDir::AllEntries | QDir::Hidden | QDir::System);
            EXPECT_EQ(stages.size(), 1);
            for (const QString& stage : stages) EXPECT_TRUE(QFileInfo(prog + stage).isSymLink());
        }
        EXPECT_EQ(ReadFolderTree(outside), outsideBefore);
        EXPECT_EQ(QFile::symLinkTarget(prog + u("current")),
                  prog + u("versions/") + QLatin1String(c.version));
        EXPECT_EQ(ReadAll(prog + u("current/") + TaxTableKyuyoName),
                  ReadAll(dir() + u("tables/") + TaxTableKyuyoName));
        for (const QString& name : c.stays)
            EXPECT_TRUE(QFileInfo(prog + u("versions/") + name).isSymLink() ||
                        ReadAll(prog + u("versions/") + name + u("/x")) == "kept")
                << name.toStdString();
        // Only the version in use is left of the installer's own.
        EXPECT_EQ(
            QDir(prog + u("versions")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            (QStringList(c.stays) << QLatin1String(c.version)))
            << QDir(prog + u("versions"))
                   .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                   .join(u' ')
                   .toStdString();
        QDir(outside).removeRecursively();
    }
}

// Installed table files are never replaced by files of an older published date, whichever archive
// brings them; a file of the same or a later date replaces them.
TEST_F(InstallerTest, AnInstalledTableIsNeverReplacedByAnOlderOne)
{
    // The built tables with their date put to day, and one amount changed to tell them apart.
    const auto dated = [&](const QString& folder, const char* day, int32_t tax) {
        MakeChangedTables(folder);
        WriteAt(folder + TaxTableKyuyoName, qint64(offsetof(TTaxTableKyuyo, Rows) + 4 * sizeof(TTaxRow) + 8),
                tax);
        for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName, KenRituName}) {
            QByteArray bytes = ReadAll(folder + name);
            ASSERT_FALSE(TableFileDate(folder + name).isEmpty()) << name.toStdString();
            bytes.chop(TableDateSize);
            if (*day) bytes += TableDateTrailer(QLatin1String(day));
            WriteAll(folder + name, bytes);
        }
    };
    const struct {
        const char* kind;
        const char* installed;
        const char* brought;
        bool replaced;
    } cases[] = {
        {"program", "2026/12/15", "2026/12/01", false}, {"tables", "2026/12/15", "2026/12/01", false},
        {"tables", "2026/12/15", "2026/12/14", false},  {"tables", "2026/12/15", "", false},
        {"tables", "2026/12/01", "2026/12/15", true},   {"program", "2026/12/01", "2026/12/02", true},
        {"tables", "2026/12/15", "2026/12/15", true},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(u("%1 %2 over %3")
                         .arg(QLatin1String(c.kind), QLatin1String(c.brought), QLatin1String(c.installed))
                         .toStdString());
        const QString installed = dir() + u("installed%1/").arg(++n),
                      brought = dir() + u("brought%1/").arg(n);
        dated(installed, c.installed, 1111);
        dated(brought, c.brought, 2222);
        for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName, KenRituName}) {
            QFile::remove(prog + name);
            QFile::copy(installed + name, prog + name);
        }
        QList<std::pair<QString, QString>> entries;
        if (QLatin1String(c.kind) == "program") entries.push_back({u("pelmoras"), u("/bin/true")});
        for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName, KenRituName})
            entries.push_back({name, brought + name});
        const QString archive =
            update + (QLatin1String(c.kind) == "program" ? u("PelmoraS_upd.zip") : u("PelmoraData.zip"));
        MakeArchive(archive, entries);
        ASSERT_EQ(run({QLatin1String(c.kind), archive, prog}), kUpdaterOk) << error;
        for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName, KenRituName})
            EXPECT_EQ(ReadAll(prog + u("current/") + name),
                      ReadAll((c.replaced ? brought : installed) + name))
                << name.toStdString();
        // Back to the flat folder of the next case.
        QDir(prog).removeRecursively();
        MakeProgramFolder(prog);
    }
}

// A program archive that carries the installer installs it with its run bit, and the next update
// starts that new installer.
TEST_F(InstallerTest, AnArchiveThatCarriesTheInstallerInstallsOneThatRuns)
{
    // The built installer with bytes after its end (it still runs), to tell it from the old one.
    const QByteArray newInstaller = ReadAll(u(PELMORAS_UPDATER_EXE)) + QByteArray("\0the new installer");
    WriteAll(dir() + u("pelmoras-update"), newInstaller);
    MakeArchive(update + u("PelmoraS_upd.zip"),
                {{u("pelmoras"), u("/bin/true")}, {u("pelmoras-update"), dir() + u("pelmoras-update")}});
    ASSERT_EQ(run({u("program"), update + u("PelmoraS_upd.zip"), prog}), kUpdaterOk) << error;
    EXPECT_EQ(ReadAll(prog + u("pelmoras-update")), newInstaller);
    EXPECT_EQ(FileMode(prog + u("current/pelmoras-update")), 0755);
    MakeTablesArchive(update + u("PelmoraData.zip"), dir() + u("tables/"));
    // Started through the program folder's link: the new installer.
    ASSERT_EQ(run({u("tables"), update + u("PelmoraData.zip"), prog + u("current/")}), kUpdaterOk) << error;
    EXPECT_EQ(ReadAll(prog + u("current/pelmoras-update")), newInstaller);
    EXPECT_EQ(ReadAll(prog + u("current/") + TaxTableKyuyoName),
              ReadAll(dir() + u("tables/") + TaxTableKyuyoName));
}

// Entry names with ".." inside the path, not only at its start: the archive is damaged, nothing
// is written anywhere.
TEST_F(InstallerTest, RefusesEntriesWithDotDotInsideThePath)
{
    WriteAll(dir() + u("x.txt"), "escaped");
    // After a page that makes the folders they climb out of; the archive is unpacked in a folder
    // two below the program folder.
    for (const char* name :
         {"help/a/../../x", "help/a/../../../x", "help/a/../../../../x", "help/a/../../../../../x",
          "a/../../../x", "help/a/b/../../../../../../x", "help/a/../.."}) {
        SCOPED_TRACE(name);
        MakeArchive(update + u("PelmoraS_upd.zip"), {{u("pelmoras"), u("/bin/true")},
                                                     {u("help/a/b/page.html"), dir() + u("x.txt")},
                                                     {u(name), dir() + u("x.txt")}});
        ASSERT_EQ(ZipEntryNames(update + u("PelmoraS_upd.zip")).value(2), u(name));
        EXPECT_EQ(run({u("program"), update + u("PelmoraS_upd.zip"), prog}), kUpdaterBadArchive);
        EXPECT_TRUE(error.contains(u("壊れています"))) << error;
        expectUnchanged();
        EXPECT_FALSE(QFileInfo::exists(prog + u("x")));
        EXPECT_FALSE(QFileInfo::exists(dir() + u("x")));
        EXPECT_FALSE(QFileInfo::exists(dir() + u("home/x")));
    }
}

// Run as root from a shell (no PKEXEC_UID or SUDO_UID), the installer works for the user it is
// told with --user, and only for him; every refusal says what is wrong.
TEST_F(InstallerTest, RootNamesTheUserWhoseUpdateFolderHoldsTheArchive)
{
    if (::geteuid() != 0) GTEST_SKIP() << "only root may hand files to another user";
    MakeTablesArchive(update + u("PelmoraData.zip"), dir() + u("tables/"));
    const QString zip = update + u("PelmoraData.zip");
    // The update folder and its files belong to the user "nobody".
    for (const QString& f : {update, zip, zip + u(".sha256")})
        ASSERT_EQ(::chown(QFile::encodeName(f).constData(), 65534, 65534), 0);
    const struct {
        QStringList args;
        int exit;
        const char* why;
    } cases[] = {
        {{u("tables"), zip, prog}, kUpdaterRefused, "--user=<利用者名> で利用者を指定して下さい"},
        {{u("--user=root"), u("tables"), zip, prog},
         kUpdaterRefused,
         "の持ち主 (uid 65534) が更新する利用者 (uid 0) ではありません"},
        {{u("--user=no-such-user-here"), u("tables"), zip, prog},
         kUpdaterRefused,
         "利用者 no-such-user-here が見つかりません"},
        {{u("--user=nobody"), u("tables")}, kUpdaterRefused, "使い方"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.args), c.exit) << c.args.join(u' ');
        EXPECT_TRUE(error.contains(u(c.why))) << error;
        expectUnchanged();
    }
    // A file of another user in the folder, and a folder others may enter: each told as such.
    WriteAll(update + u("mine.zip"), ReadAll(zip));
    EXPECT_EQ(run({u("--user=nobody"), u("tables"), update + u("mine.zip"), prog}), kUpdaterRefused);
    EXPECT_TRUE(error.contains(u("mine.zip の持ち主 (uid 0)"))) << error;
    ::chmod(QFile::encodeName(update).constData(), 0750);
    EXPECT_EQ(run({u("--user=nobody"), u("tables"), zip, prog}), kUpdaterRefused);
    EXPECT_TRUE(error.contains(u("ほかの利用者にも開かれています (750)"))) << error;
    ::chmod(QFile::encodeName(update).constData(), 0700);
    expectUnchanged();

    EXPECT_EQ(run({u("--user=nobody"), u("tables"), zip, prog}), kUpdaterOk) << error;
    TablePath = prog;
    LoadTableFiles();
    EXPECT_EQ(TaxTableKyuyo.Rows[5].Kou[0], kChangedTax);
}

// Not root: naming a user is refused before anything is looked at.
TEST_F(InstallerTest, OnlyRootMayNameTheUser)
{
    QString out;
    QStringList args{u("--user=root"), u("tables"), update + u("PelmoraData.zip"), prog};
    if (::geteuid() == 0) {
        // The built installer's own check, run as "nobody" through setpriv.
        if (QFileInfo(u("/usr/bin/setpriv")).isExecutable() &&
            ::chmod(QFile::encodeName(dir()).constData(), 0755) == 0) {
            QProcess p;
            p.start(u("/usr/bin/setpriv"), QStringList{u("--reuid=65534"), u("--regid=65534"),
                                                       u("--clear-groups"), prog + u("pelmoras-update")} +
                                               args);
            ASSERT_TRUE(p.waitForFinished(30000));
            if (p.exitCode() == kUpdaterRefused) out = QString::fromUtf8(p.readAllStandardError());
        }
        if (out.isEmpty()) GTEST_SKIP() << "no way to run the installer as another user here";
    } else {
        EXPECT_EQ(run(args), kUpdaterRefused);
        out = error;
    }
    EXPECT_TRUE(out.contains(u("利用者の指定 (--user) は root として実行した時だけ使えます。"))) << out;
    expectUnchanged();
}

}  // namespace
