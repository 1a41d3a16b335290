// "フォントの選択": one of the four print fonts, from the fixed-pitch Japanese faces, with a preview
// of the caller's sample text at 16 and 28 points.
#pragma once
#include <QDialog>

#include "platform/formref.h"

class QCheckBox;
class QLabel;
class QListWidget;

class TfmSelFont : public QDialog {
    Q_OBJECT
  public:
    explicit TfmSelFont(QWidget* parent = nullptr);

    // Set by the caller before it shows the window: the caption, the font now in use (a face or a
    // Windows name the settings keep), the sample text; bold and italic are cleared.
    void prepare(const QString& caption, const QString& fontName, const QString& sample);
    // After OK: the chosen font. The entry that a kept Windows name maps to stands for that name.
    QString fontName() const;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void FormActivate();
    void ListBoxClick();

    QListWidget* ListBox = nullptr;
    QLabel* lbFontName = nullptr;
    QLabel* lbPreView16 = nullptr;
    QLabel* lbPreView28 = nullptr;
    QCheckBox* cbBold = nullptr;
    QCheckBox* cbItalic = nullptr;
    QString alias_;      // the kept name when it is not a face of the list, else empty
    int aliasRow_ = -1;  // the entry it maps to
};

extern TFormRef<TfmSelFont> fmSelFont;
