// The print dialog: page counts per document kind, the remembered printer settings, the memo's
// limits and its storing, the slip command of the main window, and slips
// printed through the dialog's own print job to a PDF file read back with poppler's tools,
// including the failing ones.
#include <sys/stat.h>

#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTranslator>
#include <QTreeView>
#include <memory>

#include "payroll/common.h"
#include "platform/atomicfile.h"
#include "platform/cp932.h"
#include "platform/inifile.h"
#include "platform/translations.h"
#include "print/pages.h"
#include "print/printer.h"
#include "tests/print/dialogfixture.h"

namespace {

class PrintDialogTest : public PrintWindowTest {};

TEST_F(PrintDialogTest, PageCountsPerKindAndPaper)
{
    SyainRec[2].Genkin = 1;
    SyainRec[3].Taisyoku.setText(u("080430"));  // retired: counted only by the employee list
    struct Row {
        int tag, formType;
        QList<int> ticked;
        int pages, employees;
        const char* info;
        int page;  // the members of this page are checked
        int member1, member2;
    };
    const Row rows[] = {
        {299, 1, {1, 2, 3}, 2, 3, " 2枚 [3名]", 2, 3, 0},  // 2-up: the second sheet holds one slip
        {299, 0, {1, 2, 3}, 3, 3, " 3枚 [3名]", 3, 3, 0},
        {299, 2, {2, 3}, 1, 2, " 1枚 [2名]", 1, 2, 3},
        {201, 1, {1, 2, 3}, 1, 2, " 1枚 [青木健一]", 1, 1, 0},  // one slot: the upper half only
        {100, 1, {}, 1, 3, "  1枚 [3名]", 1, 1, 2},
        {499, 1, {1, 3}, 2, 2, " 2枚", 2, 3, 0},
        {700, 1, {}, 1, 1, "  1枚 [1名]", 1, 0, 0},
        {600, 1, {}, 2, 2, "  2枚", 1, 0, 0},
        {300, 1, {1}, 0, 2, "", 1, 0, 0},
    };
    for (const Row& r : rows) {
        OptionRec.FormType = r.formType;
        const TPrintPlan plan = PlanPrint(r.tag, {{1, 2, 3}, r.ticked}, 0);
        SCOPED_TRACE(r.tag * 10 + r.formType);
        EXPECT_EQ(PaperKind, r.tag / 100);
        EXPECT_EQ(PageCount, r.pages);
        EXPECT_EQ(SelCount, r.employees);
        EXPECT_EQ(plan.InfoText, u(r.info));
        const TMembers m = PageMembers(PaperKind, r.tag % 100, r.page, r.ticked);
        EXPECT_EQ(m[1], r.member1);
        EXPECT_EQ(m[2], r.member2);
    }
    EXPECT_TRUE(PlanPrint(600, {}, 0).Landscape);
}

TEST_F(PrintDialogTest, ResidentTaxByTown)
{
    for (int e = 4; e <= 11; ++e) employee(e, "追加社員", 200000);
    QList<int> lines;
    for (int e = 1; e <= 11; ++e) lines << e;
    // The towns are numbered from 1 whatever the employees counted before.
    const char* towns[] = {"", "横浜市", "川崎市", "横浜市"};
    for (int e = 1; e <= 11; ++e) SyainRec[e].Chouson.setText(u(towns[std::min(e - 1, 3)]));
    SyainRec[2].Juumin = 7000;
    const TPrintPlan plan = PlanPrint(800, {lines, {}}, 0);
    EXPECT_EQ(JuminTable[1].Name, u("横浜市"));
    EXPECT_EQ(JuminTable[1].Count, 9);
    EXPECT_EQ(JuminTable[1].Amount, 7000 + 8 * 10000);
    EXPECT_EQ(JuminTable[2].Name, u("川崎市"));
    EXPECT_EQ(JuminTable[0].Count, 1);
    EXPECT_EQ(SelCount, 3);  // two towns and the employees without one
    EXPECT_EQ(plan.InfoText, u("  1枚 [3件]"));
}

TEST_F(PrintDialogTest, PrintInfoRoundTripAndPrinterNoLongerInstalled)
{
    const QString name = InstalledPrinters().first();
    const QByteArray stored =
        cp932::encode(u("[PrintInfo]\r\nDeviceName=%1\r\nPaperSize=11\r\nPaperWidth=1480\r\n"
                        "PaperLength=2100\r\nOrientation=2\r\nDefaultSource=4\r\n"
                        "PrintQuality=-4\r\nPrintColor=1\r\n")
                          .arg(name));
    WriteAll(IniFileName, stored);
    ASSERT_TRUE(LoadPrintInfo());
    EXPECT_EQ(CurrentPrinterName(), name);
    const TDevMode expected{11, 1480, 2100, 2, 4, -4, 1};
    EXPECT_EQ(CurrentDevMode(), expected);
    QPrinter& p = CurrentPrinter();
    EXPECT_EQ(p.pageLayout().pageSize().id(), QPageSize::A5);
    EXPECT_EQ(p.pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_EQ(p.colorMode(), QPrinter::GrayScale);
    SavePrintInfo();
    EXPECT_EQ(ReadAll(IniFileName), stored);

    // A printer that is gone changes nothing; the dialog then starts from A4 portrait.
    WriteAll(IniFileName, cp932::encode(u("[PrintInfo]\r\nDeviceName=消えたプリンタ\r\nPaperSize=11\r\n")));
    EXPECT_FALSE(LoadPrintInfo());
    EXPECT_EQ(CurrentDevMode(), expected);
    showSlipDialog();
    EXPECT_EQ(CurrentDevMode().PaperSize, dmPaperA4);
    EXPECT_EQ(CurrentDevMode().Orientation, dmPortrait);
    EXPECT_EQ(child<QLabel>(fmInji, "pnPrinter")->text(), u(" ") + name);
}

TEST_F(PrintDialogTest, MemoKeepsFiveLinesAndIsRemembered)
{
    QPlainTextEdit* memo = child<QPlainTextEdit>(fmInji, "mmEditMemo");
    memo->setPlainText(u("1\n2\n3\n4\n5\n6\n7"));
    EXPECT_EQ(memo->toPlainText(), u("1\n2\n3\n4\n5"));
    // A line break typed at the end of the fifth line is dropped at once.
    memo->moveCursor(QTextCursor::End);
    QTest::keyClick(memo, Qt::Key_Return);
    EXPECT_EQ(memo->toPlainText(), u("1\n2\n3\n4\n5"));
    // 170 characters, line breaks counting two; what is typed beyond goes.
    memo->setPlainText(QString(100, QLatin1Char('a')) + u("\n") + QString(68, QLatin1Char('b')));
    memo->moveCursor(QTextCursor::End);
    QTest::keyClicks(memo, "cc");
    EXPECT_TRUE(memo->toPlainText().endsWith(u("b")));

    memo->setPlainText(u("  字下げの行\n二行目"));
    msg_.answer(MsgResult::No);
    child<QPushButton>(fmInji, "btMemory")->click();
    EXPECT_FALSE(QFileInfo::exists(IniFileName));
    msg_.answer(MsgResult::Yes);
    child<QPushButton>(fmInji, "btMemory")->click();
    EXPECT_EQ(msg_.lastText(), u("メモの入力内容を記憶しますか？"));
    ASSERT_EQ(notices_->texts().size(), 1u);
    EXPECT_EQ(notices_->texts()[0], u("メモの入力内容を記憶しました。"));
    memo->clear();
    fmInji->LoadPrintMemo();
    EXPECT_EQ(memo->toPlainText(), u("  字下げの行\n二行目"));
}

// The memo is stored and printed in CP932: a character it lacks is refused as it is typed or
// pasted, with the message storing gives, and never reaches the slip as an empty box.
TEST_F(PrintDialogTest, MemoRefusesWhatCp932LacksAsItIsTypedWithTheMessageOfStoring)
{
    showSlipDialog();
    QPlainTextEdit* memo = child<QPlainTextEdit>(fmInji, "mmEditMemo");
    memo->setPlainText(u("メモ\n二行目"));
    QTextCursor c = memo->textCursor();
    c.setPosition(2);
    memo->setTextCursor(c);
    struct Case {
        const char* typed;
        bool paste;
        const char* left;
        int caret;
        const char* refusal;
    } const cases[] = {
        {"𠮷野", false, "メモ野\n二行目", 3, "「𠮷」はこのプログラムで扱えない文字です。"},
        {"😀", true, "メモ野\n二行目", 3, "「😀」はこのプログラムで扱えない文字です。"},
        {"家", false, "メモ野家\n二行目", 4, nullptr},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed);
        msg_.clear();
        if (k.paste) {
            memo->insertPlainText(u(k.typed));
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(u(k.typed));
            QApplication::sendEvent(memo, &commit);
        }
        EXPECT_EQ(memo->toPlainText(), u(k.left));
        EXPECT_EQ(memo->textCursor().position(), k.caret);
        EXPECT_EQ(msg_.shown().size(), k.refusal ? 1u : 0u);
        EXPECT_EQ(msg_.lastText(), k.refusal ? u(k.refusal) : QString());
    }
    msg_.answer(MsgResult::Yes);
    child<QPushButton>(fmInji, "btMemory")->click();
    EXPECT_EQ(ReadStoredLines(IniFileName, u("PrintMemo")), (QStringList{u("メモ野家"), u("二行目")}));
}

TEST_F(PrintDialogTest, ThreeTickedSlipsTwoUpToPdfAndThePayDateIsKept)
{
    OptionRec.FormType = 1;
    showSlipDialog();
    EXPECT_EQ(child<QLineEdit>(fmInji, "edPrnDateDD")->text(), u("25"));
    child<QLineEdit>(fmInji, "edPrnDateDD")->setText(u("26"));
    child<QPlainTextEdit>(fmInji, "mmEditMemo")->setPlainText(u("今月もお疲れさまでした。"));
    Screenshot(fmInji, "print-dialog.png");
    child<QPushButton>(fmInji, "btOk")->click();
    EXPECT_EQ(fmInji->result(), QDialog::Accepted);
    EXPECT_TRUE(msg_.shown().empty()) << msg_.lastText();
    const QString info = pdfInfo(pdf());
    EXPECT_TRUE(info.contains(QRegularExpression(u("Pages:\\s+2\\n")))) << info;
    EXPECT_TRUE(info.contains(u("(A4)"))) << info;
    const QString text = pdfText(pdf());
    EXPECT_EQ(text.count(u("令和8年 5月分給与")), 3) << text;
    for (int e = 1; e <= 3; ++e) {
        const QString net = FmtAmount(10, SikyuRec[e].SikyuGoukei - KoujoRec[e].KoujoGoukei).trimmed();
        EXPECT_TRUE(net.contains(u(",")) && text.contains(net)) << net;
    }
    EXPECT_EQ(text.count(u("今月もお疲れさまでした。")), 3) << "the memo on every slip";
    if (!ScreenshotFolder().isEmpty())
        run(u("pdftoppm"),
            {u("-png"), u("-r"), u("60"), u("-singlefile"), pdf(), ScreenshotFolder() + u("/slip-pdf")});
    EXPECT_FALSE(QFileInfo::exists(PartialFileName(pdf())));
    EXPECT_EQ(YearHeader.PrnMonth[5], 5);
    EXPECT_EQ(YearHeader.PrnDay[5], 26);
    EXPECT_TRUE(ReadAll(IniFileName).contains("[PrintInfo]"));
    // The next opening for the period offers the date printed.
    fmInji->hide();
    showSlipDialog();
    EXPECT_EQ(child<QLineEdit>(fmInji, "edPrnDateDD")->text(), u("26"));
}

TEST_F(PrintDialogTest, PrinterThatCannotStartIsReportedAndWritesNothing)
{
    const QString target = dir() + u("missing/slips.pdf");
    SetPdfOutputFile(target);
    showSlipDialog();
    child<QPushButton>(fmInji, "btOk")->click();
    ASSERT_EQ(msg_.shown().size(), 1u);
    EXPECT_TRUE(msg_.lastText().contains(u("印刷を開始できません。"))) << msg_.lastText();
    EXPECT_EQ(msg_.shown()[0].type, MsgType::Error);
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_FALSE(QFileInfo::exists(PartialFileName(target)));
    EXPECT_EQ(fmInji->result(), QDialog::Rejected);
    EXPECT_EQ(YearHeader.PrnMonth[5], 0);
    EXPECT_EQ(PrnCanvas, nullptr);
}

// The PDF holds pay and personal data: private while it is written too, also over a stale partial
// file of a stopped print.
TEST_F(PrintDialogTest, PdfBeingWrittenIsPrivate)
{
    const QString target = dir() + u("slips.pdf");
    WriteAll(PartialFileName(target), "stale");
    ASSERT_EQ(::chmod(QFile::encodeName(PartialFileName(target)).constData(), 0644), 0);
    SetPdfOutputFile(target);
    ASSERT_TRUE(CurrentIsPdf());
    int mode = -1;
    ASSERT_TRUE(RunPrintJob(u("slips"), {}, 1, [&](int) { mode = FileMode(PartialFileName(target)); }));
    EXPECT_EQ(mode, 0600);
    EXPECT_EQ(FileMode(target), 0600);
    EXPECT_FALSE(QFileInfo::exists(PartialFileName(target)));
    SetPdfOutputFile({});
}

TEST_F(PrintDialogTest, PageThatFailsAbortsTheJobAndKeepsTheOldFile)
{
    WriteAll(pdf(), "the earlier PDF");
    showSlipDialog();
    breakYearFile();
    child<QPushButton>(fmInji, "btOk")->click();
    ASSERT_EQ(msg_.shown().size(), 1u);
    EXPECT_TRUE(msg_.lastText().startsWith(u("印刷を中止しました。\n"))) << msg_.lastText();
    EXPECT_EQ(ReadAll(pdf()), QByteArray("the earlier PDF"));
    EXPECT_FALSE(QFileInfo::exists(PartialFileName(pdf())));
    EXPECT_EQ(YearHeader.PrnMonth[5], 0);
    EXPECT_EQ(PrnCanvas, nullptr);
    EXPECT_FALSE(CurrentPrinter().isValid() && CurrentPrinter().printerState() == QPrinter::Active);
}

TEST_F(PrintDialogTest, SpreadsheetSaveDialogAddsXlsx)
{
    fmInji->SetupSaveDlg(true);
    auto* save = child<QFileDialog>(fmInji, "SaveDlg");
    EXPECT_EQ(save->defaultSuffix(), u("xlsx"));
    fmInji->SaveDlgTypeChange(u("CSVﾌｧｲﾙ (*.csv)"));
    EXPECT_EQ(save->defaultSuffix(), u("csv"));
    EXPECT_NE(save->directory(), QDir::current()) << "opened where the user keeps files";
}

// Qt's own dialogs speak Japanese once its translation is installed (without it the program goes on
// in English). The PDF file dialog opens in the documents folder, then in the folder last used.
TEST_F(PrintDialogTest, PdfFileDialogInJapaneseOpensInDocumentsThenWhereTheLastWent)
{
    EXPECT_EQ(InstallQtTranslations(dir()), nullptr) << "no translation in the test's folder";
    const std::unique_ptr<QTranslator> ja(InstallQtTranslations());
    ASSERT_TRUE(ja) << "the package qt6-translations-l10n is missing";
    EXPECT_EQ(QPrintDialog(&CurrentPrinter()).windowTitle(), u("印刷"));
    // The type column of the file dialogs, which Qt's translation leaves in English.
    EXPECT_EQ(QAbstractFileIconProvider().type(QFileInfo(dir())), u("フォルダー"));

    const QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", dir().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (dir() + u(".config")).toLocal8Bit());
    ASSERT_TRUE(QDir().mkpath(dir() + u("Documents")) && QDir().mkpath(dir() + u("給与")));
    // A file of 20.5 KiB and a folder, whose size, type and date the dialog shows whole.
    WriteAll(dir() + u("Documents/前回の給与明細書.pdf"), QByteArray(20990, 'x'));
    ASSERT_TRUE(QDir().mkpath(dir() + u("Documents/控え")));
    SetPdfOutputFile({});
    // A "/" in a document's name is no folder: the whole name is offered, where the others open.
    struct Step {
        int tag;
        const char* document;
        const char* opensIn;
        const char* chosen;  // "": cancelled
        const char* offered;
    } const steps[] = {
        {505, "月別給与/賞与一覧", "Documents", "", "月別給与・賞与一覧.pdf"},
        {299, "給与明細書", "Documents", "給与/5月", "給与明細書.pdf"},
        {600, "給与/賞与総合計台帳", "給与", "", "給与・賞与総合計台帳.pdf"},
        {299, "給与明細書", "給与", "", "給与明細書.pdf"},
    };
    for (const Step& c : steps) {
        SCOPED_TRACE(c.document);
        QStringList shown;
        WhenShown(
            [] {
                QWidget* found = nullptr;
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (qobject_cast<QFileDialog*>(w) && w->isVisible()) found = w;
                return found;
            },
            [&] {
                auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                ASSERT_TRUE(d);
                shown << d->directory().absolutePath() << d->findChild<QLineEdit*>(u("fileNameEdit"))->text();
                // No column of the listing cuts its texts: each is as wide as its widest entry.
                auto* tree = d->findChild<QTreeView*>(u("treeView"));
                EXPECT_TRUE(tree && tree->isVisible()) << "the detail view";
                if (tree) {
                    QAbstractItemView* list = tree;
                    QHeaderView* header = tree->header();
                    const auto cut = [list, header] {
                        QStringList columns;
                        for (int col = 0; col < header->count(); ++col)
                            if (header->sectionSize(col) < list->sizeHintForColumn(col))
                                columns << QStringLiteral("%1: %2 < %3")
                                               .arg(col)
                                               .arg(header->sectionSize(col))
                                               .arg(list->sizeHintForColumn(col));
                        return columns;
                    };
                    EXPECT_TRUE(QTest::qWaitFor([&] {
                        return list->model()->rowCount(list->rootIndex()) >= 1 && cut().isEmpty();
                    })) << cut().join(u("; "));
                }
                if (!*c.chosen) return d->reject();
                Screenshot(d, "pdf-save-dialog.png");
                d->findChild<QLineEdit*>(u("fileNameEdit"))->setText(dir() + u(c.chosen));
                d->findChild<QDialogButtonBox*>(u("buttonBox"))->button(QDialogButtonBox::Save)->click();
            });
        showSlipDialog(c.tag, u(c.document));
        child<QPushButton>(fmInji, "btOk")->click();
        EXPECT_EQ(shown, QStringList({dir() + u(c.opensIn), u(c.offered)}));
        if (*c.chosen) {
            EXPECT_TRUE(pdfInfo(dir() + u(c.chosen) + u(".pdf")).contains(u("Pages:")));
        }
        fmInji->hide();
    }
    qputenv("HOME", home);
    config.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", config);
}

// The print dialog's order for slips, walked with real keys on the shown dialog: the pay date's
// year, month and day, then the memo and the buttons round to the year again; Enter moves on from
// the date's parts; Shift+Tab goes back from the memo through day, month and year.
TEST_F(PrintDialogTest, TabAndEnterWalkThePayDateThenTheMemo)
{
    const QStringList order = {"edPrnDateYY", "edPrnDateMM", "edPrnDateDD", "mmEditMemo", "btMemory",
                               "btPreView",   "btOk",        "btCancel",    "btPrnSetup", "edPrnDateYY"};
    struct Case {
        const char* what;
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        QStringList walk;  // the first is focused, the others are reached one key each
    } const cases[] = {
        {"Tab", Qt::Key_Tab, Qt::NoModifier, order},
        {"Enter", Qt::Key_Return, Qt::NoModifier, order.first(4)},
        {"Shift+Tab",
         Qt::Key_Backtab,
         Qt::ShiftModifier,
         {"mmEditMemo", "edPrnDateDD", "edPrnDateMM", "edPrnDateYY"}},
    };
    fmInji->setDocument(299, u("給与明細書"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ShowActive(fmInji);
        QPlainTextEdit* memo = child<QPlainTextEdit>(fmInji, "mmEditMemo");
        memo->setPlainText(u("memo"));
        EXPECT_EQ(WalkFocus(fmInji, c.walk.first(), c.walk.size() - 1, c.key, c.mods), c.walk);
        EXPECT_EQ(memo->toPlainText(), u("memo")) << "Tab and Enter type nothing into the memo";
        EXPECT_TRUE(fmInji->isVisible()) << "no key of the walk pressed a button";
        fmInji->reject();
    }
}

TEST_F(PrintDialogTest, SlipCommandNeedsATickAndOpensTheDialogFor299)
{
    QAction* command = fmMain->action("mnMeisaihyo");
    ASSERT_TRUE(command);
    auto* list = child<QListWidget>(fmMain, "ListBox");
    for (int i = 0; i < list->count(); ++i) list->item(i)->setCheckState(Qt::Unchecked);
    command->trigger();
    EXPECT_EQ(msg_.lastText(),
              u("印刷対象者が選択されていません。\n(No欄のチェックボックスをチェックして選択します)"));
    list->item(1)->setCheckState(Qt::Checked);
    QString info;
    WhenShown(fmInji, [&] {
        info = child<QLabel>(fmInji, "pnPrnInfo")->text();
        child<QPushButton>(fmInji, "btCancel")->click();
    });
    command->trigger();
    EXPECT_EQ(fmInji->tag(), 299);
    EXPECT_EQ(info, u(" 1枚 [1名]"));
    ASSERT_EQ(msg_.shown().size(), 2u);
    EXPECT_TRUE(msg_.lastText().startsWith(NoPrintService));
}

}  // namespace
