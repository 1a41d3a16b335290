// Slips printed through real printer queues of a CUPS scheduler the test runs itself: the job that
// reaches the queue against the program's own PDF, a queue that refuses the job, a printer deleted
// under the dialog, a remembered printer that is gone, and no print service, before and under it.
#include <pwd.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPrintDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>
#include <QThread>

#include "platform/inifile.h"
#include "tests/print/dialogfixture.h"

namespace {

const QString Ppd = QStringLiteral("/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd");

// A scheduler with its own folders under /tmp (short enough for its socket's path), its own socket
// and port, file devices allowed and no authentication. Run as root, the tests run it as the user
// lp, as a system would, so that it and its filters are unprivileged either way.
class PrivateCups {
  public:
    PrivateCups() : dir_(QStringLiteral("/tmp/pelcups-XXXXXX")) {}
    ~PrivateCups() { stop(); }
    void stop()
    {
        if (cupsd_.state() == QProcess::NotRunning) return;
        cupsd_.terminate();  // SIGTERM to its process id
        if (!cupsd_.waitForFinished(5000)) cupsd_.kill();
    }
    QString log() const { return QString::fromLocal8Bit(ReadAll(dir_.filePath(u("log/error_log")))); }
    QString socket() const { return dir_.filePath(QStringLiteral("run/cups.sock")); }
    QString output(const QString& queue) const { return dir_.filePath(u("out/") + queue + u(".pdf")); }

    // Empty when the scheduler answers; else why it cannot run here.
    QString start()
    {
        const QStringList sbin{u("/usr/sbin"), u("/sbin"), u("/usr/bin")};
        const QString cupsd = QStandardPaths::findExecutable(u("cupsd"), sbin);
        if (cupsd.isEmpty() || !QFile::exists(Ppd))
            return u("cupsd or the generic PDF driver is missing (Debian packages cups, cups-filters)");
        // Others may pass through to the folders that become the scheduler's own.
        QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner | QFileDevice::ExeOther);
        const auto path = [this](const QString& p) { return dir_.filePath(p); };
        QStringList own;
        for (const char* f : {"conf", "spool", "tmp", "log", "cache", "state", "run", "out"})
            if (QDir(dir_.path()).mkdir(u(f))) own << path(u(f));
        QTcpServer probe;  // a free port, given up again for the scheduler
        probe.listen(QHostAddress::LocalHost);
        const quint16 port = probe.serverPort();
        probe.close();
        const QString conf = path(u("conf/cupsd.conf")), files = path(u("conf/cups-files.conf"));
        own << conf << files;
        WriteAll(files, u("ServerRoot %1/conf\nRequestRoot %1/spool\nTempDir %1/tmp\n"
                          "CacheDir %1/cache\nStateDir %1/state\nErrorLog %1/log/error_log\n"
                          "AccessLog %1/log/access_log\nPageLog %1/log/page_log\n"
                          "Printcap %1/run/printcap\nFileDevice Yes\n")
                            .arg(dir_.path())
                            .toUtf8());
        WriteAll(conf, u("Listen %1\nListen 127.0.0.1:%2\nLogLevel warn\nBrowsing No\n"
                         "WebInterface No\nDefaultAuthType None\n<Policy default>\n"
                         "<Limit All>\nOrder deny,allow\n</Limit>\n</Policy>\n")
                           .arg(socket())
                           .arg(port)
                           .toUtf8());
        QStringList args{u("-f"), u("-c"), conf, u("-s"), files};
        QString program = cupsd;
        if (geteuid() == 0) {
            const passwd* lp = getpwnam("lp");
            if (!lp) lp = getpwnam("nobody");
            if (!lp) return u("no unprivileged user to run cupsd as");
            for (const QString& f : own)  // whatever the umask made of them
                if (chown(QFile::encodeName(f).constData(), lp->pw_uid, lp->pw_gid) != 0)
                    return u("cannot hand the scheduler's files to ") + QString::fromLocal8Bit(lp->pw_name);
            program = QStandardPaths::findExecutable(u("setpriv"), sbin);
            if (program.isEmpty()) return u("setpriv is missing (Debian package util-linux)");
            args = QStringList{u("--reuid=%1").arg(lp->pw_uid), u("--regid=%1").arg(lp->pw_gid),
                               u("--clear-groups"), cupsd} +
                   args;
        }
        cupsd_.setProcessChannelMode(QProcess::MergedChannels);
        cupsd_.start(program, args);
        for (int i = 0; i < 1200 && cupsd_.waitForStarted(5000); ++i) {
            if (QFile::exists(socket()) && PrintServiceAnswers()) return {};
            if (cupsd_.waitForFinished(50)) break;
        }
        return u("cupsd does not answer: ") + QString::fromLocal8Bit(cupsd_.readAll()) + log();
    }

