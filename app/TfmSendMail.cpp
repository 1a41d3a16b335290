// The slip mail window: its controls, what it proposes when shown, the run, the preview and the
// stored memo and body.
#include "app/TfmSendMail.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "app/core/slipmail.h"
#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/ui/TfmFolder.h"
#include "payroll/ui/edithelpers.h"
#include "platform/errors.h"
#include "platform/filetree.h"
#include "platform/fonts.h"
#include "platform/formkit.h"
#include "platform/msgbox.h"
#include "platform/notice.h"
#include "print/dispatch.h"
#include "print/printer.h"
#include "print/ui/TfmInji.h"
#include "print/ui/TfmPreView.h"
#include "services/mail.h"

TFormRef<TfmSendMail> fmSendMail;

namespace {

constexpr int MemoMaxLines = 5;
constexpr int TextMaxChars = 170;
const QString kMailText = QStringLiteral("MailText");

QLineEdit* makeDateEdit(QWidget* parent, const char* name)
{
    QLineEdit* edit = DatePartEdit(parent, name);
    // Digits and blanks; Enter moves on, Ctrl+Delete empties, the text is selected on entering.
    new TNumKeys(edit, QStringLiteral(" "));
    return edit;
}

QPlainTextEdit* makeMemo(QWidget* parent, const char* name, int lines)
{
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(QString::fromLatin1(name));
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setTabChangesFocus(true);
    memo->setFixedHeight(memo->fontMetrics().lineSpacing() * lines + 12);
    return memo;
}

// The memo's lines as stored and printed: a final line break starts no line.
QStringList textLines(const QString& text)
{
    if (text.isEmpty()) return {};
    QStringList lines = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n'))) lines.removeLast();
    return lines;
}

}  // namespace

TfmSendMail::TfmSendMail(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmSendMail"));
    setWindowTitle(QStringLiteral("明細書のメール送信"));

    edKenmei = new QLineEdit(this);
    edKenmei->setObjectName(QStringLiteral("edKenmei"));
    edKenmei->setWhatsThis(QStringLiteral("メールの件名です。送信する全員に同じ件名が付きます。"));
    mmHonbun = makeMemo(this, "mmHonbun", 5);
    mmHonbun->setWhatsThis(
        QStringLiteral("メールの本文です（170文字まで）。「記憶」で会社ごとに保存できます。"));
    btMemory2 = Named<QPushButton>(this, "btMemory2", QStringLiteral("記憶"));

    auto* dateLine = new QWidget(this);
    lbNengappi1 = new QLabel(dateLine);
    lbNengappi1->setObjectName(QStringLiteral("lbNengappi1"));
    lbNengappi1->setFont(FixedPitchFont(15));
    edPrnDateYY = makeDateEdit(dateLine, "edPrnDateYY");
    edPrnDateMM = makeDateEdit(dateLine, "edPrnDateMM");
    edPrnDateDD = makeDateEdit(dateLine, "edPrnDateDD");
    dateLine->setWhatsThis(QStringLiteral("明細書に印刷する支給日です。"));

    mmEditMemo = makeMemo(this, "mmEditMemo", MemoMaxLines);
    mmEditMemo->setWhatsThis(QStringLiteral(
        "明細書に印刷するメモです（5行まで）。{$Kihonkyuu} は各社員の基本給に置き換わります。"));
    btMemory = Named<QPushButton>(this, "btMemory", QStringLiteral("記憶"));

    cbShowDialog = new QCheckBox(QStringLiteral("送信前に内容確認"), this);
    cbShowDialog->setObjectName(QStringLiteral("cbShowDialog"));
    cbShowDialog->setChecked(true);
    cbShowDialog->setWhatsThis(
        QStringLiteral("送信サーバーで送るとき、1通ごとに宛先・件名・添付ファイルを確認します。"));
    lbSendInfo = new QLabel(this);
    lbSendInfo->setObjectName(QStringLiteral("lbSendInfo"));
    // Why 送信 is off, where no mail can go.
    lbNoMail = new QLabel(this);
    lbNoMail->setObjectName(QStringLiteral("lbNoMail"));
    lbNoMail->setWordWrap(true);
    lbNoMail->setStyleSheet(QStringLiteral("color: #b00000"));
    lbNoMail->hide();

    btOk = Named<QPushButton>(this, "btOk", QStringLiteral("送 信"));
    btOk->setProperty("Tag", 1);
    btSave = Named<QPushButton>(this, "btSave", QStringLiteral("帳票内容保存"));
    btSave->setWhatsThis(QStringLiteral("明細書をJPEG画像にして、指定したフォルダーに保存します。"));
    btPreView = Named<QPushButton>(this, "btPreView", QStringLiteral("帳票内容確認"));
    btCancel = Named<QPushButton>(this, "btCancel", QStringLiteral("中 止"));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("件名"), this), 0, 0, Qt::AlignRight);
    grid->addWidget(edKenmei, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("本文"), this), 1, 0, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(mmHonbun, 1, 1);
    grid->addWidget(btMemory2, 2, 1, Qt::AlignRight);
    grid->addWidget(new QLabel(QStringLiteral("支給日"), this), 3, 0, Qt::AlignRight);
    grid->addWidget(dateLine, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("メモ編集"), this), 4, 0, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(mmEditMemo, 4, 1);
    grid->addWidget(btMemory, 5, 1, Qt::AlignRight);
    auto* info = new QHBoxLayout;
    info->addWidget(cbShowDialog);
    info->addStretch();
    info->addWidget(lbSendInfo);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btSave);
    buttons->addWidget(btPreView);
    buttons->addStretch();
    buttons->addWidget(btOk);
    buttons->addWidget(btCancel);
    auto* main = new QVBoxLayout(this);
    main->addLayout(grid);
    main->addLayout(info);
    main->addWidget(lbNoMail);
    main->addSpacing(6);
    main->addLayout(buttons);
    setMinimumWidth(560);
    setTabOrder(edPrnDateYY, edPrnDateMM);
    setTabOrder(edPrnDateMM, edPrnDateDD);
    setTabOrder(edPrnDateDD, mmEditMemo);
    InstallEnterKeys(this);

    connect(mmEditMemo, &QPlainTextEdit::textChanged, this,
            [this] { KeepMemoWithin(mmEditMemo, MemoMaxLines, TextMaxChars); });
    connect(mmHonbun, &QPlainTextEdit::textChanged, this,
            [this] { KeepMemoWithin(mmHonbun, 0, TextMaxChars); });
    connect(btOk, &QPushButton::clicked, this, [this] { btOk_SaveClick(true); });
    connect(btSave, &QPushButton::clicked, this, [this] { btOk_SaveClick(false); });
    connect(btPreView, &QPushButton::clicked, this, &TfmSendMail::btPreViewClick);
    connect(btMemory, &QPushButton::clicked, this, &TfmSendMail::btMemoryClick);
    connect(btMemory2, &QPushButton::clicked, this, &TfmSendMail::btMemory2Click);
    connect(btCancel, &QPushButton::clicked, this, &TfmSendMail::reject);
    // The window is made at its first use, after the company's settings file is known.
    LoadMailText();
}

