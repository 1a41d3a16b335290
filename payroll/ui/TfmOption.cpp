// The settings window: controls over OptionRec, the name checks of payroll/optionedit, the font
// chooser and the password setting.
#include "payroll/ui/TfmOption.h"

#include <QCheckBox>
#include <QComboBox>
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

#include "payroll/captions.h"
#include "payroll/common.h"
#include "payroll/gensen.h"
#include "payroll/optionedit.h"
#include "payroll/password.h"
#include "payroll/ui/TfmSelFont.h"
#include "payroll/ui/TfmSetPass.h"
#include "payroll/ui/edithelpers.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/formkit.h"
#include "platform/msgbox.h"

TFormRef<TfmOption> fmOption;

namespace {

QString str(const char* s)
{
    return QString::fromUtf8(s);
}

// The switches: check box, caption, field.
struct TSwitch {
    const char* name;
    const char* caption;
    bool TOptionRec::*field;
};
const TSwitch Switches[] = {
    {"cbAutoSel", "数値項目を自動選択する(&A)", &TOptionRec::AutoSelect},
    {"cbInpOverN", "数値項目を上書き入力する(&U)", &TOptionRec::InputOverN},
    {"cbPrRuikei", "明細書の累計欄を印刷する(&R)", &TOptionRec::PrnRuikei},
    {"cbManualOn", "固定手当/控除が0円なら修正ON(&M)", &TOptionRec::ManualOn},
    {"cbNameWide", "一覧入力画面の氏名表示を広げる(&W)", &TOptionRec::NameWide},
    {"cbNoBakCol", "印刷時の背景色を無色にする(&B)", &TOptionRec::NoBakCol},
    {"cbUse2000", "支払金種一覧表で二千円札を使用(&2)", &TOptionRec::Use2kSatu},
    {"cbOldType", "月別一覧の[通常]は旧書式(&Q)", &TOptionRec::OldIchiran},
    {"cbPrnFuyou", "税額表と扶養人数の欄を印刷する(&T)", &TOptionRec::PrnFuyou},
    {"cbPrnSikbi", "給与/賞与明細の支給日を記憶(&D)", &TOptionRec::PrnSikyubi},
    {"cbKaigoChk", "介護保険料の対象者か確認する(&K)", &TOptionRec::KaigoChk},
    {"cbSyoyoName", "\"夏季賞与/冬季賞与\"とする(&S)", &TOptionRec::SyoyoName},
    {"cbPrnJuryo", "受領印の欄を印刷(&E)", &TOptionRec::PrnJuryo},
};

// The font buttons by Tag: caption, chooser caption, sample text (empty: the company name), label.
struct TFontButton {
    const char* caption;
    const char* chooser;
    const char* sample;
    const char* label;
};
const TFontButton FontButtons[4] = {
    {"印刷全体", "印刷全体のフォント選択", "平成25年1月分 給与", "lbFontName"},
    {"見出し文字", "見出し文字フォント選択", "勤怠　支給　控除", "lbFontNameM"},
    {"自社名", "自社名のフォント選択", "", "lbFontNameS"},
    {"お知らせ", "お知らせのフォント選択", "今月から○○税が変更になります。", "lbFontNameO"},
};

QString fmtAdjust(double mm)
{
    return QString::asprintf("%5.1f", mm);
}

}  // namespace

