// The folder picker: top nodes from the core (payroll/datamanage), each node holding its absolute
// path; a node whose only child is "???" is listed when it is opened.
#include "payroll/ui/TfmFolder.h"

#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QFileIconProvider>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "payroll/datamanage.h"
#include "platform/filetree.h"
#include "platform/formkit.h"
#include "platform/msgbox.h"

TFormRef<TfmFolder> fmFolder;

namespace {
constexpr int PathRole = Qt::UserRole;
constexpr int RemovableRole = Qt::UserRole + 1;
const QString Placeholder = QStringLiteral("???");

bool hasSubfolders(const QString& path)
{
    return !QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty();
}

QString nodePath(const QTreeWidgetItem* node)
{
    return node->data(0, PathRole).toString();
}

}  // namespace

TfmFolder::TfmFolder(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmFolder"));
    setWindowTitle(QStringLiteral("フォルダーの選択"));
    setModal(true);
    TreeView = new QTreeWidget(this);
    TreeView->setObjectName(QStringLiteral("TreeView"));
    TreeView->setHeaderHidden(true);
    TreeView->setMinimumSize(360, 320);
    StsBar = new QLabel(this);
    StsBar->setObjectName(QStringLiteral("StsBar"));
    bbOk = new QPushButton(QStringLiteral("Ｏ Ｋ"), this);
    bbOk->setObjectName(QStringLiteral("bbOk"));
    bbOk->setDefault(true);
    bbCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    bbCancel->setObjectName(QStringLiteral("bbCancel"));
    btMkDir = new QPushButton(QStringLiteral("フォルダー作成"), this);
    btMkDir->setObjectName(QStringLiteral("btMkDir"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btMkDir);
    buttons->addWidget(bbOk);
    buttons->addWidget(bbCancel);
    buttons->addStretch();
    auto* main = new QVBoxLayout(this);
    main->addWidget(TreeView);
    main->addLayout(buttons);
    main->addWidget(StsBar);

    connect(TreeView, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* node) { listChildren(node); });
    // A removable medium is read again each time it is opened: it may have been changed.
    connect(TreeView, &QTreeWidget::itemCollapsed, this, [](QTreeWidgetItem* node) {
        if (!node->data(0, RemovableRole).toBool()) return;
        qDeleteAll(node->takeChildren());
        new QTreeWidgetItem(node, {Placeholder});
    });
    connect(TreeView, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* node) {
        if (!node) return;
        CurrentPath = WithSlash(nodePath(node));
        StsBar->setText(QStringLiteral("ﾌｫﾙﾀﾞ：") + CurrentPath);
    });
    connect(bbOk, &QPushButton::clicked, this, &TfmFolder::bbOkClick);
    connect(bbCancel, &QPushButton::clicked, this, &TfmFolder::reject);
    connect(btMkDir, &QPushButton::clicked, this, &TfmFolder::btMkDirClick);
}

void TfmFolder::setMkDirVisible(bool visible)
{
    btMkDir->setVisible(visible);
}

void TfmFolder::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (e->spontaneous()) return;
    if (FolderName.isEmpty()) FolderName = DefaultBackupFolder();
    fillTree();
    // A folder that is gone (a remembered backup folder, a medium taken out) is told, and the
    // picker starts at the top node that held it.
    if (!selectPath(FolderName)) {
        QTreeWidgetItem* top = topNodeOf(FolderName);
        if (!top) top = TreeView->topLevelItem(0);
        if (top) TreeView->setCurrentItem(top);
    }
}

QTreeWidgetItem* TfmFolder::topNodeOf(const QString& path) const
{
    const QString clean = QDir::cleanPath(path);
    // The top node that holds the path deepest.
    QTreeWidgetItem* node = nullptr;
    qsizetype best = -1;
    for (int i = 0; i < TreeView->topLevelItemCount(); ++i) {
        QTreeWidgetItem* top = TreeView->topLevelItem(i);
        const QString p = nodePath(top);
        if ((clean == p || clean.startsWith(WithSlash(p))) && p.size() > best) {
            node = top;
            best = p.size();
        }
    }
    return node;
}

void TfmFolder::done(int r)
{
    QDialog::done(r);
    TreeView->clear();
}

void TfmFolder::fillTree()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    TreeView->clear();
    CurrentPath.clear();
    StsBar->clear();
    QFileIconProvider icons;
    for (const TFolderRoot& root : FolderRoots()) {
        auto* node = new QTreeWidgetItem(TreeView, {root.text});
        node->setData(0, PathRole, root.path);
        node->setData(0, RemovableRole, root.removable);
        node->setIcon(0, icons.icon(root.removable ? QFileIconProvider::Drive : QFileIconProvider::Folder));
        if (hasSubfolders(root.path)) new QTreeWidgetItem(node, {Placeholder});
    }
    QApplication::restoreOverrideCursor();
}

void TfmFolder::listChildren(QTreeWidgetItem* node)
{
    if (node->childCount() != 1 || node->child(0)->text(0) != Placeholder ||
        !node->child(0)->data(0, PathRole).isNull())
        return;
    delete node->takeChild(0);
    QFileIconProvider icons;
    const QString parent = WithSlash(nodePath(node));
    for (const QString& name :
         QDir(parent).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name)) {
        auto* child = new QTreeWidgetItem(node, {name});
        child->setData(0, PathRole, parent + name);
        child->setIcon(0, icons.icon(QFileIconProvider::Folder));
        if (hasSubfolders(parent + name)) new QTreeWidgetItem(child, {Placeholder});
    }
}

bool TfmFolder::selectPath(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    // Names are matched as the file system does.
    QTreeWidgetItem* node = topNodeOf(path);
    const QStringList parts =
        node ? clean.mid(nodePath(node).size()).split(QLatin1Char('/'), Qt::SkipEmptyParts) : QStringList();
    for (const QString& part : parts) {
        listChildren(node);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < node->childCount() && !next; ++i)
            if (node->child(i)->text(0) == part) next = node->child(i);
        if (!next) {
            node = nullptr;
            break;
        }
        node = next;
    }
    if (!node) {
        ShowError(QStringLiteral("指定フォルダ[%1]がありません。").arg(path));
        return false;
    }
    for (QTreeWidgetItem* up = node->parent(); up; up = up->parent()) up->setExpanded(true);
    TreeView->setCurrentItem(node);
    TreeView->scrollToItem(node);
    return true;
}

bool TfmFolder::makeFolder(const QString& name)
{
    bool made = false;
    if (!IsValidFolderName(name) || CurrentPath.isEmpty() || !MakeFolder(CurrentPath + name, 0700, &made) ||
        !made) {
        ShowError(QStringLiteral("フォルダー作成に失敗しました"));
        return false;
    }
    FolderName = CurrentPath + name;
    fillTree();
    return selectPath(FolderName);
}

void TfmFolder::btMkDirClick()
{
    QString name;
    if (InputQuery(this, QStringLiteral("作成するフォルダー名を入力"), QStringLiteral("フォルダー名"), name,
                   26) &&
        !name.isEmpty())
        makeFolder(name);
}

void TfmFolder::bbOkClick()
{
    if (CurrentPath.isEmpty() || !QFileInfo(CurrentPath).isDir()) {
        ShowError(QStringLiteral("指定フォルダはありません。"));
        return;
    }
    FolderName = CurrentPath.size() > 1 ? CurrentPath.chopped(1) : CurrentPath;
    accept();
}
