// The data-set selection: the lines of [CorpData] through payroll/corpdata.
#include "payroll/ui/TfmSelCorp.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include "payroll/corpdata.h"
#include "payroll/paths.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fonts.h"
#include "platform/formkit.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"

TFormRef<TfmSelCorp> fmSelCorp;

namespace {
// Enter in the list chooses, as a double click does.
class EnterChooses : public QObject {
  public:
    EnterChooses(QListWidget* list, std::function<void()> choose) : QObject(list), choose_(std::move(choose))
    {
        list->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
        choose_();
        return true;
    }

  private:
    std::function<void()> choose_;
};
}  // namespace

TfmSelCorp::TfmSelCorp(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmSelCorp"));
    setWindowTitle(QStringLiteral("使用する会社データを選択"));
    setModal(true);
    ListBox = Named<QListWidget>(this, "ListBox");
    // The lines are laid out in bytes: the fixed-pitch face keeps the codes in one column.
    ListBox->setFont(FixedPitchFont(14));
    ListBox->setMinimumSize(480, 220);
    auto* btSelect = Named<QPushButton>(this, "btSelect", QStringLiteral("選　択"));
    auto* btTerminate = Named<QPushButton>(this, "btTerminate", QStringLiteral("終　了"));
    auto* sbReName = Named<QToolButton>(this, "sbReName");
    sbReName->setText(QStringLiteral("名称変更"));
    sbDelete = Named<QToolButton>(this, "sbDelete");
    sbDelete->setText(QStringLiteral("データ削除"));
    for (QPushButton* b : {btSelect, btTerminate}) b->setAutoDefault(false);
    auto* tools = new QHBoxLayout;
    tools->addWidget(sbReName);
    tools->addWidget(sbDelete);
    tools->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btSelect);
    buttons->addWidget(btTerminate);
    auto* main = new QVBoxLayout(this);
    main->addLayout(tools);
    main->addWidget(ListBox, 1);
    main->addLayout(buttons);
    connect(ListBox, &QListWidget::currentRowChanged, this, [this] { ListBoxClick(); });
    connect(ListBox, &QListWidget::itemDoubleClicked, this, [this] { btSelectClick(); });
    new EnterChooses(ListBox, [this] { btSelectClick(); });
    connect(btSelect, &QPushButton::clicked, this, &TfmSelCorp::btSelectClick);
    connect(btTerminate, &QPushButton::clicked, this, &QDialog::reject);
    connect(sbReName, &QToolButton::clicked, this, &TfmSelCorp::sbReNameClick);
    connect(sbDelete, &QToolButton::clicked, this, &TfmSelCorp::sbDeleteClick);
}

void TfmSelCorp::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void TfmSelCorp::FormShow()
{
    ListBox->clear();
    QStringList lines = ReadCorpList(IniFile(SysIniFileName));
    // Every line blank: the first data set is still there to be chosen.
    if (lines.isEmpty()) lines << OriginalCorpLine();
    ListBox->addItems(lines);
    ListBox->setCurrentRow(0);
    ListBoxClick();
    ListBox->setFocus();
}

void TfmSelCorp::ListBoxClick()
{
    sbDelete->setEnabled(ListBox->currentRow() > 0);
}

void TfmSelCorp::btSelectClick()
{
    const int row = ListBox->currentRow();
    if (row < 0) return;
    // The code is the line's own: a line's position says nothing once lines were left out.
    const QString code = CorpLineCode(ListBox->item(row)->text());
    if (!code.isEmpty() && !IsCorpCode(code)) {
        ShowError(QStringLiteral("この会社データの記号「%1」が正しくないので選択できません。").arg(code));
        return;
    }
    SelCode = code;
    accept();
}

void TfmSelCorp::sbReNameClick()
{
    const int row = ListBox->currentRow();
    if (row < 0) {
        ShowError(QStringLiteral("対象データが選択されていません。"));
        return;
    }
    const QString line = ListBox->item(row)->text();
    QString typed = CorpLineName(line);
    // The line keeps CorpNameMax bytes of the name: typing stops there, not cut later unseen.
    if (!InputQuery(this, QStringLiteral("変更後の名称(全角26文字以内)"), QStringLiteral("名称"), typed, 26,
                    CorpNameMax)) {
        ListBox->setFocus();
        return;
    }
    const QString name = typed.trimmed();
    if (name.isEmpty()) {
        ShowError(QStringLiteral("名称が入力されていません。"));
    } else if (QString refusal = cp932::refusal(name); !refusal.isEmpty()) {
        // The line is kept in CP932 bytes: a character it lacks would be lost without a word.
        ShowError(refusal);
    } else {
        ListBox->item(row)->setText(FormatCorpLine(name, CorpLineCode(line)));
    }
    ListBox->setFocus();
}

void TfmSelCorp::sbDeleteClick()
{
    const int row = ListBox->currentRow();
    if (row < 0) {
        ShowError(QStringLiteral("対象データが選択されていません。"));
        return;
    }
    const QString code = CorpLineCode(ListBox->item(row)->text());
    // Only a set's own files: never the program-wide "Tolvane.ini" nor the first set's "Data2".
    if (row == 0 || !IsCorpCode(code)) {
        ShowError(QStringLiteral("この会社データは削除できません。"));
        ListBox->setFocus();
        return;
    }
    if (MessageDlg(QStringLiteral("選択した会社の給与/賞与や源泉徴収データを削除しますか？"),
                   MsgType::Confirmation, MsgButtons::YesNo, MsgDefault::Safe) == MsgResult::Yes) {
        const QStringList failed = DeleteCorpFiles(DataRoot, code);
        delete ListBox->takeItem(row);
        ListBox->setCurrentRow(std::min(row, ListBox->count() - 1));
        ListBoxClick();
        if (!failed.isEmpty())
            ShowWarning(QStringLiteral("次のファイルは削除できませんでした。\n\n") +
                        failed.join(QLatin1Char('\n')));
    }
    ListBox->setFocus();
}

void TfmSelCorp::done(int r)
{
    try {
        QStringList lines;
        for (int i = 0; i < ListBox->count(); ++i) lines << ListBox->item(i)->text();
        IniFile ini(SysIniFileName);
        WriteCorpList(ini, lines);
        ini.save();
    } catch (const AppError& e) {
        ShowError(e.message());
    }
    QDialog::done(r);
}
