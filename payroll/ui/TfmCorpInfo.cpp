// The company window: fields over the company block, the shared keyboard rules of entry windows,
// and OK handing the checks, the storage and the premium reset to payroll/corpinfo.
#include "payroll/ui/TfmCorpInfo.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/period.h"
#include "payroll/ui/TfmKenRitu.h"
#include "payroll/ui/edithelpers.h"
#include "platform/formkit.h"
#include "platform/errors.h"
#include "platform/msgbox.h"

TFormRef<TfmCorpInfo> fmCorpInfo;

namespace {

// A field inside its caption: the run of blanks in the caption ("給与支給日     日") is where the
// field stands, so the caption is split there around it.
class FieldRow : public QWidget {
  public:
    FieldRow(const QString& caption, QWidget* field, QWidget* parent) : QWidget(parent)
    {
        setProperty("caption", caption);
        const int run = caption.indexOf(QStringLiteral("  "));
        prefix = new QLabel(run < 0 ? caption : caption.left(run), this);
        auto* suffix = new QLabel(run < 0 ? QString() : caption.mid(run).trimmed(), this);
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(prefix);
        row->addWidget(field);
        row->addWidget(suffix);
        row->addStretch();
    }
    QLabel* prefix;
};

// Lines up the fields of rows under each other.
void alignRows(std::initializer_list<FieldRow*> rows)
{
    int width = 0;
    for (FieldRow* r : rows) width = std::max(width, r->prefix->sizeHint().width());
    for (FieldRow* r : rows) r->prefix->setFixedWidth(width);
}

QLineEdit* makeEdit(QWidget* parent, const char* name, int maxLength, int tag)
{
    if (tag != 0) return NumericEdit(parent, name, maxLength, tag);
    auto* edit = Named<QLineEdit>(parent, name);
    edit->setMaxLength(maxLength);
    return edit;
}

QCheckBox* makeCheck(QWidget* parent, const char* name, const QString& caption)
{
    return Named<QCheckBox>(parent, name, caption);
}

// The hidden corporate number shows "*" for every character, as the field always did.
class StarEchoStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};

}  // namespace