TfmOption::TfmOption(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmOption"));
    setWindowTitle(QStringLiteral("入力項目の設定"));
    setModal(true);

    // The user items: name, then for the allowances and deductions their two flags.
    auto* gbItems = new QGroupBox(QStringLiteral("項目名(&N)"), this);
    auto* items = new QGridLayout(gbItems);
    items->setVerticalSpacing(2);
    const QStringList labels = ItemNamesOf(DefaultOptionRec());
    for (int i = 0; i < ItemNameCount; ++i) {
        const int row = i + (i >= 6 ? 1 : 0) + (i >= 12 ? 1 : 0);
        const QString label = i == inKintaiFre ? QStringLiteral("勤怠項目") : labels[i];
        items->addWidget(new QLabel(label, gbItems), row, 0);
        auto* edit = Named<QLineEdit>(gbItems, ItemNameEdits[i].name);
        edit->setMaxLength(ItemNameEdits[i].maxLength);
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 14);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { keepText(edit); });
        items->addWidget(edit, row, 1);
        if (i < 12) {
            auto* kazei = Named<QCheckBox>(gbItems, qPrintable(QStringLiteral("cbKazei%1").arg(i)),
                                           i < 6 ? QStringLiteral("課税支給") : QStringLiteral("社保料計"));
            auto* hoken = Named<QCheckBox>(gbItems, qPrintable(QStringLiteral("cbHoken%1").arg(i)),
                                           QStringLiteral("社保算定"));
            kazei->installEventFilter(this);
            hoken->installEventFilter(this);
            items->addWidget(kazei, row, 2);
            items->addWidget(hoken, row, 3);
        }
    }
    items->setRowMinimumHeight(6, 6);
    items->setRowMinimumHeight(13, 6);

    auto* gbForm = new QGroupBox(QStringLiteral("用紙タイプ(&Y)"), this);
    auto* cbFormType = Named<QComboBox>(gbForm, "cbFormType");
    cbFormType->addItems({QStringLiteral("A4用紙(1名/枚)"), QStringLiteral("A4用紙(2名/枚)"),
                          QStringLiteral("HISAGO GB1150")});
    auto* form = new QHBoxLayout(gbForm);
    form->addWidget(new QLabel(QStringLiteral("給与/賞与明細"), gbForm));
    form->addWidget(cbFormType, 1);

    // Each rounding pair is a group of its own.
    auto* gbHasuu = new QGroupBox(QStringLiteral("１円未満の端数処理(&H)"), this);
    auto* hasuu = new QGridLayout(gbHasuu);
    const char* const pairs[3][3] = {{"支給項目", "rbSikCeil", "rbSikRound"},
                                     {"減額項目", "rbGenTrunc", "rbGenRound"},
                                     {"控除項目", "rbKouTrunc", "rbKouRound"}};
    for (int r = 0; r < 3; ++r) {
        auto* pair = new QWidget(gbHasuu);
        auto* row = new QHBoxLayout(pair);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(Named<QRadioButton>(pair, pairs[r][1], r == 0 ? str("切り上げ") : str("切り捨て")));
        row->addWidget(Named<QRadioButton>(pair, pairs[r][2], str("四捨五入")));
        hasuu->addWidget(new QLabel(str(pairs[r][0]), gbHasuu), r, 0);
        hasuu->addWidget(pair, r, 1);
    }

    auto* gbAdjust = new QGroupBox(QStringLiteral("印刷位置補正(&I)"), this);
    auto* adjust = new QGridLayout(gbAdjust);
    int adjustRow = 0;
    for (const auto& [name, caption] :
         {std::pair{"edPrAdjustH", "全体を横方向に"}, std::pair{"edPrAdjustV", "全体を縦方向に"}}) {
        QLineEdit* e = NumericEdit(gbAdjust, name, 5, 51);
        auto* keys = new TNumKeys(e, QStringLiteral("-."));
        keys->onLeft = [this, e] { edPrAdjustExit(e); };
        adjust->addWidget(new QLabel(str(caption), gbAdjust), adjustRow, 0);
        adjust->addWidget(e, adjustRow, 1);
        adjust->addWidget(new QLabel(QStringLiteral("mmずらす"), gbAdjust), adjustRow++, 2);
    }

    auto* gbTime = new QGroupBox(QStringLiteral("時間の表示･印刷形式(&J)"), this);
    auto* time = new QVBoxLayout(gbTime);
    time->addWidget(
        Named<QRadioButton>(gbTime, "rbTimeStyle10", QStringLiteral("10進法（１時間45分→1.75）")));
    time->addWidget(
        Named<QRadioButton>(gbTime, "rbTimeStyle60", QStringLiteral("60進法（１時間45分→1:45）")));

    auto* gbSwitches = new QGroupBox(this);
    auto* switches = new QVBoxLayout(gbSwitches);
    switches->setSpacing(2);
    for (const TSwitch& s : Switches) {
        auto* box = Named<QCheckBox>(gbSwitches, s.name, str(s.caption));
        box->installEventFilter(this);
        switches->addWidget(box);
    }
    auto* edJuryoStr = Named<QLineEdit>(gbSwitches, "edJuryoStr");
    edJuryoStr->setMaxLength(10);
    edJuryoStr->installEventFilter(this);
    connect(edJuryoStr, &QLineEdit::textChanged, this, [this, edJuryoStr] { keepText(edJuryoStr); });
    auto* juryo = new QHBoxLayout;
    juryo->addSpacing(20);
    juryo->addWidget(edJuryoStr);
    switches->addLayout(juryo);
    connect(control<QCheckBox>(QStringLiteral("cbPrnJuryo")), &QCheckBox::toggled, edJuryoStr,
            &QLineEdit::setEnabled);
    connect(control<QCheckBox>(QStringLiteral("cbOldType")), &QCheckBox::toggled, this, [this](bool on) {
        if (on && filled_)
            ShowWarning(QStringLiteral(
                "旧書式を選択した場合、下記の機能は無効です。\n　表計算連携、並べ替え順に印刷"));
    });

    auto* gbFonts = new QGroupBox(QStringLiteral("印刷フォントの指定(&F)"), this);
    auto* fonts = new QGridLayout(gbFonts);
    for (int tag = 0; tag < 4; ++tag) {
        auto* b = new QPushButton(str(FontButtons[tag].caption), gbFonts);
        b->setObjectName(QStringLiteral("sbSelectFont%1").arg(tag));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, tag] { sbSelectFontClick(tag); });
        fonts->addWidget(b, tag, 0);
        fonts->addWidget(Named<QLabel>(gbFonts, FontButtons[tag].label), tag, 1);
    }
    fonts->setColumnStretch(1, 1);

    auto* btPassWord = Named<QPushButton>(this, "btPassWord", QStringLiteral("パスワードの設定/解除(&P)"));
    auto* btSysSave = Named<QPushButton>(this, "btSysSave", QStringLiteral("Ｏ Ｋ(&O)"));
    auto* btCancel = Named<QPushButton>(this, "btCancel", QStringLiteral("キャンセル(&C)"));
    for (QPushButton* b : {btPassWord, btSysSave, btCancel}) b->setAutoDefault(false);
    InstallEnterKeys(this);
    connect(btPassWord, &QPushButton::clicked, this, [] {
        fmSetPass->PassMode = pmStartup;
        fmSetPass->exec();
    });
    connect(btSysSave, &QPushButton::clicked, this, &TfmOption::btSysSaveClick);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* middle = new QVBoxLayout;
    middle->addWidget(gbForm);
    middle->addWidget(gbHasuu);
    middle->addWidget(gbAdjust);
    middle->addWidget(gbTime);
    middle->addWidget(gbFonts);
    middle->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(gbSwitches);
    right->addStretch();
    right->addWidget(btPassWord);
    auto* columns = new QHBoxLayout;
    columns->addWidget(gbItems);
    columns->addLayout(middle);
    columns->addLayout(right);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btSysSave);
    buttons->addWidget(btCancel);
    auto* main = new QVBoxLayout(this);
    main->addLayout(columns);
    main->addLayout(buttons);
}

