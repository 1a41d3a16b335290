// The slip entry window: the rows of the four groups over app/core/dataedit, the keyboard of entry
// windows, and storing and recalculating whenever a field is left, on stepping and on closing.
#include "app/TfmDataEdit.h"

#include <QAction>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/TfmCalc.h"
#include "app/TfmMain.h"
#include "app/TfmMembEdit.h"
#include "app/TfmSendMail.h"
#include "payroll/common.h"
#include "payroll/period.h"
#include "payroll/slipitems.h"
#include "payroll/ui/edithelpers.h"
#include "platform/errors.h"
#include "platform/formkit.h"
#include "platform/msgbox.h"
#include "print/ui/TfmInji.h"

TFormRef<TfmDataEdit> fmDataEdit;

namespace {

const char* const RowPrefix[4] = {"Kintai", "Sikyu", "Koujo", "Sonota"};

// A formatted amount is longer than what may be typed: the edit's limit follows the text shown,
// since a QLineEdit cuts every text to its maxLength.
void showText(QLineEdit* edit, const QString& text)
{
    edit->setMaxLength(std::max(edit->property("BaseMax").toInt(), static_cast<int>(text.size())));
    edit->setText(text);
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    // Enter moves between fields and presses only the focused button (InstallEnterKeys).
    b->setAutoDefault(false);
    return b;
}

// A sunken panel showing an amount.
QLabel* panel(QWidget* parent, const char* name)
{
    auto* p = new QLabel(parent);
    p->setObjectName(QString::fromLatin1(name));
    p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    p->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    p->setAutoFillBackground(true);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    p->setPalette(pal);
    p->setMargin(2);
    return p;
}

QColor computedColour()
{
    return QColor::fromRgb(DisableColorRgb);
}

QString str(const char* s)
{
    return QString::fromUtf8(s);
}

}  // namespace

TfmDataEdit::TfmDataEdit(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmDataEdit"));
    setWindowTitle(QStringLiteral("明細入力画面"));
    setModal(true);
    buildControls();
}

QGroupBox* TfmDataEdit::buildGroup(SlipGroup g, const QString& title)
{
    auto* box = new QGroupBox(title, this);
    box->setObjectName(QStringLiteral("gb%1").arg(QLatin1String(RowPrefix[g])));
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    grid->setContentsMargins(8, 6, 8, 8);
    const QFontMetrics fm = fontMetrics();
    const int digit = fm.horizontalAdvance(QLatin1Char('0'));
    const bool amount = g != sgKintai;
    for (int r = 1; r <= SlipRowCount[g]; ++r) {
        // Row 1 is the pattern every further row of its group is made like, one pitch lower.
        auto* l = new QLabel(box);
        l->setObjectName(QStringLiteral("lb%1%2").arg(QLatin1String(RowPrefix[g])).arg(r));
        l->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("所定労働日数")) + 4);
        auto* e = new QLineEdit(box);
        e->setObjectName(QStringLiteral("ed%1%2").arg(QLatin1String(RowPrefix[g])).arg(r));
        e->setProperty("Tag", amount ? 100 : 62);
        e->setProperty("BaseMax", amount ? 7 : 6);
        e->setMaxLength(amount ? 7 : 6);
        e->setAlignment(Qt::AlignRight);
        e->setFixedWidth(digit * (amount ? 11 : 7) + 10);
        // Digits only: the input method would let full-width digits past the key filter.
        e->setAttribute(Qt::WA_InputMethodEnabled, false);
        auto* keys = new TNumKeys(e);
        keys->onEnter = [this, e] { enterNext(e); };
        // While a refused entry takes its focus back, no other field is entered or left.
        keys->onEntered = [this, e] {
            if (!refusedEdit_ || refusedEdit_ == e) rowEnter(e);
        };
        keys->onLeft = [this, e] {
            if (isVisible() && (!refusedEdit_ || refusedEdit_ == e)) rowExit(e);
        };
        e->installEventFilter(this);  // paging and the arrows
        connect(e, &QLineEdit::textEdited, this, [this, e] { textEdited(e); });
        grid->addWidget(l, r - 1, 0);
        grid->addWidget(e, r - 1, 1);
        grid->setRowMinimumHeight(r - 1, e->sizeHint().height());
        switch (g) {
            case sgKintai:
                KintaiLabel[r] = l, KintaiEdit[r] = e;
                break;
            case sgSikyu:
                SikyuLabel[r] = l, SikyuEdit[r] = e;
                break;
            case sgKoujo:
                KoujoLabel[r] = l, KoujoEdit[r] = e;
                break;
            case sgSonota:
                SonotaLabel[r] = l, SonotaEdit[r] = e;
                break;
        }
    }
    grid->setColumnStretch(0, 1);
    return box;
}