    // lpadmin, cupsreject and the like on this scheduler; the tool's complaint when it fails.
    QString admin(const QString& tool, QStringList args)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStandardPaths::findExecutable(tool, {u("/usr/sbin"), u("/usr/bin")}),
                QStringList{u("-h"), socket()} + args);
        if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return tool + u(": ") + QString::fromLocal8Bit(p.readAll());
        return {};
    }
    QString addQueue(const QString& name)
    {
        return admin(u("lpadmin"),
                     {u("-p"), name, u("-E"), u("-v"), u("file://") + output(name), u("-P"), Ppd});
    }

    // The jobs the queue took, once each has ended.
    static int finishedJobs(const QString& queue)
    {
        for (int wait = 0; wait < 600; ++wait) {
            cups_job_t* jobs = nullptr;
            const int n =
                cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.toUtf8().constData(), 0, CUPS_WHICHJOBS_ALL);
            bool ended = true;
            for (int i = 0; i < n; ++i) ended = ended && jobs[i].state >= IPP_JSTATE_CANCELED;
            cupsFreeJobs(n, jobs);
            if (ended) return n;
            QThread::msleep(50);
        }
        return -1;
    }

  private:
    QTemporaryDir dir_;
    QProcess cupsd_;
};

class CupsTest : public PrintWindowTest {
  protected:
    void SetUp() override
    {
        // libcups and Qt's printer support look for the service from the first call on.
        printService_ = cups_.socket();
        qputenv("CUPS_SERVERROOT", QFile::encodeName(QFileInfo(cups_.socket()).path()));
        qputenv("HOME", QFile::encodeName(QFileInfo(cups_.socket()).path()));  // no lpoptions of the user
        qunsetenv("PRINTER");
        qunsetenv("LPDEST");
        PrintWindowTest::SetUp();
        OptionRec.FormType = 1;
        OptionRec.PrnSikyubi = 1;
    }
    // Opens the dialog and prints; the messages it showed.
    std::vector<MsgShown> print(const std::function<void()>& beforePrinting = {})
    {
        msg_.clear();
        fmInji->setDocument(299, u("給与明細書"));
        fmInji->show();
        if (beforePrinting) beforePrinting();
        child<QPushButton>(fmInji, "btOk")->click();
        return msg_.shown();
    }
    QString remembered() const { return IniFile(IniFileName).readString(u("PrintInfo"), u("DeviceName")); }

    PrivateCups cups_;
};