TfmCorpInfo::TfmCorpInfo(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmCorpInfo"));
    setWindowTitle(QStringLiteral("会社情報の設定"));
    setModal(true);

    edSyamei = makeEdit(this, "edSyamei", 44, 0);
    edSyamei->setMinimumWidth(edSyamei->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 46 + 12);
    auto* name = new QHBoxLayout;
    name->addWidget(new QLabel(QStringLiteral("会社名称"), this));
    name->addWidget(edSyamei, 1);

    // Pay day and its shifts.
    auto* gbPay = new QGroupBox(this);
    edSikyubi = makeEdit(gbPay, "edSikyubi", 2, 20);
    auto* rowSikyubi = new FieldRow(QStringLiteral("給与支給日     日"), edSikyubi, gbPay);
    cbSikyuP1 = makeCheck(gbPay, "cbSikyuP1", QStringLiteral("入力月の翌月を支給日とする"));
    cbSikyuM1 = makeCheck(gbPay, "cbSikyuM1", QStringLiteral("入力月の前月の給与明細とする"));
    cbJuumin6 = makeCheck(gbPay, "cbJuumin6", QStringLiteral("住民税(6月分)をずらす"));
    auto* pay = new QGridLayout(gbPay);
    pay->addWidget(rowSikyubi, 0, 0);
    pay->addWidget(new QLabel(QStringLiteral("(月末は31を入力)"), gbPay), 0, 1);
    pay->addWidget(cbSikyuP1, 1, 0, 1, 2);
    pay->addWidget(cbSikyuM1, 2, 0, 1, 2);
    auto* juumin = new QHBoxLayout;
    juumin->addSpacing(20);
    juumin->addWidget(cbJuumin6);
    pay->addLayout(juumin, 3, 0, 1, 2);

    auto* gbJikan = new QGroupBox(QStringLiteral("所定労働条件"), this);
    edJikanD = makeEdit(gbJikan, "edJikanD", 5, 52);
    auto* jikan = new QVBoxLayout(gbJikan);
    jikan->addWidget(new FieldRow(QStringLiteral("1日の労働時間        時間"), edJikanD, gbJikan));

    auto* gbHouNo = new QGroupBox(QStringLiteral("法人番号"), this);
    edHouNo = makeEdit(gbHouNo, "edHouNo", 13, 20);
    auto* star = new StarEchoStyle;
    star->setParent(this);
    edHouNo->setStyle(star);
    cbHide = makeCheck(gbHouNo, "cbHide", QStringLiteral("隠す"));
    auto* houNo = new QGridLayout(gbHouNo);
    houNo->addWidget(edHouNo, 0, 0);
    houNo->addWidget(cbHide, 0, 1);
    houNo->addWidget(new QLabel(QStringLiteral("(←12桁の場合は先頭に'0'を付加)"), gbHouNo), 1, 0, 1, 3);
    houNo->setColumnStretch(2, 1);

    auto* gbKoyo = new QGroupBox(QStringLiteral("雇用保険"), this);
    rbJigyo = new QRadioButton(QStringLiteral("一般事業所"), gbKoyo);
    rbJigyo->setObjectName(QStringLiteral("rbJigyo"));
    rbIgai = new QRadioButton(QStringLiteral("それ以外"), gbKoyo);
    rbIgai->setObjectName(QStringLiteral("rbIgai"));
    edKoyRitu = makeEdit(gbKoyo, "edKoyRitu", 6, 63);
    cbUseHyo = makeCheck(gbKoyo, "cbUseHyo", QStringLiteral("雇用保険料額表を使用"));
    cbUseHyo->setVisible(false);
    auto* koyo = new QGridLayout(gbKoyo);
    koyo->addWidget(rbJigyo, 0, 0);
    koyo->addWidget(rbIgai, 0, 1);
    koyo->addWidget(new FieldRow(QStringLiteral("保険料負担率          ％"), edKoyRitu, gbKoyo), 1, 0, 1, 3);
    koyo->setColumnStretch(2, 1);

    auto* gbRitu = new QGroupBox(QStringLiteral("保険料負担率"), this);
    edKenRitu = makeEdit(gbRitu, "edKenRitu", 6, 63);
    edKaiRitu = makeEdit(gbRitu, "edKaiRitu", 6, 63);
    edNenRitu = makeEdit(gbRitu, "edNenRitu", 6, 63);
    edKknRitu = makeEdit(gbRitu, "edKknRitu", 6, 63);
    btKenRitu = new QPushButton(QStringLiteral("健康保険料率選択"), gbRitu);
    btKenRitu->setObjectName(QStringLiteral("btKenRitu"));
    auto* rowKen = new FieldRow(QStringLiteral("健康保険              ％"), edKenRitu, gbRitu);
    auto* rowKai = new FieldRow(QStringLiteral("介護保険              ％"), edKaiRitu, gbRitu);
    auto* rowNen = new FieldRow(QStringLiteral("厚生年金              ％"), edNenRitu, gbRitu);
    auto* rowKkn = new FieldRow(QStringLiteral("厚生年金基金率         ％"), edKknRitu, gbRitu);
    alignRows({rowKen, rowKai, rowNen, rowKkn});
    auto* ritu = new QGridLayout(gbRitu);
    ritu->addWidget(rowKen, 0, 0);
    ritu->addWidget(btKenRitu, 0, 1);
    ritu->addWidget(rowKai, 1, 0);
    ritu->addWidget(rowNen, 2, 0);
    ritu->addWidget(rowKkn, 3, 0);

    bbOk = new QPushButton(QStringLiteral("Ｏ Ｋ"), this);
    bbOk->setObjectName(QStringLiteral("bbOk"));
    bbCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    bbCancel->setObjectName(QStringLiteral("bbCancel"));
    // Enter moves between fields and presses only the focused button, never a default one.
    for (QPushButton* b : {bbOk, bbCancel, btKenRitu}) b->setAutoDefault(false);
    InstallEnterKeys(this);

    auto* left = new QVBoxLayout;
    left->addWidget(gbPay);
    left->addWidget(gbJikan);
    left->addWidget(gbHouNo);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(gbKoyo);
    right->addWidget(gbRitu);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bbOk);
    buttons->addWidget(bbCancel);
    auto* main = new QVBoxLayout(this);
    main->addLayout(name);
    main->addLayout(columns);
    main->addLayout(buttons);

    const QList<QWidget*> order{edSyamei,  edSikyubi, cbSikyuP1, cbSikyuM1, cbJuumin6, edJikanD,
                                edHouNo,   cbHide,    rbJigyo,   rbIgai,    edKoyRitu, edKenRitu,
                                btKenRitu, edKaiRitu, edNenRitu, edKknRitu, bbOk,      bbCancel};
    for (int i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

    for (QLineEdit* e :
         {edSikyubi, edJikanD, edKoyRitu, edKenRitu, edKaiRitu, edNenRitu, edKknRitu, edHouNo}) {
        // Hours take "." or ":", the rates a decimal point, the pay day and the corporate number
        // digits only.
        QString chars;
        if (e == edJikanD)
            chars = QStringLiteral(".:");
        else if (e->property("Tag").toInt() != 20)
            chars = QStringLiteral(".");
        auto* keys = new TNumKeys(e, chars);
        keys->onLeft = [this, e] { NumericItemExit(e); };
    }
    edSyamei->installEventFilter(this);
    cbHide->setChecked(true);
    edHouNo->setEchoMode(QLineEdit::Password);

    connect(edSyamei, &QLineEdit::textChanged, this, [this] { TrimEditMaxLen(edSyamei); });
    for (QCheckBox* box : {cbSikyuP1, cbSikyuM1, cbJuumin6})
        connect(box, &QCheckBox::toggled, this, [this, box] { cbSikyuKbnClick(box); });
    for (QRadioButton* rb : {rbJigyo, rbIgai})
        connect(rb, &QRadioButton::clicked, this,
                [this] { edKoyRitu->setText(FmtRitu(KoyRituOfJigyo(rbJigyo->isChecked()))); });
    connect(cbUseHyo, &QCheckBox::toggled, this, [this](bool on) { edKoyRitu->setEnabled(!on); });
    connect(cbHide, &QCheckBox::toggled, this,
            [this](bool on) { edHouNo->setEchoMode(on ? QLineEdit::Password : QLineEdit::Normal); });
    connect(btKenRitu, &QPushButton::clicked, this, &TfmCorpInfo::btKenRituClick);
    connect(bbOk, &QPushButton::clicked, this, &TfmCorpInfo::bbOkClick);
    connect(bbCancel, &QPushButton::clicked, this, &TfmCorpInfo::reject);
}