void TfmDataEdit::buildControls()
{
    // ---- name and overtime unit prices ----
    auto* name = new QLabel(QStringLiteral("氏名"), this);
    lbSimei = new QLabel(this);
    lbSimei->setObjectName(QStringLiteral("lbSimei"));
    lbSimei->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lbSimei->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 24);
    lbSimei->setMargin(3);
    QFont bold = lbSimei->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    lbSimei->setFont(bold);
    lbSimei->setFixedHeight(QFontMetrics(bold).height() + 12);
    gbChingin = new QGroupBox(QStringLiteral("残業単価"), this);
    gbChingin->setObjectName(QStringLiteral("gbChingin"));
    auto* prices = new QGridLayout(gbChingin);
    prices->setHorizontalSpacing(24);
    prices->setVerticalSpacing(2);
    prices->setContentsMargins(8, 4, 8, 6);
    QLabel** unit[] = {&lbChingin2, &lbChingin3, &lbChingin4, &lbChingin5};
    for (int i = 0; i < 4; ++i) {
        *unit[i] = new QLabel(gbChingin);
        (*unit[i])->setObjectName(QStringLiteral("lbChingin%1").arg(i + 2));
        prices->addWidget(*unit[i], i / 2, i % 2);
    }
    auto* top = new QHBoxLayout;
    top->addWidget(name, 0, Qt::AlignVCenter);
    top->addWidget(lbSimei, 0, Qt::AlignVCenter);
    top->addStretch();
    top->addWidget(gbChingin);

    // ---- the four groups with their totals ----
    gbKintai = buildGroup(sgKintai, QStringLiteral("勤怠"));
    gbSikyu = buildGroup(sgSikyu, QStringLiteral("支給"));
    gbKoujo = buildGroup(sgKoujo, QStringLiteral("控除"));
    gbSonota = buildGroup(sgSonota, QStringLiteral("その他"));
    pnSikyuTotal = panel(this, "pnSikyuTotal");
    pnKoujoTotal = panel(this, "pnKoujoTotal");
    pnSonotaTotal = panel(this, "pnSonotaTotal");
    pnSikyugaku = panel(this, "pnSikyugaku");
    QFont big = pnSikyugaku->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.2);
    pnSikyugaku->setFont(big);
    for (QLabel* p : {pnSikyuTotal, pnKoujoTotal, pnSonotaTotal, pnSikyugaku})
        p->setFixedWidth(SikyuEdit[1]->width() + (p == pnSikyugaku ? 24 : 0));
    // A total stands under its group's fields.
    const auto totalRow = [this](QGroupBox* group, const QString& caption, QLabel* total) {
        auto* grid = static_cast<QGridLayout*>(group->layout());
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(caption, group), row, 0);
        total->setParent(group);
        grid->addWidget(total, row, 1);
        grid->setRowMinimumHeight(row, SikyuEdit[1]->sizeHint().height() + 6);
    };
    totalRow(gbSikyu, QStringLiteral("支給合計"), pnSikyuTotal);
    totalRow(gbKoujo, QStringLiteral("控除合計"), pnKoujoTotal);
    totalRow(gbSonota, QStringLiteral("その他合計"), pnSonotaTotal);
    auto* net = new QFrame(this);
    net->setObjectName(QStringLiteral("pnNet"));
    net->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    auto* netRow = new QHBoxLayout(net);
    netRow->setContentsMargins(8, 6, 8, 6);
    auto* netCaption = new QLabel(QStringLiteral("差引支給額"), net);
    netCaption->setFont(big);
    netRow->addWidget(netCaption);
    netRow->addStretch();
    pnSikyugaku->setParent(net);
    netRow->addWidget(pnSikyugaku);

    auto* left = new QVBoxLayout;
    left->addWidget(gbKintai);
    left->addWidget(gbSonota);
    left->addStretch();
    auto* middle = new QVBoxLayout;
    middle->addWidget(gbSikyu);
    middle->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(gbKoujo);
    right->addWidget(net);
    right->addStretch();
    auto* groups = new QHBoxLayout;
    groups->setSpacing(8);
    groups->addLayout(left);
    groups->addLayout(middle);
    groups->addLayout(right);

    // ---- legend of the computed colour ----
    pnAutoSet = new QLabel(this);
    pnAutoSet->setObjectName(QStringLiteral("pnAutoSet"));
    pnAutoSet->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnAutoSet->setFixedSize(36, 18);
    pnAutoSet->setAutoFillBackground(true);
    auto* legend =
        new QLabel(QStringLiteral("計算により値がセットされ､入力出来ない項目です。　"
                                  "｢修正ON/OFF｣ボタンにより入力が可能となります。(一部項目は除く)"),
                   this);
    legend->setObjectName(QStringLiteral("lbAutoSet"));
    auto* legendRow = new QHBoxLayout;
    legendRow->addWidget(pnAutoSet);
    legendRow->addWidget(legend);
    legendRow->addStretch();

    // ---- buttons ----
    // The flat buttons leave the focus in the field they act on; their accelerators (Alt and the
    // letter) reach them from the keyboard.
    sbBackData = SpeedButton(this, "sbBackData", QStringLiteral("前のデータ(&B)"));
    sbBackData->setProperty("Tag", -1);
    sbNextData = SpeedButton(this, "sbNextData", QStringLiteral("次のデータ(&N)"));
    sbNextData->setProperty("Tag", 1);
    sbCalculator = SpeedButton(this, "sbCalculator", QStringLiteral("電卓起動(&C)"));
    sbCalc = SpeedButton(this, "sbCalc", QStringLiteral("再計算(&R)"));
    sbManual = SpeedButton(this, "sbManual", QStringLiteral("修正ON/OFF(&M)"));
    btPrnMeisai = button(this, "btPrnMeisai", QStringLiteral("明細印刷"));
    btSendMail = button(this, "btSendMail", QStringLiteral("メール送信"));
    btMembEdit = button(this, "btMembEdit", QStringLiteral("社員情報表示"));
    btReturn = button(this, "btReturn", QStringLiteral("戻る"));
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (QPushButton* b : {btPrnMeisai, btSendMail, btMembEdit, btReturn})
        b->setMinimumWidth(digit * 12 + 16);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(sbBackData);
    buttons->addWidget(sbNextData);
    buttons->addSpacing(12);
    buttons->addWidget(sbCalculator);
    buttons->addWidget(sbCalc);
    buttons->addWidget(sbManual);
    buttons->addSpacing(12);
    buttons->addWidget(btPrnMeisai);
    buttons->addWidget(btSendMail);
    buttons->addWidget(btMembEdit);
    buttons->addStretch();
    buttons->addWidget(btReturn);

    auto* main = new QVBoxLayout(this);
    main->setSpacing(6);
    main->addLayout(top);
    main->addLayout(groups);
    main->addLayout(legendRow);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    // Tab order: the rows in creation order, then the buttons, 戻る last.
    QList<QWidget*> order;
    for (QLineEdit* e : rowEdits()) order << e;
    order << btPrnMeisai << btSendMail << btMembEdit << btReturn;
    for (int i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
    InstallEnterKeys(this);

    connect(sbBackData, &QToolButton::clicked, this, [this] { StepData(-1); });
    connect(sbNextData, &QToolButton::clicked, this, [this] { StepData(1); });
    connect(sbCalc, &QToolButton::clicked, this, [this] { sbCalcClick(true); });
    connect(sbManual, &QToolButton::clicked, this, [this] { sbManualClick(true); });
    connect(sbCalculator, &QToolButton::clicked, this, &TfmDataEdit::sbCalculatorClick);
    connect(btMembEdit, &QPushButton::clicked, this, &TfmDataEdit::btMembEditClick);
    connect(btPrnMeisai, &QPushButton::clicked, this, &TfmDataEdit::btPrnMeisaiClick);
    connect(btSendMail, &QPushButton::clicked, this, &TfmDataEdit::btSendMailClick);
    connect(btReturn, &QPushButton::clicked, this, &TfmDataEdit::reject);
}

