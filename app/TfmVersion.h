// "バージョン情報": the program's title and version and the dates of its table files.
#pragma once
#include <QDialog>

#include "platform/formref.h"

class QLabel;
class QWidget;

class TfmVersion : public QDialog {
    Q_OBJECT
  public:
    explicit TfmVersion(QWidget* parent = nullptr);
    // The program version "3.48", set by the main window; also the version the update checks use.
    QString VerStr;

  protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    QWidget* PaintBox1 = nullptr;
    QLabel* lbVerNo = nullptr;
    QLabel* lbFilVer[4] = {};
};

extern TFormRef<TfmVersion> fmVersion;
