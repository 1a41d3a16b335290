// The period selection window: shows the state of the open year file and hands OK to the core
// (payroll/periodselect); the entry fields follow the shared keyboard rules of entry windows.
#include "payroll/ui/TfmSelData.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>
#include <cstring>

#include "payroll/common.h"
#include "payroll/corpdata.h"
#include "payroll/datamanage.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/periodselect.h"
#include "payroll/ui/TfmFolder.h"
#include "payroll/ui/TfmInpDlg.h"
#include "payroll/ui/TfmRefData.h"
#include "payroll/ui/edithelpers.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/filetree.h"
#include "platform/formkit.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"

TfmSelData* fmSelData = nullptr;

namespace {

// Saved periods in blue, the others in silver; the selected line white on that colour.
class PeriodDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const int p = index.row() + 1;
        const bool saved = p >= 1 && p <= PeriodCount && YearHeader.DataExists[p];
        const QColor colour = saved ? QColor(0, 0, 255) : QColor(192, 192, 192);
        const bool selected = option.state & QStyle::State_Selected;
        painter->save();
        painter->fillRect(option.rect, selected ? colour : option.palette.color(QPalette::Base));
        painter->setPen(selected ? QColor(Qt::white) : colour);
        painter->setFont(option.font);
        painter->drawText(option.rect.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          index.data().toString());
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QFontMetrics& fm = option.fontMetrics;
        return QSize(fm.horizontalAdvance(index.data().toString()) + 6, fm.height() + 4);
    }
};

QLineEdit* makeEdit(QWidget* parent, const char* name, int maxLength, int tag)
{
    return NumericEdit(parent, name, maxLength, tag, 2);
}

QAction* makeItem(QMenu* menu, const char* name, const QString& caption)
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

QString twoDigits(int v)
{
    return QString::asprintf("%2d", v);
}

}  // namespace