// ---- rows ----

QLineEdit* TfmDataEdit::edit(SlipGroup g, int row) const
{
    switch (g) {
        case sgKintai:
            return KintaiEdit[row];
        case sgSikyu:
            return SikyuEdit[row];
        case sgKoujo:
            return KoujoEdit[row];
        case sgSonota:
            return SonotaEdit[row];
    }
    return nullptr;
}

QLabel* TfmDataEdit::label(SlipGroup g, int row) const
{
    switch (g) {
        case sgKintai:
            return KintaiLabel[row];
        case sgSikyu:
            return SikyuLabel[row];
        case sgKoujo:
            return KoujoLabel[row];
        case sgSonota:
            return SonotaLabel[row];
    }
    return nullptr;
}

TfmDataEdit::RowRef TfmDataEdit::rowOf(const QObject* w) const
{
    for (int g = sgKintai; g <= sgSonota; ++g)
        for (int r = 1; r <= SlipRowCount[g]; ++r)
            if (edit(static_cast<SlipGroup>(g), r) == w) return {static_cast<SlipGroup>(g), r};
    return {};
}

const TSlipRow* TfmDataEdit::shownRow(const QLineEdit* e) const
{
    const RowRef ref = rowOf(e);
    if (ref.row == 0 || screen_.rows[ref.group].empty()) return nullptr;
    const TSlipRow& r = screen_.row(ref.group, ref.row);
    return r.name.isEmpty() ? nullptr : &r;
}