TEST_F(CupsTest, SlipsThroughQueuesAndWhatBecomesOfRefusedJobsAndGonePrinters)
{
    // Before the scheduler runs: no printer but the PDF file, and the user is told why.
    std::vector<MsgShown> shown = print();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.startsWith(NoPrintService)) << shown[0].text;
    EXPECT_EQ(shown[0].type, MsgType::Information);
    // Word for word: the printer's margin moves the text by less than a millimetre.
    const QString pdfText = PrintWindowTest::pdfText(pdf()).simplified();
    ASSERT_TRUE(pdfText.contains(u("鈴木大輔"))) << pdfText;

    const QString failed = cups_.start();
    if (!failed.isEmpty()) GTEST_SKIP() << failed.toStdString();
    for (const char* queue : {"Slips", "Office"}) ASSERT_EQ(cups_.addQueue(u(queue)), QString());
    ASSERT_EQ(cups_.admin(u("lpadmin"), {u("-d"), u("Slips")}), QString());

    // The default queue takes one job of two A4 pages that read as the PDF file does.
    shown = print();
    EXPECT_TRUE(shown.empty()) << shown[0].text;
    ASSERT_EQ(PrivateCups::finishedJobs(u("Slips")), 1) << cups_.log();
    const QString info = pdfInfo(cups_.output(u("Slips")));
    EXPECT_TRUE(info.contains(QRegularExpression(u("Pages:\\s+2\\n")))) << info;
    EXPECT_EQ(PrintWindowTest::pdfText(cups_.output(u("Slips"))).simplified(), pdfText);
    EXPECT_EQ(remembered(), u("Slips"));

    // A queue that refuses jobs: the message in Japanese with the reason its administrator gave, in
    // whatever script (none but the service's English "Rejecting Jobs" when he gave none), no job,
    // and the pay date is not kept.
    const struct {
        QStringList reject;
        const char* told;
    } refusals[] = {
        {{u("-r"), u("トナー交換のため停止中"), u("Slips")},
         "印刷できませんでした。\nプリンターが印刷を受け付けていません。\n理由：トナー交換のため停止中\n"
         "プリンター：Slips"},
        {{u("-r"), u("Toner empty, use the 2F printer"), u("Slips")},
         "印刷できませんでした。\nプリンターが印刷を受け付けていません。\n理由：Toner empty, use the 2F "
         "printer\n"
         "プリンター：Slips"},
        {{u("Slips")}, "印刷できませんでした。\nプリンターが印刷を受け付けていません。\nプリンター：Slips"},
    };
    for (const auto& r : refusals) {
        ASSERT_EQ(cups_.admin(u("cupsreject"), r.reject), QString());
        YearHeader.PrnDay[5] = 0;
        shown = print();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].type, MsgType::Error);
        EXPECT_EQ(shown[0].text, u(r.told));
        EXPECT_EQ(fmInji->result(), QDialog::Rejected);
        EXPECT_EQ(YearHeader.PrnDay[5], 0);
        EXPECT_EQ(PrivateCups::finishedJobs(u("Slips")), 1);
    }

    // The printer deleted while the dialog is open.
    WriteAll(IniFileName, "[PrintInfo]\r\nDeviceName=Office\r\n");
    shown = print([this] { ASSERT_EQ(cups_.admin(u("lpadmin"), {u("-x"), u("Office")}), QString()); });
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.startsWith(u("印刷できませんでした。\nプリンターが見つかりません")))
        << shown[0].text;

    // Remembered but gone at the next opening: said so, and the default printer takes the job.
    ASSERT_EQ(cups_.admin(u("cupsaccept"), {u("Slips")}), QString());
    shown = print();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(
        shown[0].text,
        u("前回使ったプリンター「Office」が見つかりません。\n通常使うプリンター「Slips」で印刷します。"));
    EXPECT_EQ(shown[0].type, MsgType::Warning);
    EXPECT_EQ(child<QLabel>(fmInji, "pnPrinter")->text(), u(" Slips"));
    EXPECT_EQ(PrivateCups::finishedJobs(u("Slips")), 2);
    EXPECT_EQ(remembered(), u("Slips"));
    EXPECT_EQ(YearHeader.PrnDay[5], 25);

    // The service stopped under the open dialog.
    shown = print([this] { cups_.stop(); });
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.startsWith(u("印刷できませんでした。\n印刷サービス（CUPS）が応答しません。")))
        << shown[0].text;
}

