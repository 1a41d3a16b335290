// Tests of the notice panel: its modes, colours and timer, and the core hook.
#include "platform/notice.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <stdexcept>

#include "services/ui/TfmNotice.h"
#include "tests/testutil.h"

namespace {

const QColor kBlue(0, 0, 255);
const QColor kYellow(255, 255, 0);

class NoticePanelTest : public ::testing::Test {
  protected:
    void SetUp() override { previous_ = InstallNoticePanel(&panel_); }
    void TearDown() override
    {
        panel_.close();
        SetNoticeHandler(std::move(previous_));
    }

    QProgressBar* bar() { return child<QProgressBar>(&panel_, "ProgressBar"); }
    QTimer* timer() { return child<QTimer>(&panel_, "Timer1"); }
    TfmNotice panel_;

  private:
    NoticeHandler previous_;
};

// Over an open panel too, a self-closing notice stays up while its 1.5 s timer runs and closes
// itself when the timer runs out; the caller waits until then.
TEST_F(NoticePanelTest, SelfClosingReturnsWhenItsTimerRunsOutOverAnOpenPanelToo)
{
    ShowNotice(QStringLiteral("出力中です。"), kNoticeUntilClosed);
    ASSERT_TRUE(panel_.isVisible());
    bool visibleWhileWaiting = false, timerRanOut = false;
    int interval = 0;
    QTimer::singleShot(0, [&] {
        visibleWhileWaiting = panel_.isVisible() && timer()->isActive();
        interval = timer()->interval();
    });
    const QMetaObject::Connection ranOut =
        QObject::connect(timer(), &QTimer::timeout, [&] { timerRanOut = true; });
    QTimer::singleShot(60000, &panel_, [this] { panel_.close(); });  // where a stuck notice ends
    ShowNotice(QStringLiteral("データファイルに保存しました。"), kNoticeSelfClosing);
    QObject::disconnect(ranOut);
    EXPECT_TRUE(visibleWhileWaiting);
    EXPECT_EQ(interval, 1500);
    EXPECT_TRUE(timerRanOut);
    EXPECT_FALSE(panel_.isVisible());
    EXPECT_FALSE(timer()->isActive());
}

TEST_F(NoticePanelTest, ClosedSelfClosingNoticeLeavesNoTimerForTheNextPanel)
{
    QTimer::singleShot(0, [] { CloseNotice(); });
    ShowNotice(QStringLiteral("データファイルに保存しました。"), kNoticeSelfClosing);
    ASSERT_FALSE(panel_.isVisible());
    ShowNotice(QStringLiteral("x"), kNoticeDownload);
    // No timer of the closed notice is left to close the download panel.
    EXPECT_FALSE(timer()->isActive());
    EXPECT_TRUE(panel_.isVisible());
}

// Each mode shown after a download panel, whose caption and colours must not stay; a
// self-closing panel is looked at while it is up.
TEST_F(NoticePanelTest, EachModeHasItsProgressBarCaptionAndColours)
{
    const QColor button = QApplication::palette().color(QPalette::Button);
    const struct {
        int mode;
        bool progressBar;
        QColor background, text;
        const char* caption;
    } cases[] = {
        {kNoticeSelfClosing, false, kBlue, kYellow, "データファイルに保存しました。"},
        {kNoticeUntilClosed, false, kBlue, kYellow, "出力中です。"},
        {kNoticeDownload, true, button, kBlue, "更新ファイルをダウンロード中です。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ShowNotice(QStringLiteral("x"), kNoticeDownload);
        CloseNotice();
        bool inspected = false;
        const auto inspect = [&] {
            auto* message = child<QLabel>(&panel_, "pnMessage");
            EXPECT_EQ(!bar()->visibleRegion().isEmpty(), c.progressBar);
            EXPECT_EQ(message->text(), QString::fromUtf8(c.caption));
            EXPECT_EQ(panel_.palette().color(QPalette::Window), c.background);
            EXPECT_EQ(message->palette().color(QPalette::WindowText), c.text);
            inspected = true;
        };
        if (c.mode == kNoticeSelfClosing) QTimer::singleShot(0, inspect);
        ShowNotice(c.mode == kNoticeDownload ? QStringLiteral("別の文言") : QString::fromUtf8(c.caption),
                   c.mode);
        if (c.mode != kNoticeSelfClosing) inspect();
        EXPECT_TRUE(inspected);
        EXPECT_FALSE(timer()->isActive());
        CloseNotice();
    }
}

TEST_F(NoticePanelTest, ProgressFollowsTheTransfer)
{
    ShowNotice(QStringLiteral("x"), kNoticeDownload);
    // Sizes beyond the bar's int range still give the right fraction.
    SetNoticeProgressMaximum(6'000'000'000LL);
    SetNoticeProgressPosition(3'000'000'000LL);
    ASSERT_GT(bar()->maximum(), 0);
    EXPECT_NEAR(double(bar()->value()) / bar()->maximum(), 0.5, 0.001);
}

TEST(NoticeHook, ScopedNoticeClosesWhenTheWorkThrows)
{
    RecordedNotices rec;
    try {
        ScopedNotice n(QStringLiteral("出力中です。"));
        throw std::runtime_error("disk full");
    } catch (const std::runtime_error&) {
    }
    ASSERT_EQ(rec.calls().size(), 2u);
    EXPECT_EQ(rec.calls()[0].mode, kNoticeUntilClosed);
    EXPECT_EQ(rec.calls()[1].kind, RecordedNotices::Call::Close);
}

}  // namespace
