// The version file: its reading, the allowed addresses, and the checks against a real HTTP server
// on 127.0.0.1 that the test starts and stops.
#include "services/webcheck.h"

#include <curl/curl.h>

#include <QDir>

#include "payroll/paths.h"
#include "platform/atomicfile.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "platform/shell.h"
#include "services/curlreason.h"
#include "tests/app/appfixture.h"
#include "tests/services/ftpserver.h"
#include "tests/services/updatesite.h"
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

// libcurl's failures in the program's words, the same for the cloud and the updates: the common
// ones in Japanese alone, the rarer ones with libcurl's words in parentheses; a refused port, a
// missing page and a server that drops the connection, each met for real.
TEST_F(WebCheckTest, TransferFailuresAreToldInTheProgramsWords)
{
    const QString lost = u("通信が途中で切れました。");
    const struct {
        int code;
        const char* detail;
        int localErrno;
        QString text;
    } cases[] = {
        {CURLE_OPERATION_TIMEDOUT, "Operation timed out after 10001 milliseconds", 0,
         u("時間内にサーバーから応答がありませんでした。")},
        {CURLE_COULDNT_CONNECT, "Failed to connect to 127.0.0.1 port 1", 0,
         u("サーバーに接続できません（接続を拒否されたか、サーバーに届きません）。")},
        {CURLE_COULDNT_RESOLVE_HOST, "Could not resolve host: x.invalid", 0,
         u("サーバーの名前が見つかりません。")},
        {CURLE_PEER_FAILED_VERIFICATION, "SSL certificate problem: self-signed certificate", 0,
         u("サーバーの証明書を確認できません。")},
        {CURLE_RECV_ERROR, "response reading failed (errno: 11)", 0, lost},
        {CURLE_SEND_ERROR, "Failure when sending data to the peer", 0, lost},
        {CURLE_PARTIAL_FILE, "Received only partial file: 10 bytes", 0, lost},
        {CURLE_WRITE_ERROR, "Failure writing output to destination", ENOSPC, SystemReason(ENOSPC)},
        {CURLE_WRITE_ERROR, "", 0, u("受信したデータを保存できません。")},
        {CURLE_LOGIN_DENIED, "Access denied: 530", 0,
         u("ログインできません（ユーザー名かパスワードが違います）。")},
        {CURLE_QUOTE_ERROR, "QUOT string not accepted: RNTO K.inf", 0,
         u("サーバーが要求を拒否しました。（QUOT string not accepted: RNTO K.inf）")},
        {CURLE_HTTP_RETURNED_ERROR, nullptr, 0,
         u("サーバーがエラーを返しました。（%1）")
             .arg(QString::fromLatin1(curl_easy_strerror(CURLE_HTTP_RETURNED_ERROR)))},
        {CURLE_UNSUPPORTED_PROTOCOL, "Protocol \"gopher\" not supported", 0,
         u("通信に失敗しました。（Protocol \"gopher\" not supported）")},
    };
    for (const auto& c : cases) EXPECT_EQ(CurlReason(c.code, c.detail, c.localErrno), c.text) << c.code;

    // For real: a port nobody listens on, a page that is not there, a download cut off.
    EXPECT_EQ(HttpGet(u("http://127.0.0.1:1/version_info.dat")).Error,
              u("サーバーに接続できません（接続を拒否されたか、サーバーに届きません）。"));
    QDir().mkpath(dir() + u("web"));
    HttpServer web(dir() + u("web"));
    ASSERT_NE(web.port(), 0);
    EXPECT_EQ(HttpGet(web.url() + u("missing.dat")).Error,
              u("サーバーがエラーを返しました。（The requested URL returned error: 404）"));
    BadServer drop("ftp-drop");
    ASSERT_NE(drop.port(), 0);
    const TFtpResult r = FtpDownload(drop.ftp(), u("KEY.inf"), dir() + u("KEY.inf"));
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Error, lost);
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