QList<QLineEdit*> TfmDataEdit::rowEdits() const
{
    QList<QLineEdit*> list;
    for (int g = sgKintai; g <= sgSonota; ++g)
        for (int r = 1; r <= SlipRowCount[g]; ++r) list << edit(static_cast<SlipGroup>(g), r);
    return list;
}

// ---- records and screen ----

void TfmDataEdit::ShowMeisai(int slot)
{
    const bool wasInShow = InShow;
    InShow = true;  // hiding the focused row moves the focus; that is no leaving
    screen_ = MeisaiScreen(slot);
    shownSlot_ = slot;
    entered_.clear();
    refusedEdit_ = nullptr;
    setWindowTitle(screen_.caption);
    lbSimei->setText(screen_.simei);
    for (int g = sgKintai; g <= sgSonota; ++g)
        for (int r = 1; r <= SlipRowCount[g]; ++r)
            showRow(static_cast<SlipGroup>(g), r, screen_.rows[g][r - 1]);
    pnSikyuTotal->setText(screen_.sikyuTotal);
    pnKoujoTotal->setText(screen_.koujoTotal);
    pnSonotaTotal->setText(screen_.sonotaTotal);
    pnSikyugaku->setText(screen_.sikyugaku);
    lbChingin2->setText(screen_.chingin[2]);
    lbChingin3->setText(screen_.chingin[3]);
    lbChingin4->setText(screen_.chingin[4]);
    lbChingin5->setText(screen_.chingin[5]);
    InShow = wasInShow;
}

