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
#include "payroll/ui/fieldcontrols.h"
#include "payroll/ui/passedit.h"
#include "platform/errors.h"
#include "platform/formkit.h"
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

}  // namespace

TfmCorpInfo::TfmCorpInfo(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmCorpInfo"));
    setWindowTitle(QStringLiteral("会社情報の設定"));
    setModal(true);
    MakeFieldControls(this, CorpFields());
    const auto caption = [](const char* name) {
        return QString::fromUtf8(FindField(CorpFields(), name)->def.caption);
    };
    // A field inside its caption ("給与支給日     日").
    const auto row = [&](const char* name, QWidget* parent) {
        return new FieldRow(caption(name), edit(name), parent);
    };
    QLineEdit* edSyamei = edit("edSyamei");
    edSyamei->setMinimumWidth(edSyamei->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 46 + 12);
    auto* name = new QHBoxLayout;
    name->addWidget(new QLabel(caption("edSyamei"), this));
    name->addWidget(edSyamei, 1);

    // Pay day and its shifts.
    auto* gbPay = new QGroupBox(this);
    auto* pay = new QGridLayout(gbPay);
    pay->addWidget(row("edSikyubi", gbPay), 0, 0);
    pay->addWidget(new QLabel(QStringLiteral("(月末は31を入力)"), gbPay), 0, 1);
    pay->addWidget(control("cbSikyuP1"), 1, 0, 1, 2);
    pay->addWidget(control("cbSikyuM1"), 2, 0, 1, 2);
    auto* juumin = new QHBoxLayout;
    juumin->addSpacing(20);
    juumin->addWidget(control("cbJuumin6"));
    pay->addLayout(juumin, 3, 0, 1, 2);

    auto* gbJikan = new QGroupBox(QStringLiteral("所定労働条件"), this);
    auto* jikan = new QVBoxLayout(gbJikan);
    jikan->addWidget(row("edJikanD", gbJikan));

    auto* gbHouNo = new QGroupBox(QStringLiteral("法人番号"), this);
    EchoStars(edit("edHouNo"));
    auto* cbHide = Named<QCheckBox>(gbHouNo, "cbHide", QStringLiteral("隠す"));
    auto* houNo = new QGridLayout(gbHouNo);
    houNo->addWidget(edit("edHouNo"), 0, 0);
    houNo->addWidget(cbHide, 0, 1);
    houNo->addWidget(new QLabel(QStringLiteral("(←12桁の場合は先頭に'0'を付加)"), gbHouNo), 1, 0, 1, 3);
    houNo->setColumnStretch(2, 1);

    auto* gbKoyo = new QGroupBox(QStringLiteral("雇用保険"), this);
    control("cbUseHyo")->setVisible(false);
    auto* koyo = new QGridLayout(gbKoyo);
    koyo->addWidget(control("rbJigyo"), 0, 0);
    koyo->addWidget(control("rbIgai"), 0, 1);
    koyo->addWidget(row("edKoyRitu", gbKoyo), 1, 0, 1, 3);
    koyo->addWidget(control("cbUseHyo"), 2, 0);
    koyo->setColumnStretch(2, 1);

    auto* gbRitu = new QGroupBox(QStringLiteral("保険料負担率"), this);
    auto* btKenRitu = Named<QPushButton>(gbRitu, "btKenRitu", QStringLiteral("健康保険料率選択"));
    auto* rowKen = row("edKenRitu", gbRitu);
    auto* rowKai = row("edKaiRitu", gbRitu);
    auto* rowNen = row("edNenRitu", gbRitu);
    auto* rowKkn = row("edKknRitu", gbRitu);
    alignRows({rowKen, rowKai, rowNen, rowKkn});
    auto* ritu = new QGridLayout(gbRitu);
    ritu->addWidget(rowKen, 0, 0);
    ritu->addWidget(btKenRitu, 0, 1);
    ritu->addWidget(rowKai, 1, 0);
    ritu->addWidget(rowNen, 2, 0);
    ritu->addWidget(rowKkn, 3, 0);

    auto* bbOk = Named<QPushButton>(this, "bbOk", QStringLiteral("Ｏ Ｋ"));
    auto* bbCancel = Named<QPushButton>(this, "bbCancel", QStringLiteral("キャンセル"));
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

    // The fields in the order of their table, with the buttons among them.
    QList<QWidget*> order;
    for (const TCorpField& d : CorpFields()) {
        if (QWidget* w = control(d.def.name); w->isVisibleTo(this)) order << w;
        if (qstrcmp(d.def.name, "edHouNo") == 0) order << cbHide;
        if (qstrcmp(d.def.name, "edKenRitu") == 0) order << btKenRitu;
    }
    order << bbOk << bbCancel;
    for (int i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

    for (const TCorpField& d : CorpFields()) {
        if (!d.def.numeric()) continue;
        // Hours take "." or ":", the rates a decimal point, the pay day and the corporate number
        // digits only.
        QLineEdit* e = edit(d.def.name);
        auto* keys = new TNumKeys(e, d.def.kind == FieldKind::Hours     ? QStringLiteral(".:")
                                     : d.def.kind == FieldKind::Decimal ? QStringLiteral(".")
                                                                        : QString());
        keys->onLeft = [this, e] { NumericItemExit(e); };
    }
    edSyamei->installEventFilter(this);
    cbHide->setChecked(true);
    edit("edHouNo")->setEchoMode(QLineEdit::Password);

    connect(edSyamei, &QLineEdit::textChanged, this, [edSyamei] { TrimEditMaxLen(edSyamei); });
    // Refused as it is typed, as in every text field; OK checks a name read from the file.
    connect(edSyamei, &QLineEdit::textEdited, this, [edSyamei] { RefuseNonCp932(edSyamei); });
    for (const char* box : {"cbSikyuP1", "cbSikyuM1", "cbJuumin6"})
        connect(control<QCheckBox>(box), &QCheckBox::toggled, this, [this, box] { cbSikyuKbnClick(box); });
    for (const char* rb : {"rbJigyo", "rbIgai"})
        connect(control<QRadioButton>(rb), &QRadioButton::clicked, this, [this] {
            edit("edKoyRitu")
                ->setText(FmtRitu(KoyRituOfJigyo(control<QRadioButton>("rbJigyo")->isChecked())));
        });
    connect(control<QCheckBox>("cbUseHyo"), &QCheckBox::toggled, this,
            [this](bool on) { edit("edKoyRitu")->setEnabled(!on); });
    connect(cbHide, &QCheckBox::toggled, this,
            [this](bool on) { edit("edHouNo")->setEchoMode(on ? QLineEdit::Password : QLineEdit::Normal); });
    connect(btKenRitu, &QPushButton::clicked, this, &TfmCorpInfo::btKenRituClick);
    connect(bbOk, &QPushButton::clicked, this, &TfmCorpInfo::bbOkClick);
    connect(bbCancel, &QPushButton::clicked, this, &TfmCorpInfo::reject);
}

QLineEdit* TfmCorpInfo::edit(const char* name) const
{
    return control<QLineEdit>(name);
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
    TFieldValues values;
    try {
        values = FieldsOf(CorpFields(), corp);
    } catch (const AppError& err) {
        ShowError(err.message());
        corp.Syamei.setText(QString());
        values = FieldsOf(CorpFields(), corp);
    }
    ShowFields(this, CorpFields(), values);
    edit("edKoyRitu")->setEnabled(!corp.UseHyo);
    control("cbJuumin6")->setEnabled(control<QCheckBox>("cbSikyuM1")->isChecked());
    setSampleColour(false);
    rates_ = CorpRatesOf(corp);
    edit("edSyamei")->setFocus();
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
    edit("edSyamei")->setText(QStringLiteral("株式会社○○"));
    edit("edJikanD")->setText(OptionRec.TimeStyle == 0 ? QStringLiteral(" 8.00") : QStringLiteral(" 8:00"));
    edit("edSikyubi")->setText(QStringLiteral("20"));
    ShowInfo(
        QStringLiteral("会社名や所定労働条件などの会社情報を設定して下さい。\n\n"
                       "（薄黄色の項目は仮の内容が入っているので修正が必要です。\n"
                       "　詳細はF1キーを押してヘルプを参照して下さい。）"));
}

void TfmCorpInfo::setSampleColour(bool sample)
{
    for (const char* name : {"edSyamei", "edJikanD", "edSikyubi"}) {
        QPalette p = palette();
        if (sample) p.setColor(QPalette::Base, QColor(0xFF, 0xFF, 0xAA));
        edit(name)->setPalette(p);
    }
}

void TfmCorpInfo::cbSikyuKbnClick(const char* sender)
{
    auto* p1 = control<QCheckBox>("cbSikyuP1");
    auto* m1 = control<QCheckBox>("cbSikyuM1");
    auto* juumin6 = control<QCheckBox>("cbJuumin6");
    if (qstrcmp(sender, "cbSikyuP1") == 0 && p1->isChecked()) {
        m1->setChecked(false);
        if (activated_) ShowInfo(QStringLiteral("この設定を使用するのはお勧めしません。"));
    } else if (qstrcmp(sender, "cbSikyuM1") == 0 && m1->isChecked()) {
        p1->setChecked(false);
    }
    juumin6->setEnabled(m1->isChecked());
    if (!m1->isChecked()) juumin6->setChecked(false);
}

void TfmCorpInfo::btKenRituClick()
{
    if (!fmKenRitu || fmKenRitu->exec() != QDialog::Accepted) return;
    edit("edKenRitu")->setText(FmtRitu(fmKenRitu->SelRitu));
    // Taken from the button: on to the next field, or the next Enter would open the picker again.
    if (focusWidget() == control<QWidget>("btKenRitu")) focusNextChild();
}

void TfmCorpInfo::bbOkClick()
{
    try {
        const TFieldValues values = FieldValues(this, CorpFields());
        const TCorpCheck check = CheckCorpEntry(values);
        if (!check.ok()) {
            // A missing employment rate takes the focus before the rate picker opens, the others after.
            const bool koy = check.focus == "edKoyRitu";
            if (koy) edit(check.focus.constData())->setFocus();
            if (check.pickKenRitu) btKenRituClick();
            if (!koy && !check.focus.isEmpty()) edit(check.focus.constData())->setFocus();
            return;
        }
        // Stored whole or not at all: a field that is no number leaves the block as it was.
        TCorpRec corp = CorpRec;
        StoreFields(CorpFields(), values, corp);
        CorpRec = corp;
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
    if (firstRun_ && MessageDlg(QStringLiteral("初期設定を中止し、給与計算PelmoraSを終了して宜しいですか？"),
                                MsgType::Confirmation, MsgButtons::YesNo) != MsgResult::Yes)
        return;
    QDialog::reject();
}

bool TfmCorpInfo::eventFilter(QObject* watched, QEvent* e)
{
    // The company name is text: Enter moves on, Ctrl+Delete empties it, and typing inserts as in
    // the employee's name (over-typing is a setting of the numeric fields).
    if (watched->objectName() == QLatin1String("edSyamei") && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
        if (k->key() == Qt::Key_Delete && (k->modifiers() & Qt::ControlModifier)) {
            EmptyAsTyped(static_cast<QLineEdit*>(watched));
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
    if (edit->objectName() == QLatin1String("edHouNo")) return;
    QString value;
    if (!CheckFieldOnExit(edit, value)) return;
    const int tag = edit->property("Tag").toInt();
    if (edit->objectName() == QLatin1String("edJikanD"))
        edit->setText(FmtJikanD(TimeStrToFloat(value)));
    else
        edit->setText(QString::asprintf("%*.*f", tag / 10, tag % 10, StrToFloatEx(value)));
}