void TfmOption::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void TfmOption::FormShow()
{
    filled_ = false;
    const TOptionRec& r = OptionRec;
    fonts_[0] = r.FontName, fonts_[1] = r.FontNameM, fonts_[2] = r.FontNameS, fonts_[3] = r.FontNameO;
    for (int tag = 0; tag < 4; ++tag) control<QLabel>(str(FontButtons[tag].label))->setText(fonts_[tag]);
    const QStringList names = ItemNamesOf(r);
    for (int i = 0; i < ItemNameCount; ++i) control<QLineEdit>(str(ItemNameEdits[i].name))->setText(names[i]);
    for (int k = 0; k <= 11; ++k) {
        control<QCheckBox>(QStringLiteral("cbKazei%1").arg(k))->setChecked(r.Kazei[k]);
        control<QCheckBox>(QStringLiteral("cbHoken%1").arg(k))->setChecked(r.Syaho[k]);
    }
    control<QComboBox>(QStringLiteral("cbFormType"))->setCurrentIndex(r.FormType);
    // A value outside the offered pairs checks neither button of its pair.
    const auto radio = [this](const char* name, bool on) {
        auto* b = control<QRadioButton>(str(name));
        b->setAutoExclusive(false);
        b->setChecked(on);
        b->setAutoExclusive(true);
    };
    radio("rbSikCeil", r.HasuuSik == 1), radio("rbSikRound", r.HasuuSik == 2);
    radio("rbGenTrunc", r.HasuuGen == 0), radio("rbGenRound", r.HasuuGen == 2);
    radio("rbKouTrunc", r.HasuuKou == 0), radio("rbKouRound", r.HasuuKou == 2);
    radio("rbTimeStyle10", r.TimeStyle == 0), radio("rbTimeStyle60", r.TimeStyle == 1);
    control<QLineEdit>(QStringLiteral("edPrAdjustH"))->setText(fmtAdjust(r.PrAdjustH));
    control<QLineEdit>(QStringLiteral("edPrAdjustV"))->setText(fmtAdjust(r.PrAdjustV));
    for (const TSwitch& s : Switches) control<QCheckBox>(str(s.name))->setChecked(r.*s.field);
    auto* edJuryoStr = control<QLineEdit>(QStringLiteral("edJuryoStr"));
    edJuryoStr->setText(r.JuryoStr);
    edJuryoStr->setEnabled(r.PrnJuryo);
    // The age check needs the birth dates of the withholding-slip data file.
    control(QStringLiteral("cbKaigoChk"))->setEnabled(!FindGensenFile().isEmpty());
    control(str(ItemNameEdits[0].name))->setFocus();
    filled_ = true;
}