// The steps a clerk takes, keyboard first: Ctrl+P opens the slips' print dialog, a second queue is
// chosen in プリンタ設定 and printed to, then removed from the scheduler; the dialog is opened
// again the same way in the same run and after a restart. The Ctrl of Ctrl+P is no Ctrl held on
// purpose to start from A4 on the current printer.
TEST_F(CupsTest, PrinterChosenInTheSetUpDialogAndRemovedIsToldOnceThenTheDefaultPrints)
{
    const QString failed = cups_.start();
    if (!failed.isEmpty()) GTEST_SKIP() << failed.toStdString();
    for (const char* queue : {"Slips", "Office"}) ASSERT_EQ(cups_.addQueue(u(queue)), QString());
    ASSERT_EQ(cups_.admin(u("lpadmin"), {u("-d"), u("Slips")}), QString());

    // Ctrl+P, the main window's command for the slips, on an activated window that carries it (the
    // main window's first activation would open a period); act runs in the dialog, which ends with
    // the button named.
    const auto ctrlP = [this](const char* button, const std::function<void()>& act = {}) {
        msg_.clear();
        QWidget window;
        window.addAction(fmMain->action("mnMeisaihyo"));
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window, 60000));
        QString printer;
        WhenShown(fmInji, [&] {
            printer = child<QLabel>(fmInji, "pnPrinter")->text();
            if (act) act();
            child<QPushButton>(fmInji, button)->click();
        });
        QTest::keyClick(&window, Qt::Key_P, Qt::ControlModifier);
        return std::make_pair(printer, msg_.shown());
    };
    // The program ends and starts again on the same period, every employee ticked.
    const auto restart = [this] {
        DestroyForms(), ResetPrinter(), CreateForms();
        fmMain->FillMemberList(1);
        auto* list = child<QListWidget>(fmMain, "ListBox");
        for (int i = 0; i < list->count(); ++i) list->item(i)->setCheckState(Qt::Checked);
    };
    auto [printer, shown] = ctrlP("btOk", [] {
        WhenShown([] { return fmInji->findChild<QPrintDialog*>(); },
                  [] {
                      auto* dialog = fmInji->findChild<QPrintDialog*>();
                      auto* printers = dialog->findChild<QComboBox*>(u("printers"));
                      ASSERT_TRUE(printers);
                      printers->setCurrentIndex(printers->findText(u("Office")));
                      dialog->accept();
                  });
        child<QPushButton>(fmInji, "btPrnSetup")->click();
        EXPECT_EQ(child<QLabel>(fmInji, "pnPrinter")->text(), u(" Office"));
    });
    EXPECT_EQ(printer, u(" Slips"));
    EXPECT_TRUE(shown.empty()) << shown[0].text;
    ASSERT_EQ(PrivateCups::finishedJobs(u("Office")), 1) << cups_.log();
    EXPECT_EQ(remembered(), u("Office"));
    // After a restart, Ctrl+P makes the dialog for the first time: the remembered printer.
    restart();
    std::tie(printer, shown) = ctrlP("btCancel");
    EXPECT_EQ(printer, u(" Office"));
    EXPECT_TRUE(shown.empty()) << shown[0].text;
    // Ctrl held on purpose while the command is chosen another way: A4 on the current printer, the
    // default one.
    restart();
    {
        QWidget window;
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 60000));
        QTest::keyPress(&window, Qt::Key_Control, Qt::ControlModifier);
        WhenShown(fmInji, [&] {
            printer = child<QLabel>(fmInji, "pnPrinter")->text();
            child<QPushButton>(fmInji, "btCancel")->click();
        });
        fmMain->action("mnMeisaihyo")->trigger();
        QTest::keyRelease(&window, Qt::Key_Control);
        EXPECT_EQ(printer, u(" Slips"));
    }
    // Ctrl+P: the remembered printer while it is there.
    std::tie(printer, shown) = ctrlP("btCancel");
    EXPECT_EQ(printer, u(" Office"));
    EXPECT_TRUE(shown.empty()) << shown[0].text;

    ASSERT_EQ(cups_.admin(u("lpadmin"), {u("-x"), u("Office")}), QString());
    const QString gone =
        u("前回使ったプリンター「Office」が見つかりません。\n通常使うプリンター「Slips」で印刷します。");
    for (const bool restarted : {false, true}) {
        if (restarted) restart();
        std::tie(printer, shown) = ctrlP("btCancel");
        EXPECT_EQ(printer, u(" Slips"));
        ASSERT_EQ(shown.size(), 1u) << restarted;
        EXPECT_EQ(shown[0].text, gone);
        EXPECT_EQ(shown[0].type, MsgType::Warning);
        std::tie(printer, shown) = ctrlP("btCancel");
        EXPECT_TRUE(shown.empty()) << "told once in a run: " << shown[0].text;
        EXPECT_EQ(remembered(), u("Office")) << "nothing printed yet";
    }
    SetPdfOutputFile(pdf());
    std::tie(printer, shown) = ctrlP("btOk");
    EXPECT_TRUE(shown.empty()) << shown[0].text;
    EXPECT_EQ(printer, u(" Slips"));
    EXPECT_EQ(PrivateCups::finishedJobs(u("Slips")), 1);
    EXPECT_EQ(remembered(), u("Slips"));
}