TfmSelData::TfmSelData(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmSelData"));
    setWindowTitle(QStringLiteral("給与対象月/賞与時期の選択"));
    setModal(true);

    ListBox = new QListWidget(this);
    ListBox->setObjectName(QStringLiteral("ListBox"));
    ListBox->setItemDelegate(new PeriodDelegate(ListBox));
    ListBox->setUniformItemSizes(true);
    ListBox->setContextMenuPolicy(Qt::CustomContextMenu);
    for (int p = 1; p <= PeriodCount; ++p) ListBox->addItem(PeriodListName(p));
    ListBox->setFixedWidth(ListBox->fontMetrics().horizontalAdvance(QStringLiteral("12月支給給与給与")) + 24);
    ListBox->setMinimumHeight((ListBox->fontMetrics().height() + 4) * PeriodCount + 6);

    cbTaisyoNen = new QComboBox(this);
    cbTaisyoNen->setObjectName(QStringLiteral("cbTaisyoNen"));

    gbKyuyo = new QGroupBox(this);
    gbKyuyo->setObjectName(QStringLiteral("gbKyuyo"));
    lbNissu = new QLabel(gbKyuyo);
    lbNissu->setObjectName(QStringLiteral("lbNissu"));
    edNissu = makeEdit(gbKyuyo, "edNissu", 2, 20);
    lbJikan = new QLabel(gbKyuyo);
    lbJikan->setObjectName(QStringLiteral("lbJikan"));
    edJikan = makeEdit(gbKyuyo, "edJikan", 6, 62);
    auto* kyuyo = new QGridLayout(gbKyuyo);
    kyuyo->addWidget(lbNissu, 0, 0);
    kyuyo->addWidget(edNissu, 0, 1);
    kyuyo->addWidget(lbJikan, 1, 0);
    kyuyo->addWidget(edJikan, 1, 1);

    gbSyoyo = new QGroupBox(QStringLiteral("支給日"), this);
    gbSyoyo->setObjectName(QStringLiteral("gbSyoyo"));
    edSikyuM = makeEdit(gbSyoyo, "edSikyuM", 2, 20);
    edSikyuD = makeEdit(gbSyoyo, "edSikyuD", 2, 20);
    auto* syoyo = new QHBoxLayout(gbSyoyo);
    syoyo->addWidget(edSikyuM);
    syoyo->addWidget(new QLabel(QStringLiteral("月"), gbSyoyo));
    syoyo->addWidget(edSikyuD);
    syoyo->addWidget(new QLabel(QStringLiteral("日"), gbSyoyo));
    syoyo->addStretch();
    gbSyoyo->hide();

    bbOk = new QPushButton(QStringLiteral("Ｏ Ｋ"), this);
    bbOk->setObjectName(QStringLiteral("bbOk"));
    bbCancel = new QPushButton(QStringLiteral("終了"), this);
    bbCancel->setObjectName(QStringLiteral("bbCancel"));
    btDataManage = new QPushButton(QStringLiteral("データ管理"), this);
    btDataManage->setObjectName(QStringLiteral("btDataManage"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    mnDelData = makeItem(PopupMenu1, "mnDelData", QStringLiteral("選択データの削除(&D)"));
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    mnDelData2 = makeItem(PopupMenu2, "mnDelData2", QStringLiteral("選択データの削除(&D)"));
    mnBackup = makeItem(PopupMenu2, "mnBackup", QStringLiteral("データのバックアップ(&B)..."));
    mnRestore = makeItem(PopupMenu2, "mnRestore", QStringLiteral("データの復元(&R)..."));
    mnCloud = makeItem(PopupMenu2, "mnCloud", QStringLiteral("クラウド機能..."));
    mnCreate = makeItem(PopupMenu2, "mnCreate", QStringLiteral("データファイル作成(&C)"));
    mnAddCorpData = PopupMenu2->addMenu(QStringLiteral("複数の会社データ管理"));
    mnAddCorpData->setObjectName(QStringLiteral("mnAddCorpData"));
    mnNewCreate = makeItem(mnAddCorpData, "mnNewCreate", QStringLiteral("新規作成"));
    mnDataRef = makeItem(mnAddCorpData, "mnDataRef", QStringLiteral("参照して追加"));
    mnCloud->setEnabled(false);
    connect(mnDelData, &QAction::triggered, this, &TfmSelData::mnDelDataClick);
    connect(mnDelData2, &QAction::triggered, this, &TfmSelData::mnDelDataClick);
    connect(mnBackup, &QAction::triggered, this, &TfmSelData::mnBackupClick);
    connect(mnRestore, &QAction::triggered, this, &TfmSelData::mnRestoreClick);
    connect(mnCloud, &QAction::triggered, this, [this] {
        if (!OnCloud || !OnCloud()) return;
        if (OnEndProgram) OnEndProgram();
        QDialog::reject();
    });
    connect(mnCreate, &QAction::triggered, this, &TfmSelData::mnCreateClick);
    connect(mnNewCreate, &QAction::triggered, this, [this] { mnAddCorpDataClick(false); });
    connect(mnDataRef, &QAction::triggered, this, [this] { mnAddCorpDataClick(true); });

    auto* fields = new QGridLayout;
    fields->addWidget(gbKyuyo, 0, 0);
    fields->addWidget(gbSyoyo, 0, 0);
    auto* right = new QVBoxLayout;
    right->addWidget(cbTaisyoNen);
    right->addLayout(fields);
    right->addStretch();
    right->addWidget(bbOk);
    right->addWidget(bbCancel);
    right->addSpacing(8);
    right->addWidget(btDataManage);
    auto* main = new QHBoxLayout(this);
    main->addWidget(ListBox);
    main->addLayout(right);

    for (QLineEdit* e : {edNissu, edJikan, edSikyuM, edSikyuD}) {
        auto* keys = new TNumKeys(e, e == edJikan ? QStringLiteral(".:") : QString());
        keys->onLeft = [this, e] { editExit(e); };
    }
    TNumKeys::of(edJikan)->onEntered = [this] { edJikanEnter(); };
    ListBox->installEventFilter(this);

    connect(ListBox, &QListWidget::currentRowChanged, this, [this] { ListBoxClick(); });
    connect(ListBox, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (QListWidgetItem* item = ListBox->itemAt(pos)) ListBox->setCurrentItem(item);
        PopupMenu1->popup(ListBox->viewport()->mapToGlobal(pos));
    });
    connect(cbTaisyoNen, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_) cbTaisyoNenChange();
    });
    connect(bbOk, &QPushButton::clicked, this, &TfmSelData::bbOkClick);
    connect(bbCancel, &QPushButton::clicked, this, &TfmSelData::reject);
    connect(btDataManage, &QPushButton::clicked, this,
            [this] { PopupMenu2->popup(btDataManage->mapToGlobal(QPoint(0, btDataManage->height() + 5))); });
}

