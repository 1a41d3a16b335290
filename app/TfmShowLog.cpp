// The system log viewer: lists the log on every activation, exports it as CSV, clears it.
#include "app/TfmShowLog.h"

#include <QEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenuBar>
#include <QVBoxLayout>

#include "payroll/syslog.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/msgbox.h"

TFormRef<TfmShowLog> fmShowLog;

namespace {
// Esc in the list closes the window.
class EscCloses : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
            static_cast<QDialog*>(parent())->reject();
            return true;
        }
        return false;
    }
};
}  // namespace

TfmShowLog::TfmShowLog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmShowLog"));
    setWindowTitle(QStringLiteral("システムログの表示"));
    setModal(true);
    setFixedWidth(500);
    setMinimumHeight(600);

    auto* bar = new QMenuBar(this);
    mnFile = bar->addMenu(QStringLiteral("ファイル(&F)"));
    mnFile->setObjectName(QStringLiteral("mnFile"));
    mnCSV = mnFile->addAction(QStringLiteral("CSVファイルに出力(&C)..."));
    mnCSV->setObjectName(QStringLiteral("mnCSV"));
    mnLogClear = mnFile->addAction(QStringLiteral("システムログのクリア(&C)"));
    mnLogClear->setObjectName(QStringLiteral("mnLogClear"));
    connect(mnCSV, &QAction::triggered, this, &TfmShowLog::mnCSVClick);
    connect(mnLogClear, &QAction::triggered, this, &TfmShowLog::mnLogClearClick);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setUniformItemSizes(true);
    ListBox1->installEventFilter(new EscCloses(this));

    SaveDlg = new QFileDialog(this, QStringLiteral("CSVファイルの出力先を指定"));
    SaveDlg->setObjectName(QStringLiteral("SaveDlg"));
    SaveDlg->setAcceptMode(QFileDialog::AcceptSave);
    SaveDlg->setOption(QFileDialog::DontConfirmOverwrite, false);
    SaveDlg->setNameFilter(QStringLiteral("CSVﾌｧｲﾙ(*.csv)"));
    SaveDlg->setDefaultSuffix(QStringLiteral("csv"));

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ListBox1);
}

bool TfmShowLog::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate) FormActivate();
    return QDialog::event(e);
}

void TfmShowLog::showEvent(QShowEvent* e)
{
    // Also when shown without taking the focus (offscreen), so that it never shows an old list.
    FormActivate();
    QDialog::showEvent(e);
}

void TfmShowLog::FormActivate()
{
    ListBox1->clear();
    lines_.clear();
    try {
        lines_ = ReadSysLogLines(SysLogFileName());
    } catch (const AppError& e) {
        ShowError(e.message());
    }
    for (const QByteArray& l : lines_) ListBox1->addItem(SysLogLineText(l));
}

void TfmShowLog::mnCSVClick()
{
    if (MessageDlg(QStringLiteral("システムログをCSVファイルに出力します。"), MsgType::Confirmation,
                   MsgButtons::YesNo) != MsgResult::Yes)
        return;
    if (SaveDlg->exec() != QDialog::Accepted || SaveDlg->selectedFiles().isEmpty()) return;
    try {
        WriteFileAtomic(SaveDlg->selectedFiles().constFirst(), SysLogCsv(lines_),
                        QStringLiteral("CSVファイルの出力"));
    } catch (const AppError& e) {
        ShowError(e.message());
        return;
    }
    ShowInfo(QStringLiteral("指定ファイルに出力しました。"));
}

void TfmShowLog::mnLogClearClick()
{
    if (MessageDlg(QStringLiteral("システムログを全クリアしますか？"), MsgType::Confirmation,
                   MsgButtons::YesNo, MsgDefault::Safe) != MsgResult::Yes)
        return;
    try {
        ClearSysLog();
    } catch (const AppError& e) {
        ShowError(e.message());
        return;
    }
    ListBox1->clear();
    lines_.clear();
}
