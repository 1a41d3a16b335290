// Network waits that end: loopback servers that send one byte a second, send without end, stall
// a data connection or never read an upload. Each transfer ends within seconds (the limits
// lowered through their parameters) with the usual failure and nothing partial left.
#include <QDir>
#include <QElapsedTimer>

#include "app/TfmMain.h"
#include "app/forms.h"
#include "payroll/paths.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "services/ftp.h"
#include "services/mail.h"
#include "services/webcheck.h"
#include "tests/services/ftpserver.h"
#include "tests/testutil.h"

namespace {

using NetLimitsTest = CoreTest;

// badserver.py in one of its modes.
struct BadServer : PythonServer {
    explicit BadServer(const char* mode)
        : PythonServer({QStringLiteral(TEST_SOURCE_DIR "/services/badserver.py"), QString::fromLatin1(mode)},
                       u("port (\\d+)"))
    {
    }
    QString url() const { return u("http://127.0.0.1:%1/version_info.dat").arg(port()); }
    TFtpServer ftp() const
    {
        TFtpServer s{u("127.0.0.1"), port(), u("kyuyo"), u("pw"), u("/Backup/Pelmora/")};
        s.StallSeconds = 2;
        return s;
    }
};

TEST_F(NetLimitsTest, AServerSendingAByteASecondIsGivenUp)
{
    BadServer server("http-trickle");
    ASSERT_NE(server.port(), 0);
    QElapsedTimer clock;
    clock.start();
    THttpResult r = HttpGet(server.url(), {.lowSpeedSeconds = 1});
    EXPECT_FALSE(r.Ok);
    EXPECT_TRUE(r.Body.isEmpty());
    EXPECT_EQ(r.Error, u("通信が止まったか時間がかかりすぎるため中断しました。"));
    EXPECT_LT(clock.elapsed(), 4000);
    // The limits of the check at start, as they are: a few seconds in all.
    clock.restart();
    EXPECT_FALSE(HttpGet(server.url(), kStartupHttpLimits).Ok);
    EXPECT_LT(clock.elapsed(), 6000);
    EXPECT_LE(kStartupHttpLimits.totalSeconds, 5);
}

// The notice check at start, before the password window, against that server.
TEST_F(NetLimitsTest, TheStartNoticeCheckEndsWithinAFewSeconds)
{
    CreateForms();
    SysIniFileName = dir() + u("Tolvane.ini");
    BadServer server("http-trickle");
    IniFile ini(SysIniFileName);
    ini.writeString(u("Web"), u("BaseURL"), server.url().chopped(16));
    ini.save();
    ScriptedMsgBox msg;
    QElapsedTimer clock;
    clock.start();
    fmMain->CheckNotice();
    EXPECT_LT(clock.elapsed(), 6000);
    EXPECT_TRUE(msg.shown().empty());
    fmMain->SkipSaveCheck = true;
    DestroyForms();
}

TEST_F(NetLimitsTest, AnEndlessAnswerIsCutAtItsLimit)
{
    BadServer server("http-endless");
    QElapsedTimer clock;
    clock.start();
    const THttpResult r = HttpGet(server.url(), {.maxBytes = 1 << 20});
    EXPECT_FALSE(r.Ok);
    EXPECT_TRUE(r.Body.isEmpty());
    EXPECT_EQ(r.Error, u("受信するデータが大きすぎるため中断しました。"));
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(NetLimitsTest, AStalledFtpDownloadEndsAndLeavesNothing)
{
    BadServer server("ftp-stall");
    ASSERT_NE(server.port(), 0);
    WriteAll(dir() + u("KEY.inf"), "2026/01/02 03:04\r\n");
    QElapsedTimer clock;
    clock.start();
    const TFtpResult r = FtpDownload(server.ftp(), u("KEY.zip"), dir() + u("KEY.zip"));
    EXPECT_FALSE(r.Ok);
    EXPECT_FALSE(r.Cancelled);
    EXPECT_EQ(r.Error, u("通信が止まったため中断しました。"));
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(QDir(dir()).entryList(QDir::Files | QDir::Hidden), QStringList{u("KEY.inf")});
}

// The automatic backup at the end has no cancel button: an upload the server stops reading ends.
TEST_F(NetLimitsTest, AStalledFtpUploadEnds)
{
    BadServer server("ftp-stall");
    WriteAll(dir() + u("KEY.zip"), QByteArray(16 << 20, 'z'));
    QElapsedTimer clock;
    clock.start();
    const TFtpResult r = FtpUpload(server.ftp(), dir() + u("KEY.zip"), u("KEY.zip"));
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Error, u("通信が止まったため中断しました。"));
    EXPECT_LT(clock.elapsed(), 15000);
}

TEST_F(NetLimitsTest, AnEndlessFtpDownloadStopsAtItsCap)
{
    BadServer server("ftp-endless");
    QElapsedTimer clock;
    clock.start();
    const TFtpResult r = FtpDownload(server.ftp(), u("KEY.inf"), dir() + u("KEY.inf"), {}, 4096);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Error, u("ダウンロードするファイルが大きすぎるため中断しました。"));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(QDir(dir()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// A mail server that takes a whole message and never answers its end is named for what it did:
// the message went, its delivery is unknown. It ends the run, as a server out of reach does.
TEST_F(NetLimitsTest, AMailServerSilentAfterTheMessageIsToldSo)
{
    BadServer server("smtp-stall");
    ASSERT_NE(server.port(), 0);
    WriteAll(dir() + u("slip.jpg"), QByteArray(2000, 'j'));
    TMailSettings settings;
    settings.Server = u("127.0.0.1");
    settings.Port = server.port();
    settings.Tls = 0;
    settings.From = u("kyuyo@example.jp");
    settings.TimeoutSeconds = 2;
    QString said;
    try {
        SendSmtpMail(settings,
                     {u("aoki@example.jp"), u("明細書"), u("本文"), dir() + u("slip.jpg"), u("slip.jpg")});
    } catch (const MailServerError& e) {
        said = e.message();
    }
    EXPECT_EQ(said, u("送信サーバー 127.0.0.1:%1 はメールを受け取った後、応答しませんでした。\n"
                      "このメールが届くかどうかは分かりません。")
                        .arg(server.port()));
}

}  // namespace