void TfmSendMail::setDocument(int tag, const QString& caption)
{
    Tag = tag;
    caption_ = caption;
    // The preview finds the slips through the print dialog.
    if (fmInji) fmInji->setDocument(tag, caption);
}

void TfmSendMail::LoadMailText()
{
    try {
        mmHonbun->setPlainText(ReadStoredLines(IniFileName, kMailText).join(QLatin1Char('\n')));
    } catch (const AppError& e) {
        mmHonbun->clear();
        ShowError(e.message());
    }
}

void TfmSendMail::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous() && savedFormType_ < 0) FormShow();
}

QList<int> TfmSendMail::slotsToSend() const
{
    if (Tag % 100 == 99) return TfmInji::TickedSlots();
    return {Tag % 100};
}

void TfmSendMail::FormShow()
{
    // One slip per sheet while the window is open; the setting comes back at every close.
    savedFormType_ = OptionRec.FormType;
    OptionRec.FormType = 0;
    QString y, m, d;
    SlipMailPayDate(y, m, d);
    edPrnDateYY->setText(y);
    edPrnDateMM->setText(m);
    edPrnDateDD->setText(d);
    setWindowTitle(caption_ + QStringLiteral("のメール送信"));
    try {
        if (fmInji) fmInji->SetPrinterPaper(dmPaperA5, dmLandscape);
    } catch (const AppError& e) {
        ShowError(e.message());
    }
    PaperKind = 2;
    SelCount = int(slotsToSend().size());
    PageCount = SelCount;
    lbSendInfo->setText(QStringLiteral("送信件数：%1件").arg(SelCount));
    lbNengappi1->setText(SlipEra().era + QStringLiteral("    年    月    日"));
    PlaceDateEdits(lbNengappi1, {edPrnDateYY, edPrnDateMM, edPrnDateDD});
    edKenmei->setText(SlipMailSubject());
    if (fmInji) mmEditMemo->setPlainText(fmInji->memoText());
    const bool canSend = IsMapiAvailable();
    btOk->setEnabled(canSend);
    lbNoMail->setText(canSend ? QString() : MailUnavailableReason());
    lbNoMail->setVisible(!canSend);
    if (canSend)
        btOk->setFocus();
    else
        btCancel->setFocus();
}

void TfmSendMail::publish()
{
    PayDateEraLabel = lbNengappi1->text();
    PayDateYY = edPrnDateYY->text();
    PayDateMM = edPrnDateMM->text();
    PayDateDD = edPrnDateDD->text();
    PrintMemo = textLines(mmEditMemo->toPlainText());
    PaperKind = 2;
}

