// The employee edit window: fills its controls from a working copy of one employee record, runs
// the field rules and the shared keyboard behaviour of entry windows, and hands OK, the template,
// stepping and the grade table to app/core/membedit.
#include "app/TfmMembEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <climits>
#include <cmath>

#include "app/TfmCalc.h"
#include "app/TfmKenhoHyo.h"
#include "app/TfmMain.h"
#include "payroll/captions.h"
#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/period.h"
#include "payroll/premiums.h"
#include "payroll/startup.h"
#include "payroll/ui/edithelpers.h"
#include "platform/formkit.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/msgbox.h"
#include "platform/notice.h"

TFormRef<TfmMembEdit> fmMembEdit;

namespace {

// Puts a text into an edit whose typing limit (property "BaseMax") may be shorter than what is
// shown: a formatted amount "1,234,567" or a 20-byte imported name must appear whole, since a
// QLineEdit cuts every text to its maxLength.
void showText(QLineEdit* edit, const QString& text)
{
    const int base = edit->property("BaseMax").toInt();
    edit->setMaxLength(std::max<int>(base, text.size()));
    edit->setText(text);
}

QLabel* label(QWidget* parent, const QString& caption, const char* name = nullptr)
{
    auto* l = new QLabel(caption, parent);
    if (name) l->setObjectName(QString::fromLatin1(name));
    return l;
}

QCheckBox* check(QWidget* parent, const char* name, const QString& caption)
{
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    return c;
}

QComboBox* combo(QWidget* parent, const char* name, const QStringList& items)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->addItems(items);
    return c;
}

}  // namespace

TfmMembEdit::TfmMembEdit(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmMembEdit"));
    setWindowTitle(QStringLiteral("社員情報の編集"));
    setModal(true);
    buildControls();
}