void TfmDataEdit::showRow(SlipGroup g, int row, const TSlipRow& r)
{
    QLabel* l = label(g, row);
    QLineEdit* e = edit(g, row);
    l->setText(r.name);
    e->setVisible(!r.name.isEmpty());
    // Attendance takes decimals, hours also "h:mm"; every row takes a sign.
    QString chars = QStringLiteral("-");
    if (g == sgKintai) chars += IsJikanItem(r.name) ? QStringLiteral(".:") : QStringLiteral(".");
    TNumKeys::of(e)->setChars(chars);
    // The three sums take eight digits, the other amounts seven.
    if (g != sgKintai) e->setProperty("BaseMax", SlipCheckTag(g, r.name) == 80 ? 8 : 7);
    showText(e, r.text);
    e->setProperty("Shown", r.text);
    QPalette pal = e->palette();
    pal.setColor(QPalette::Base, r.computed ? computedColour() : palette().color(QPalette::Base));
    e->setPalette(pal);
    setManualLook(e, r.manual);
    setEditable(e, !r.computed || r.manual);
    e->setCursorPosition(0);
}

void TfmDataEdit::setEditable(QLineEdit* e, bool editable)
{
    e->setReadOnly(!editable);
    // Tab and Enter pass over a computed field; the arrows and the mouse still reach it, for
    // 修正ON/OFF.
    e->setFocusPolicy(editable ? Qt::StrongFocus : Qt::ClickFocus);
}

void TfmDataEdit::setManualLook(QLineEdit* e, bool manual)
{
    QPalette pal = e->palette();
    pal.setColor(QPalette::Text, manual ? QColor(Qt::red) : QColor(Qt::black));
    e->setPalette(pal);
}

bool TfmDataEdit::GetMeisai(int slot)
{
    if (slot != shownSlot_) return true;  // nothing of that slot is on the screen
    QList<TSlipInput> inputs;
    for (int g = sgKintai; g <= sgSonota; ++g)
        for (int r = 1; r <= SlipRowCount[g]; ++r) {
            const TSlipRow& row = screen_.rows[g][r - 1];
            if (row.name.isEmpty()) continue;
            QLineEdit* e = edit(static_cast<SlipGroup>(g), r);
            TSlipInput in{static_cast<SlipGroup>(g), row.name, e->text(), e->property("Shown").toString()};
            if (const auto it = entered_.constFind(e); it != entered_.cend() && it->text == in.text)
                in.entered = it->value;
            inputs << in;
        }
    const QString error = StoreMeisai(slot, inputs);
    if (error.isEmpty()) return true;
    ShowError(error);
    return false;
}

// The current entry checked, the screen stored and the employee recalculated; false when an
// entry was refused (nothing stored then).
bool TfmDataEdit::commit(bool* taxComputed)
{
    if (CurEdit && !checkEntry(CurEdit)) return false;
    if (!GetMeisai(MembSlot)) return false;
    const bool ok = RecalcMeisai(MembSlot);
    if (taxComputed) *taxComputed = ok;
    return true;
}

// ---- stepping ----