void TfmSelData::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous()) FormShow(true);
}

void TfmSelData::FormShow(bool sender)
{
    for (int p = 13; p <= PeriodCount; ++p) ListBox->item(p - 1)->setText(PeriodListName(p));
    try {
        ReadSelectState(CurPeriod.FileName);
    } catch (const AppError& e) {
        // The window then shows the year as empty; OK on it reports the file again.
        std::memset(&YearHeader, 0, sizeof YearHeader);
        std::memset(&MonthCorpRecs, 0, sizeof MonthCorpRecs);
        ShowError(e.message());
    }
    CurPeriod.EraText = CurEra.EraText;
    // Backup and restore take every data set at once: offered in the first set only.
    const bool first = IniFileName == SysIniFileName;
    mnBackup->setEnabled(first);
    mnRestore->setEnabled(first);
    mnCloud->setEnabled(first && OnCloud);
    int count = 1;
    try {
        count = IniFile(SysIniFileName).readInteger(QStringLiteral("CorpData"), QStringLiteral("Count"), 1);
    } catch (const AppError&) {
        count = 1;
    }
    mnAddCorpData->menuAction()->setEnabled(count < 10);
    if (sender) FillYearCombo(QFileInfo(CurPeriod.FileName).fileName());
    CurPeriod.EraYear = EraYearOfFileName(CurPeriod.FileName);
    const QDate today = Today();
    edSikyuM->setText(twoDigits(today.month()));
    edSikyuD->setText(twoDigits(today.day()));
    // The first show offers the current month; later ones the period open in the main window.
    const int p = CurPeriod.Period >= 1 && CurPeriod.Period <= PeriodCount ? CurPeriod.Period : today.month();
    ListBox->setCurrentRow(p - 1);
    ListBoxClick();
    ListBox->viewport()->update();
    ListBox->setFocus();
}

void TfmSelData::FillYearCombo(const QString& currentName)
{
    filling_ = true;
    cbTaisyoNen->clear();
    int current = -1;
    for (const QString& entry : YearFileEntries()) {
        cbTaisyoNen->addItem(entry);
        if (entry + QStringLiteral("給与･賞与.dat") == currentName) current = cbTaisyoNen->count() - 1;
    }
    cbTaisyoNen->setCurrentIndex(current);
    filling_ = false;
}

void TfmSelData::cbTaisyoNenChange()
{
    CurPeriod.FileName = DataPath + cbTaisyoNen->currentText() + QStringLiteral("給与･賞与.dat");
    FormShow(false);
}

void TfmSelData::ListBoxClick()
{
    const int i = ListBox->currentRow() + 1;
    if (i < 1 || i > PeriodCount) return;
    const bool month = !IsBonusPeriod(i);
    gbKyuyo->setVisible(month);
    gbSyoyo->setVisible(!month);
    if (month) {
        lbNissu->setText(QStringLiteral("%1月･所定労働日数").arg(i));
        lbJikan->setText(QStringLiteral("%1月･所定労働時間").arg(i));
        edNissu->setText(twoDigits(MonthCorpRecs[i].Nissu));
        edJikan->setText(FmtJikan(MonthCorpRecs[i].Jikan));
        return;
    }
    const int b = i - 12;
    const QDate today = Today();
    const bool set = YearHeader.SyoyoMonth[b] != 0;
    edSikyuM->setText(twoDigits(set ? YearHeader.SyoyoMonth[b] : today.month()));
    edSikyuD->setText(twoDigits(set ? YearHeader.SyoyoDay[b] : today.day()));
}

void TfmSelData::bbOkClick()
{
    try {
        const TPeriodEntry entry{
            cbTaisyoNen->currentText(), ListBox->currentRow() + 1, edNissu->text(), edJikan->text(),
            edSikyuM->text(),           edSikyuD->text()};
        const EntryField refused = SelectPeriod(entry, [](bool laterExists) {
            if (!fmRefData) return;
            fmRefData->LaterExists = laterExists;
            fmRefData->exec();
        });
        switch (refused) {
            case EntryField::Nissu:
                edNissu->setFocus();
                return;
            case EntryField::SikyuM:
                edSikyuM->setFocus();
                return;
            case EntryField::SikyuD:
                edSikyuD->setFocus();
                return;
            case EntryField::None:
                break;
        }
        Tag = 0;
        accept();
    } catch (const AppError& e) {
        ShowError(e.message());
    }
}

