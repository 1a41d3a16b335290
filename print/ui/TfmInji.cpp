// The print dialog: its controls, the counts of every showing, the printer, the slip memo, the
// pay-date entry, the preview and the print job.
#include "print/ui/TfmInji.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/ui/edithelpers.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fonts.h"
#include "platform/formkit.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "platform/notice.h"
#include "platform/shell.h"
#include "print/dispatch.h"
#include "print/exports.h"
#include "print/pages.h"
#include "print/printer.h"
#include "print/ui/TfmPreView.h"

TFormRef<TfmInji> fmInji;

namespace {
TShortcutKeys* shortcutKeys = nullptr;
}

void WatchShortcutKeys()
{
    if (shortcutKeys) return;
    shortcutKeys = new TShortcutKeys(qApp);
    qApp->installEventFilter(shortcutKeys);
}

bool ShortcutCtrlDown()
{
    return shortcutKeys && shortcutKeys->down;
}

bool TShortcutKeys::eventFilter(QObject* watched, QEvent* e)
{
    switch (e->type()) {
        case QEvent::Shortcut:
            down = true;
            break;
        case QEvent::KeyRelease:
            if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Control) down = false;
            break;
        case QEvent::MouseButtonPress:
            down = false;
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, e);
}

namespace {
// The main window's employee list, as installed by SetMemberList.
std::function<TListSlots()> memberList;

constexpr int MemoMaxLines = 5;
constexpr int MemoMaxChars = 170;  // line breaks count two, as they are stored on the slip's side

const QString kMemoSection = QStringLiteral("PrintMemo");
const QString kCsvFilter = QStringLiteral("CSVﾌｧｲﾙ (*.csv)");
const QString kSheetFilter = QStringLiteral("Excelﾌｧｲﾙ (*.xlsx)");

QLabel* makePanel(QWidget* parent, const char* name)
{
    auto* panel = new QLabel(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setMinimumWidth(260);
    return panel;
}

QString twoWide(int n)
{
    return QString::number(n).rightJustified(2);
}

// The memo's lines as they are stored and printed: a final line break starts no line.
QStringList memoLines(const QString& text)
{
    if (text.isEmpty()) return {};
    QStringList lines = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n'))) lines.removeLast();
    return lines;
}

// The folder a file was last saved to through a file dialog in this run.
QString lastFolder;

// Where a file dialog opens: the folder last used, else the user's documents folder (his home
// folder while there is none), never the folder the program happened to be started from.
QString dialogFolder()
{
    if (!lastFolder.isEmpty() && QFileInfo(lastFolder).isDir()) return lastFolder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void rememberFolder(const QString& file)
{
    if (!file.isEmpty()) lastFolder = QFileInfo(file).absolutePath();
}

// The proposed name of a PDF: the document's name in the folder file dialogs open in. "/" in a
// name ("月別給与/賞与一覧") would make the rest of it a file in a folder that is not there, and the
// dialog would open wherever the program was started: it becomes "・".
QString pdfSuggestion(const QString& caption)
{
    QString name = caption;
    if (name.endsWith(QStringLiteral("の印刷"))) name.chop(3);
    name.replace(QLatin1Char('/'), QStringLiteral("・")).replace(QLatin1Char('\\'), QStringLiteral("・"));
    if (name.isEmpty()) name = QStringLiteral("帳票");
    return dialogFolder() + QLatin1Char('/') + name + QStringLiteral(".pdf");
}

}  // namespace

TfmInji::TfmInji(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmInji"));
    setWindowTitle(QStringLiteral("帳票の印刷"));

    btPrnSetup = Named<QPushButton>(this, "btPrnSetup", QStringLiteral("ﾌﾟﾘﾝﾀ設定"));
    pnPrinter = makePanel(this, "pnPrinter");
    auto* lbLType = new QLabel(QStringLiteral("帳票ﾀｲﾌﾟ"), this);
    pnLType = makePanel(this, "pnLType");
    auto* lbPrnInfo = new QLabel(QStringLiteral("印刷情報"), this);
    pnPrnInfo = makePanel(this, "pnPrnInfo");

    lbNengappi0 = new QLabel(QStringLiteral("支給日"), this);
    lbNengappi0->setObjectName(QStringLiteral("lbNengappi0"));
    // The date line: the era label with the three edits over its blanks.
    auto* dateLine = new QWidget(this);
    lbNengappi1 = new QLabel(dateLine);
    lbNengappi1->setObjectName(QStringLiteral("lbNengappi1"));
    // A fixed-pitch face: the four blanks before each unit are as wide as two digits.
    const QFont mono = FixedPitchFont(15);
    lbNengappi1->setFont(mono);
    edPrnDateYY = DatePartEdit(dateLine, "edPrnDateYY");
    edPrnDateMM = DatePartEdit(dateLine, "edPrnDateMM");
    edPrnDateDD = DatePartEdit(dateLine, "edPrnDateDD");
    // The pay list's grouping takes the date line's place.
    pnPrnMethod = new QFrame(this);
    pnPrnMethod->setObjectName(QStringLiteral("pnPrnMethod"));
    pnPrnMethod->setAutoFillBackground(true);
    rbNormal = new QRadioButton(QStringLiteral("通常"), pnPrnMethod);
    rbNormal->setObjectName(QStringLiteral("rbNormal"));
    rbNormal->setChecked(true);
    rbSyaKbn = new QRadioButton(QStringLiteral("社員区分別"), pnPrnMethod);
    rbSyaKbn->setObjectName(QStringLiteral("rbSyaKbn"));
    rbBusyo = new QRadioButton(QStringLiteral("部署別"), pnPrnMethod);
    rbBusyo->setObjectName(QStringLiteral("rbBusyo"));
    auto* methods = new QHBoxLayout(pnPrnMethod);
    methods->setContentsMargins(0, 0, 0, 0);
    for (QRadioButton* rb : {rbNormal, rbSyaKbn, rbBusyo}) methods->addWidget(rb);
    methods->addStretch();
    pnPrnMethod->hide();

    lbEditMemo = new QLabel(QStringLiteral("メモ編集"), this);
    lbEditMemo->setObjectName(QStringLiteral("lbEditMemo"));
    mmEditMemo = new QPlainTextEdit(this);
    mmEditMemo->setObjectName(QStringLiteral("mmEditMemo"));
    mmEditMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmEditMemo->setTabChangesFocus(true);
    mmEditMemo->setFixedHeight(mmEditMemo->fontMetrics().lineSpacing() * MemoMaxLines + 12);
    btMemory = Named<QPushButton>(this, "btMemory", QStringLiteral("記憶"));

    btOutCSV = Named<QPushButton>(this, "btOutCSV", QStringLiteral("表計算連携"));
    btPreView = Named<QPushButton>(this, "btPreView", QStringLiteral("プレビュー"));
    btOk = Named<QPushButton>(this, "btOk", QStringLiteral("印刷"));
    btCancel = Named<QPushButton>(this, "btCancel", QStringLiteral("中止"));
    btOk->setDefault(true);
    btOutCSV->setEnabled(false);  // for the documents that have a table form

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->addWidget(btPrnSetup, 0, 0);
    grid->addWidget(pnPrinter, 0, 1);
    grid->addWidget(lbLType, 1, 0, Qt::AlignRight);
    grid->addWidget(pnLType, 1, 1);
    grid->addWidget(lbPrnInfo, 2, 0, Qt::AlignRight);
    grid->addWidget(pnPrnInfo, 2, 1);
    grid->addWidget(lbNengappi0, 3, 0, Qt::AlignRight);
    grid->addWidget(dateLine, 3, 1);
    grid->addWidget(pnPrnMethod, 3, 1);
    grid->addWidget(lbEditMemo, 4, 0, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(mmEditMemo, 4, 1);
    grid->addWidget(btMemory, 5, 1, Qt::AlignRight);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btOutCSV);
    buttons->addStretch();
    buttons->addWidget(btPreView);
    buttons->addWidget(btOk);
    buttons->addWidget(btCancel);
    auto* main = new QVBoxLayout(this);
    main->addLayout(grid);
    main->addSpacing(6);
    main->addLayout(buttons);
    setTabOrder(edPrnDateYY, edPrnDateMM);
    setTabOrder(edPrnDateMM, edPrnDateDD);
    setTabOrder(edPrnDateDD, mmEditMemo);

    setNengappiLabel();
    // The date's parts take digits and blanks (" 5" as the dialog shows a month).
    for (QLineEdit* e : {edPrnDateYY, edPrnDateMM, edPrnDateDD}) new TNumKeys(e, QStringLiteral(" "));

    connect(btPrnSetup, &QPushButton::clicked, this, &TfmInji::btPrnSetupClick);
    connect(mmEditMemo, &QPlainTextEdit::textChanged, this, &TfmInji::mmEditMemoChange);
    connect(btMemory, &QPushButton::clicked, this, &TfmInji::btMemoryClick);
    connect(btPreView, &QPushButton::clicked, this, &TfmInji::btPreViewClick);
    connect(btOk, &QPushButton::clicked, this, &TfmInji::btOkClick);
    connect(btOutCSV, &QPushButton::clicked, this, &TfmInji::btOutCSVClick);
    connect(btCancel, &QPushButton::clicked, this, &TfmInji::reject);
    for (QRadioButton* rb : {rbNormal, rbSyaKbn, rbBusyo})
        connect(rb, &QRadioButton::clicked, this, [this] { FormShow(false); });

    SetPdfFileAsker([this](const QString& suggested) {
        QString path =
            QFileDialog::getSaveFileName(parentWidget(), QStringLiteral("PDFファイルの出力先を指定"),
                                         suggested, QStringLiteral("PDFﾌｧｲﾙ (*.pdf)"));
        if (!path.isEmpty() && !path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
            path += QStringLiteral(".pdf");
        rememberFolder(path);
        return path;
    });
}

TfmInji::~TfmInji()
{
    SetPdfFileAsker(nullptr);
}

void TfmInji::setDocument(int tag, const QString& caption)
{
    Tag = tag;
    setWindowTitle(caption);
}

void TfmInji::showEvent(QShowEvent* e)
{
    if (!e->spontaneous()) {
        QWidget* active = QApplication::activeWindow();
        opener_ = active && active != this ? active : parentWidget();
    }
    QDialog::showEvent(e);
    if (!e->spontaneous()) FormShow(true);
}

void TfmInji::done(int r)
{
    QDialog::done(r);
    if (opener_ && opener_->isVisible()) opener_->activateWindow();
}

void TfmInji::FormShow(bool fromDialog)
{
    try {
        const int kind = Tag / 100;
        if (fromDialog) {
            QString y, m, d;
            const int p = CurPeriod.Period;
            if (IsBonusPeriod(p) && p <= PeriodCount) {
                y = twoWide(CurPeriod.EraYear);
                m = twoWide(YearHeader.SyoyoMonth[p - 12]);
                d = twoWide(YearHeader.SyoyoDay[p - 12]);
            } else {
                GetPrnDate(y, m, d);
            }
            // The date printed last time for this period is offered again.
            if (p >= 1 && p <= PeriodCount && YearHeader.PrnMonth[p] != 0 && YearHeader.PrnDay[p] != 0) {
                m = twoWide(YearHeader.PrnMonth[p]);
                d = twoWide(YearHeader.PrnDay[p]);
            }
            // The era changed on 1 May of year 31.
            if (NumStrToInt(y) == 31 && NumStrToInt(m) >= 5) y = QStringLiteral(" 1");
            edPrnDateYY->setText(y);
            edPrnDateMM->setText(m);
            edPrnDateDD->setText(d);
            setWindowTitle(windowTitle() + QStringLiteral("の印刷"));

            // Ctrl held while the dialog opens starts from A4 portrait on the current printer without
            // the remembered settings; the Ctrl of the shortcut that opened it (Ctrl+P) is not held
            // for that. The printers are looked at anew each time: the remembered one may be gone,
            // which is told either way.
            const bool ctrlHeld =
                (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) && !ShortcutCtrlDown();
            if (!ctrlHeld && LoadPrintInfo()) {
                pnPrinter->setText(QLatin1Char(' ') + CurrentPrinterName());
                tellPrinterChoice(QString());
            } else {
                SetPrinterPaper(dmPaperA4, dmPortrait);
                tellPrinterChoice(RememberedPrinter());
            }

            TDevMode dm = CurrentDevMode();
            dm.Orientation = kind == 2 || kind == 7 || kind == 8 ? dmPortrait : dmLandscape;
            SetDevMode(dm);

            const bool slip = kind == 2;
            for (QWidget* w : std::initializer_list<QWidget*>{lbNengappi1, edPrnDateYY, edPrnDateMM,
                                                              edPrnDateDD, lbEditMemo, mmEditMemo, btMemory})
                w->setEnabled(slip);
            lbNengappi0->setText(kind == 5 ? QStringLiteral("印刷方法") : QStringLiteral("支給日"));
            lbNengappi0->setEnabled(slip || kind == 5);
            pnPrnMethod->setVisible(kind == 5);
            if (kind == 5) pnPrnMethod->raise();
        }

        const int mode = rbSyaKbn->isChecked() ? 1 : rbBusyo->isChecked() ? 2 : 0;
        const TListSlots list = memberList ? memberList() : TListSlots{};
        const TPrintPlan plan = PlanPrint(Tag, list, mode);
        pnLType->setText(plan.PaperText);
        pnPrnInfo->setText(plan.InfoText);
        btOutCSV->setEnabled(CanExport(Tag));
        setNengappiLabel();
    } catch (const AppError& e) {
        ShowError(e.message());
    }
    if (btOk->isEnabled())
        btOk->setFocus();
    else
        btCancel->setFocus();
}

void TfmInji::tellPrinterChoice(const QString& remembered)
{
    // Without a print service no printer is listed and 印刷 asks for a PDF file: the user hears
    // why, once while it stays so.
    if (CurrentIsPdf() && !PrintServiceAnswers()) {
        if (!noServiceTold_)
            ShowInfo(
                QStringLiteral("印刷サービス（CUPS）が応答しないため、プリンターでは印刷できません。\n"
                               "「印刷」でPDFファイルに出力できます。"));
        noServiceTold_ = true;
        return;
    }
    noServiceTold_ = false;
    if (remembered.isEmpty() || remembered == PdfPrinterName || InstalledPrinters().contains(remembered)) {
        goneTold_.clear();
        return;
    }
    // Once in a run: the settings keep the name until a job goes to another printer.
    if (remembered == goneTold_) return;
    goneTold_ = remembered;
    const QString current = CurrentPrinterName();
    const QString instead = CurrentIsPdf() ? QStringLiteral("PDFファイルに出力します。")
                            : current == DefaultPrinterName(InstalledPrinters())
                                ? QStringLiteral("通常使うプリンター「%1」で印刷します。").arg(current)
                                : QStringLiteral("プリンター「%1」で印刷します。").arg(current);
    ShowWarning(QStringLiteral("前回使ったプリンター「%1」が見つかりません。\n%2").arg(remembered, instead));
}

void TfmInji::setNengappiLabel()
{
    QString era = CurPeriod.EraText;
    const int p = CurPeriod.Period;
    const int payMonth = IsBonusPeriod(p) && p <= PeriodCount ? YearHeader.SyoyoMonth[p - 12] : p;
    bool reiwa = CurPeriod.EraYear == 31 && payMonth >= 5;
    try {
        reiwa = reiwa || (NumStrToInt(edPrnDateYY->text()) == 1 && NumStrToInt(edPrnDateMM->text()) >= 5);
    } catch (const ConvertError&) {
        // A date that is not a number yet keeps the data year's era.
    }
    if (reiwa) era = EraName[2];
    lbNengappi1->setText(era + QStringLiteral("    年    月    日"));
    PlaceDateEdits(lbNengappi1, {edPrnDateYY, edPrnDateMM, edPrnDateDD});
}

bool TfmInji::LoadPrintInfo()
{
    return ::LoadPrintInfo();
}

void TfmInji::SavePrintInfo()
{
    ::SavePrintInfo();
}

void TfmInji::SetPrinterPaper(int paperSize, int orientation)
{
    ::SetPrinterPaper(paperSize, orientation);
    pnPrinter->setText(QLatin1Char(' ') + CurrentPrinterName());
}

void TfmInji::btPrnSetupClick()
{
    QPrintDialog dialog(&CurrentPrinter(), this);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, CurrentIsPdf());
    if (dialog.exec() == QDialog::Accepted) TakePrinterFromDialog();
    pnPrinter->setText(QLatin1Char(' ') + CurrentPrinterName());
}

void TfmInji::LoadPrintMemo()
{
    // The pay list's grouping shares the date line's cell of the layout, so only the memo is read.
    mmEditMemo->setPlainText(ReadStoredLines(IniFileName, kMemoSection).join(QLatin1Char('\n')));
}

void TfmInji::mmEditMemoChange()
{
    KeepMemoWithin(mmEditMemo, MemoMaxLines, MemoMaxChars);
    if (const QString refusal = DropWhatCp932Lacks(mmEditMemo); !refusal.isEmpty()) ShowError(refusal);
}

void PlaceDateEdits(QLabel* label, const std::array<QLineEdit*, 3>& edits)
{
    label->adjustSize();
    const QFontMetrics fm(label->font());
    const QString text = label->text();
    const QString gap = QStringLiteral("    ");
    const int height = std::max(fm.height() + 6, edits[0]->sizeHint().height());
    QWidget* line = label->parentWidget();
    line->setMinimumSize(label->width() + 2, height);
    label->move(0, (height - label->height()) / 2);
    int from = 0;
    for (QLineEdit* edit : edits) {
        const int at = text.indexOf(gap, from);
        if (at < 0) break;
        from = at + gap.size();
        edit->setGeometry(label->contentsMargins().left() + fm.horizontalAdvance(text.left(at)), 0,
                          fm.horizontalAdvance(gap), height);
        edit->raise();
    }
}

void KeepMemoWithin(QPlainTextEdit* memo, int maxLines, int maxChars)
{
    // The cuts below change the text again: they are not checked a second time.
    if (memo->property("limiting").toBool()) return;
    memo->setProperty("limiting", true);
    QTextDocument* doc = memo->document();
    // A line past the last goes as soon as it is started, with the line break that began it; a
    // line break typed at the end of the last line is dropped the same way.
    while (maxLines > 0 && doc->blockCount() > maxLines) {
        const QTextBlock extra = doc->findBlockByNumber(maxLines);
        QTextCursor c(doc);
        if (extra.next().isValid()) {
            c.setPosition(extra.position());
            c.setPosition(extra.next().position(), QTextCursor::KeepAnchor);
        } else {
            c.setPosition(extra.position() - 1);
            c.setPosition(extra.position() + extra.length() - 1, QTextCursor::KeepAnchor);
        }
        c.removeSelectedText();
    }
    // The characters past the limit are the ones just typed: they go from before the caret.
    const QString text = memo->toPlainText();
    const int excess = int(text.size() + text.count(QLatin1Char('\n'))) - maxChars;
    if (excess > 0) {
        QTextCursor c = memo->textCursor();
        const int end = c.position() >= excess ? c.position() : int(text.size());
        int begin = end;
        for (int removed = 0; removed < excess && begin > 0; --begin)
            removed += text.at(begin - 1) == QLatin1Char('\n') ? 2 : 1;
        c.setPosition(begin);
        c.setPosition(end, QTextCursor::KeepAnchor);
        c.removeSelectedText();
    }
    memo->setProperty("limiting", false);
}

QString DropWhatCp932Lacks(QPlainTextEdit* memo)
{
    if (memo->property("limiting").toBool()) return {};
    const QString text = memo->toPlainText();
    // The memo is stored and printed in CP932: the same check as the one at storing.
    const QString refusal = cp932::refusal(text);
    if (refusal.isEmpty()) return {};
    memo->setProperty("limiting", true);
    const QString kept = cp932::keepEncodable(text);
    const int caret = memo->textCursor().position();
    const int keptBeforeCaret = int(cp932::keepEncodable(text.left(caret)).size());
    QTextCursor all(memo->document());
    all.select(QTextCursor::Document);
    all.insertText(kept);
    QTextCursor c = memo->textCursor();
    c.setPosition(std::min(keptBeforeCaret, int(kept.size())));
    memo->setTextCursor(c);
    memo->setProperty("limiting", false);
    return refusal;
}

void TfmInji::btMemoryClick()
{
    if (const QString refusal = cp932::refusal(mmEditMemo->toPlainText()); !refusal.isEmpty()) {
        ShowError(refusal);
        return;
    }
    if (MessageDlg(QStringLiteral("メモの入力内容を記憶しますか？"), MsgType::Confirmation, MsgButtons::YesNo,
                   MsgDefault::Safe) != MsgResult::Yes)
        return;
    try {
        const QStringList lines = memoLines(mmEditMemo->toPlainText());
        // Quoted: a memo line may begin with blanks that line it up on the slip.
        WriteStoredLines(IniFileName, kMemoSection, lines);
    } catch (const AppError& e) {
        ShowError(e.message());
        return;
    }
    ShowNotice(QStringLiteral("メモの入力内容を記憶しました。"), kNoticeSelfClosing);
}

void TfmInji::PublishPrintInputs()
{
    PayDateEraLabel = lbNengappi1->text();
    PayDateYY = edPrnDateYY->text();
    PayDateMM = edPrnDateMM->text();
    PayDateDD = edPrnDateDD->text();
    PrintMemo = memoLines(mmEditMemo->toPlainText());
    IchiranMode = rbSyaKbn->isChecked() ? 1 : rbBusyo->isChecked() ? 2 : 0;
}

QString TfmInji::memoText() const
{
    return mmEditMemo->toPlainText();
}

void TfmInji::setMemoText(const QString& text)
{
    if (mmEditMemo->toPlainText() != text) mmEditMemo->setPlainText(text);
}

void TfmInji::SetMemberList(std::function<TListSlots()> source)
{
    memberList = std::move(source);
}

QList<int> TfmInji::TickedSlots()
{
    return memberList ? memberList().Ticked : QList<int>{};
}

void TfmInji::btPreViewClick()
{
    PublishPrintInputs();
    fmPreView->setPrintEnabled(true);
    // Maximised for good while it is shown: no maximise button to undo it.
    fmPreView->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    const int result = fmPreView->exec();
    fmPreView->setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    if (isVisible())
        activateWindow();
    else if (parentWidget())
        parentWidget()->activateWindow();
    // Printed from the preview: the print job has already run.
    if (result == QDialog::Accepted) done(QDialog::Accepted);
}

void TfmInji::btOkClick()
{
    hide();
    QApplication::processEvents();
    const int kind = PaperKind;
    const int n = Tag % 100;
    try {
        SavePrintInfo();
        PublishPrintInputs();
        const QList<int> ticked = TickedSlots();
        const int pages = JobPageCount(kind);
        const bool printed = RunPrintJob(ProductName, pdfSuggestion(windowTitle()), pages, [&](int page) {
            PrintPage(PageArgument(kind, page), PageMembers(kind, n, page, ticked));
        });
        if (!printed) {
            reject();
            return;
        }
        // A stopped queue takes the job and keeps it: the slips are not on their way yet.
        if (const QString hold = CurrentPrinterHold(); !hold.isEmpty()) ShowWarning(hold);
        // The pay date printed on slips is offered again next time (kept with the period's data).
        const int p = CurPeriod.Period;
        if (kind == 2 && pages > 0 && OptionRec.PrnSikyubi && p >= 1 && p <= PeriodCount) {
            YearHeader.PrnMonth[p] = uint8_t(NumStrToInt(PrnDateMonth));
            YearHeader.PrnDay[p] = uint8_t(NumStrToInt(PrnDateDay));
        }
    } catch (const PrintRefusedError& e) {
        ShowError(e.message());
        reject();
        return;
    } catch (const AppError& e) {
        ShowError(QStringLiteral("印刷を中止しました。\n") + e.message());
        reject();
        return;
    }
    done(QDialog::Accepted);
}

// The export's file dialog is made when first needed: a file dialog reads its folder and icons,
// which would slow every start.
void TfmInji::createSaveDlg()
{
    if (SaveDlg) return;
    SaveDlg = new QFileDialog(this, QStringLiteral("ファイルの出力先を指定"));
    SaveDlg->setObjectName(QStringLiteral("SaveDlg"));
    SaveDlg->setAcceptMode(QFileDialog::AcceptSave);
    SaveDlg->setOption(QFileDialog::DontConfirmOverwrite, false);
    connect(SaveDlg, &QFileDialog::filterSelected, this, &TfmInji::SaveDlgTypeChange);
    connect(SaveDlg, &QFileDialog::fileSelected, this, [](const QString& file) { rememberFolder(file); });
}

void TfmInji::SetupSaveDlg(bool spreadsheet)
{
    createSaveDlg();
    SaveDlg->setDirectory(dialogFolder());
    if (spreadsheet) {
        SaveDlg->setNameFilters({kCsvFilter, kSheetFilter});
        SaveDlg->selectNameFilter(kSheetFilter);
        SaveDlgTypeChange(kSheetFilter);
    } else {
        SaveDlg->setNameFilters({kCsvFilter});
        SaveDlg->selectNameFilter(kCsvFilter);
        SaveDlgTypeChange(kCsvFilter);
    }
}

void TfmInji::SaveDlgTypeChange(const QString& filter)
{
    // The spreadsheet is written as .xlsx: that is the suffix its type must add.
    createSaveDlg();
    SaveDlg->setDefaultSuffix(filter == kCsvFilter ? QStringLiteral("csv") : QStringLiteral("xlsx"));
}

void TfmInji::btOutCSVClick()
{
    const int mode = rbSyaKbn->isChecked() ? 1 : rbBusyo->isChecked() ? 2 : 0;
    if (!CanExport(Tag)) return;
    // Both file types are always offered: the workbook is written by the program itself.
    SetupSaveDlg(true);
    SaveDlg->selectFile(ExportFileName(Tag));
    if (SaveDlg->exec() != QDialog::Accepted || SaveDlg->selectedFiles().isEmpty()) return;
    const TExportTarget target{SaveDlg->selectedFiles().constFirst(),
                               SaveDlg->selectedNameFilter() == kSheetFilter};
    bool written = false;
    try {
        // The export shows its notice while it writes, and takes it down for its questions.
        QApplication::processEvents();
        written = RunExport(Tag, target, memberList ? memberList() : TListSlots{}, mode);
    } catch (const AppError& e) {
        // The notice has gone and no partial file is left; the dialog stays for another try.
        ShowError(QStringLiteral("ファイルに出力できませんでした。\n") + e.message());
        return;
    }
    if (!written) {
        reject();
        return;
    }
    ShowInfo(ExportDoneMessage(Tag));
    accept();
    if (target.workbook) {
        const QString file = target.file;
        ShellOpenDocument(file, [file] {
            ShowWarning(QStringLiteral("ファイルは書き込みました。\n%1\n表計算ソフトで開けませんでした。"
                                       "ファイルマネージャーなどから開いてください。")
                            .arg(QDir::toNativeSeparators(file)));
        });
    }
}