void TfmDataEdit::StepData(int tag)
{
    if (tag != 0) {
        if (!commit()) return;
        MembSlot = StepMeisaiSlot(MembSlot, tag);
    }
    const TSlipStepButtons b = MeisaiStepButtons(MembSlot);
    sbBackData->setEnabled(b.back);
    sbNextData->setEnabled(b.next);
    // Mail needs an address and the main window's mail command.
    const QAction* mail = fmMain ? fmMain->action("mnSendMeisai") : nullptr;
    btSendMail->setEnabled(!SyainRec[MembSlot].MailAdrs.shownText().trimmed().isEmpty() && mail &&
                           mail->isEnabled());
    InShow = true;
    ShowMeisai(MembSlot);
    selectInMainList();
    // As from 戻る on to the next control in tab order: the first row that takes an entry (the
    // first row in use when none does).
    QLineEdit* first = nullptr;
    for (QLineEdit* e : rowEdits()) {
        if (e->isHidden()) continue;
        if (!first) first = e;
        if (!e->isReadOnly()) {
            first = e;
            break;
        }
    }
    if (first) {
        // The field is entered anew even when it had the focus already (a step from the first
        // field, or by a button that takes no focus): selected as on Tab and by AutoSelect, so
        // that typing replaces the other employee's value instead of adding to it.
        if (first->hasFocus()) btReturn->setFocus(Qt::TabFocusReason);
        first->setFocus(Qt::TabFocusReason);
    }
    InShow = false;
}

void TfmDataEdit::selectInMainList()
{
    if (fmMain) fmMain->selectSlot(MembSlot);
}

// ---- entering, checking and leaving a row ----

void TfmDataEdit::rowEnter(QLineEdit* e)
{
    CurEdit = e;
    const RowRef ref = rowOf(e);
    CurLabel = label(ref.group, ref.row);
    if (e->text().size() == 10) e->setMaxLength(10);
    const TSlipRow* r = shownRow(e);
    const bool computed = r && r->computed;
    sbManual->setEnabled(computed && SlipManualSwitchable(ref.group, r->name));
    sbCalculator->setEnabled(r && (!e->isReadOnly() || !computed));
}

bool TfmDataEdit::checkEntry(QLineEdit* e, bool closing)
{
    const TSlipRow* r = shownRow(e);
    if (!r) return true;
    // Nothing typed, or an entry already taken (its text shows the number rounded): nothing to
    // check again, which would read the rounded text as the number.
    const auto taken = entered_.constFind(e);
    if (e->isReadOnly() || e->text() == e->property("Shown").toString() ||
        (taken != entered_.cend() && taken->text == e->text())) {
        if (e == refusedEdit_) refusedEdit_ = nullptr;
        return true;
    }
    const auto back = [e] { QTimer::singleShot(0, e, [e] { e->setFocus(Qt::OtherFocusReason); }); };
    // Closing is refused in so many words, naming the row: the window would otherwise just stay.
    const auto tellClosing = [r](const QString& reason) {
        ShowError(
            QStringLiteral("「%1」の入力に誤りがあるため、画面を閉じられません。\n%2").arg(r->name, reason));
    };
    if (e == refusedEdit_ && e->text() == refusedText_) {
        // The user was told about this very entry a moment ago, unless he is closing now.
        if (closing) tellClosing(refusedError_);
        back();
        return false;
    }
    const TSlipEntry x = CheckSlipEntry(rowOf(e).group, r->name, e->text());
    if (x.refused && closing)
        tellClosing(x.error);
    else if (!x.error.isEmpty())
        ShowError(x.error);
    if (x.refused) {
        refusedEdit_ = e;
        refusedText_ = e->text();
        refusedError_ = x.error;
        back();
        return false;
    }
    refusedEdit_ = nullptr;
    showEntered(e, x.text, x.value);
    return true;
}

void TfmDataEdit::showEntered(QLineEdit* e, const QString& text, double value)
{
    showText(e, text);
    entered_.insert(e, {text, value});
}

bool TfmDataEdit::rowExit(QLineEdit* e, bool closing)
{
    if (InShow || closing_) return true;
    const TSlipRow* r = shownRow(e);
    if (!r) return true;
    const QString name = r->name;
    if (e->maxLength() == 10) showText(e, e->text());  // back to the typing limit, text kept whole
    if (!checkEntry(e, closing)) return false;
    sbCalcClick(false);
    if (name == QStringLiteral("有休日数")) {
        try {
            if (const auto rest = YukyuZanAfter(MembSlot, KintaiRec[MembSlot].Kintai[kiYukyu]))
                for (int i = 1; i <= 16; ++i)
                    if (screen_.row(sgKintai, i).name == QStringLiteral("有休残日数"))
                        showEntered(KintaiEdit[i],
                                    SlipValueText(sgKintai, QStringLiteral("有休残日数"), *rest), *rest);
        } catch (const AppError& err) {
            ShowError(err.message());
        }
    }
    return true;
}

