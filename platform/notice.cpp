// Dispatch of notice calls to the installed panel, and the recorder used by tests.
#include "platform/notice.h"

namespace {
NoticeHandler& handler()
{
    static NoticeHandler h;
    return h;
}
}  // namespace

void ShowNotice(const QString& text, int mode)
{
    if (handler().show) handler().show(text, mode);
}

void CloseNotice()
{
    if (handler().close) handler().close();
}

void SetNoticeProgressMaximum(qint64 maximum)
{
    if (handler().setProgressMaximum) handler().setProgressMaximum(maximum);
}

void SetNoticeProgressPosition(qint64 position)
{
    if (handler().setProgressPosition) handler().setProgressPosition(position);
}

bool NoticeCancelled()
{
    return handler().cancelled && handler().cancelled();
}

NoticeHandler SetNoticeHandler(NoticeHandler h)
{
    NoticeHandler old = std::move(handler());
    handler() = std::move(h);
    return old;
}

RecordedNotices::RecordedNotices()
{
    NoticeHandler h;
    h.show = [this](const QString& text, int mode) { calls_.push_back({Call::Show, text, mode, 0}); };
    h.close = [this] { calls_.push_back({Call::Close, {}, 0, 0}); };
    h.setProgressMaximum = [this](qint64 v) { calls_.push_back({Call::ProgressMaximum, {}, 0, v}); };
    h.setProgressPosition = [this](qint64 v) { calls_.push_back({Call::ProgressPosition, {}, 0, v}); };
    previous_ = SetNoticeHandler(std::move(h));
}

RecordedNotices::~RecordedNotices()
{
    SetNoticeHandler(std::move(previous_));
}

std::vector<QString> RecordedNotices::texts() const
{
    std::vector<QString> out;
    for (const Call& c : calls_)
        if (c.kind == Call::Show) out.push_back(c.text);
    return out;
}