void TfmOption::keepText(QLineEdit* edit)
{
    RefuseNonCp932(edit);
    TrimEditMaxLen(edit);
}

bool TfmOption::eventFilter(QObject* watched, QEvent* e)
{
    // Enter in a name field or on a check box moves on and is consumed.
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && k->modifiers() == Qt::NoModifier &&
            qobject_cast<QLineEdit*>(watched)) {
            focusNextChild();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

void TfmOption::edPrAdjustExit(QLineEdit* edit)
{
    QString value;
    if (!CheckFieldOnExit(edit, value)) return;
    edit->setText(fmtAdjust(value.isEmpty() ? 0 : StrToFloatEx(value)));
}

TfmOption::~TfmOption()
{
    // A field that still has the focus loses it while the children are destroyed; its check must
    // not run on this window, which is then half destroyed.
    for (QLineEdit* e : findChildren<QLineEdit*>())
        if (TNumKeys* keys = TNumKeys::of(e)) keys->onLeft = nullptr;
}

void TfmOption::sbSelectFontClick(int tag)
{
    const TFontButton& b = FontButtons[tag];
    fmSelFont->prepare(str(b.chooser), fonts_[tag], *b.sample ? str(b.sample) : CompanyName());
    if (fmSelFont->exec() != QDialog::Accepted) return;
    fonts_[tag] = fmSelFont->fontName();
    control<QLabel>(str(b.label))->setText(fonts_[tag]);
}

void TfmOption::btSysSaveClick()
{
    QStringList names;
    for (const TItemNameEdit& e : ItemNameEdits) {
        auto* edit = control<QLineEdit>(str(e.name));
        edit->setText(CutToMaxLen(edit->text(), e.maxLength));
        names << edit->text();
    }
    if (const TItemNameCheck c = CheckItemNames(names); !c.ok()) {
        ShowError(c.message);
        control(str(ItemNameEdits[c.focus].name))->setFocus();
        return;
    }
    const bool renamed = names != ItemNamesOf(OptionRec);
    TOptionRec r = OptionRec;
    for (int k = 0; k <= 11; ++k) {
        r.Kazei[k] = control<QCheckBox>(QStringLiteral("cbKazei%1").arg(k))->isChecked();
        r.Syaho[k] = control<QCheckBox>(QStringLiteral("cbHoken%1").arg(k))->isChecked();
    }
    for (const TSwitch& s : Switches) r.*s.field = control<QCheckBox>(str(s.name))->isChecked();
    const auto checked = [this](const char* name) { return control<QRadioButton>(str(name))->isChecked(); };
    // A damaged stored paper type shows no item; it stays as it was unless one is chosen.
    if (const int paper = control<QComboBox>(QStringLiteral("cbFormType"))->currentIndex(); paper >= 0)
        r.FormType = paper;
    if (checked("rbTimeStyle10")) r.TimeStyle = 0;
    if (checked("rbTimeStyle60")) r.TimeStyle = 1;
    r.HasuuSik = checked("rbSikRound") ? 2 : 1;
    r.HasuuGen = checked("rbGenRound") ? 2 : 0;
    r.HasuuKou = checked("rbKouRound") ? 2 : 0;
    try {
        r.PrAdjustH = StrToFloatEx(control<QLineEdit>(QStringLiteral("edPrAdjustH"))->text());
        r.PrAdjustV = StrToFloatEx(control<QLineEdit>(QStringLiteral("edPrAdjustV"))->text());
    } catch (const AppError& err) {
        ShowError(err.message());
        return;
    }
    r.JuryoStr = control<QLineEdit>(QStringLiteral("edJuryoStr"))->text();
    r.FontName = fonts_[0], r.FontNameM = fonts_[1], r.FontNameS = fonts_[2], r.FontNameO = fonts_[3];
    StoreItemNames(r, names);
    // The record changes only with the file: a failed write leaves both as they were.
    const TOptionRec before = OptionRec;
    OptionRec = r;
    try {
        SaveOption();
    } catch (const AppError& err) {
        OptionRec = before;
        ShowError(err.message());
        return;
    }
    if (renamed)
        ShowInfo(
            QStringLiteral("変更した項目名を有効にする為、｢印刷項目の設定→給与/"
                           "賞与明細｣\nの画面で、使用項目に切り替えて下さい。"));
    accept();
}
