// Network waits that end: loopback servers that send one byte a second, send without end, stall
// a data connection or never read an upload. Each transfer ends within seconds (the limits
// lowered through their parameters) with the usual failure and nothing partial left; the message
// tells that a limit ended it, since each server would go on for a minute.
#include <QDir>
#include <memory>

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

TEST_F(NetLimitsTest, AServerSendingAByteASecondIsGivenUp)
{
    BadServer server("http-trickle");
    ASSERT_NE(server.port(), 0);
    THttpResult r = HttpGet(server.url(), {.lowSpeedSeconds = 1});
    EXPECT_FALSE(r.Ok);
    EXPECT_TRUE(r.Body.isEmpty());
    EXPECT_EQ(r.Error, u("通信が止まったか時間がかかりすぎるため中断しました。"));
    // The limits of the check at start, as they are: a few seconds in all. The server would go on
    // for a minute; the message tells that the limit ended the transfer, not the server.
    r = HttpGet(server.url(), kStartupHttpLimits);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Error, u("通信が止まったか時間がかかりすぎるため中断しました。"));
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
    fmMain->CheckNotice();
    EXPECT_TRUE(msg.shown().empty());
    fmMain->SkipSaveCheck = true;
    DestroyForms();
}

TEST_F(NetLimitsTest, AnEndlessAnswerIsCutAtItsLimit)
{
    BadServer server("http-endless");
    const THttpResult r = HttpGet(server.url(), {.maxBytes = 1 << 20});
    EXPECT_FALSE(r.Ok);
    EXPECT_TRUE(r.Body.isEmpty());
    EXPECT_EQ(r.Error, u("受信するデータが大きすぎるため中断しました。"));
}

TEST_F(NetLimitsTest, AStalledFtpDownloadEndsAndLeavesNothing)
{
    BadServer server("ftp-stall");
    ASSERT_NE(server.port(), 0);
    WriteAll(dir() + u("KEY.inf"), "2026/01/02 03:04\r\n");
    const TFtpResult r = FtpDownload(server.ftp(), u("KEY.zip"), dir() + u("KEY.zip"));
    EXPECT_FALSE(r.Ok);
    EXPECT_FALSE(r.Cancelled);
    EXPECT_EQ(r.Error, u("通信が止まったため中断しました。"));
    EXPECT_EQ(QDir(dir()).entryList(QDir::Files | QDir::Hidden), QStringList{u("KEY.inf")});
}

// The automatic backup at the end has no cancel button: an upload the server stops reading ends.
TEST_F(NetLimitsTest, AStalledFtpUploadEnds)
{
    BadServer server("ftp-stall");
    WriteAll(dir() + u("KEY.zip"), QByteArray(16 << 20, 'z'));
    const TFtpResult r = FtpUpload(server.ftp(), dir() + u("KEY.zip"), u("KEY.zip"));
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Error, u("通信が止まったため中断しました。"));
}

TEST_F(NetLimitsTest, AnEndlessFtpDownloadStopsAtItsCap)
{
    BadServer server("ftp-endless");
    const TFtpResult r = FtpDownload(server.ftp(), u("KEY.inf"), dir() + u("KEY.inf"), {}, 4096);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Error, u("ダウンロードするファイルが大きすぎるため中断しました。"));
    EXPECT_TRUE(QDir(dir()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// An upload the server read whole but never confirmed: it ends as stalled, and its progress never
// showed it done; against a server that confirms, the last progress is the whole file.
TEST_F(NetLimitsTest, AnUploadIsDoneOnlyWhenTheServerConfirmedIt)
{
    const qint64 size = 300000;
    WriteAll(dir() + u("KEY.zip"), QByteArray(size, 'z'));
    for (const char* mode : {"ftp-noconfirm", "pyftpdlib"}) {
        const bool confirms = QByteArray(mode) == "pyftpdlib";
        std::unique_ptr<BadServer> bad;
        std::unique_ptr<FtpServer> good;
        TFtpServer server;
        if (confirms) {
            QDir().mkpath(dir() + u("srv"));
            good = std::make_unique<FtpServer>(dir() + u("srv"));
            server = good->server();
        } else {
            bad = std::make_unique<BadServer>(mode);
            server = bad->ftp();
        }
        std::vector<std::pair<qint64, qint64>> calls;
        const TFtpResult r =
            FtpUpload(server, dir() + u("KEY.zip"), u("KEY.zip"), [&](qint64 done, qint64 total) {
                calls.push_back({done, total});
                return true;
            });
        EXPECT_EQ(r.Ok, confirms) << mode << " " << r.Error;
        ASSERT_FALSE(calls.empty()) << mode;
        qint64 most = 0;
        for (std::size_t i = 0; i + 1 < calls.size(); ++i) most = std::max(most, calls[i].first);
        EXPECT_LT(most, size) << mode;
        EXPECT_EQ(calls.back().first == size && calls.back().second == size, confirms) << mode;
        if (confirms) {
            EXPECT_EQ(ReadAll(dir() + u("srv/Backup/Pelmora/KEY.zip")).size(), size);
        } else {
            // Every byte was sent; the progress shows what the server said it holds, never the whole.
            EXPECT_LT(calls.back().first, size);
        }
    }
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
