// The notice panel as core code sees it: a one-line message shown while work runs or after it
// is done. The window layer installs the real panel; without one the calls do nothing.
#pragma once
#include <QString>
#include <QtGlobal>
#include <functional>
#include <vector>

// Modes of ShowNotice.
constexpr int kNoticeSelfClosing = 0;  // closes itself after 1.5 s; the call returns then
constexpr int kNoticeDownload = 1;     // download panel with a progress bar; closed by the caller
constexpr int kNoticeUntilClosed = 2;  // stays until CloseNotice

struct NoticeHandler {
    std::function<void(const QString& text, int mode)> show;
    std::function<void()> close;
    std::function<void(qint64 maximum)> setProgressMaximum;
    std::function<void(qint64 position)> setProgressPosition;
    std::function<bool()> cancelled;
};

void ShowNotice(const QString& text, int mode);
void CloseNotice();
// Download progress in bytes: the expected size at the start, then the bytes received so far.
void SetNoticeProgressMaximum(qint64 maximum);
void SetNoticeProgressPosition(qint64 position);
// Whether the user chose 中止 on the download panel since it was shown.
bool NoticeCancelled();

NoticeHandler SetNoticeHandler(NoticeHandler handler);  // returns the previous handler

// Shows a mode-2 notice for the lifetime of the object, so that the panel goes away also when
// the work throws.
class ScopedNotice {
  public:
    explicit ScopedNotice(const QString& text) { ShowNotice(text, kNoticeUntilClosed); }
    ~ScopedNotice() { CloseNotice(); }
    ScopedNotice(const ScopedNotice&) = delete;
    ScopedNotice& operator=(const ScopedNotice&) = delete;
};

// Records every notice call while it lives, in place of the panel (tests).
class RecordedNotices {
  public:
    struct Call {
        enum Kind { Show, Close, ProgressMaximum, ProgressPosition } kind;
        QString text;
        int mode = 0;
        qint64 value = 0;
    };

    RecordedNotices();
    ~RecordedNotices();
    RecordedNotices(const RecordedNotices&) = delete;
    RecordedNotices& operator=(const RecordedNotices&) = delete;

    const std::vector<Call>& calls() const { return calls_; }
    // The texts shown, in order.
    std::vector<QString> texts() const;
    void clear() { calls_.clear(); }

  private:
    std::vector<Call> calls_;
    NoticeHandler previous_;
};
