// The calculator window: buttons and keys over TCalculator, and the OK that hands the value over
// only when a field can hold it.
#include "app/TfmCalc.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>

#include "platform/msgbox.h"

namespace {

QToolButton* makeButton(QWidget* parent, const QString& name, const QString& caption, int tag)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(caption);
    b->setProperty("Tag", tag);
    // The window takes every key itself: a focused button would eat Enter and the digits.
    b->setFocusPolicy(Qt::NoFocus);
    b->setMinimumSize(44, 32);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return b;
}

}  // namespace

TfmCalc::TfmCalc(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmCalc"));
    setWindowTitle(QStringLiteral("簡易電卓"));
    setModal(true);
    setAttribute(Qt::WA_InputMethodEnabled, false);

    pnDisp = new QLabel(this);
    pnDisp->setObjectName(QStringLiteral("pnDisp"));
    pnDisp->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pnDisp->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnDisp->setAutoFillBackground(true);
    pnDisp->setBackgroundRole(QPalette::Base);
    pnDisp->setMargin(4);
    // The display has the focus, and its mark; the keys it leaves are the window's.
    pnDisp->setFocusPolicy(Qt::StrongFocus);
    QFont big = pnDisp->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    pnDisp->setFont(big);

    for (int d = 0; d <= 9; ++d)
        sbNum[d] = makeButton(this, QStringLiteral("sbNum%1").arg(d), QString::number(d), d);
    sbTen = makeButton(this, QStringLiteral("sbTen"), QStringLiteral(" ．"), TCalculator::Point);
    sbPlus = makeButton(this, QStringLiteral("sbPlus"), QStringLiteral("＋"), TCalculator::Plus);
    sbMinus = makeButton(this, QStringLiteral("sbMinus"), QStringLiteral("－"), TCalculator::Minus);
    sbMulti = makeButton(this, QStringLiteral("sbMulti"), QStringLiteral("×"), TCalculator::Multi);
    sbDivide = makeButton(this, QStringLiteral("sbDivide"), QStringLiteral("÷"), TCalculator::Divide);
    sbCalc = makeButton(this, QStringLiteral("sbCalc"), QStringLiteral("＝"), TCalculator::Calc);
    sbPer = makeButton(this, QStringLiteral("sbPer"), QStringLiteral("％"), TCalculator::Per);
    sbClear = makeButton(this, QStringLiteral("sbClear"), QStringLiteral("AC"), TCalculator::Clear);
    sbBackSpace =
        makeButton(this, QStringLiteral("sbBackSpace"), QStringLiteral("BS"), TCalculator::BackSpace);
    // The tax key has no work; it stays hidden and the 0 key takes its place.
    sbTax = makeButton(this, QStringLiteral("sbTax"), QStringLiteral("税"), 20);
    sbTax->hide();

    // Enter is ＝ wherever the focus is: OK is Alt+O or Ctrl+Enter, and Space on a button Tab
    // reached.
    btOk = new QPushButton(QStringLiteral("Ｏ Ｋ(&O)"), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btCancel = new QPushButton(QStringLiteral("キャンセル(&C)"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    for (QPushButton* b : {btOk, btCancel}) {
        b->setFocusPolicy(Qt::TabFocus);
        b->setAutoDefault(false);
    }

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);

    auto* grid = new QGridLayout(this);
    grid->setSpacing(4);
    grid->addWidget(pnDisp, 0, 0, 1, 4);
    QToolButton* const rows[5][4] = {
        {sbClear, sbBackSpace, sbPer, sbDivide}, {sbNum[7], sbNum[8], sbNum[9], sbMulti},
        {sbNum[4], sbNum[5], sbNum[6], sbMinus}, {sbNum[1], sbNum[2], sbNum[3], sbPlus},
        {nullptr, nullptr, sbTen, sbCalc},
    };
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 4; ++c)
            if (rows[r][c]) grid->addWidget(rows[r][c], r + 1, c);
    grid->addWidget(sbNum[0], 5, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btOk);
    buttons->addWidget(btCancel);
    grid->addLayout(buttons, 6, 0, 1, 4);
    pnDisp->setMinimumHeight(pnDisp->fontMetrics().height() + 12);

    for (QToolButton* b : findChildren<QToolButton*>()) {
        const int tag = b->property("Tag").toInt();
        if (b != sbTax) connect(b, &QToolButton::clicked, this, [this, tag] { run(tag); });
    }
    connect(btOk, &QPushButton::clicked, this, &TfmCalc::btOkClick);
    connect(btCancel, &QPushButton::clicked, this, &TfmCalc::reject);
    connect(Timer1, &QTimer::timeout, this, [this] {
        if (pressed_) pressed_->setDown(false);
        pressed_ = nullptr;
    });
    run(TCalculator::Clear);
}

void TfmCalc::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (e->spontaneous()) return;
    // Each opening starts from a clear calculator; what was on it last time is not this field's.
    run(TCalculator::Clear);
    sbTax->hide();
    pnDisp->setFocus();
}

QToolButton* TfmCalc::button(int tag) const
{
    for (QToolButton* b : findChildren<QToolButton*>())
        if (b->property("Tag").toInt() == tag) return b;
    return nullptr;
}

void TfmCalc::run(int tag)
{
    calc_.Press(tag);
    pnDisp->setText(calc_.Display());
    CalcValue = calc_.CalcValue();
}

void TfmCalc::PressKey(int tag)
{
    if (pressed_) pressed_->setDown(false);
    pressed_ = button(tag);
    if (pressed_) {
        pressed_->setDown(true);
        Timer1->start(100);
    }
    run(tag);
}

void TfmCalc::keyPressEvent(QKeyEvent* e)
{
    int tag = -1;
    switch (e->key()) {
        case Qt::Key_Escape:
            QDialog::keyPressEvent(e);
            return;
        case Qt::Key_Backspace:
            tag = TCalculator::BackSpace;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (e->modifiers() & Qt::ControlModifier) {
                e->accept();
                btOkClick();
                return;
            }
            tag = TCalculator::Calc;
            break;
        default: {
            const QString t = e->text();
            if (t.size() == 1 && t[0].unicode() < 0x80) tag = TCalculator::TagOfChar(t[0].toLatin1());
            // "\r" and "\b" arrive as the keys above; here they would be a control character typed.
            if (tag == TCalculator::Calc || tag == TCalculator::BackSpace) tag = -1;
            break;
        }
    }
    e->accept();
    if (tag >= 0) PressKey(tag);
}

void TfmCalc::btOkClick()
{
    const QString refused = calc_.TakeError();
    if (!refused.isEmpty()) {
        // The caller truncates the value into a 32-bit field; it must never see one that
        // does not fit.
        ShowError(refused);
        return;
    }
    CalcValue = calc_.CalcValue();
    accept();
}

TfmCalc* Calculator()
{
    static TfmCalc* calc = new TfmCalc();
    return calc;
}