// ---- commands ----

void TfmDataEdit::sbCalcClick(bool byButton)
{
    bool ok = true;
    if (!commit(&ok)) return;
    ShowMeisai(MembSlot);
    if (!ok && MessageDlg(str("下記の何れかの例外に該当する為、所得税が自動計算されません。\n"
                              "ユーザーによる所得税の計算と入力が必要です。\n"
                              "　１．前月中に給与の支払いが無い。\n"
                              "　２．今回支給の｢社保控除後計｣の金額が、前月中の給与等の金額\n"
                              "　　　(社会保険控除後)の10倍を超えている。\n\n"
                              "この社員の所得税を手入力モードに変更しますか？"),
                          MsgType::Warning, MsgButtons::YesNo) == MsgResult::Yes) {
        SetManualTax(MembSlot);
        // Shown again at once: the row turns editable and red, and keeps its mark.
        ShowMeisai(MembSlot);
        for (int i = 1; i <= 18; ++i)
            if (screen_.row(sgKoujo, i).name == QStringLiteral("所得税"))
                KoujoEdit[i]->setFocus(Qt::OtherFocusReason);
        ShowInfo(str("所得税計算を手入力モードに変更しました。\n所得税の計算と入力を行って下さい。"));
        return;
    }
    if (byButton && CurEdit && !CurEdit->isHidden()) CurEdit->setFocus(Qt::OtherFocusReason);
}

void TfmDataEdit::sbManualClick(bool byButton)
{
    if (!CurEdit) return;
    const TSlipRow* r = shownRow(CurEdit);
    const SlipGroup g = rowOf(CurEdit).group;
    if (!r || !r->computed || !SlipManualSwitchable(g, r->name)) return;
    const std::optional<bool> on = ToggleManual(MembSlot, g, r->name);
    if (!on) return;
    setManualLook(CurEdit, *on);
    setEditable(CurEdit, *on);
    CurEdit->deselect();
    CurEdit->setCursorPosition(0);
    sbCalculator->setEnabled(*on);
    if (!byButton) return;
    QLineEdit* target = CurEdit;
    sbCalcClick(false);
    if (!target->isReadOnly()) target->setFocus(Qt::OtherFocusReason);
}

void TfmDataEdit::sbCalculatorClick()
{
    QLineEdit* target = CurEdit;
    const TSlipRow* r = target ? shownRow(target) : nullptr;
    if (!r || target->isReadOnly()) return;
    const QString name = r->name;
    const SlipGroup g = rowOf(target).group;
    TfmCalc* calc = Calculator();
    if (calc->exec() == QDialog::Accepted) {
        const TSlipEntry x = CalcValueEntry(g, name, calc->CalcValue);
        if (!x.error.isEmpty()) ShowError(x.error);
        if (!x.refused) showEntered(target, x.text, x.value);
    }
    target->setFocus(Qt::OtherFocusReason);
}

void TfmDataEdit::btMembEditClick()
{
    if (AskMembView) {
        ShowInfo(str(
            "社員情報の表示のみであり、編集は出来ません。\n(社員情報の編集はメイン画面から選択して下さい)"));
        AskMembView = false;
    }
    if (!fmMembEdit) return;
    fmMembEdit->setMember(MembSlot, true);
    fmMembEdit->exec();
}

