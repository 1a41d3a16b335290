// "システムログの表示": the system log of the open data set as it is stored, its CSV export and
// its clearing.
#pragma once
#include <QByteArray>
#include <QDialog>
#include <QList>

#include "platform/formref.h"

class QAction;
class QFileDialog;
class QListWidget;
class QMenu;

class TfmShowLog : public QDialog {
    Q_OBJECT
  public:
    explicit TfmShowLog(QWidget* parent = nullptr);

    void FormActivate();
    void mnCSVClick();
    void mnLogClearClick();

  protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

  private:
    QListWidget* ListBox1 = nullptr;
    QMenu* mnFile = nullptr;
    QAction* mnCSV = nullptr;
    QAction* mnLogClear = nullptr;
    QFileDialog* SaveDlg = nullptr;
    // The lines shown, as stored: the export writes their bytes unchanged.
    QList<QByteArray> lines_;
};

extern TFormRef<TfmShowLog> fmShowLog;