void TfmCorpInfo::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void TfmCorpInfo::FormShow()
{
    activated_ = false;
    // The defaults are only offered: the period's block changes with OK, not by looking at it.
    TCorpRec corp = CorpWithDefaults(CorpRec);
    TCorpEntry e;
    try {
        e = CorpEntryOf(corp);
    } catch (const AppError& err) {
        ShowError(err.message());
        corp.Syamei.setText(QString());
        e = CorpEntryOf(corp);
    }
    edSyamei->setText(e.Syamei);
    edSikyubi->setText(e.Sikyubi);
    edJikanD->setText(e.JikanD);
    edKoyRitu->setText(e.KoyRitu);
    edKenRitu->setText(e.KenRitu);
    edKaiRitu->setText(e.KaiRitu);
    edNenRitu->setText(e.NenRitu);
    edKknRitu->setText(e.KknRitu);
    edHouNo->setText(e.HouNo);
    (e.Jigyo ? rbJigyo : rbIgai)->setChecked(true);
    cbUseHyo->setChecked(e.UseHyo);
    edKoyRitu->setEnabled(!e.UseHyo);
    cbSikyuP1->setChecked(e.SikyuP1);
    cbSikyuM1->setChecked(e.SikyuM1);
    cbJuumin6->setChecked(e.Juumin6);
    cbJuumin6->setEnabled(cbSikyuM1->isChecked());
    setSampleColour(false);
    rates_ = CorpRatesOf(corp);
    edSyamei->setFocus();
}

TfmCorpInfo::~TfmCorpInfo()
{
    // A field that still has the focus loses it while the children are destroyed; its check must
    // not run on this window, which is then half destroyed.
    for (QLineEdit* e : findChildren<QLineEdit*>())
        if (TNumKeys* keys = TNumKeys::of(e)) keys->onLeft = nullptr;
}

void TfmCorpInfo::changeEvent(QEvent* e)
{
    QDialog::changeEvent(e);
    // Queued, so that the window is painted before the first-run hint covers it.
    if (e->type() == QEvent::ActivationChange && isActiveWindow() && !activated_)
        QTimer::singleShot(0, this, &TfmCorpInfo::FormActivate);
}

void TfmCorpInfo::FormActivate()
{
    if (!isVisible() || activated_) return;
    // Set first: the hint below takes the activation away and gives it back.
    activated_ = true;
    setSampleColour(firstRun_);
    if (!firstRun_) return;
    edSyamei->setText(QStringLiteral("株式会社○○"));
    edJikanD->setText(OptionRec.TimeStyle == 0 ? QStringLiteral(" 8.00") : QStringLiteral(" 8:00"));
    edSikyubi->setText(QStringLiteral("20"));
    ShowInfo(
        QStringLiteral("会社名や所定労働条件などの会社情報を設定して下さい。\n\n"
                       "（薄黄色の項目は仮の内容が入っているので修正が必要です。\n"
                       "　詳細はF1キーを押してヘルプを参照して下さい。）"));
}

void TfmCorpInfo::setSampleColour(bool sample)
{
    for (QLineEdit* e : {edSyamei, edJikanD, edSikyubi}) {
        QPalette p = palette();
        if (sample) p.setColor(QPalette::Base, QColor(0xFF, 0xFF, 0xAA));
        e->setPalette(p);
    }
}