// Where the transfer lets a redirect lead: only to an address a fetch could start at, never from
// https to plain http; against the loopback host, a refused redirect is never followed (the host
// sees one request) and every request carries the program's User-Agent and Accept headers.
TEST_F(WebCheckTest, RedirectsLeadOnlyWhereAFetchMayStart)
{
    const struct {
        const char* from;
        const char* to;
        bool allowed;
    } pairs[] = {
        {"https://example.jp/a", "https://cdn.example.jp/b", true},
        {"https://example.jp/a", "http://example.jp/b", false},
        {"https://example.jp/a", "http://127.0.0.1/b", false},
        {"http://127.0.0.1:8000/a", "https://example.jp/b", true},
        {"http://127.0.0.1:8000/a", "http://localhost:8000/b", true},
        {"http://127.0.0.1:8000/a", "http://127.0.0.2:8000/b", false},
        {"http://127.0.0.1:8000/a", "http://example.jp/b", false},
        {"http://127.0.0.1:8000/a", "ftp://127.0.0.1/b", false},
        {"https://example.jp/a", "file:///etc/passwd", false},
    };
    for (const auto& p : pairs)
        EXPECT_EQ(IsAllowedRedirect(u(p.from), u(p.to)), p.allowed) << p.from << " -> " << p.to;

    const QString web = dir() + u("web/"), log = dir() + u("requests.log");
    QDir().mkpath(web + u("moved"));
    WriteAll(web + u("version_info.dat"), cp932::encode(QString::fromUtf8(VersionFile)));
    UpdateSite site(web, log);
    ASSERT_NE(site.port(), 0);
    const QString port = QString::number(site.port());
    WriteAll(web + u("local.dat.redirect"),
             (u("http://localhost:") + port + u("/version_info.dat")).toUtf8());
    WriteAll(web + u("relative.dat.redirect"), "/version_info.dat");
    WriteAll(web + u("other.dat.redirect"),
             (u("http://127.0.0.2:") + port + u("/version_info.dat")).toUtf8());
    WriteAll(web + u("ftp.dat.redirect"), (u("ftp://127.0.0.1:") + port + u("/version_info.dat")).toUtf8());
    WriteAll(web + u("loop.dat.redirect"), "/loop.dat");
    WriteAll(web + u("moved/version_info.dat.redirect"),
             (u("http://127.0.0.2:") + port + u("/version_info.dat")).toUtf8());
    const struct {
        const char* path;
        const char* error;  // empty: the version file read
        int requests;
    } cases[] = {
        {"local.dat", "", 2},
        {"relative.dat", "", 2},
        {"other.dat", "安全でないアドレスへの転送のため接続しません。\nhttp://127.0.0.2:", 1},
        {"ftp.dat", "安全でないアドレスへの転送のため接続しません。\nftp://127.0.0.1:", 1},
        {"loop.dat", "転送が多すぎるため中断しました。", 6},
    };
    for (const auto& c : cases) {
        QFile::remove(log);
        const THttpResult r = HttpGet(site.url() + u(c.path));
        EXPECT_EQ(r.Ok, !*c.error) << c.path;
        EXPECT_TRUE(*c.error ? r.Error.startsWith(u(c.error))
                             : r.Body == ReadAll(web + u("version_info.dat")))
            << c.path << " " << r.Error;
        const QList<QByteArray> lines = ReadAll(log).trimmed().split('\n');
        EXPECT_EQ(lines.size(), c.requests) << c.path;
        for (const QByteArray& line : lines)
            EXPECT_EQ(line.mid(line.indexOf('\t')),
                      "\tMozilla/3.0 (compatible; Indy Library)\ttext/html, */*")
                << line.toStdString();
    }

    // The version file of the program-wide base address, redirected to another address: no version.
    SysIniFileName = dir() + u("Tolvane.ini");
    IniFile ini(SysIniFileName);
    ini.writeString(u("Web"), u("BaseURL"), site.url() + u("moved/"));
    ini.save();
    TVersionInfo info;
    QFile::remove(log);
    EXPECT_EQ(CheckProgramVersion(u("1.00"), info), VersionCheck::NoConnection);
    EXPECT_EQ(ReadAll(log).count('\n'), 1);
    ini.writeString(u("Web"), u("BaseURL"), site.url());
    ini.save();
    EXPECT_EQ(CheckProgramVersion(u("1.00"), info), VersionCheck::Newer);
}

}  // namespace