// A queue stopped by its administrator takes the job and holds it: the clerk hears that the
// printer is stopped and the slips wait in its queue.
TEST_F(CupsTest, StoppedQueueHoldsTheJobAndTheUserIsTold)
{
    const QString failed = cups_.start();
    if (!failed.isEmpty()) GTEST_SKIP() << failed.toStdString();
    ASSERT_EQ(cups_.addQueue(u("Slips")), QString());
    ASSERT_EQ(cups_.admin(u("lpadmin"), {u("-d"), u("Slips")}), QString());
    ASSERT_EQ(cups_.admin(u("cupsdisable"), {u("-r"), u("紙切れ"), u("Slips")}), QString());
    std::vector<MsgShown> shown = print();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].type, MsgType::Warning);
    EXPECT_EQ(shown[0].text,
              u("プリンター「Slips」は停止しています（紙切れ）。\n"
                "印刷した帳票はプリンターのキューで待っています。プリンターを再開すると印刷されます。"));
    EXPECT_EQ(fmInji->result(), QDialog::Accepted) << "the queue took the job";
    cups_job_t* jobs = nullptr;
    const int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, "Slips", 0, CUPS_WHICHJOBS_ACTIVE);
    EXPECT_EQ(n, 1) << "held in the queue";
    cupsFreeJobs(n, jobs);

    // Started again, the queue prints it, and nothing more is said.
    ASSERT_EQ(cups_.admin(u("cupsenable"), {u("Slips")}), QString());
    EXPECT_EQ(PrivateCups::finishedJobs(u("Slips")), 1) << cups_.log();
    shown = print();
    EXPECT_TRUE(shown.empty()) << shown[0].text;
}

// Stopped without a word of its administrator, the queue's state is told in Japanese, never in
// the service's English ("Paused").
TEST_F(CupsTest, StoppedQueueWithoutAReasonIsToldInJapanese)
{
    const QString failed = cups_.start();
    if (!failed.isEmpty()) GTEST_SKIP() << failed.toStdString();
    ASSERT_EQ(cups_.addQueue(u("Slips")), QString());
    ASSERT_EQ(cups_.admin(u("lpadmin"), {u("-d"), u("Slips")}), QString());
    ASSERT_EQ(cups_.admin(u("cupsdisable"), {u("Slips")}), QString());
    const std::vector<MsgShown> shown = print();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text,
              u("プリンター「Slips」は停止しています（一時停止）。\n"
                "印刷した帳票はプリンターのキューで待っています。プリンターを再開すると印刷されます。"));
}