void TfmSelData::changeEvent(QEvent* e)
{
    QDialog::changeEvent(e);
    // Pending messages first (the window paints before any hint covers it).
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        QTimer::singleShot(0, this, &TfmSelData::FormActivate);
}

void TfmSelData::FormActivate()
{
    if (!isVisible()) return;
    if (DefJikanDay != 0) {
        SetupDone = true;
    } else if (StartHint) {
        // Cleared first: closing the hint activates the window again.
        StartHint = false;
        ShowInfo(
            QStringLiteral("入力する給与または賞与を選択し､必要な情報を入力して下さい。\n"
                           "（詳細はF1キーを押してヘルプを参照して下さい。）"));
    }
}

bool TfmSelData::canClose()
{
    QString question;
    if (!SetupDone)
        question = QStringLiteral("初期設定を中止し、給与計算PelmoraSを終了して宜しいですか？");
    else if (!SelectDone)
        question = QStringLiteral(
            "処理をする給与対象月/賞与時期の選択を中止し、給与計算PelmoraSを終了して宜しいですか？");
    return question.isEmpty() ||
           MessageDlg(question, MsgType::Confirmation, MsgButtons::YesNo) == MsgResult::Yes;
}

void TfmSelData::reject()
{
    // Escape, the title bar and "終了" all come here.
    if (canClose()) QDialog::reject();
}

