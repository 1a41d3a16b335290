// The employee edit window: builds its controls from the table of the employee's fields, copies
// a working copy of one employee record to them and back, runs the field rules and the shared
// keyboard behaviour of entry windows, and hands OK, the template, stepping and the grade table to
// app/core/membedit.
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
#include "payroll/ui/fieldcontrols.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/formkit.h"
#include "platform/msgbox.h"
#include "platform/notice.h"

TFormRef<TfmMembEdit> fmMembEdit;

TfmMembEdit::TfmMembEdit(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmMembEdit"));
    setWindowTitle(QStringLiteral("社員情報の編集"));
    setModal(true);
    buildControls();
}

void TfmMembEdit::setMember(int slot, bool viewOnly)
{
    membSlot_ = slot;
    viewOnly_ = viewOnly;
}

QLineEdit* TfmMembEdit::edit(const char* name) const
{
    return control<QLineEdit>(name);
}

bool TfmMembEdit::checked(const char* box) const
{
    return control<QCheckBox>(box)->isChecked();
}

void TfmMembEdit::buildControls()
{
    MakeFieldControls(this, MemberFields());
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (const TMemberField& d : MemberFields()) {
        if (!d.def.numeric()) continue;
        QLineEdit* e = edit(d.def.name);
        e->setAlignment(Qt::AlignRight);
        // Room for the shown width (a formatted amount is longer than its digits) and a margin.
        e->setFixedWidth(digit * (std::max(d.def.tag / 10, d.def.maxLength) + (d.def.maxLength > 2 ? 2 : 1)) +
                         10);
        new TNumKeys(e, QStringLiteral("-"));
        numEdits_ << e;
    }
    const auto label = [this](const QString& caption, const char* name = nullptr) {
        auto* l = new QLabel(caption, this);
        if (name) l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    const auto fieldLabel = [&](const char* field) {
        const TFieldDef& def = FindField(MemberFields(), field)->def;
        return label(QString::fromUtf8(def.caption), def.label);
    };

    // ---- name, department, category, pay type, tax column, sex, municipality, mail, retirement,
    // individual number ----
    auto* Panel1 = Named<QFrame>(this, "Panel1");
    Panel1->setFrameShape(QFrame::StyledPanel);
    edit("edMailAdrs")->setToolTip(QStringLiteral("メモの入力が可能です"));
    QLineEdit* edMyNo = edit("edMyNo");
    edMyNo->setAlignment(Qt::AlignLeft);
    // Masked as asterisks whatever the style's own password character is.
    edMyNo->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    auto* cbHide = Named<QCheckBox>(Panel1, "cbHide", QStringLiteral("隠す"));
    cbHide->setChecked(true);
    for (const char* e : {"edSimei", "edBusyo", "edChouson"}) edit(e)->setFixedWidth(digit * 18 + 10);
    control("cbKubun")->setFixedWidth(digit * 14 + 24);
    control("cbKeitai")->setFixedWidth(digit * 10 + 24);
    control("cbSex")->setFixedWidth(digit * 6 + 24);

    auto* tax = new QHBoxLayout;
    tax->addWidget(control("rbZeigaku0"));
    tax->addWidget(control("rbZeigaku1"));
    tax->addStretch();
    auto* date = new QHBoxLayout;
    date->setSpacing(3);
    date->addWidget(control("cbTaisyo"));
    date->addSpacing(8);
    date->addWidget(label(QStringLiteral("退職日"), "lbTaisyo"));
    for (auto [e, unit] :
         {std::pair{"edTaiYY", "年"}, std::pair{"edTaiMM", "月"}, std::pair{"edTaiDD", "日"}}) {
        date->addWidget(edit(e));
        date->addWidget(label(QString::fromUtf8(unit)));
    }
    date->addStretch();
    auto* myNo = new QHBoxLayout;
    myNo->addWidget(edMyNo);
    myNo->addWidget(cbHide);
    myNo->addStretch();
    auto* top = new QGridLayout(Panel1);
    top->setHorizontalSpacing(8);
    top->setVerticalSpacing(6);
    const auto field = [&](QGridLayout* grid, int r, int col, const char* name, int span = 1) {
        grid->addWidget(fieldLabel(name), r, col);
        grid->addWidget(control(name), r, col + 1, 1, span);
    };
    field(top, 0, 0, "edSimei");
    field(top, 0, 2, "edBusyo");
    field(top, 0, 4, "cbKubun");
    field(top, 1, 0, "cbKeitai");
    top->addWidget(label(QStringLiteral("税額表")), 1, 2);
    top->addLayout(tax, 1, 3);
    field(top, 1, 4, "cbSex");
    field(top, 2, 0, "edChouson");
    field(top, 2, 2, "edMailAdrs", 3);
    top->addLayout(date, 3, 0, 1, 2);
    top->addWidget(fieldLabel("edMyNo"), 3, 2);
    top->addLayout(myNo, 3, 3, 1, 3);
    top->setColumnStretch(5, 1);

    // ---- amounts and insurance ----
    auto* GroupBox1 = Named<QGroupBox>(this, "GroupBox1", QStringLiteral("給与・控除・社会保険"));
    auto* grid = new QGridLayout(GroupBox1);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    // Pay: wages and unit prices, allowances, commuting; deductions and the rates of absence.
    const std::initializer_list<const char*> columns[] = {
        {"edChingin1", "edChingin2", "edChingin3", "edChingin4", "edChingin5", "edYakuin", "edFamily",
         "edTeate1", "edTeate2", "edTeate3", "edKoutuhi0", "edKoutuhi1", "cbSikUnit"},
        {"edJuumin6", "edJuumin", "edKoujo1", "edKoujo2", "edKoujo3", "edYukyu", "edKekkin", "edChisou"}};
    for (int c = 0; c < 2; ++c) {
        int r = 0;
        for (const char* name : columns[c]) field(grid, r++, c * 3, name);
    }
    control("cbSikUnit")->setFixedWidth(edit("edKoutuhi1")->width());
    // Insurance with its premiums, dependants, tax and cash.
    grid->addWidget(control("cbKoyou"), 0, 6, 1, 3);
    int r = 1;
    for (auto [box, premium] :
         {std::pair{"cbKenkou", "edKenhoRyo"}, std::pair{"cbKaigo", "edKaigoRyo"},
          std::pair{"cbNenHoken", "edKoseiRyo"}, std::pair{"cbNenKikin", "edKakekin"}}) {
        grid->addWidget(control(box), r, 6);
        field(grid, r++, 7, premium);
    }
    // The flat buttons leave the focus where it is; Alt and the letter of their captions reach them.
    auto* sbAutoSet = SpeedButton(GroupBox1, "sbAutoSet", QStringLiteral("等級表(&G)"));
    grid->addWidget(sbAutoSet, 5, 7, 1, 2, Qt::AlignRight);
    for (auto [row, name] : {std::pair{7, "edFuyou"}, std::pair{8, "edSinzoku"}}) {
        grid->addWidget(fieldLabel(name), row, 6, 1, 2);
        grid->addWidget(control(name), row, 8, Qt::AlignRight);
    }
    grid->addWidget(control("cbNoSyoto"), 9, 6, 1, 3);
    grid->addWidget(control("cbGenkin"), 10, 6, 1, 3);
    grid->setColumnMinimumWidth(2, 14);
    grid->setColumnMinimumWidth(5, 14);
    grid->setRowStretch(13, 1);

    // ---- buttons ----
    // Stepping has the keys of the slip entry: Alt+B and Alt+N, and PageDown and PageUp.
    auto* sbBackData = SpeedButton(this, "sbBackData", QStringLiteral("前のデータ(&B)"));
    sbBackData->setProperty("Tag", -1);
    auto* sbNextData = SpeedButton(this, "sbNextData", QStringLiteral("次のデータ(&N)"));
    sbNextData->setProperty("Tag", 1);
    auto* sbNewBase = SpeedButton(this, "sbNewBase", QStringLiteral("基本に設定(&T)"));
    auto* sbCalculator = SpeedButton(this, "sbCalculator", QStringLiteral("電卓起動(&C)"));
    auto* btOk = Named<QPushButton>(this, "btOk", QStringLiteral("OK"));
    auto* btCancel = Named<QPushButton>(this, "btCancel", QStringLiteral("ｷｬﾝｾﾙ"));
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

    // ---- tab order: the table's, down each column ----
    QList<QWidget*> order;
    for (const TMemberField& d : MemberFields()) order << control(d.def.name);
    order.insert(order.indexOf(edMyNo) + 1, cbHide);
    order << btOk << btCancel;
    for (int i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
    for (QWidget* w : order) w->installEventFilter(this);
    InstallEnterKeys(this);

    // ---- rules ----
    for (QLineEdit* e : findChildren<QLineEdit*>())
        connect(e, &QLineEdit::textEdited, this, [this, e] { textEdited(e); });
    auto* cbKubun = control<QComboBox>("cbKubun");
    connect(control<QComboBox>("cbKeitai"), &QComboBox::currentIndexChanged, this, [this] { KeitaiRule(); });
    connect(control<QCheckBox>("cbTaisyo"), &QCheckBox::toggled, this, [this] { TaisyoRule(!loading_); });
    connect(control<QCheckBox>("cbKenkou"), &QCheckBox::toggled, this, [this] { KenkouRule(); });
    connect(control<QCheckBox>("cbKaigo"), &QCheckBox::toggled, this, [this] { KaigoRule(); });
    const auto pension = [this] { followCheck("cbNenHoken", {"lbKoseiRyo", "edKoseiRyo"}); };
    const auto fund = [this] { followCheck("cbNenKikin", {"lbKakekin", "edKakekin"}); };
    connect(control<QCheckBox>("cbNenHoken"), &QCheckBox::toggled, this, pension);
    connect(control<QCheckBox>("cbNenKikin"), &QCheckBox::toggled, this, fund);
    connect(control<QCheckBox>("cbNoSyoto"), &QCheckBox::clicked, this, fund);
    connect(cbHide, &QCheckBox::toggled, this,
            [edMyNo](bool on) { edMyNo->setEchoMode(on ? QLineEdit::Password : QLineEdit::Normal); });
    connect(edit("edFuyou"), &QLineEdit::textChanged, this, [this] { FuyouChange(); });
    connect(cbKubun, &QComboBox::currentIndexChanged, this, [this, cbKubun] {
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
    setWindowTitle(viewOnly_ ? QStringLiteral("社員情報の表示") : QStringLiteral("社員情報の編集"));
    control<QPushButton>("btCancel")->setText(viewOnly_ ? QStringLiteral("閉じる") : QStringLiteral("ｷｬﾝｾﾙ"));
    for (const char* w : {"Panel1", "GroupBox1", "sbNewBase", "sbAutoSet", "sbCalculator", "btOk"})
        control(w)->setEnabled(!viewOnly_);
    for (int i = 1; i <= 3; ++i) {
        control<QLabel>(QStringLiteral("lbFixTeate%1").arg(i).toLatin1())->setText(OptionRec.FixTeate[i]);
        control<QLabel>(QStringLiteral("lbFixKoujo%1").arg(i).toLatin1())->setText(OptionRec.FixKoujo[i]);
    }
    if (membSlot_ < 1 || membSlot_ > MaxEmployee) {
        try {
            WorkMemb = NewMemberFromBase(fmMain && fmMain->firstRun());
        } catch (const AppError& err) {
            ShowError(err.message());
            WorkMemb = NewMemberDefaults();
        }
    }
    StepData(0);
    control<QLineEdit>("edMyNo")->setEchoMode(checked("cbHide") ? QLineEdit::Password : QLineEdit::Normal);
}

void TfmMembEdit::FirstRunActivate()
{
    ShowText(edit("edSimei"), QStringLiteral("見本　太郎"));
    ShowInfo(
        QStringLiteral("給与･賞与計算に必要な社員情報を入力して下さい。\n\n"
                       "（各項目は仮の内容が入っているので修正が必要です。\n"
                       "　詳細はF1キーを押してヘルプを参照して下さい。）"));
}

void TfmMembEdit::SetMemberToForm(int slot)
{
    if (slot >= 1 && slot <= MaxEmployee) WorkMemb = SyainRec[slot];
    TakeKubunItemName(WorkMemb);
    loading_ = true;
    ShowFields(this, MemberFields(), FieldsOf(MemberFields(), WorkMemb));
    KeitaiRule();
    TaisyoRule(false);
    KenkouRule();
    followCheck("cbNenHoken", {"lbKoseiRyo", "edKoseiRyo"});
    followCheck("cbNenKikin", {"lbKakekin", "edKakekin"});
    loading_ = false;
    // "Unchanged" is what the controls give back, not the stored bytes: a record written by an
    // older version or an import (blanks around a name, bytes behind it, reserved bytes) reads
    // back differently without anyone having touched it. The grade is the record's, which the
    // picker takes next.
    OrgMemb = WorkMemb;
    try {
        FormToMember(FormFields(), OrgMemb);
    } catch (const AppError&) {
        // Shown texts always convert; should one not, the stored record is the reference.
        OrgMemb = WorkMemb;
    }
    (viewOnly_ ? control("btCancel") : control("edSimei"))->setFocus();
}

TFieldValues TfmMembEdit::FormFields() const
{
    return FieldValues(this, MemberFields());
}

void TfmMembEdit::GetMemberFromForm(TEmployeeRec& rec) const
{
    ::GetMemberFromForm(FormFields(), pickerGrade(), rec);
}

void TfmMembEdit::btOkClick()
{
    const TFieldValues f = FormFields();
    const TMembFormError bad = CheckMemberForm(f);
    if (bad.field) {
        ShowError(bad.message);
        control(bad.field)->setFocus();
        return;
    }
    // Checked before anything is converted: the user keeps his entries and can cancel.
    if ((membSlot_ < 1 || membSlot_ > MaxEmployee) && FirstFreeSlot() == 0) {
        ShowError(QString::fromUtf8(MembersFullMessage));
        return;
    }
    TEmployeeRec rec = WorkMemb;
    try {
        ::GetMemberFromForm(f, pickerGrade(), rec);
    } catch (const AppError& err) {
        ShowError(err.message());
        return;
    }
    WorkMemb = rec;
    if (membSlot_ >= 1 && membSlot_ <= MaxEmployee) {
        SyainRec[membSlot_] = WorkMemb;
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
                                        MsgType::Confirmation, MsgButtons::YesNoCancel, MsgDefault::Safe);
    try {
        if (answer == MsgResult::Yes) {
            SaveMemberTemplate(FormFields());
            ShowNotice(QStringLiteral("新規作成時の基本にしました。"), kNoticeSelfClosing);
        } else if (answer == MsgResult::No &&
                   MessageDlg(QStringLiteral("新規作成時の基本設定を解除します。"), MsgType::Confirmation,
                              MsgButtons::YesNo, MsgDefault::Safe) == MsgResult::Yes) {
            DeleteMemberTemplate();
            if (membSlot_ < 1 || membSlot_ > MaxEmployee) {
                WorkMemb = NewMemberFromBase(fmMain && fmMain->firstRun());
                SetMemberToForm(membSlot_);
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
    if (askAutoSet_) {
        if (MessageDlg(QStringLiteral("健康保険等級表から健康･介護･厚生年金保険料と\n"
                                      "厚生年金基金の掛け金をセットします。"),
                       MsgType::Confirmation, MsgButtons::YesNo) != MsgResult::Yes)
            return;
        askAutoSet_ = false;
    }
    if (!fmKenhoHyo || fmKenhoHyo->exec() != QDialog::Accepted) return;
    // The amounts are only put into the fields; OK stores them with the chosen (unclamped) grade.
    const TGradePremiums p = GradePremiums(fmKenhoHyo->SelToKyu, CorpRec);
    for (auto [name, premium] : {std::pair{"edKenhoRyo", p.KenhoRyo}, std::pair{"edKaigoRyo", p.KaigoRyo},
                                 std::pair{"edKoseiRyo", p.KoseiRyo}, std::pair{"edKakekin", p.Kakekin}})
        ShowText(edit(name), FmtAmount(7, premium));
}

void TfmMembEdit::sbCalculatorClick()
{
    QLineEdit* target = CalcTarget;
    if (!target) return;
    TfmCalc* calc = Calculator();
    if (calc->exec() == QDialog::Accepted) {
        const long double v = std::trunc(calc->CalcValue);
        if (std::isfinite(static_cast<double>(v)) && v >= INT32_MIN && v <= INT32_MAX)
            ShowText(target, FmtAmount(target->property("Tag").toInt() / 10, static_cast<double>(v)));
    }
    target->setFocus();
}

void TfmMembEdit::StepData(int tag)
{
    if (tag != 0) {
        // Read into a copy: the working record stays the stored one, whose retirement date an
        // unchanged date keeps.
        TEmployeeRec shown = WorkMemb;
        try {
            GetMemberFromForm(shown);
        } catch (const AppError& err) {
            ShowError(err.message());
            return;
        }
        if (!CompMem(&OrgMemb, &shown, sizeof shown)) {
            ShowWarning(QStringLiteral("データ内容に変更がある場合は出来ません。"));
            return;
        }
        membSlot_ = StepSlot(membSlot_, tag);
    }
    const TStepButtons b = StepButtons(membSlot_, viewOnly_);
    control("sbBackData")->setEnabled(b.back);
    control("sbNextData")->setEnabled(b.next);
    SetMemberToForm(membSlot_);
    setPickerGrade(WorkMemb.Tokyu);
    if (fmMain) fmMain->selectSlot(membSlot_);
    if (tag != 0 && !viewOnly_) {
        // The name is entered anew, also when it had the focus already (a step by the keys or by
        // a button that takes no focus): selected as on Tab, so that typing replaces the other
        // employee's name instead of adding to it.
        QWidget* name = control("edSimei");
        if (name->hasFocus()) control("btCancel")->setFocus(Qt::TabFocusReason);
        name->setFocus(Qt::TabFocusReason);
    }
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
    const int t = control<QComboBox>("cbKeitai")->currentIndex() + 1;  // the pay types in order
    const bool byTime = t == PayType::Daily || t == PayType::Hourly;
    control("lbYukyu")->setEnabled(byTime);
    control("edYukyu")->setEnabled(byTime);
    control<QLabel>("lbChingin1")
        ->setText(t == PayType::Daily    ? QStringLiteral("日給")
                  : t == PayType::Hourly ? QStringLiteral("時給")
                                         : QStringLiteral("基本給"));
}

void TfmMembEdit::TaisyoRule(bool fill)
{
    followCheck("cbTaisyo", {"lbTaisyo", "edTaiYY", "edTaiMM", "edTaiDD"});
    if (!fill) return;
    if (checked("cbTaisyo")) {
        const QDate today = Today();
        const QString year = CurEra.YearText.isEmpty() ? DefaultEra(today).YearText : CurEra.YearText;
        ShowText(edit("edTaiYY"), year);
        ShowText(edit("edTaiMM"), QString::asprintf("%2d", today.month()));
        ShowText(edit("edTaiDD"), QString::asprintf("%2d", today.day()));
    } else {
        for (const char* e : {"edTaiYY", "edTaiMM", "edTaiDD"}) edit(e)->clear();
    }
}

void TfmMembEdit::KenkouRule()
{
    followCheck("cbKenkou", {"lbKenhoRyo", "edKenhoRyo", "cbKaigo", "lbKaigoRyo", "edKaigoRyo"});
    if (!checked("cbKenkou")) control<QCheckBox>("cbKaigo")->setChecked(false);
    KaigoRule();
}

void TfmMembEdit::KaigoRule()
{
    const bool on = checked("cbKenkou") && checked("cbKaigo");
    control("lbKaigoRyo")->setEnabled(on);
    control("edKaigoRyo")->setEnabled(on);
}

void TfmMembEdit::followCheck(const char* box, std::initializer_list<const char*> controls)
{
    const bool on = checked(box);
    for (const char* c : controls) control(c)->setEnabled(on);
}

void TfmMembEdit::FuyouChange()
{
    if (loading_) return;
    try {
        if (NumStrToInt(edit("edSinzoku")->text()) < NumStrToInt(edit("edFuyou")->text()))
            ShowText(edit("edSinzoku"), edit("edFuyou")->text());
    } catch (const ConvertError&) {
        // Half-typed or bad entries are refused when the field is left.
    }
}

// ---- entering, leaving and typing ----

void TfmMembEdit::fieldEnter(QWidget* w)
{
    LastFocus = w;
    auto* e = qobject_cast<QLineEdit*>(w);
    const int tag = e ? e->property("Tag").toInt() : 0;
    if (tag == 0) {
        control("sbCalculator")->setEnabled(false);
        return;
    }
    // A formatted amount is longer than the digits it may be typed with; it is edited in place.
    const int len = e->text().size();
    if ((tag == 70 || tag == 90) && (len == 7 || len == 9)) e->setMaxLength(len);
    CalcTarget = e;
    // An individual number is no sum: the calculator's result would only overwrite it.
    control("sbCalculator")->setEnabled(!viewOnly_ && e != edit("edMyNo"));
}

void TfmMembEdit::editExit(QLineEdit* e)
{
    const int tag = e->property("Tag").toInt();
    if (tag == 0 || e == edit("edMyNo")) return;
    QString value;
    bool ok = false;
    try {
        ok = CheckNumInput(e, value);
    } catch (const AppError& err) {
        ShowError(err.message());
    }
    if (ok) {
        try {
            ShowText(e, FmtAmount(tag / 10, StrToIntEx(value)));
            return;
        } catch (const AppError& err) {
            ShowError(err.message());
        }
    }
    // Back into the field once the focus change under way is done.
    QTimer::singleShot(0, e, [e] { e->setFocus(); });
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
    RefuseNonCp932(edit);
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
        auto* b = control<QToolButton>(key == Qt::Key_PageDown ? "sbBackData" : "sbNextData");
        if (b->isEnabled()) b->click();
        return true;
    }
    if (qobject_cast<QPushButton*>(w)) return false;
    if ((key == Qt::Key_Up || key == Qt::Key_Down) &&
        !(e->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) && control("GroupBox1")->isAncestorOf(w))
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
    QList<QWidget*> column;
    for (const char* name : {"edChisou", "edKenhoRyo", "edKaigoRyo", "edKoseiRyo", "edKakekin", "edFuyou"})
        column << control(name);
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