TEST(PrinterStateTest, ReasonsInJapanese)
{
    const struct {
        QStringList keywords;
        const char* text;
    } cases[] = {
        {{u("paused")}, "一時停止"},
        {{u("media-empty-error"), u("paused")}, "用紙切れ、一時停止"},
        {{u("media-jam-warning"), u("media-jam-report")}, "紙詰まり"},
        {{u("none")}, ""},
        {{u("com.example-unknown-error"), u("cover-open")}, "カバーが開いています"},
        {{}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PrinterStateReasonsText(c.keywords), u(c.text)) << c.keywords.join(u',');
}

// A queue whose paper has a top margin of 12.7 mm: the first slip's header box (9.5 mm from the
// top of the sheet as drawn) lies in the margin, where the job's PDF keeps it. The preview shows
// it too, line whole, in the grey of the margin.
TEST_F(CupsTest, PreviewShowsTheFirstSlipsTopLineThatLiesInThePrintersMargin)
{
    const QString failed = cups_.start();
    if (!failed.isEmpty()) GTEST_SKIP() << failed.toStdString();
    ASSERT_EQ(cups_.addQueue(u("Slips")), QString());
    ASSERT_EQ(cups_.admin(u("lpadmin"), {u("-d"), u("Slips")}), QString());
    fmInji->setDocument(299, u("給与明細書"));
    fmInji->show();
    fmInji->PublishPrintInputs();
    fmPreView->show();
    QApplication::processEvents();
    const TPrinterCaps caps = PrinterCaps();
    const double marginTop = caps.PhysicalOffsetY * 25.4 / caps.LogPixelsY;
    const double marginLeft = caps.PhysicalOffsetX * 25.4 / caps.LogPixelsX;
    ASSERT_NEAR(marginTop, 12.7, 0.1) << "the generic PDF printer's A4 margin";
    // The page is drawn from the margin's whole millimetres: the box lies this far down the sheet.
    const double top = marginTop + (10 - 0.5) - std::nearbyint(marginTop);
    const double left = marginLeft + 17.5 - std::nearbyint(marginLeft), right = left + 108 - 17.5;

    // The share of the box's width that is dark in the darkest row near the line.
    const auto line = [&](const QImage& image, double px) {
        int best = 0;
        const int from = int(left * px) + 2, to = int(right * px) - 2;
        for (int row = std::max(0, int(top * px) - 2); row <= int(top * px) + 2; ++row) {
            int n = 0;
            for (int x = from; x < to; ++x) n += qGray(image.pixel(x, row)) < 128;
            best = std::max(best, n);
        }
        return double(best) / (to - from);
    };
    const QImage sheet = child<QWidget>(fmPreView, "pbImage")->grab().toImage();
    const double px = fmPreView->logicalDpiY() * PreviewZoom / 100.0 / 25.4;  // pixels a millimetre
    EXPECT_GT(line(sheet, px), 0.9) << "the top line of the box, " << top << " mm down";
    // The printed job has it as well.
    fmPreView->hide();
    child<QPushButton>(fmInji, "btOk")->click();
    ASSERT_EQ(PrivateCups::finishedJobs(u("Slips")), 1) << cups_.log();
    run(u("pdftoppm"), {u("-r"), u("100"), u("-gray"), u("-f"), u("1"), u("-l"), u("1"), u("-singlefile"),
                        cups_.output(u("Slips")), dir() + u("job")});
    const QImage job(dir() + u("job.pgm"));
    ASSERT_FALSE(job.isNull());
    EXPECT_GT(line(job, 100 / 25.4), 0.9);
    // The margin is the sheet's grey; the printable area white.
    EXPECT_EQ(sheet.pixel(int(100 * px), 1), qRgb(244, 244, 244));
    EXPECT_EQ(sheet.pixel(int((marginLeft + 1) * px), int((marginTop + 1) * px)), qRgb(255, 255, 255));
}

}  // namespace
