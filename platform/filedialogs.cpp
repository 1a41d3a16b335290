// The columns of Qt's file dialogs, sized to what they show.
#include "platform/filedialogs.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>

namespace {

class TFileDialogColumns : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        // Before the first paint of every file dialog, whoever made it.
        if (e->type() == QEvent::Show)
            if (auto* dialog = qobject_cast<QFileDialog*>(watched))
                if (auto* tree = dialog->findChild<QTreeView*>(QStringLiteral("treeView"))) {
                    QHeaderView* header = tree->header();
                    header->setStretchLastSection(false);
                    header->setSectionResizeMode(0, QHeaderView::Stretch);
                    for (int c = 1; c < header->count(); ++c)
                        header->setSectionResizeMode(c, QHeaderView::ResizeToContents);
                }
        return QObject::eventFilter(watched, e);
    }
};

}  // namespace

void InstallFileDialogColumns()
{
    static TFileDialogColumns* columns = nullptr;
    if (columns) return;
    columns = new TFileDialogColumns(qApp);
    qApp->installEventFilter(columns);
}
