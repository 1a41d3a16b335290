// The slip mail window: three ticked employees mailed through a real SMTP server on loopback, the
// slips saved as named JPEG files, failures told by name while the run goes on, the desktop
// composer's attachments kept, the pay date of a bonus, and the stored mail text.
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <optional>

#include "app/TfmDataEdit.h"
#include "app/TfmSendMail.h"
#include "app/core/slipmail.h"
#include "payroll/ui/TfmFolder.h"
#include "platform/cp932.h"
#include "platform/inifile.h"
#include "print/slipimage.h"
#include "services/mail.h"
#include "tests/print/dialogfixture.h"

namespace {

// The SMTP sink of tests/services/smtpsink.py: Python's aiosmtpd and Python's own mail parser.
class SmtpSink {
  public:
    explicit SmtpSink(const QString& folder, const QStringList& options = {}) : folder_(folder)
    {
        proc_.start(u("/usr/bin/python3"),
                    QStringList{QStringLiteral(TEST_SOURCE_DIR "/services/smtpsink.py"), folder} + options);
        if (proc_.waitForReadyRead(20000)) port = proc_.readLine().trimmed().toInt();
    }
    ~SmtpSink()
    {
        proc_.closeWriteChannel();
        if (!proc_.waitForFinished(5000)) proc_.kill(), proc_.waitForFinished(1000);
    }
    // Message n (1-based) as the parser decoded it.
    QJsonObject message(int n) const
    {
        return QJsonDocument::fromJson(ReadAll(folder_ + QStringLiteral("/%1.json").arg(n))).object();
    }
    QImage attachment(int n) const
    {
        return QImage::fromData(ReadAll(folder_ + QStringLiteral("/%1-1.bin").arg(n)));
    }
    int count() const { return int(QDir(folder_).entryList({u("*.json")}).size()); }
    int port = 0;

