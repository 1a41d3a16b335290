// The preview: each paint draws the page afresh and alike, paging and its commands, the enlarged
// view, the preprinted form's picture, and a page that cannot be drawn.
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include "tests/print/dialogfixture.h"

namespace {

class PreviewTest : public PrintWindowTest {
  protected:
    // The slips of the ticked employees in the dialog, then the preview as its button shows it.
    void showPreview()
    {
        showSlipDialog();
        fmInji->PublishPrintInputs();
        fmPreView->show();
        QApplication::processEvents();
    }
    static QImage page() { return child<QWidget>(fmPreView, "pbImage")->grab().toImage(); }
    static bool blank(const QImage& img)
    {
        for (int y = 0; y < img.height(); y += 2)
            for (int x = 0; x < img.width(); x += 2)
                if (img.pixel(x, y) != qRgb(255, 255, 255)) return false;
        return true;
    }
};

TEST_F(PreviewTest, EveryPaintDrawsThePageAlikeAndPagesStep)
{
    OptionRec.FormType = 1;
    showPreview();
    const QImage first = page();
    EXPECT_FALSE(blank(first));
    EXPECT_EQ(page(), first);

    QTest::keyClick(fmPreView, Qt::Key_PageUp);
    EXPECT_EQ(fmPreView->currentPage(), 2);
    const QImage second = page();
    EXPECT_NE(second, first);
    EXPECT_FALSE(blank(second));
    QTest::keyClick(fmPreView, Qt::Key_PageUp);  // nothing after the last page
    EXPECT_EQ(fmPreView->currentPage(), 2);
    QTest::keyClick(fmPreView, Qt::Key_F11);
    EXPECT_EQ(fmPreView->currentPage(), 1);
    EXPECT_EQ(page(), first);
    Screenshot(fmPreView, "preview-100.png");

    // Enter doubles the sheet and the drawing; the command again shows the sheet whole.
    QWidget* paper = child<QWidget>(fmPreView, "pnPaper");
    const QSize whole = paper->size();
    const int zoom = PreviewZoom;
    QTest::keyClick(fmPreView, Qt::Key_Return);
    EXPECT_EQ(paper->height(), whole.height() * 2);
    EXPECT_NEAR(PreviewZoom, zoom * 2, 1);
    EXPECT_FALSE(blank(page()));
    Screenshot(fmPreView, "preview-200.png");
    fmPreView->mnWDispClick();
    EXPECT_EQ(paper->size(), whole);
    EXPECT_TRUE(msg_.shown().empty()) << msg_.lastText();
}

// Nobody answers the request to maximise on an X server without a window manager: the preview
// fills the screen itself. Run offscreen, the test runs itself again on such a server.
TEST_F(PreviewTest, FillsTheScreenWithoutAWindowManager)
{
    if (RanItselfUnderXvfb()) return;
    showPreview();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(fmPreView, 60000));
    const QSize screen = fmPreView->screen()->availableGeometry().size();
    EXPECT_TRUE(QTest::qWaitFor([&] { return fmPreView->size() == screen; }, 60000))
        << fmPreView->width() << "x" << fmPreView->height();
}

TEST_F(PreviewTest, PreprintedFormShowsItsPictureBehindTheValues)
{
    OptionRec.FormType = 1;
    showPreview();
    const QImage plain = page();
    OptionRec.FormType = 2;
    const QImage form = page();
    EXPECT_NE(form, plain);
    // Between the two slips the form has its tear line; plain paper has nothing there.
    // 148.5 mm down at the preview's scale (the sheet may be a few pixels taller than the page).
    const int y = int(148.5 * fmPreView->logicalDpiY() * PreviewZoom / 100.0 / 25.4);
    auto inkAcross = [y](const QImage& img) {
        int n = 0;
        for (int dy = -2; dy <= 2; ++dy)
            for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y + dy) != qRgb(255, 255, 255);
        return n;
    };
    EXPECT_GT(inkAcross(form), inkAcross(plain) + 20);
}

TEST_F(PreviewTest, PageThatCannotBeDrawnIsToldOnceAndThePreviewGoesOn)
{
    showPreview();
    breakYearFile();
    page();
    page();
    QTest::keyClick(fmPreView, Qt::Key_PageUp);
    QApplication::processEvents();
    ASSERT_EQ(msg_.shown().size(), 1u);
    EXPECT_EQ(msg_.shown()[0].type, MsgType::Error);
    EXPECT_EQ(PrnCanvas, nullptr);
    EXPECT_TRUE(fmPreView->isVisible());
    EXPECT_EQ(fmPreView->currentPage(), 2);
    // Without the cumulative rows the page draws again.
    OptionRec.PrnRuikei = false;
    EXPECT_FALSE(blank(page()));
    QApplication::processEvents();
    EXPECT_EQ(msg_.shown().size(), 1u);
    QTest::keyClick(fmPreView, Qt::Key_Escape);
    EXPECT_FALSE(fmPreView->isVisible());
}

}  // namespace
