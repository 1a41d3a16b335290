// The program's windows over May of a year with three employees (saved January to May, so that the
// slips' cumulative rows read the year file), all three ticked in the main window's list, and the
// PDF printer's output file in the test's folder. Unless a test names its own print service, none
// answers (libcups is pointed at a socket nobody listens on), so the PDF file is the only printer.
// Shared by the print dialog, preview and printer queue tests.
#pragma once
#include <cups/cups.h>

#include <QListWidget>
#include <QProcess>
#include <optional>

#include "app/TfmMain.h"
#include "app/forms.h"
#include "payroll/calc.h"
#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/yearfile.h"
#include "platform/clock.h"
#include "platform/fonts.h"
#include "platform/msgbox.h"
#include "platform/notice.h"
#include "print/dispatch.h"
#include "print/engine.h"
#include "print/printer.h"
#include "print/ui/TfmInji.h"
#include "print/ui/TfmPreView.h"
#include "tests/app/appfixture.h"

class PrintWindowTest : public PeriodTest {
  protected:
    void SetUp() override
    {
        PeriodTest::SetUp();
        const QByteArray server =
            QFile::encodeName(printService_.isEmpty() ? dir() + u("none.sock") : printService_);
        qputenv("CUPS_SERVER", server);
        cupsSetServer(server.constData());
        InstallFontSubstitutions();
        CreateForms();
        // After the windows: the notice panel they install would take the notices.
        notices_.emplace();
        openMonth(5);
        employee(1, "青木健一", 250000);
        employee(2, "佐藤美咲", 220000);
        employee(3, "鈴木大輔", 310000);
        for (int m = 1; m <= 5; ++m) {
            CurPeriod.Period = m;
            for (int e = 1; e <= 3; ++e) CalcKyuyo(e);
            WritePeriod();
        }
        fmMain->FillMemberList(1);
        auto* list = child<QListWidget>(fmMain, "ListBox");
        for (int i = 0; i < list->count(); ++i) list->item(i)->setCheckState(Qt::Checked);
        SetPdfOutputFile(pdf());
    }
    void TearDown() override
    {
        notices_.reset();
        DestroyForms();
        cupsSetServer(nullptr);
        PeriodTest::TearDown();
    }
    void company() override { slipCompany(); }
    void employee(int e, const char* name, int wage)
    {
        TEmployeeRec& E = PeriodTest::employee(e);
        E.Simei.setText(u(name));
        E.Kubun = 2, E.Chingin[1] = wage;
        E.KenhoRyo = 14925, E.KoseiRyo = 27450, E.Juumin = 10000;
        KintaiRec[e].Kintai[kiSyukkin] = 20;
    }
    // Opens the dialog for the slips of the ticked employees (or another document), as the main
    // window's command does.
    void showSlipDialog(int tag = 299, const QString& document = u("給与明細書"))
    {
        fmInji->setDocument(tag, document);
        fmInji->show();
        // The first opening says that printing goes to the PDF file only: not these tests' concern.
        if (!msg_.shown().empty() && msg_.lastText().startsWith(NoPrintService)) msg_.clear();
    }
    static inline const QString NoPrintService = u("印刷サービス（CUPS）が応答しないため");
    // A year file the cumulative rows cannot be read from.
    void breakYearFile() { WriteAll(CurPeriod.FileName, QByteArray(200, '\0')); }

    QString pdf() const { return dir() + u("slips.pdf"); }
    static QString run(const QString& program, const QStringList& args)
    {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    static QString pdfText(const QString& path) { return run(u("pdftotext"), {u("-layout"), path, u("-")}); }
    static QString pdfInfo(const QString& path) { return run(u("pdfinfo"), {path}); }

    QString printService_;  // the socket of the CUPS scheduler the test runs
    FixedClock clock_{QDateTime(QDate(2026, 5, 20), QTime(9, 0))};
    ScriptedMsgBox msg_;
    std::optional<RecordedNotices> notices_;
};