void TfmDataEdit::btPrnMeisaiClick()
{
    if (!commit()) return;
    ShowMeisai(MembSlot);
    if (!fmInji) return;
    fmInji->setDocument(200 + MembSlot, IsBonusPeriod(CurPeriod.Period) ? QStringLiteral("賞与明細書")
                                                                        : QStringLiteral("給与明細書"));
    fmInji->exec();
}

void TfmDataEdit::btSendMailClick()
{
    if (!commit()) return;
    ShowMeisai(MembSlot);
    fmSendMail->setDocument(200 + MembSlot, IsBonusPeriod(CurPeriod.Period) ? QStringLiteral("賞与明細書")
                                                                            : QStringLiteral("給与明細書"));
    fmSendMail->exec();
}

// ---- showing and closing ----

void TfmDataEdit::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (e->spontaneous()) return;
    closing_ = false;
    QPalette pal = pnAutoSet->palette();
    pal.setColor(QPalette::Window, computedColour());
    pnAutoSet->setPalette(pal);
    InShow = false;
    StepData(0);
}

bool TfmDataEdit::FormCloseQuery()
{
    bool allow = true;
    if (CurEdit && shownRow(CurEdit)) {
        const QString before = CurEdit->text();
        if (!rowExit(CurEdit, true)) return false;
        // A reformatted entry is shown recalculated before the window goes.
        allow = CurEdit->text() == before;
    }
    if (!GetMeisai(MembSlot)) return false;
    RecalcMeisai(MembSlot);
    return allow;
}

void TfmDataEdit::done(int r)
{
    if (!closing_ && !FormCloseQuery()) return;
    closing_ = true;  // the focus leaving with the window is no leaving of a field
    QDialog::done(r);
}

// ---- keys ----

void TfmDataEdit::textEdited(QLineEdit* e)
{
    // Once a shown amount is typed over, the typing limit applies again. The fields take ASCII
    // digits and signs only, so characters and bytes count alike.
    const int base = e->property("BaseMax").toInt();
    if (e->property("Tag").toInt() == 100 && e->text().size() < 3 && e->maxLength() != base)
        e->setMaxLength(base);
}

void TfmDataEdit::moveRow(QLineEdit* e, int dir)
{
    QList<QLineEdit*> shown;
    for (QLineEdit* x : rowEdits())
        if (!x->isHidden()) shown << x;
    const int at = shown.indexOf(e);
    if (at < 0 || shown.isEmpty()) return;
    // The rows come first in tab order, so the next control of a row is the next row; the last
    // row goes round to the first and the first back to the last.
    shown[(at + dir + shown.size()) % shown.size()]->setFocus(Qt::TabFocusReason);
}

void TfmDataEdit::enterNext(QLineEdit* e)
{
    const QList<QLineEdit*> rows = rowEdits();
    std::vector<bool> editable;
    for (QLineEdit* x : rows) editable.push_back(!x->isHidden() && !x->isReadOnly());
    const int next = NextEditableRow(editable, rows.indexOf(e));
    if (next >= 0)
        rows[next]->setFocus(Qt::TabFocusReason);
    else
        focusNextChild();  // no other row takes entries: on to the next control
}

bool TfmDataEdit::keyPress(QLineEdit* e, QKeyEvent* k)
{
    const int key = k->key();
    if (key == Qt::Key_PageDown || key == Qt::Key_PageUp) {
        QToolButton* b = key == Qt::Key_PageDown ? sbBackData : sbNextData;
        if (b->isEnabled()) b->click();
        return true;
    }
    if ((key == Qt::Key_Down || key == Qt::Key_Up) &&
        !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        moveRow(e, key == Qt::Key_Down ? 1 : -1);
        return true;
    }
    return false;
}

bool TfmDataEdit::eventFilter(QObject* watched, QEvent* e)
{
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit && e->type() == QEvent::KeyPress && rowOf(edit).row != 0 &&
        keyPress(edit, static_cast<QKeyEvent*>(e)))
        return true;
    return QDialog::eventFilter(watched, e);
}