void TfmSendMail::btOk_SaveClick(bool send)
{
    TSlipMailJob job;
    job.employees = slotsToSend();
    job.subject = edKenmei->text();
    job.body = mmHonbun->toPlainText();
    job.confirmEach = cbShowDialog->isChecked();
    if (send) {
        const MailRoute route = CurrentMailRoute();
        if (route == MailRoute::None) return;
        job.output = route == MailRoute::Smtp ? SlipOutput::Smtp : SlipOutput::Composer;
        // Each run its own folder: a composer may still be reading the attachments of an earlier one.
        job.folder = MailAttachmentFolder() +
                     QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmsszzz")) +
                     QLatin1Char('/');
        if (route == MailRoute::Composer) ShowInfo(QStringLiteral("メールソフトを起動しておいて下さい。"));
    } else {
        // The program's folder picker, its folder of backups given back afterwards.
        const QString previous = fmFolder->FolderName;
        fmFolder->setWindowTitle(QStringLiteral("帳票内容の保存場所を指定"));
        fmFolder->setMkDirVisible(true);
        fmFolder->FolderName = DataPath.endsWith(QLatin1Char('/')) ? DataPath.chopped(1) : DataPath;
        const bool chosen = fmFolder->exec() == QDialog::Accepted;
        job.folder = fmFolder->FolderName;
        fmFolder->FolderName = previous;
        if (!chosen || job.folder.isEmpty()) return;
        job.folder = WithSlash(job.folder);
        job.output = SlipOutput::Save;
    }
    // What can stop the whole run is found out while the window is still there to go back to.
    try {
        MakeSlipMailFolder(job);
        if (job.output == SlipOutput::Smtp) LoadMailSettings();
    } catch (const AppError& e) {
        ShowError(e.message());
        return;
    }
    publish();
    hide();
    QApplication::processEvents();
    TSlipMailResult r;
    try {
        r = RunSlipMail(job);
    } catch (const AppError& e) {
        ShowError(e.message());
        done(QDialog::Rejected);
        return;
    }
    const QString names = (r.failed + r.skipped).join(QStringLiteral("、"));
    if (job.output == SlipOutput::Save) {
        if (r.failed.isEmpty())
            ShowInfo(QStringLiteral("指定された場所に保存しました。"));
        else
            ShowWarning(
                QStringLiteral("%1件の明細書を保存しました。\n次の社員の明細書は保存できませんでした。\n%2")
                    .arg(r.done)
                    .arg(names));
    } else {
        const QString notSent =
            (job.output == SlipOutput::Smtp ? QStringLiteral("%1件のメールを送信しました。")
                                            : QStringLiteral("%1件のメールをメールソフトに渡しました。"))
                .arg(r.done) +
            QStringLiteral("\n次の社員には送信していません。\n%1").arg(names);
        if (!r.stopReason.isEmpty())
            ShowError(r.stopReason + QStringLiteral("\n\n") + notSent);
        else if (r.failed.isEmpty() && r.skipped.isEmpty()) {
            // The composer's windows show what went; the server's sending is told.
            if (job.output == SlipOutput::Smtp)
                ShowInfo(QStringLiteral("メールを送信しました。（%1件）").arg(r.done));
        } else
            ShowWarning(notSent);
    }
    done(QDialog::Accepted);
}

void TfmSendMail::btPreViewClick()
{
    publish();
    fmPreView->setPrintEnabled(false);
    fmPreView->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    fmPreView->exec();
    fmPreView->setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    fmPreView->setPrintEnabled(true);
    activateWindow();
}

void TfmSendMail::btMemoryClick()
{
    // The memo is the print dialog's: it stores it.
    if (!fmInji) return;
    fmInji->setMemoText(mmEditMemo->toPlainText());
    fmInji->btMemoryClick();
}

void TfmSendMail::btMemory2Click()
{
    if (MessageDlg(QStringLiteral("メール本文の入力内容を記憶しますか？"), MsgType::Confirmation,
                   MsgButtons::YesNo, MsgDefault::Safe) != MsgResult::Yes)
        return;
    try {
        WriteStoredLines(IniFileName, kMailText, textLines(mmHonbun->toPlainText()));
    } catch (const AppError& e) {
        ShowError(e.message());
        return;
    }
    ShowNotice(QStringLiteral("メール本文の内容を記憶しました。"), kNoticeSelfClosing);
}

void TfmSendMail::done(int r)
{
    if (savedFormType_ >= 0) OptionRec.FormType = savedFormType_;
    savedFormType_ = -1;
    if (fmInji) fmInji->setMemoText(mmEditMemo->toPlainText());
    QDialog::done(r);
}
