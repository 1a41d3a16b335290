// The notice panel: a small borderless window on top of the others with a one-line message,
// and the download progress bar of the update checks.
#pragma once
#include <QString>
#include <QWidget>

#include "platform/formref.h"
#include "platform/notice.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

class TfmNotice : public QWidget {
    Q_OBJECT
  public:
    explicit TfmNotice(QWidget* parent = nullptr);

    // Sets the message and the mode and shows the panel: mode 0 modally, returning when the
    // panel has closed itself; every other mode returns at once and the caller closes it.
    void Notify(const QString& text, int mode);

    void SetProgressMaximum(qint64 maximum);
    void SetProgressPosition(qint64 position);
    // Whether 中止 was chosen on the download panel since it was shown.
    bool Cancelled() const { return cancelled_; }

    void FormShow();
    void Timer1Timer();

  signals:
    void hidden();

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // Controls, named as their objectName.
    QLabel* pnMessage;
    QProgressBar* ProgressBar;
    QPushButton* btCancel;  // the download panel's way out of a transfer that takes too long
    QTimer* Timer1;
    int Tag = 0;  // the mode, set before showing

    void setColours(const QColor& background, const QColor& text);
    void centreOnOwner();
    void letPaint();

    qint64 progressScale_ = 1;
    bool cancelled_ = false;
};

extern TFormRef<TfmNotice> fmNotice;

// Makes panel the target of ShowNotice, CloseNotice and the progress calls; returns the
// handler that was installed before.
NoticeHandler InstallNoticePanel(TfmNotice* panel);
// The same for a panel created on first use: a notice shown creates it, a close before that is
// nothing to do.
NoticeHandler InstallNoticePanel(TFormRef<TfmNotice>& panel);