  private:
    QString folder_;
    QProcess proc_;
};

class SendMailTest : public PrintWindowTest {
  protected:
    void SetUp() override
    {
        PrintWindowTest::SetUp();
        const char* addresses[] = {"aoki@example.jp", "sato@example.jp", "suzuki@example.jp"};
        for (int e = 1; e <= 3; ++e) SyainRec[e].MailAdrs.setText(u(addresses[e - 1]));
        fmMain->FillMemberList(1);
        auto* list = child<QListWidget>(fmMain, "ListBox");
        for (int i = 0; i < list->count(); ++i) list->item(i)->setCheckState(Qt::Checked);
        OptionRec.FormType = 1;
    }
    void useServer(int port)
    {
        IniFile ini(SysIniFileName);
        ini.writeString(u("Mail"), u("Server"), u("127.0.0.1"));
        ini.writeInteger(u("Mail"), u("Port"), port);
        ini.writeInteger(u("Mail"), u("TLS"), 0);
        ini.writeString(u("Mail"), u("From"), u("kyuyo@example.jp"));
        ini.save();
    }
    // The main window's mail command; act runs in the mail window once it is shown.
    void mailCommand(std::function<void()> act)
    {
        WhenShown(fmSendMail, std::move(act));
        fmMain->mnSendMeisailClick();
    }
    void click(const char* name) { child<QPushButton>(fmSendMail.existing(), name)->click(); }
    // xdg-mime of the desktop in bin, which names handler as the program for mailto: links
    // (empty: none).
    static void mailProgram(const QString& bin, const char* handler)
    {
        WriteAll(bin + u("xdg-mime"), QByteArray("#!/bin/sh\necho ") + handler + "\n");
        QFile::setPermissions(bin + u("xdg-mime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QStringList texts() const
    {
        QStringList t;
        for (const MsgShown& m : msg_.shown()) t << m.text;
        return t;
    }
    // Whether label shows each line of its text whole: laid out at its width as it draws it, the text
    // is no taller than with room for every line.
    static bool keepsItsLines(const QLabel* label)
    {
        const QFontMetrics fm(label->font());
        const int flags = int(label->alignment()) | Qt::TextWordWrap;
        const int shown = fm.boundingRect(label->contentsRect(), flags, label->text()).height();
        return shown == fm.boundingRect(QRect(0, 0, 100000, 100000), flags, label->text()).height();
    }
};

}  // namespace

TEST_F(SendMailTest, ThreeTickedSlipsGoThroughSmtpWithSubjectAndJpeg)
{
    SmtpSink sink(dir() + u("sink"));
    ASSERT_TRUE(QDir().mkpath(dir() + u("sink")));
    ASSERT_GT(sink.port, 0) << "python3-aiosmtpd is needed";
    useServer(sink.port);
    ScreenshotFont font;
    mailCommand([this] {
        Screenshot(fmSendMail.existing(), "slip-mail.png");
        child<QPlainTextEdit>(fmSendMail.existing(), "mmHonbun")
            ->setPlainText(u("今月の明細書です。\n  以上"));
        child<QCheckBox>(fmSendMail.existing(), "cbShowDialog")->setChecked(false);
        click("btOk");
    });
    ASSERT_EQ(sink.count(), 3) << texts().join(u("\n"));
    const char* names[] = {"青木健一", "佐藤美咲", "鈴木大輔"};
    const char* addresses[] = {"aoki@example.jp", "sato@example.jp", "suzuki@example.jp"};
    for (int n = 1; n <= 3; ++n) {
        const QJsonObject m = sink.message(n);
        EXPECT_EQ(m[u("to")].toArray().first().toString(), u(addresses[n - 1]));
        EXPECT_EQ(m[u("from")].toString(), u("kyuyo@example.jp"));
        EXPECT_EQ(m[u("body")].toString().remove(QLatin1Char('\r')), u("今月の明細書です。\n  以上"));
        EXPECT_TRUE(m[u("defects")].toArray().isEmpty()) << QJsonDocument(m).toJson().toStdString();
        EXPECT_EQ(m[u("attachments")].toArray().first().toString(),
                  u("給与08-05[%1].jpg").arg(u(names[n - 1])));
        EXPECT_EQ(sink.attachment(n).size(), QSize(1050, 740));
        if (n == 1 && !ScreenshotFolder().isEmpty())
            sink.attachment(n).save(ScreenshotFolder() + u("/slip-mail.jpg"));
    }
    EXPECT_EQ(msg_.lastText(), u("メールを送信しました。（3件）"));
    // Nothing of what was sent stays behind, and the slip paper setting is back.
    EXPECT_TRUE(QDir(MailAttachmentFolder()).entryList({u("*.jpg")}, QDir::Files).isEmpty());
    EXPECT_EQ(OptionRec.FormType, 1);
}

TEST_F(SendMailTest, ConfirmationBeforeEachMessageSendsSkipsAndStops)
{
    SmtpSink sink(dir() + u("sink"));
    ASSERT_TRUE(QDir().mkpath(dir() + u("sink")));
    ASSERT_GT(sink.port, 0);
    useServer(sink.port);
    for (MsgResult r : {MsgResult::Yes, MsgResult::No, MsgResult::Cancel}) msg_.answer(r);
    mailCommand([this] { click("btOk"); });
    ASSERT_EQ(sink.count(), 1);
    EXPECT_EQ(sink.message(1)[u("to")].toArray().first().toString(), u("aoki@example.jp"));
    EXPECT_EQ(texts().first(),
              u("次のメールを送信しますか？\n\n宛先：aoki@example.jp\n件名：令和8年5月分 給与明細書\n"
                "添付：給与08-05[青木健一].jpg"));
    EXPECT_EQ(msg_.lastText(),
              u("1件のメールを送信しました。\n次の社員には送信していません。\n佐藤美咲、鈴木大輔"));
}

// A server out of reach or a refused login ends the run at the first slip with one message that
// names everyone not sent; a refused recipient is told and the others still go.
TEST_F(SendMailTest, ServerThatCannotBeUsedEndsTheRunWithOneMessage)
{
    ASSERT_TRUE(QDir().mkpath(dir() + u("sink")));
    SmtpSink sink(dir() + u("sink"), {u("--password"), u("right"), u("--refuse"), u("sato@example.jp")});
    ASSERT_GT(sink.port, 0);
    const QString notSent =
        u("\n\n0件のメールを送信しました。\n次の社員には送信していません。\n青木健一、佐藤美咲、鈴木大輔");
    const struct {
        int port;  // 0: the sink's
        const char* password;
        QString expected;
    } cases[] = {
        {1, "",
         u("送信サーバー 127.0.0.1:1 に接続できませんでした。") + notSent},  // nothing listens on port 1
        {0, "wrong",
         u("送信サーバー 127.0.0.1:%1 にログインできませんでした。\n[Mail] の User と Password "
           "を確かめて下さい。")
                 .arg(sink.port) +
             notSent},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.password);
        useServer(c.port ? c.port : sink.port);
        IniFile ini(SysIniFileName);
        ini.writeString(u("Mail"), u("User"), u("kyuyo"));
        ini.writeString(u("Mail"), u("Password"), u(c.password));
        ini.save();
        msg_.clear();
        mailCommand([this] {
            child<QCheckBox>(fmSendMail.existing(), "cbShowDialog")->setChecked(false);
            click("btOk");
        });
        EXPECT_EQ(texts(), QStringList{c.expected});
        EXPECT_EQ(msg_.shown().front().type, MsgType::Error);
        EXPECT_EQ(sink.count(), 0);
    }

    // With the right password only the refused recipient is left out.
    IniFile ini(SysIniFileName);
    ini.writeString(u("Mail"), u("Password"), u("right"));
    ini.save();
    msg_.clear();
    mailCommand([this] {
        child<QCheckBox>(fmSendMail.existing(), "cbShowDialog")->setChecked(false);
        click("btOk");
    });
    EXPECT_EQ(sink.count(), 2);
    EXPECT_EQ(
        texts(),
        QStringList({u("メール送信エラー発生 [sato@example.jp]\n佐藤美咲さん：送信サーバー 127.0.0.1:%1 "
                       "に送れませんでした。\nRCPT failed: 550")
                         .arg(sink.port),
                     u("2件のメールを送信しました。\n次の社員には送信していません。\n佐藤美咲")}));
}

TEST_F(SendMailTest, SaveKeepsNamedJpegsAndTellsTheOneThatFailed)
{
    const QString out = dir() + u("slips/");
    ASSERT_TRUE(QDir().mkpath(out + u("給与08-05[佐藤美咲].jpg")));  // a folder in the way of one file
    SyainRec[3].Simei.setText(u("青木健一"));                        // two of the same name
    PrnOffsetY = 7;                                                  // as the preview left it
    // No mail route: neither a server nor xdg-email.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir()));
    fmFolder->FolderName = u("/backups");
    QString title, start;
    mailCommand([&] {
        // The program's own folder picker, starting in the data folder.
        WhenShown(fmFolder, [&] {
            title = fmFolder->windowTitle();
            start = fmFolder->currentPath();
            ASSERT_TRUE(fmFolder->selectPath(out));
            fmFolder->bbOkClick();
        });
        click("btSave");
    });
    qputenv("PATH", path);
    EXPECT_EQ(title, u("帳票内容の保存場所を指定"));
    EXPECT_EQ(start, DataPath);
    EXPECT_EQ(fmFolder->FolderName, u("/backups")) << "the folder of backups is given back";
    for (const char* file : {"給与08-05[青木健一].jpg", "給与08-05[青木健一](2).jpg"}) {
        const QImage image(out + u(file));
        EXPECT_EQ(image.size(), QSize(1050, 740)) << file;
        EXPECT_EQ(FileMode(out + u(file)), 0600) << file;
    }
    const QStringList t = texts();
    // The command says there is no way to mail and goes on to the window, where saving works.
    ASSERT_EQ(t.size(), 3) << t.join(u("\n"));
    EXPECT_TRUE(t[0].startsWith(u("御使用のパソコン環境ではメール送信機能は使用不可です。")));
    EXPECT_TRUE(t[1].startsWith(u("佐藤美咲さんの明細書の画像を保存できませんでした。")));
    EXPECT_EQ(t[2], u("2件の明細書を保存しました。\n次の社員の明細書は保存できませんでした。\n佐藤美咲"));
    EXPECT_EQ(OptionRec.FormType, 1);
    EXPECT_EQ(PrnOffsetY, 7);
    EXPECT_EQ(PrnCanvas, nullptr);
}

// A folder the user chose keeps its mode (it may be shared); one the program makes is private.
TEST_F(SendMailTest, SavingTightensOnlyFoldersItMakes)
{
    const QString shared = dir() + u("shared/"), made = dir() + u("made/sub/");
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_TRUE(QFile::setPermissions(shared, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                  QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                                  QFile::ReadOther | QFile::ExeOther));
    const struct {
        QString folder;
        int mode;
    } cases[] = {{shared, 0775}, {made, 0700}};
    for (const auto& c : cases) {
        TSlipMailJob job;
        job.folder = c.folder;
        job.employees = {1};
        EXPECT_EQ(RunSlipMail(job).done, 1);
        EXPECT_EQ(FileMode(c.folder), c.mode) << c.folder;
        EXPECT_EQ(FileMode(c.folder + u("給与08-05[青木健一].jpg")), 0600);
    }
    EXPECT_EQ(FileMode(dir() + u("made")), 0700);
    EXPECT_TRUE(msg_.shown().empty()) << msg_.lastText();
}

TEST_F(SendMailTest, ComposerGetsOneSlipWhoseAttachmentStaysUntilTheNextStart)
{
    // A stand-in for xdg-email that records its arguments.
    const QString bin = dir() + u("bin/");
    QDir().mkpath(bin);
    WriteAll(bin + u("xdg-email"),
             "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args\"\n");
    QFile::setPermissions(bin + u("xdg-email"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    mailProgram(bin, "thunderbird.desktop");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin) + ":" + path);
    // From the slip entry window: that employee's slip alone, whoever is ticked.
    fmDataEdit->MembSlot = 2;
    WhenShown(fmDataEdit, [this] {
        WhenShown(fmSendMail, [this] { click("btOk"); });
        child<QPushButton>(fmDataEdit.existing(), "btSendMail")->click();
        fmDataEdit->reject();
    });
    fmDataEdit->exec();
    qputenv("PATH", path);
    const QStringList args = QString::fromUtf8(ReadAll(bin + u("xdg-email.args"))).split(QLatin1Char(0x0a));
    ASSERT_GE(args.size(), 8);
    EXPECT_EQ(args.mid(0, 5),
              QStringList({u("--utf8"), u("--subject"), u("令和8年5月分 給与明細書"), u("--body"), u("")}));
    EXPECT_EQ(args[7], u("sato@example.jp"));
    EXPECT_TRUE(args[6].startsWith(MailAttachmentFolder()) &&
                args[6].endsWith(u("/給与08-05[佐藤美咲].jpg")));
    EXPECT_TRUE(QFileInfo::exists(args[6]));
    EXPECT_EQ(msg_.lastText(), u("メールソフトを起動しておいて下さい。"));
    ClearMailAttachments();
    EXPECT_FALSE(QFileInfo::exists(args[6]));
}

// Without a mail program for mailto: links (and no server) the window says so and 送信 is off;
// saving stays. With one, 送信 is on. The warning and the window's reason show their lines as
// written, no word broken.
TEST_F(SendMailTest, NoMailProgramTurnsSendingOffAndTheWindowSaysWhy)
{
    const QString bin = dir() + u("bin/");
    QDir().mkpath(bin);
    WriteAll(bin + u("xdg-email"), "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(bin + u("xdg-email"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin) + ":" + path);
    for (const char* handler : {"", "thunderbird.desktop"}) {
        SCOPED_TRACE(handler);
        const bool answers = *handler;
        mailProgram(bin, handler);
        msg_.clear();
        bool sendOn = !answers, saveOn = false, told = answers;
        QString why;
        bool whyWhole = false, warningWhole = false;
        QString warning;
        std::optional<RealMessageBoxes> real;
        if (!answers) {
            real.emplace();
            WhenShown([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); },
                      [&] {
                          auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                          auto* label = box->findChild<QLabel*>(u("qt_msgbox_label"));
                          warning = label->text();
                          warningWhole = keepsItsLines(label);
                          box->button(QMessageBox::Ok)->click();
                      });
        }
        mailCommand([&] {
            TfmSendMail* w = fmSendMail.existing();
            sendOn = child<QPushButton>(w, "btOk")->isEnabled();
            saveOn = child<QPushButton>(w, "btSave")->isEnabled();
            told = child<QLabel>(w, "lbNoMail")->isVisible();
            why = child<QLabel>(w, "lbNoMail")->text();
            whyWhole = keepsItsLines(child<QLabel>(w, "lbNoMail"));
            w->reject();
        });
        real.reset();
        if (!answers) {
            EXPECT_TRUE(warning.startsWith(u("御使用のパソコン環境ではメール送信機能は使用不可です。\n")))
                << warning;
            EXPECT_TRUE(warningWhole) << warning.toStdString();
            EXPECT_TRUE(whyWhole) << why.toStdString();
        }
        EXPECT_EQ(sendOn, answers);
        EXPECT_TRUE(saveOn);
        EXPECT_EQ(told, !answers);
        EXPECT_EQ(why, answers ? QString() : MailUnavailableReason());
        EXPECT_EQ(msg_.shown().size(), 0u) << msg_.lastText();
    }
    qputenv("PATH", path);
    EXPECT_TRUE(
        MailUnavailableReason().startsWith(u("メールソフト（mailto: を開くプログラム）が見つからず")));
}

// A composer that cannot be started ends the run with one message naming those not sent; a
// message it refuses is told by name and the others go. The tools' own output is never shown, and
// no image of a slip that did not go is left.
TEST_F(SendMailTest, ComposerFailuresAreToldOnceInTheProgramsWords)
{
    const QString bin = dir() + u("bin/");
    QDir().mkpath(bin);
    mailProgram(bin, "thunderbird.desktop");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin) + ":" + path);
    const struct {
        const char* fails;  // the addresses xdg-email fails for (a shell pattern)
        int code;
        int calls;
        QStringList texts;
        QStringList left;  // images in the run's folder afterwards
    } cases[] = {
        {"*",
         3,
         1,
         {u("メールソフトを起動しておいて下さい。"),
          u("メールソフトを起動できませんでした。\n\n0件のメールをメールソフトに渡しました。\n"
            "次の社員には送信していません。\n青木健一、佐藤美咲、鈴木大輔")},
         {}},
        {"sato@example.jp",
         1,
         3,
         {u("メールソフトを起動しておいて下さい。"),
          u("メール送信エラー発生 [sato@example.jp]\n佐藤美咲さん：メールソフトに渡せませんでした"
            "（xdg-email 終了コード 1）。"),
          u("2件のメールをメールソフトに渡しました。\n次の社員には送信していません。\n佐藤美咲")},
         {u("給与08-05[青木健一].jpg"), u("給与08-05[鈴木大輔].jpg")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fails);
        // xdg-email as it is without a working mail program: a page of its tools' complaints.
        WriteAll(bin + u("xdg-email"),
                 QStringLiteral("#!/bin/sh\necho call >> \"$0.calls\"\n"
                                "i=0; while [ $i -lt 40 ]; do echo \"gio: mailto: Operation not "
                                "supported $i\" >&2; i=$((i+1)); done\n"
                                "case \"$8\" in %1) exit %2;; esac\nexit 0\n")
                     .arg(u(c.fails))
                     .arg(c.code)
                     .toUtf8());
        QFile::setPermissions(bin + u("xdg-email"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::remove(bin + u("xdg-email.calls"));
        QDir(MailAttachmentFolder()).removeRecursively();
        msg_.clear();
        mailCommand([this] { click("btOk"); });
        EXPECT_EQ(texts(), c.texts);
        EXPECT_EQ(ReadAll(bin + u("xdg-email.calls")).count('\n'), c.calls);
        QStringList left;
        for (const QString& run : QDir(MailAttachmentFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            left << QDir(MailAttachmentFolder() + run).entryList(QDir::Files);
        QStringList expected = c.left;
        left.sort();
        expected.sort();
        EXPECT_EQ(left, expected);
    }
    qputenv("PATH", path);
}

// A slip image the library cannot make is told in the program's words, the library's own only in
// parentheses.
TEST_F(CoreTest, AJpegThatCannotBeMadeIsToldInTheProgramsWords)
{
    try {
        EncodeJpeg(QImage());
        ADD_FAILURE() << "an empty image was encoded";
    } catch (const AppError& e) {
        EXPECT_TRUE(e.message().startsWith(
            QStringLiteral("JPEG画像を作成できませんでした。\n画像の圧縮でエラーが起きました（")))
            << e.message().toStdString();
        EXPECT_TRUE(e.message().endsWith(QStringLiteral("）。"))) << e.message().toStdString();
    }
}

// The pay date, subject and file name proposed: a bonus paid in December by a company that pays
// next month is still dated in the period's year; May of 平成31 is 令和1.
TEST_F(PeriodTest, SlipMailDateSubjectAndFileName)
{
    struct Case {
        const char* era;
        int year, period, shift;
        const char *date, *subject, *file;
    };
    const Case cases[] = {
        {"令和", 8, 14, 1, " 8/12/10", "令和8年 冬期賞与明細書", "冬期賞与[山田_太郎].jpg"},
        {"令和", 8, 12, 1, " 9/ 1/25", "令和8年12月分 給与明細書", "給与08-12[山田_太郎].jpg"},
        {"平成", 31, 5, 0, " 1/ 5/25", "令和1年5月分 給与明細書", "給与31-05[山田_太郎].jpg"},
    };
    for (const Case& c : cases) {
        CurPeriod.EraText = u(c.era), CurPeriod.EraYear = c.year;
        if (c.period > 12)
            openBonus(c.period, 12, 10);
        else
            openMonth(c.period);
        CorpRec.SikyuShift = c.shift, CorpRec.Sikyubi = 25;
        employee(1).Simei.setText(u("山田/太郎"));
        QString y, m, d;
        SlipMailPayDate(y, m, d);
        EXPECT_EQ(QStringList({y, m, d}).join(QLatin1Char('/')), u(c.date)) << c.subject;
        EXPECT_EQ(SlipMailSubject(), u(c.subject));
        EXPECT_EQ(SlipImageFileName(1), u(c.file));
    }
}

// The mail layer refuses a header value with a line break (and an address with any control
// character) on both routes, before anything is built, sent or started.
TEST_F(CoreTest, HeaderValuesWithLineBreaksAreRefused)
{
    TMailSettings settings;
    settings.From = u("office@example.jp");
    const TMailMessage good{u("a@b.c"), u("件名"), u("本文\r\n二行目"), dir() + u("a.jpg"), u("a.jpg")};
    EXPECT_FALSE(BuildMimeMessage(settings, good, "jpeg", QDateTime::currentDateTime()).contains("Bcc"));
    const struct {
        const char* what;
        TMailMessage message;
        QString from;
    } cases[] = {
        {"CR in the address", {u("a@b.c\rBcc: e@x.y"), u("件名"), {}, {}, u("a.jpg")}, settings.From},
        {"LF in the address", {u("a@b.c\nBcc: e@x.y"), u("件名"), {}, {}, u("a.jpg")}, settings.From},
        {"tab in the address", {u("a@b.c\t"), u("件名"), {}, {}, u("a.jpg")}, settings.From},
        {"CR LF in the subject", {u("a@b.c"), u("件名\r\nBcc: e@x.y"), {}, {}, u("a.jpg")}, settings.From},
        {"LF in the file name", {u("a@b.c"), u("件名"), {}, {}, u("a\n.jpg")}, settings.From},
        {"CR in the sender", {u("a@b.c"), u("件名"), {}, {}, u("a.jpg")}, u("office@example.jp\rBcc: e@x.y")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TMailSettings s = settings;
        s.From = c.from;
        EXPECT_THROW(BuildMimeMessage(s, c.message, "jpeg", QDateTime::currentDateTime()), MailError);
        if (c.from == settings.From) {
            try {
                ComposeMail(c.message);
                ADD_FAILURE() << "the composer was started";
            } catch (const MailError& e) {
                EXPECT_TRUE(e.message().startsWith(
                    u("メールアドレスまたは件名に改行などの制御文字が含まれているため、送信しません。")))
                    << e.message();
            }
        }
    }
}

TEST_F(CoreTest, MailTextKeepsBlanksAndQuotesAndReadsOldFiles)
{
    const QString ini = dir() + u("Tolvane.ini");
    const QStringList lines = {u("  字下げした行"), u("\"引用\""), u(""), u("末尾の空白  ")};
    WriteStoredLines(ini, u("MailText"), lines);
    EXPECT_EQ(ReadStoredLines(ini, u("MailText")), lines);
    // An older file: unquoted lines, and a count beyond the lines stored.
    WriteAll(ini, cp932::encode(u("[MailText]\r\nLineCount=3\r\nLine1=ご確認ください\r\nLine2=  以上\r\n")));
    EXPECT_EQ(ReadStoredLines(ini, u("MailText")), QStringList({u("ご確認ください"), u("以上")}));
}