bool TfmSelData::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == ListBox && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            bbOkClick();
            return true;
        }
        if (key == Qt::Key_Delete) {
            mnDelDataClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

void TfmSelData::edJikanEnter()
{
    try {
        // Hours not known yet: offer the days times the company's hours per day.
        if (TimeStrToFloat(edJikan->text()) == 0)
            edJikan->setText(FmtJikan(NumStrToInt(edNissu->text()) * DefJikanDay));
    } catch (const AppError& e) {
        ShowError(e.message());
    }
}

void TfmSelData::editExit(QLineEdit* edit)
{
    QString value;
    if (!CheckFieldOnExit(edit, value)) return;
    const double v = TimeStrToFloat(value);
    edit->setText(edit == edJikan ? FmtJikan(v) : QString::asprintf("%2.0f", v));
}

void TfmSelData::mnDelDataClick()
{
    const int p = ListBox->currentRow() + 1;
    if (p < 1 || p > PeriodCount || !YearHeader.DataExists[p]) return;
    if (MessageDlg(QStringLiteral("選択されている給与/賞与のデータを削除しますか？"), MsgType::Confirmation,
                   MsgButtons::YesNo, MsgDefault::Safe) != MsgResult::Yes)
        return;
    try {
        DeletePeriodData(CurPeriod.FileName, p);
    } catch (const AppError& e) {
        ShowError(e.message());
    }
    ListBoxClick();
    ListBox->viewport()->update();
}

void TfmSelData::mnBackupClick()
{
    fmFolder->setWindowTitle(QStringLiteral("データファイルのバックアップ場所を指定"));
    fmFolder->setMkDirVisible(true);
    fmFolder->FolderName = DefaultBackupFolder();
    if (fmFolder->exec() != QDialog::Accepted) return;
    QString target = fmFolder->FolderName;
    const QString refused = QStringLiteral(
        "データのフォルダー（またはその中のフォルダー）にはバックアップできません。\n別の場所を指定して下さい"
        "。");
    if (MessageDlg(QStringLiteral("今日の日付でフォルダーを作成しますか？"), MsgType::Confirmation,
                   MsgButtons::YesNo) == MsgResult::Yes) {
        target = DatedFolder(target, Today());
        if (IsInDataRoot(target, DataRoot)) {
            ShowError(refused);
            return;
        }
        // Made now, as every backup folder (0700): one there already (a backup made today) fails.
        bool made = false;
        if (!MakeFolder(target, 0700, &made) || !made) {
            ShowError(QStringLiteral("フォルダー作成に失敗しました"));
            return;
        }
    }
    if (IsInDataRoot(target, DataRoot)) {
        ShowError(refused);
        return;
    }
    const bool old = QFileInfo::exists(target + QStringLiteral("/Tolvane.ini"));
    if (old && MessageDlg(QStringLiteral("指定場所には既にバックアップデータが存在します。\n"
                                         "以前のバックアップデータが消えますが続行しますか？"),
                          MsgType::Confirmation, MsgButtons::YesNo, MsgDefault::Safe) != MsgResult::Yes)
        return;
    const TCopyResult r = BackupToFolder(target, old);
    if (!r.ok) {
        ShowError(QStringLiteral("容量不足､書き込み不可等のエラーにより中断しました。\n\n") + r.reason);
        return;
    }
    try {
        IniFile ini(IniFileName);
        ini.writeString(QStringLiteral("Option"), QStringLiteral("BackupPath"), target);
        ini.save();
    } catch (const AppError& e) {
        ShowError(e.message());
    }
    ShowInfo(QStringLiteral("指定場所にバックアップしました。"));
}

void TfmSelData::mnRestoreClick()
{
    if (MessageDlg(QStringLiteral("復元を行うと現在の設定内容と給与/賞与データは上書きされます。"),
                   MsgType::Confirmation, MsgButtons::YesNo, MsgDefault::Safe) != MsgResult::Yes)
        return;
    fmFolder->setWindowTitle(QStringLiteral("復元するデータファイルの場所を指定"));
    fmFolder->setMkDirVisible(false);
    fmFolder->FolderName = DefaultBackupFolder();
    if (fmFolder->exec() != QDialog::Accepted) return;
    const TCopyResult r = RestoreFromFolder(fmFolder->FolderName);
    if (r.pending) {
        // Half swapped: nothing may be read or saved before the next start has settled it.
        ShowError(r.reason);
        if (OnEndProgram) OnEndProgram();
        QDialog::reject();
        return;
    }
    if (!r.ok) {
        ShowError(QStringLiteral("ファイルが存在しない等のエラーにより中断しました。\n"
                                 "データは復元前のままです。\n\n") +
                  r.reason);
        return;
    }
    endProgram(QStringLiteral(
        "指定された場所のデータで復元しました。\n復元を有効にする為、給与計算PelmoraSを終了します。"));
}

void TfmSelData::mnCreateClick()
{
    if (fmInpDlg->exec() != QDialog::Accepted) return;
    try {
        CurPeriod.FileName = YearFileName(DataPath, fmInpDlg->EraText, fmInpDlg->Year);
        CreateYearFile(CurPeriod.FileName);
    } catch (const AppError& e) {
        ShowError(e.message());
    }
    FillYearCombo(QFileInfo(CurPeriod.FileName).fileName());
    FormShow(false);
}

void TfmSelData::mnAddCorpDataClick(bool byReference)
{
    QString folder;
    QString sourceIni;
    if (!byReference) {
        if (MessageDlg(QStringLiteral("新しい会社データを作成しますか？"), MsgType::Confirmation,
                       MsgButtons::YesNo) != MsgResult::Yes)
            return;
    } else {
        folder = QFileDialog::getExistingDirectory(
            this, QStringLiteral("給与計算PelmoraSデータの場所(Data2)を指定して下さい。"), DataPath);
        if (folder.isEmpty()) return;
        sourceIni = ReferenceIniFile(folder);
        if (sourceIni.isEmpty()) {
            ShowError(QStringLiteral("Data2フォルダーを指定して下さい。"));
            return;
        }
        if (!QFileInfo(sourceIni).isFile()) {
            ShowError(QStringLiteral("指定された場所には給与計算PelmoraSのデータが有りません。"));
            return;
        }
    }
    try {
        if (AddCorpData(folder, sourceIni) >= 10)
            ShowInfo(QStringLiteral(
                "管理できる会社データは10件までなので、\nこれ以上は新規作成/参照追加は出来ません。"));
    } catch (const AppError& e) {
        ShowError(e.message());
        return;
    }
    endProgram((byReference ? QStringLiteral("参照した会社データを追加しました。")
                            : QStringLiteral("新しい会社データを作成しました。")) +
               QStringLiteral("\n有効にする為、給与計算PelmoraSを終了します。"));
}

void TfmSelData::endProgram(const QString& message)
{
    ShowInfo(message);
    if (OnEndProgram) OnEndProgram();
    // No question: the program ends.
    QDialog::reject();
}
