// The version file: its reading, the allowed addresses, and the checks against a real HTTP server
// on 127.0.0.1 that the test starts and stops.
#include "services/webcheck.h"

#include <QDir>

#include "payroll/paths.h"
#include "platform/cp932.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "platform/shell.h"
#include "tests/app/appfixture.h"
#include "tests/services/ftpserver.h"
#include "tests/testutil.h"

namespace {

const char* const VersionFile =
    "[PelmoraS]\r\nVersion=1.02\r\nUpd=https://example.jp/upd.tar.gz\r\nInfo=https://example.jp/news.html\r\n"
    "[Pelmora_Data]\r\n2026/04/01\r\nRequiredVer=1.00\r\n"
    "[Pelmora_Notice]\r\n2026/11/30\r\n料率改定のお知らせ\r\n\r\nURL=https://example.jp/n.html?a=b=c\r\n";

using WebCheckTest = CoreTest;

TEST_F(WebCheckTest, VersionFileNoticeAndAllowedAddresses)
{
    const TVersionInfo v = ParseVersionFile(cp932::encode(QString::fromUtf8(VersionFile)));
    EXPECT_EQ(v.Latest, u("1.02"));
    EXPECT_EQ(v.UpdaterUrl, u("https://example.jp/upd.tar.gz"));
    EXPECT_EQ(v.DataDate, u("2026/04/01"));
    EXPECT_EQ(v.DataMinVersion, u("1.00"));
    EXPECT_EQ(v.NoticeUrl, u("https://example.jp/n.html?a=b=c"));
    // Shown only when later than the stored date; an empty third line leaves no blank line.
    EXPECT_EQ(NoticeText(v, u("1965/04/10")),
              u("料率改定のお知らせ\r\rこのお知らせを次回以降も表示しますか？"));
    EXPECT_EQ(NoticeText(v, u("2026/11/30")), QString());
    EXPECT_EQ(ParseVersionFile("[Other]\r\nVersion=9.99\r\n").Latest, QString());

    const struct {
        const char* url;
        bool allowed;
    } urls[] = {{"https://example.jp/a", true},    {"http://example.jp/a", false},
                {"http://127.0.0.1:8000/a", true}, {"http://localhost/a", true},
                {"ftp://example.jp/a", false},     {"file:///etc/passwd", false},
                {"javascript:alert(1)", false},    {"http://127.0.0.1.example.jp/", false}};
    for (const auto& c : urls) EXPECT_EQ(IsAllowedUrl(u(c.url)), c.allowed) << c.url;
}

TEST_F(WebCheckTest, ChecksAgainstTheLoopbackServer)
{
    SysIniFileName = dir() + u("Tolvane.ini");
    TVersionInfo info;
    EXPECT_EQ(CheckProgramVersion(u("1.00"), info), VersionCheck::NoAddress);

    QDir().mkpath(dir() + u("web/sub"));
    WriteAll(dir() + u("web/version_info.dat"), cp932::encode(QString::fromUtf8(VersionFile)));
    HttpServer server(dir() + u("web"));
    ASSERT_NE(server.port(), 0);
    IniFile ini(SysIniFileName);
    ini.writeString(u("Web"), u("BaseURL"), server.url().chopped(1));  // the "/" is added
    ini.save();
    EXPECT_EQ(CheckProgramVersion(u("1.00"), info), VersionCheck::Newer);
    EXPECT_EQ(info.Latest, u("1.02"));
    EXPECT_EQ(CheckProgramVersion(u("1.02"), info), VersionCheck::UpToDate);

    // A 404 is a failure with nothing read.
    ini.writeString(u("Web"), u("BaseURL"), server.url() + u("sub/"));
    ini.save();
    EXPECT_EQ(CheckProgramVersion(u("1.00"), info), VersionCheck::NoConnection);
    // A plain-http address elsewhere is refused before any connection.
    EXPECT_FALSE(HttpGet(u("http://192.0.2.1/version_info.dat")).Ok);
}

// The start-up notice: Yes keeps it coming, No stores its date, a plain-http details page is not
// opened; no address, no server or no newer notice shows nothing.
TEST_F(WebCheckTest, StartNoticeStoresItsDateOnlyOnNo)
{
    CreateForms();
    SysIniFileName = dir() + u("Tolvane.ini");
    ScriptedMsgBox msg;
    fmMain->CheckNotice();  // no address
    QDir().mkpath(dir() + u("web"));
    QByteArray file = cp932::encode(QString::fromUtf8(VersionFile));
    file.replace("https://example.jp/n.html", "http://example.jp/n.html");
    WriteAll(dir() + u("web/version_info.dat"), file);
    HttpServer server(dir() + u("web"));
    IniFile ini(SysIniFileName);
    ini.writeString(u("Web"), u("BaseURL"), server.url());
    ini.save();
    const QString date = u("NoticeDate");
    for (MsgResult a : {MsgResult::Yes, MsgResult::Ok, MsgResult::No}) {
        msg.answer(a);
        fmMain->CheckNotice();
        EXPECT_EQ(IniFile(SysIniFileName).readString(u("Option"), date),
                  a == MsgResult::No ? u("2026/11/30") : QString());
    }
    ASSERT_EQ(msg.shown().size(), 4u);
    EXPECT_EQ(msg.shown()[0].text, u("料率改定のお知らせ\r\rこのお知らせを次回以降も表示しますか？"));
    EXPECT_TRUE(msg.shown()[2].text.contains(u("https ではないため開きません"))) << msg.shown()[2].text;
    fmMain->CheckNotice();  // the stored date: not shown again
    EXPECT_EQ(msg.shown().size(), 4u);
    fmMain->SkipSaveCheck = true;
    DestroyForms();
}

// Without a browser that can be started, the notice's details and the FAQ say so with the address.
TEST_F(WebCheckTest, PageThatCannotBeOpenedIsToldWithItsAddress)
{
    CreateForms();
    SysIniFileName = dir() + u("Tolvane.ini");
    QDir().mkpath(dir() + u("web"));
    WriteAll(dir() + u("web/version_info.dat"), cp932::encode(QString::fromUtf8(VersionFile)));
    HttpServer server(dir() + u("web"));
    IniFile ini(SysIniFileName);
    ini.writeString(u("Web"), u("BaseURL"), server.url());
    ini.save();
    QStringList opened;
    SetShellOpener([&opened](const QString& target) {
        opened << target;
        return false;
    });
    ScriptedMsgBox msg;
    msg.answer(MsgResult::Ok);  // 詳細表示
    fmMain->CheckNotice();
    fmMain->mnFAQClick();
    SetShellOpener(nullptr);
    EXPECT_EQ(opened, QStringList({u("https://example.jp/n.html?a=b=c"), server.url() + u("faq.html")}));
    ASSERT_EQ(msg.shown().size(), 3u);
    const QString notOpened =
        u("ブラウザでページを開けませんでした。\r次のアドレスをブラウザで開いて下さい。\r");
    EXPECT_EQ(msg.shown()[1].text, notOpened + u("https://example.jp/n.html?a=b=c"));
    EXPECT_EQ(msg.shown()[2].text, notOpened + server.url() + u("faq.html"));
    fmMain->SkipSaveCheck = true;
    DestroyForms();
}

}  // namespace
