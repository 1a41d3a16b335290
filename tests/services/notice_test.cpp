// Tests of the notice panel: its modes, colours and timer, and the core hook.
#include "platform/notice.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
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

struct Look {
    QColor background;
    int yellowPixels = 0;
    int bluePixels = 0;
};

bool Near(const QColor& c, const QColor& want)
{
    return qAbs(c.red() - want.red()) < 40 && qAbs(c.green() - want.green()) < 40 &&
           qAbs(c.blue() - want.blue()) < 40;
}

// What the panel's message line looks like on screen: the corner pixel and the text pixels.
Look Inspect(QWidget& w)
{
    const QImage img = w.grab(QRect(0, 0, w.width(), 28)).toImage();
    Look look;
    look.background = img.pixelColor(1, 1);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (Near(c, kYellow)) ++look.yellowPixels;
            if (Near(c, kBlue)) ++look.bluePixels;
        }
    return look;
}

TEST_F(NoticePanelTest, SelfClosingReturnsAfterAboutOneAndAHalfSeconds)
{
    bool visibleWhileWaiting = false;
    QTimer::singleShot(700, [&] { visibleWhileWaiting = panel_.isVisible(); });
    QElapsedTimer t;
    t.start();
    ShowNotice(QStringLiteral("データファイルに保存しました。"), kNoticeSelfClosing);
    const qint64 ms = t.elapsed();
    EXPECT_GE(ms, 1490);
    EXPECT_LT(ms, 3000);
    EXPECT_TRUE(visibleWhileWaiting);
    EXPECT_FALSE(panel_.isVisible());
    EXPECT_FALSE(timer()->isActive());
}

TEST_F(NoticePanelTest, SelfClosingOverAnOpenPanelStillClosesItself)
{
    ShowNotice(QStringLiteral("出力中です。"), kNoticeUntilClosed);
    ASSERT_TRUE(panel_.isVisible());
    QElapsedTimer t;
    t.start();
    bool stuck = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        stuck = true;
        panel_.close();
    });
    guard.start(5000);
    ShowNotice(QStringLiteral("データファイルに保存しました。"), kNoticeSelfClosing);
    EXPECT_FALSE(stuck);
    EXPECT_GE(t.elapsed(), 1400);
    EXPECT_FALSE(panel_.isVisible());
}

TEST_F(NoticePanelTest, ClosedSelfClosingNoticeLeavesNoTimerForTheNextPanel)
{
    QTimer::singleShot(300, [] { CloseNotice(); });
    ShowNotice(QStringLiteral("データファイルに保存しました。"), kNoticeSelfClosing);
    ASSERT_FALSE(panel_.isVisible());
    ShowNotice(QStringLiteral("x"), kNoticeDownload);
    QTest::qWait(1600);
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
        QColor background;
        const char* caption;
    } cases[] = {
        {kNoticeSelfClosing, false, kBlue, "データファイルに保存しました。"},
        {kNoticeUntilClosed, false, kBlue, "出力中です。"},
        {kNoticeDownload, true, button, "更新ファイルをダウンロード中です。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ShowNotice(QStringLiteral("x"), kNoticeDownload);
        CloseNotice();
        bool inspected = false;
        const auto inspect = [&] {
            EXPECT_EQ(!bar()->visibleRegion().isEmpty(), c.progressBar);
            EXPECT_EQ(child<QLabel>(&panel_, "pnMessage")->text(), QString::fromUtf8(c.caption));
            const Look look = Inspect(panel_);
            EXPECT_EQ(look.background, c.background);
            EXPECT_GT(c.progressBar ? look.bluePixels : look.yellowPixels, 20);
            EXPECT_TRUE(!c.progressBar || look.yellowPixels == 0) << look.yellowPixels;
            inspected = true;
        };
        if (c.mode == kNoticeSelfClosing) QTimer::singleShot(300, inspect);
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
    SetNoticeProgressMaximum(40000);
    SetNoticeProgressPosition(10000);
    EXPECT_EQ(bar()->maximum(), 40000);
    EXPECT_EQ(bar()->value(), 10000);

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
