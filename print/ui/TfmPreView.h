// The preview: the pages of the document chosen in the print dialog on the screen, drawn afresh by
// the page dispatcher on every paint, with paging, an enlarged view and printing from it.
#pragma once
#include <QDialog>
#include <QSet>

#include "platform/formref.h"

class QAction;
class QFrame;
class QMenu;
class QScrollArea;
class QToolButton;
class QWidget;

class TfmPreView : public QDialog {
    Q_OBJECT
  public:
    explicit TfmPreView(QWidget* parent = nullptr);

    // The page shown, 1-based, bounded by the dialog's PageCount.
    int currentPage() const { return CurPage; }
    // The print commands, on for the print dialog's preview.
    void setPrintEnabled(bool enabled);

    void FormShow();
    void FormResize();
    // Draws the current page into the paint box through painter (the paint event's, or an image's).
    void pbImagePaint(QPainter& painter);
    // sender: a page command, or none to bring the commands up to date.
    void mnPageUpDownClick(QObject* sender);
    void mnWDispClick();
    void mnDispButtonClick(QObject* sender);
    void mnPrintClick();
    void mnCloseClick();

  protected:
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    // Controls, named as their objectName.
    QFrame* pnToolBar;
    QToolButton* sbPrint;
    QToolButton* sbWDisp;
    QToolButton* sbBackPage;
    QToolButton* sbNextPage;
    QToolButton* sbClose;
    QScrollArea* ScrollBox;
    QFrame* pnPaper;
    QWidget* pbImage;
    QMenu* PopupMenu;
    QAction* mnPrint;
    QAction* mnWDisp;
    QAction* mnBackPage;
    QAction* mnNextPage;
    QAction* mnDispButton;
    QAction* mnClose;

    // The page shown, 1-based, bounded by the dialog's PageCount.
    int CurPage = 1;
    // Where the printable area lies on the sheet, in screen pixels.
    QPoint PaperOffset;
    QSize PrintableSize;

    void reportPaintError(const QString& message);

    // Errors already told during this showing: a page that cannot be drawn is told once, not on
    // every repaint.
    QSet<QString> paintErrors_;
};

extern TFormRef<TfmPreView> fmPreView;
// Whether the preview shows its buttons ([Option] PreViewBtn of the program-wide settings).
extern bool PreViewButtons;