void TfmCorpInfo::cbSikyuKbnClick(QCheckBox* sender)
{
    if (sender == cbSikyuP1 && cbSikyuP1->isChecked()) {
        cbSikyuM1->setChecked(false);
        if (activated_) ShowInfo(QStringLiteral("この設定を使用するのはお勧めしません。"));
    } else if (sender == cbSikyuM1 && cbSikyuM1->isChecked()) {
        cbSikyuP1->setChecked(false);
    }
    cbJuumin6->setEnabled(cbSikyuM1->isChecked());
    if (!cbSikyuM1->isChecked()) cbJuumin6->setChecked(false);
}

TCorpEntry TfmCorpInfo::Entry() const
{
    TCorpEntry e;
    e.Syamei = edSyamei->text();
    e.Sikyubi = edSikyubi->text();
    e.JikanD = edJikanD->text();
    e.KoyRitu = edKoyRitu->text();
    e.KenRitu = edKenRitu->text();
    e.KaiRitu = edKaiRitu->text();
    e.NenRitu = edNenRitu->text();
    e.KknRitu = edKknRitu->text();
    e.HouNo = edHouNo->text();
    e.SikyuP1 = cbSikyuP1->isChecked();
    e.SikyuM1 = cbSikyuM1->isChecked();
    e.Juumin6 = cbJuumin6->isChecked();
    e.Jigyo = rbJigyo->isChecked();
    e.UseHyo = cbUseHyo->isChecked();
    return e;
}

void TfmCorpInfo::btKenRituClick()
{
    if (fmKenRitu && fmKenRitu->exec() == QDialog::Accepted) edKenRitu->setText(FmtRitu(fmKenRitu->SelRitu));
}

void TfmCorpInfo::bbOkClick()
{
    try {
        const TCorpEntry e = Entry();
        const TCorpCheck check = CheckCorpEntry(e);
        if (!check.ok()) {
            const auto focus = [this](CorpField f) {
                switch (f) {
                    case CorpField::Syamei:
                        edSyamei->setFocus();
                        break;
                    case CorpField::JikanD:
                        edJikanD->setFocus();
                        break;
                    case CorpField::Sikyubi:
                        edSikyubi->setFocus();
                        break;
                    case CorpField::KoyRitu:
                        edKoyRitu->setFocus();
                        break;
                    case CorpField::KaiRitu:
                        edKaiRitu->setFocus();
                        break;
                    case CorpField::NenRitu:
                        edNenRitu->setFocus();
                        break;
                    case CorpField::HouNo:
                        edHouNo->setFocus();
                        break;
                    case CorpField::None:
                        break;
                }
            };
            if (check.focus == CorpField::KoyRitu) focus(check.focus);
            if (check.pickKenRitu) btKenRituClick();
            if (check.focus != CorpField::KoyRitu) focus(check.focus);
            return;
        }
        StoreCorpEntry(e, CorpRec);
        WriteDefJikanD(CorpRec.JikanD);
        OfferPremiumReset(rates_);
        accept();
    } catch (const AppError& err) {
        ShowError(err.message());
    }
}

void TfmCorpInfo::reject()
{
    // Escape, the close box and "キャンセル" all come here.
    if (firstRun_ &&
        MessageDlg(QStringLiteral("初期設定を中止し、給与計算PelmoraSを終了して宜しいですか？"),
                   MsgType::Confirmation, MsgButtons::YesNo) != MsgResult::Yes)
        return;
    QDialog::reject();
}

bool TfmCorpInfo::eventFilter(QObject* watched, QEvent* e)
{
    // The company name is text: Enter moves on, Ctrl+Delete empties it, and typing inserts as in
    // the employee's name (over-typing is a setting of the numeric fields).
    if (watched == edSyamei && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
        if (k->key() == Qt::Key_Delete && (k->modifiers() & Qt::ControlModifier)) {
            EmptyAsTyped(edSyamei);
            return true;
        }
        return false;
    }
    return QDialog::eventFilter(watched, e);
}

void TfmCorpInfo::NumericItemExit(QLineEdit* edit)
{
    // The corporate number keeps its 13 digits as typed, leading zero included; the number check
    // and display of the other fields would cut it. OK checks it.
    if (edit == edHouNo) return;
    QString value;
    bool ok = false;
    try {
        ok = CheckNumInput(edit, value);
    } catch (const AppError& err) {
        ShowError(err.message());
    }
    if (!ok) {
        // Back into the field once the focus change under way is done.
        QTimer::singleShot(0, edit, [edit] { edit->setFocus(); });
        return;
    }
    const int tag = edit->property("Tag").toInt();
    if (edit == edJikanD)
        edit->setText(FmtJikanD(TimeStrToFloat(value)));
    else
        edit->setText(QString::asprintf("%*.*f", tag / 10, tag % 10, StrToFloatEx(value)));
}