void TfmMembEdit::buildControls()
{
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const auto numEdit = [&](QWidget* parent, const QString& name, int tag, int maxLength) {
        auto* e = new QLineEdit(parent);
        e->setObjectName(name);
        e->setProperty("Tag", tag);
        e->setProperty("BaseMax", maxLength);
        e->setMaxLength(maxLength);
        e->setAlignment(Qt::AlignRight);
        const int width = tag == 90 ? 11 : tag == 70 ? 9 : 3;
        e->setFixedWidth(digit * width + 10);
        // Digits only: the input method would let full-width digits past the key filter.
        e->setAttribute(Qt::WA_InputMethodEnabled, false);
        new TNumKeys(e, QStringLiteral("-"));
        numEdits_ << e;
        return e;
    };
    const auto textEdit = [&](QWidget* parent, const char* name, int maxLength, bool ime) {
        auto* e = new QLineEdit(parent);
        e->setObjectName(QString::fromLatin1(name));
        e->setProperty("BaseMax", maxLength);
        e->setMaxLength(maxLength);
        e->setAttribute(Qt::WA_InputMethodEnabled, ime);
        return e;
    };

    // ---- name, department, category, pay type, tax column, sex, municipality, mail, retirement,
    // individual number ----
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::StyledPanel);
    edSimei = textEdit(Panel1, "edSimei", 16, true);
    edBusyo = textEdit(Panel1, "edBusyo", 16, true);
    cbKubun = combo(Panel1, "cbKubun", KubunItems());
    cbKubun->setEditable(true);
    cbKubun->setInsertPolicy(QComboBox::NoInsert);
    cbKubun->lineEdit()->setProperty("BaseMax", 10);
    cbKubun->lineEdit()->setMaxLength(10);
    cbKeitai = combo(Panel1, "cbKeitai", KeitaiItems());
    rbZeigaku0 = new QRadioButton(QStringLiteral("甲欄"), Panel1);
    rbZeigaku0->setObjectName(QStringLiteral("rbZeigaku0"));
    rbZeigaku1 = new QRadioButton(QStringLiteral("乙欄"), Panel1);
    rbZeigaku1->setObjectName(QStringLiteral("rbZeigaku1"));
    cbSex = combo(Panel1, "cbSex", SexItems());
    edChouson = textEdit(Panel1, "edChouson", 16, true);
    edMailAdrs = textEdit(Panel1, "edMailAdrs", 48, false);
    edMailAdrs->setToolTip(QStringLiteral("メモの入力が可能です"));
    cbTaisyo = check(Panel1, "cbTaisyo", QStringLiteral("退職者"));
    lbTaisyo = label(Panel1, QStringLiteral("退職日"), "lbTaisyo");
    edTaiYY = numEdit(Panel1, QStringLiteral("edTaiYY"), 20, 2);
    edTaiMM = numEdit(Panel1, QStringLiteral("edTaiMM"), 20, 2);
    edTaiDD = numEdit(Panel1, QStringLiteral("edTaiDD"), 20, 2);
    edMyNo = numEdit(Panel1, QStringLiteral("edMyNo"), 20, 12);
    edMyNo->setAlignment(Qt::AlignLeft);
    edMyNo->setFixedWidth(digit * 14 + 10);
    // Masked as asterisks whatever the style's own password character is.
    edMyNo->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    cbHide = check(Panel1, "cbHide", QStringLiteral("隠す"));
    cbHide->setChecked(true);
    for (QLineEdit* e : {edSimei, edBusyo, edChouson}) e->setFixedWidth(digit * 18 + 10);
    cbKubun->setFixedWidth(digit * 14 + 24);
    cbKeitai->setFixedWidth(digit * 10 + 24);
    cbSex->setFixedWidth(digit * 6 + 24);

    auto* tax = new QHBoxLayout;
    tax->addWidget(rbZeigaku0);
    tax->addWidget(rbZeigaku1);
    tax->addStretch();
    auto* date = new QHBoxLayout;
    date->setSpacing(3);
    date->addWidget(cbTaisyo);
    date->addSpacing(8);
    date->addWidget(lbTaisyo);
    for (auto [edit, unit] : {std::pair{edTaiYY, "年"}, std::pair{edTaiMM, "月"}, std::pair{edTaiDD, "日"}}) {
        date->addWidget(edit);
        date->addWidget(label(Panel1, QString::fromUtf8(unit)));
    }
    date->addStretch();
    auto* myNo = new QHBoxLayout;
    myNo->addWidget(edMyNo);
    myNo->addWidget(cbHide);
    myNo->addStretch();
    auto* top = new QGridLayout(Panel1);
    top->setHorizontalSpacing(8);
    top->setVerticalSpacing(6);
    top->addWidget(label(Panel1, QStringLiteral("氏名")), 0, 0);
    top->addWidget(edSimei, 0, 1);
    top->addWidget(label(Panel1, QStringLiteral("部署名")), 0, 2);
    top->addWidget(edBusyo, 0, 3);
    top->addWidget(label(Panel1, QStringLiteral("社員区分")), 0, 4);
    top->addWidget(cbKubun, 0, 5);
    top->addWidget(label(Panel1, QStringLiteral("支給形態")), 1, 0);
    top->addWidget(cbKeitai, 1, 1);
    top->addWidget(label(Panel1, QStringLiteral("税額表")), 1, 2);
    top->addLayout(tax, 1, 3);
    top->addWidget(label(Panel1, QStringLiteral("性別")), 1, 4);
    top->addWidget(cbSex, 1, 5);
    top->addWidget(label(Panel1, QStringLiteral("市区町村")), 2, 0);
    top->addWidget(edChouson, 2, 1);
    top->addWidget(label(Panel1, QStringLiteral("メールアドレス")), 2, 2);
    top->addWidget(edMailAdrs, 2, 3, 1, 3);
    top->addLayout(date, 3, 0, 1, 2);
    top->addWidget(label(Panel1, QStringLiteral("マイナンバー")), 3, 2);
    top->addLayout(myNo, 3, 3, 1, 3);
    top->setColumnStretch(5, 1);

    // ---- amounts and insurance ----
    GroupBox1 = new QGroupBox(QStringLiteral("給与・控除・社会保険"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    QWidget* g = GroupBox1;
    for (int i = 1; i <= 5; ++i) edChingin[i] = numEdit(g, QStringLiteral("edChingin%1").arg(i), 90, 7);
    lbChingin1 = label(g, QStringLiteral("基本給"), "lbChingin1");
    edYakuin = numEdit(g, QStringLiteral("edYakuin"), 90, 7);
    edFamily = numEdit(g, QStringLiteral("edFamily"), 90, 7);
    for (int i = 1; i <= 3; ++i) {
        lbFixTeate[i] = label(g, QString(), QStringLiteral("lbFixTeate%1").arg(i).toLatin1().constData());
        edTeate[i] = numEdit(g, QStringLiteral("edTeate%1").arg(i), 90, 7);
    }
    edKoutuhi0 = numEdit(g, QStringLiteral("edKoutuhi0"), 90, 7);
    edKoutuhi1 = numEdit(g, QStringLiteral("edKoutuhi1"), 90, 7);
    cbSikUnit = combo(g, "cbSikUnit", {});
    // Rules 1 and 2 only; the month-specific rules of older records are kept, not offered.
    cbSikUnit->clear();
    cbSikUnit->addItems(SikUnitItems());
    cbSikUnit->setFixedWidth(edKoutuhi1->width());
    edJuumin6 = numEdit(g, QStringLiteral("edJuumin6"), 90, 7);
    edJuumin = numEdit(g, QStringLiteral("edJuumin"), 90, 7);
    for (int i = 1; i <= 3; ++i) {
        lbFixKoujo[i] = label(g, QString(), QStringLiteral("lbFixKoujo%1").arg(i).toLatin1().constData());
        edKoujo[i] = numEdit(g, QStringLiteral("edKoujo%1").arg(i), 90, 7);
    }
    lbYukyu = label(g, QStringLiteral("有休時支給額"), "lbYukyu");
    edYukyu = numEdit(g, QStringLiteral("edYukyu"), 90, 7);
    edKekkin = numEdit(g, QStringLiteral("edKekkin"), 90, 7);
    edChisou = numEdit(g, QStringLiteral("edChisou"), 90, 7);
    cbKoyou = check(g, "cbKoyou", QStringLiteral("雇用保険対象者"));
    cbKenkou = check(g, "cbKenkou", QStringLiteral("健康保険対象者"));
    lbKenhoRyo = label(g, QStringLiteral("健康保険料"), "lbKenhoRyo");
    edKenhoRyo = numEdit(g, QStringLiteral("edKenhoRyo"), 70, 6);
    cbKaigo = check(g, "cbKaigo", QStringLiteral("介護保険料を徴収"));
    lbKaigoRyo = label(g, QStringLiteral("介護保険料"), "lbKaigoRyo");
    edKaigoRyo = numEdit(g, QStringLiteral("edKaigoRyo"), 70, 6);
    cbNenHoken = check(g, "cbNenHoken", QStringLiteral("厚生年金対象者"));
    lbKoseiRyo = label(g, QStringLiteral("厚生年金保険"), "lbKoseiRyo");
    edKoseiRyo = numEdit(g, QStringLiteral("edKoseiRyo"), 70, 6);
    cbNenKikin = check(g, "cbNenKikin", QStringLiteral("厚生年金基金加入"));
    lbKakekin = label(g, QStringLiteral("基金掛金"), "lbKakekin");
    edKakekin = numEdit(g, QStringLiteral("edKakekin"), 70, 6);
    sbAutoSet = SpeedButton(g, "sbAutoSet", QStringLiteral("等級表"));
    edFuyou = numEdit(g, QStringLiteral("edFuyou"), 20, 2);
    edSinzoku = numEdit(g, QStringLiteral("edSinzoku"), 20, 2);
    cbNoSyoto = check(g, "cbNoSyoto", QStringLiteral("所得税を計算しない"));
    cbGenkin = check(g, "cbGenkin", QStringLiteral("現金支給"));

    auto* grid = new QGridLayout(g);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    const auto row = [&](int r, int col, QWidget* caption, QWidget* field) {
        grid->addWidget(caption, r, col);
        grid->addWidget(field, r, col + 1);
    };
    // Pay: wages and unit prices, allowances, commuting.
    row(0, 0, lbChingin1, edChingin[1]);
    const char* const prices[] = {"普通残業単価", "深夜残業単価", "休日普通単価", "休日深夜単価"};
    for (int i = 2; i <= 5; ++i) row(i - 1, 0, label(g, QString::fromUtf8(prices[i - 2])), edChingin[i]);
    row(5, 0, label(g, QStringLiteral("役職手当")), edYakuin);
    row(6, 0, label(g, QStringLiteral("家族手当")), edFamily);
    for (int i = 1; i <= 3; ++i) row(6 + i, 0, lbFixTeate[i], edTeate[i]);
    row(10, 0, label(g, QStringLiteral("非課税通勤費")), edKoutuhi0);
    row(11, 0, label(g, QStringLiteral("課税通勤費")), edKoutuhi1);
    row(12, 0, label(g, QStringLiteral("通勤費の支給")), cbSikUnit);
    // Deductions and the rates of absence.
    row(0, 3, label(g, QStringLiteral("住民税(6月)")), edJuumin6);
    row(1, 3, label(g, QStringLiteral("住民税(7月～)")), edJuumin);
    for (int i = 1; i <= 3; ++i) row(1 + i, 3, lbFixKoujo[i], edKoujo[i]);
    row(5, 3, lbYukyu, edYukyu);
    row(6, 3, label(g, QStringLiteral("欠勤控除(1日)")), edKekkin);
    row(7, 3, label(g, QStringLiteral("遅刻早退(1時間)")), edChisou);
    // Insurance with its premiums, dependants, tax and cash.
    grid->addWidget(cbKoyou, 0, 6, 1, 3);
    int r = 1;
    for (auto [box, caption, edit] :
         {std::tuple{cbKenkou, lbKenhoRyo, edKenhoRyo}, std::tuple{cbKaigo, lbKaigoRyo, edKaigoRyo},
          std::tuple{cbNenHoken, lbKoseiRyo, edKoseiRyo}, std::tuple{cbNenKikin, lbKakekin, edKakekin}}) {
        grid->addWidget(box, r, 6);
        grid->addWidget(caption, r, 7);
        grid->addWidget(edit, r, 8);
        ++r;
    }
    grid->addWidget(sbAutoSet, 5, 7, 1, 2, Qt::AlignRight);
    grid->addWidget(label(g, QStringLiteral("扶養人数")), 7, 6, 1, 2);
    grid->addWidget(edFuyou, 7, 8, Qt::AlignRight);
    grid->addWidget(label(g, QStringLiteral("扶養親族等の数")), 8, 6, 1, 2);
    grid->addWidget(edSinzoku, 8, 8, Qt::AlignRight);
    grid->addWidget(cbNoSyoto, 9, 6, 1, 3);
    grid->addWidget(cbGenkin, 10, 6, 1, 3);
    grid->setColumnMinimumWidth(2, 14);
    grid->setColumnMinimumWidth(5, 14);
    grid->setRowStretch(13, 1);

    // ---- buttons ----
    sbBackData = SpeedButton(this, "sbBackData", QStringLiteral("前のデータ"));
    sbBackData->setProperty("Tag", -1);
    sbNextData = SpeedButton(this, "sbNextData", QStringLiteral("次のデータ"));
    sbNextData->setProperty("Tag", 1);
    sbNewBase = SpeedButton(this, "sbNewBase", QStringLiteral("基本に設定"));
    sbCalculator = SpeedButton(this, "sbCalculator", QStringLiteral("電卓起動"));
    btOk = new QPushButton(QStringLiteral("OK"), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    for (QPushButton* b : {btOk, btCancel}) {
        // Enter moves between fields and presses only the focused button (InstallEnterKeys).
        b->setAutoDefault(false);
        b->setMinimumWidth(digit * 10 + 20);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(sbBackData);
    buttons->addWidget(sbNextData);
    buttons->addSpacing(16);
    buttons->addWidget(sbNewBase);
    buttons->addWidget(sbCalculator);
    buttons->addStretch();
    buttons->addWidget(btOk);
    buttons->addWidget(btCancel);

    auto* main = new QVBoxLayout(this);
    main->addWidget(Panel1);
    main->addWidget(GroupBox1);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    // ---- tab order: down each column ----
    const QList<QWidget*> order = {
        edSimei,    edBusyo,      cbKubun,      cbKeitai,     rbZeigaku0,   rbZeigaku1,   cbSex,
        edChouson,  edMailAdrs,   cbTaisyo,     edTaiYY,      edTaiMM,      edTaiDD,      edMyNo,
        cbHide,     edChingin[1], edChingin[2], edChingin[3], edChingin[4], edChingin[5], edYakuin,
        edFamily,   edTeate[1],   edTeate[2],   edTeate[3],   edKoutuhi0,   edKoutuhi1,   cbSikUnit,
        edJuumin6,  edJuumin,     edKoujo[1],   edKoujo[2],   edKoujo[3],   edYukyu,      edKekkin,
        edChisou,   cbKoyou,      cbKenkou,     edKenhoRyo,   cbKaigo,      edKaigoRyo,   cbNenHoken,
        edKoseiRyo, cbNenKikin,   edKakekin,    edFuyou,      edSinzoku,    cbNoSyoto,    cbGenkin,
        btOk,       btCancel};
    for (int i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
    for (QWidget* w : order) w->installEventFilter(this);
    InstallEnterKeys(this);

    // ---- rules ----
    for (QLineEdit* e : findChildren<QLineEdit*>())
        connect(e, &QLineEdit::textEdited, this, [this, e] { textEdited(e); });
    connect(cbKeitai, &QComboBox::currentIndexChanged, this, [this] { KeitaiRule(); });
    connect(cbTaisyo, &QCheckBox::toggled, this, [this] { TaisyoRule(!loading_); });
    connect(cbKenkou, &QCheckBox::toggled, this, [this] { KenkouRule(); });
    connect(cbKaigo, &QCheckBox::toggled, this, [this] { KaigoRule(); });
    connect(cbNenHoken, &QCheckBox::toggled, this, [this] { NenHokenRule(); });
    connect(cbNenKikin, &QCheckBox::toggled, this, [this] { NenKikinRule(); });
    connect(cbNoSyoto, &QCheckBox::clicked, this, [this] { NenKikinRule(); });
    connect(cbHide, &QCheckBox::toggled, this, [this] { HideRule(); });
    connect(edFuyou, &QLineEdit::textChanged, this, [this] { FuyouChange(); });
    connect(cbKubun, &QComboBox::currentIndexChanged, this, [this] {
        if (!loading_) textEdited(cbKubun->lineEdit());
    });

    connect(btOk, &QPushButton::clicked, this, &TfmMembEdit::btOkClick);
    connect(btCancel, &QPushButton::clicked, this, &TfmMembEdit::reject);
    connect(sbNewBase, &QToolButton::clicked, this, &TfmMembEdit::sbNewBaseClick);
    connect(sbAutoSet, &QToolButton::clicked, this, &TfmMembEdit::sbAutoSetClick);
    connect(sbCalculator, &QToolButton::clicked, this, &TfmMembEdit::sbCalculatorClick);
    connect(sbBackData, &QToolButton::clicked, this, [this] { StepData(-1); });
    connect(sbNextData, &QToolButton::clicked, this, [this] { StepData(1); });
}

void TfmMembEdit::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (e->spontaneous()) return;
    FormShow();
    if (firstShow_ && fmMain && fmMain->firstRun())
        QTimer::singleShot(0, this, [this] { FirstRunActivate(); });
    firstShow_ = false;
}

void TfmMembEdit::FormShow()
{
    setWindowTitle(ViewOnly ? QStringLiteral("社員情報の表示") : QStringLiteral("社員情報の編集"));
    btCancel->setText(ViewOnly ? QStringLiteral("閉じる") : QStringLiteral("ｷｬﾝｾﾙ"));
    for (QWidget* w :
         std::initializer_list<QWidget*>{Panel1, GroupBox1, sbNewBase, sbAutoSet, sbCalculator, btOk})
        w->setEnabled(!ViewOnly);
    for (int i = 1; i <= 3; ++i) {
        lbFixTeate[i]->setText(OptionRec.FixTeate[i]);
        lbFixKoujo[i]->setText(OptionRec.FixKoujo[i]);
    }
    if (MembSlot < 1 || MembSlot > MaxEmployee) {
        try {
            WorkMemb = NewMemberFromBase(fmMain && fmMain->firstRun());
        } catch (const AppError& err) {
            ShowError(err.message());
            WorkMemb = NewMemberDefaults();
        }
    }
    StepData(0);
    HideRule();
}

void TfmMembEdit::FirstRunActivate()
{
    showText(edSimei, QStringLiteral("見本　太郎"));
    ShowInfo(
        QStringLiteral("給与･賞与計算に必要な社員情報を入力して下さい。\n\n"
                       "（各項目は仮の内容が入っているので修正が必要です。\n"
                       "　詳細はF1キーを押してヘルプを参照して下さい。）"));
}

void TfmMembEdit::SetMemberToForm(int slot)
{
    if (slot >= 1 && slot <= MaxEmployee) WorkMemb = SyainRec[slot];
    TakeKubunItemName(WorkMemb);
    setFields(MemberToForm(WorkMemb, slot));
    // "Unchanged" is what the controls give back, not the stored bytes: a record written by an
    // older version or an import (blanks around a name, bytes behind it, reserved bytes) reads
    // back differently without anyone having touched it.
    OrgMemb = WorkMemb;
    try {
        FormToMember(FormFields(), slot, OrgMemb);
    } catch (const AppError&) {
        // Shown texts always convert; should one not, the stored record is the reference.
    }
    (ViewOnly ? static_cast<QWidget*>(btCancel) : edSimei)->setFocus();
}

void TfmMembEdit::setFields(const TMembForm& f)
{
    loading_ = true;
    showText(edSimei, f.Simei);
    showText(edBusyo, f.Busyo);
    cbKubun->setCurrentIndex(f.Kubun);
    showText(cbKubun->lineEdit(), f.KubunName);
    cbKeitai->setCurrentIndex(f.Keitai);
    KeitaiRule();
    (f.Otsu ? rbZeigaku1 : rbZeigaku0)->setChecked(true);
    cbSex->setCurrentIndex(f.Sex);
    cbGenkin->setChecked(f.Genkin);
    cbTaisyo->setChecked(f.Taisyo);
    TaisyoRule(false);
    showText(edTaiYY, f.TaiYY);
    showText(edTaiMM, f.TaiMM);
    showText(edTaiDD, f.TaiDD);
    showText(edMailAdrs, f.MailAdrs);
    showText(edChouson, f.Chouson);
    showText(edFuyou, f.Fuyou);
    showText(edSinzoku, f.Sinzoku);
    for (int i = 1; i <= 5; ++i) showText(edChingin[i], f.Chingin[i]);
    showText(edYakuin, f.Yakuin);
    showText(edFamily, f.Family);
    showText(edKoutuhi0, f.Koutuhi[0]);
    showText(edKoutuhi1, f.Koutuhi[1]);
    cbSikUnit->setCurrentIndex(f.SikUnit);
    showText(edJuumin6, f.Juumin6);
    showText(edJuumin, f.Juumin);
    for (int i = 1; i <= 3; ++i) {
        showText(edTeate[i], f.Teate[i]);
        showText(edKoujo[i], f.Koujo[i]);
    }
    showText(edYukyu, f.Yukyu);
    showText(edKekkin, f.Kekkin);
    showText(edChisou, f.Chisou);
    cbKoyou->setChecked(f.Koyou);
    cbKenkou->setChecked(f.Kenkou);
    showText(edKenhoRyo, f.KenhoRyo);
    cbKaigo->setChecked(f.Kaigo);
    showText(edKaigoRyo, f.KaigoRyo);
    cbNenHoken->setChecked(f.NenHoken);
    showText(edKoseiRyo, f.KoseiRyo);
    cbNenKikin->setChecked(f.NenKikin);
    showText(edKakekin, f.Kakekin);
    cbNoSyoto->setChecked(f.NoSyoto);
    showText(edMyNo, f.MyNo);
    KenkouRule();
    NenHokenRule();
    NenKikinRule();
    loading_ = false;
}

TMembForm TfmMembEdit::FormFields() const
{
    TMembForm f;
    f.Simei = edSimei->text();
    f.Busyo = edBusyo->text();
    f.Kubun = cbKubun->currentIndex();
    f.KubunName = cbKubun->currentText();
    f.Keitai = cbKeitai->currentIndex();
    f.Otsu = !rbZeigaku0->isChecked();
    f.Sex = cbSex->currentIndex();
    f.Genkin = cbGenkin->isChecked();
    f.Taisyo = cbTaisyo->isChecked();
    f.TaiYY = edTaiYY->text();
    f.TaiMM = edTaiMM->text();
    f.TaiDD = edTaiDD->text();
    f.MailAdrs = edMailAdrs->text();
    f.Chouson = edChouson->text();
    f.Fuyou = edFuyou->text();
    f.Sinzoku = edSinzoku->text();
    for (int i = 1; i <= 5; ++i) f.Chingin[i] = edChingin[i]->text();
    f.Yakuin = edYakuin->text();
    f.Family = edFamily->text();
    f.Koutuhi[0] = edKoutuhi0->text();
    f.Koutuhi[1] = edKoutuhi1->text();
    f.SikUnit = cbSikUnit->currentIndex();
    f.Juumin6 = edJuumin6->text();
    f.Juumin = edJuumin->text();
    for (int i = 1; i <= 3; ++i) {
        f.Teate[i] = edTeate[i]->text();
        f.Koujo[i] = edKoujo[i]->text();
    }
    f.Yukyu = edYukyu->text();
    f.Kekkin = edKekkin->text();
    f.Chisou = edChisou->text();
    f.Koyou = cbKoyou->isChecked();
    f.Kenkou = cbKenkou->isChecked();
    f.KenhoRyo = edKenhoRyo->text();
    f.Kaigo = cbKaigo->isChecked();
    f.KaigoRyo = edKaigoRyo->text();
    f.NenHoken = cbNenHoken->isChecked();
    f.KoseiRyo = edKoseiRyo->text();
    f.NenKikin = cbNenKikin->isChecked();
    f.Kakekin = edKakekin->text();
    f.NoSyoto = cbNoSyoto->isChecked();
    f.MyNo = edMyNo->text();
    f.Tokyu = pickerGrade();
    return f;
}

void TfmMembEdit::GetMemberFromForm(TEmployeeRec& rec)
{
    ::GetMemberFromForm(FormFields(), MembSlot, rec);
}

void TfmMembEdit::btOkClick()
{
    const TMembForm f = FormFields();
    const TMembFormError bad = CheckMemberForm(f);
    if (bad.field != TMembFormError::None) {
        ShowError(bad.message);
        (bad.field == TMembFormError::Simei ? edSimei : edMyNo)->setFocus();
        return;
    }
    // Checked before anything is converted: the user keeps his entries and can cancel.
    if ((MembSlot < 1 || MembSlot > MaxEmployee) && FirstFreeSlot() == 0) {
        ShowError(QString::fromUtf8(MembersFullMessage));
        return;
    }
    TEmployeeRec rec = WorkMemb;
    try {
        ::GetMemberFromForm(f, MembSlot, rec);
    } catch (const AppError& err) {
        ShowError(err.message());
        return;
    }
    WorkMemb = rec;
    if (MembSlot >= 1 && MembSlot <= MaxEmployee) {
        SyainRec[MembSlot] = WorkMemb;
    } else if (AddNewMember(WorkMemb) == 0) {
        ShowError(QString::fromUtf8(MembersFullMessage));
        return;
    }
    accept();
}

void TfmMembEdit::sbNewBaseClick()
{
    const MsgResult answer = MessageDlg(QStringLiteral("現在の入力内容を新規作成時の基本に設定します。\n"
                                                       "( ｢いいえ｣を選択すると基本設定を解除します)"),
                                        MsgType::Confirmation, MsgButtons::YesNoCancel);
    try {
        if (answer == MsgResult::Yes) {
            SaveMemberTemplate(FormFields());
            ShowNotice(QStringLiteral("新規作成時の基本にしました。"), kNoticeSelfClosing);
        } else if (answer == MsgResult::No &&
                   MessageDlg(QStringLiteral("新規作成時の基本設定を解除します。"), MsgType::Confirmation,
                              MsgButtons::YesNo) == MsgResult::Yes) {
            DeleteMemberTemplate();
            if (MembSlot < 1 || MembSlot > MaxEmployee) {
                WorkMemb = NewMemberFromBase(fmMain && fmMain->firstRun());
                SetMemberToForm(MembSlot);
            }
            ShowNotice(QStringLiteral("基本に設定を解除しました。"), kNoticeSelfClosing);
        }
    } catch (const AppError& err) {
        ShowError(err.message());
    }
    if (LastFocus) LastFocus->setFocus();
}

void TfmMembEdit::sbAutoSetClick()
{
    if (LastFocus) LastFocus->setFocus();
    if (AskAutoSet) {
        if (MessageDlg(QStringLiteral("健康保険等級表から健康･介護･厚生年金保険料と\n"
                                      "厚生年金基金の掛け金をセットします。"),
                       MsgType::Confirmation, MsgButtons::YesNo) != MsgResult::Yes)
            return;
        AskAutoSet = false;
    }
    if (!fmKenhoHyo || fmKenhoHyo->exec() != QDialog::Accepted) return;
    // The amounts are only put into the fields; OK stores them with the chosen (unclamped) grade.
    const TGradePremiums p = GradePremiums(fmKenhoHyo->SelToKyu, CorpRec);
    showText(edKenhoRyo, FmtAmount(7, p.KenhoRyo));
    showText(edKaigoRyo, FmtAmount(7, p.KaigoRyo));
    showText(edKoseiRyo, FmtAmount(7, p.KoseiRyo));
    showText(edKakekin, FmtAmount(7, p.Kakekin));
}

void TfmMembEdit::sbCalculatorClick()
{
    QLineEdit* target = CalcTarget;
    if (!target) return;
    TfmCalc* calc = Calculator();
    if (calc->exec() == QDialog::Accepted) {
        const long double v = std::trunc(calc->CalcValue);
        if (std::isfinite(static_cast<double>(v)) && v >= INT32_MIN && v <= INT32_MAX)
            showText(target, FmtAmount(target->property("Tag").toInt() / 10, static_cast<double>(v)));
    }
    target->setFocus();
}

void TfmMembEdit::StepData(int tag)
{
    if (tag != 0) {
        try {
            GetMemberFromForm(WorkMemb);
        } catch (const AppError& err) {
            ShowError(err.message());
            return;
        }
        if (!CompMem(&OrgMemb, &WorkMemb, sizeof WorkMemb)) {
            ShowWarning(QStringLiteral("データ内容に変更がある場合は出来ません。"));
            return;
        }
        MembSlot = StepSlot(MembSlot, tag);
    }
    const TStepButtons b = StepButtons(MembSlot, ViewOnly);
    sbBackData->setEnabled(b.back);
    sbNextData->setEnabled(b.next);
    SetMemberToForm(MembSlot);
    setPickerGrade(WorkMemb.Tokyu);
    selectInMainList();
}

void TfmMembEdit::selectInMainList()
{
    if (fmMain) fmMain->selectSlot(MembSlot);
}

int TfmMembEdit::pickerGrade() const
{
    return fmKenhoHyo ? fmKenhoHyo->SelToKyu : tokyu_;
}

void TfmMembEdit::setPickerGrade(int grade)
{
    tokyu_ = grade;
    if (fmKenhoHyo) fmKenhoHyo->SelToKyu = grade;
}

// ---- field rules ----

void TfmMembEdit::KeitaiRule()
{
    const int t = cbKeitai->currentIndex() + 1;  // the list holds the pay types in order
    const bool byTime = t == PayType::Daily || t == PayType::Hourly;
    lbYukyu->setEnabled(byTime);
    edYukyu->setEnabled(byTime);
    lbChingin1->setText(t == PayType::Daily    ? QStringLiteral("日給")
                        : t == PayType::Hourly ? QStringLiteral("時給")
                                               : QStringLiteral("基本給"));
}

void TfmMembEdit::TaisyoRule(bool fill)
{
    const bool on = cbTaisyo->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{lbTaisyo, edTaiYY, edTaiMM, edTaiDD}) w->setEnabled(on);
    if (!fill) return;
    if (on) {
        const QDate today = Today();
        const QString year = CurEra.YearText.isEmpty() ? DefaultEra(today).YearText : CurEra.YearText;
        showText(edTaiYY, year);
        showText(edTaiMM, QString::asprintf("%2d", today.month()));
        showText(edTaiDD, QString::asprintf("%2d", today.day()));
    } else {
        for (QLineEdit* e : {edTaiYY, edTaiMM, edTaiDD}) e->clear();
    }
}

void TfmMembEdit::KenkouRule()
{
    const bool on = cbKenkou->isChecked();
    for (QWidget* w :
         std::initializer_list<QWidget*>{lbKenhoRyo, edKenhoRyo, cbKaigo, lbKaigoRyo, edKaigoRyo})
        w->setEnabled(on);
    if (!on) cbKaigo->setChecked(false);
    KaigoRule();
}

void TfmMembEdit::KaigoRule()
{
    const bool on = cbKenkou->isChecked() && cbKaigo->isChecked();
    lbKaigoRyo->setEnabled(on);
    edKaigoRyo->setEnabled(on);
}

void TfmMembEdit::NenHokenRule()
{
    lbKoseiRyo->setEnabled(cbNenHoken->isChecked());
    edKoseiRyo->setEnabled(cbNenHoken->isChecked());
}

void TfmMembEdit::NenKikinRule()
{
    lbKakekin->setEnabled(cbNenKikin->isChecked());
    edKakekin->setEnabled(cbNenKikin->isChecked());
}

void TfmMembEdit::HideRule()
{
    edMyNo->setEchoMode(cbHide->isChecked() ? QLineEdit::Password : QLineEdit::Normal);
}

void TfmMembEdit::FuyouChange()
{
    if (loading_) return;
    try {
        if (NumStrToInt(edSinzoku->text()) < NumStrToInt(edFuyou->text()))
            showText(edSinzoku, edFuyou->text());
    } catch (const ConvertError&) {
        // Half-typed or bad entries are refused when the field is left.
    }
}

// ---- entering, leaving and typing ----

void TfmMembEdit::fieldEnter(QWidget* w)
{
    LastFocus = w;
    auto* edit = qobject_cast<QLineEdit*>(w);
    const int tag = edit ? edit->property("Tag").toInt() : 0;
    if (tag == 0) {
        sbCalculator->setEnabled(false);
        return;
    }
    // A formatted amount is longer than the digits it may be typed with; it is edited in place.
    const int len = edit->text().size();
    if ((tag == 70 || tag == 90) && (len == 7 || len == 9)) edit->setMaxLength(len);
    CalcTarget = edit;
    // An individual number is no sum: the calculator's result would only overwrite it.
    sbCalculator->setEnabled(!ViewOnly && edit != edMyNo);
}

void TfmMembEdit::editExit(QLineEdit* edit)
{
    const int tag = edit->property("Tag").toInt();
    if (tag == 0 || edit == edMyNo) return;
    QString value;
    bool ok = false;
    try {
        ok = CheckNumInput(edit, value);
    } catch (const AppError& err) {
        ShowError(err.message());
    }
    if (ok) {
        try {
            showText(edit, FmtAmount(tag / 10, StrToIntEx(value)));
            return;
        } catch (const AppError& err) {
            ShowError(err.message());
        }
    }
    // Back into the field once the focus change under way is done.
    QTimer::singleShot(0, edit, [edit] { edit->setFocus(); });
}

void TfmMembEdit::textEdited(QLineEdit* edit)
{
    const int base = edit->property("BaseMax").toInt();
    const int tag = edit->property("Tag").toInt();
    if (tag == 70 || tag == 90) {
        if (edit->text().size() < 3 && edit->maxLength() != base) edit->setMaxLength(base);
        return;
    }
    if (numEdits_.contains(edit)) return;
    // Text fields are stored in CP932 and limited in bytes of it.
    const QString text = edit->text();
    const QString kept = DropNonCp932(text);
    if (kept != text) {
        MessageBeep();
        const int caret = edit->cursorPosition() - (text.size() - kept.size());
        edit->setText(kept);
        edit->setCursorPosition(std::max(0, caret));
    }
    if (edit->maxLength() != base) {
        // A longer stored text was shown whole; once edited it is held to the field's limit.
        edit->setText(CutToMaxLen(edit->text(), base));
        edit->setMaxLength(base);
    }
    TrimEditMaxLen(edit);
}

bool TfmMembEdit::keyPress(QWidget* w, QKeyEvent* e)
{
    const int key = e->key();
    if (key == Qt::Key_PageDown || key == Qt::Key_PageUp) {
        QToolButton* b = key == Qt::Key_PageDown ? sbBackData : sbNextData;
        if (b->isEnabled()) b->click();
        return true;
    }
    if (qobject_cast<QPushButton*>(w)) return false;
    if ((key == Qt::Key_Up || key == Qt::Key_Down) &&
        !(e->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) && GroupBox1->isAncestorOf(w))
        return moveVertically(w, key == Qt::Key_Up ? -1 : 1);
    // The numeric fields have the keys of every entry window (TNumKeys).
    auto* edit = qobject_cast<QLineEdit*>(w);
    if (edit && numEdits_.contains(edit)) return false;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        focusNextChild();
        return true;
    }
    if (edit && key == Qt::Key_Delete && (e->modifiers() & Qt::ControlModifier)) {
        edit->clear();
        textEdited(edit);
        return true;
    }
    // A drop-down list takes the characters of the numeric fields; anything else beeps.
    auto* box = qobject_cast<QComboBox*>(w);
    const QString typed = e->text();
    if (!box || box->isEditable() || typed.size() != 1 || !typed[0].isPrint() ||
        (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    const QChar c = typed[0];
    if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')) && c != QLatin1Char('-')) {
        MessageBeep();
        return true;
    }
    return false;
}

bool TfmMembEdit::moveVertically(QWidget* w, int dir)
{
    // The premium column is walked over its enabled fields only, between 遅刻早退 and 扶養人数.
    const QList<QWidget*> column = {edChisou, edKenhoRyo, edKaigoRyo, edKoseiRyo, edKakekin, edFuyou};
    const int at = column.indexOf(w);
    const int last = column.size() - 1;
    if (at < 0 || (at == 0 && dir < 0) || (at == last && dir > 0)) {
        focusNextPrevChild(dir > 0);
        return true;
    }
    for (int i = at + dir;; i += dir)
        if (i == 0 || i == last || column[i]->isEnabled()) {
            column[i]->setFocus(Qt::TabFocusReason);
            return true;
        }
}

bool TfmMembEdit::eventFilter(QObject* watched, QEvent* e)
{
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w) return QDialog::eventFilter(watched, e);
    switch (e->type()) {
        case QEvent::FocusIn:
            if (!FocusOfOtherWindow(static_cast<QFocusEvent*>(e))) fieldEnter(w);
            break;
        case QEvent::FocusOut:
            if (isVisible() && !FocusOfOtherWindow(static_cast<QFocusEvent*>(e)))
                if (auto* edit = qobject_cast<QLineEdit*>(w)) editExit(edit);
            break;
        case QEvent::KeyPress:
            if (keyPress(w, static_cast<QKeyEvent*>(e))) return true;
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, e);
}
