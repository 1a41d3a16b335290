// The drawing engine: millimetres to dots with halves to even and every adjustment, the cell grid
// of texts, the pens of each canvas, shading and the 16-byte cuts.
#include "print/engine.h"

#include <QPdfWriter>
#include <QProcess>

#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/period.h"
#include "platform/cp932.h"
#include "print/printer.h"
#include "tests/print/recorder.h"
#include "tests/testutil.h"

namespace {

using EngineTest = CoreTest;

TEST_F(EngineTest, MillimetresToDots)
{
    struct Case {
        float dotsPerMm;
        double adjust;
        float pageOffset;
        int prnOffset;
        float mm;
        int dots;
    };
    const Case cases[] = {
        {10, 0, 0, 0, 12.34f, 123}, {2, 0, 0, 0, 0.25f, 0},    // 0.5 goes to the even 0
        {2, 0, 0, 0, 0.75f, 2},     {2, 0, 0, 0, 1.25f, 2},    // 1.5 up, 2.5 down
        {2, 0, 0, 0, -0.75f, -2},   {10, 1.5, 2, 3, 10, 105},  // adjustment + page - printer
        {10, 0, -0.5f, 4, 1, -35},  {23.622047f, 0, 148, 0, 54, 4772},
    };
    for (const Case& c : cases) {
        DotsPerMmX = DotsPerMmY = c.dotsPerMm;
        OptionRec.PrAdjustH = OptionRec.PrAdjustV = c.adjust;
        PageOffsetX = PageOffsetY = c.pageOffset;
        PrnOffsetX = PrnOffsetY = c.prnOffset;
        EXPECT_EQ(DotX(c.mm), c.dots) << c.mm << " mm at " << c.dotsPerMm;
        EXPECT_EQ(DotY(c.mm), c.dots) << c.mm << " mm at " << c.dotsPerMm;
    }
    // The two axes keep their own settings.
    DotsPerMmX = 10, DotsPerMmY = 20;
    OptionRec.PrAdjustH = 0, OptionRec.PrAdjustV = 1.0;
    PageOffsetX = PageOffsetY = 0;
    PrnOffsetX = PrnOffsetY = 0;
    EXPECT_EQ(DotX(5), 50);
    EXPECT_EQ(DotY(5), 120);
}

TEST_F(EngineTest, PensAndResolutionOfEachCanvas)
{
    struct Case {
        int dpi, offset, prnOffset, thin, thick;
    };
    for (const Case& c : {Case{600, 100, 4, 3, 8}, Case{300, 59, 5, 2, 4}, Case{360, 0, 0, 2, 5}}) {
        SetPrinterCanvas(nullptr, c.dpi, c.dpi, c.offset, c.offset);
        EXPECT_FLOAT_EQ(DotsPerMmX, c.dpi / 25.4f);
        EXPECT_EQ(PrnOffsetX, c.prnOffset) << c.dpi;
        EXPECT_EQ(PenThin, c.thin) << c.dpi;
        EXPECT_EQ(PenThick, c.thick) << c.dpi;
    }
    PrnOffsetX = 4;
    SetScreenCanvas(nullptr, 96, 125, 1, 2);  // MulDiv(96, 125, 100) = 120
    EXPECT_FLOAT_EQ(DotsPerMmY, 120 / 25.4f);
    EXPECT_EQ(PrnOffsetX, 4) << "the preview keeps the printer's margin";
}

TEST_F(EngineTest, TextSitsOnTheCellGrid)
{
    RecordingDevice dev;
    QPainter p(&dev);
    SetScreenCanvas(&p, 254, 100, 1, 2);  // 10 dots per mm
    SetFontPoint(10);                     // 3.5714 mm: 36 dots high, cells of 1.7857 mm
    PrnUnderline = true;
    PrintText(10, 10, QStringLiteral("A給B"));
    PrintText(10, 20, QStringLiteral("12"));
    PrintText(10, 30, QStringLiteral("給"));
    PrintText(10, 40, QString());
    PrnNarrow = PrnBold = true;
    PrnUnderline = false;
    PrintText(10, 50, QStringLiteral("ｱ9"));

    ASSERT_EQ(dev.texts.size(), 8u);
    const auto at = [&](int i) { return dev.texts[i].top; };
    EXPECT_EQ(at(0), QPoint(100, 100)) << "placed by the top of its cell";
    EXPECT_EQ(at(1), QPoint(118, 100));
    EXPECT_EQ(at(2), QPoint(154, 100)) << "a full-width character takes two cells";
    EXPECT_EQ(dev.texts[0].font.pixelSize(), 36) << "the font's height is the whole cell";
    EXPECT_EQ(at(6), QPoint(100, 500));
    EXPECT_EQ(at(7), QPoint(115, 500)) << "a narrow cell is 3/7 of the height";
    EXPECT_EQ(dev.texts[7].font.stretch(), 83) << "squeezed to 15 of 18 dots";
    EXPECT_TRUE(dev.texts[7].font.bold());
    EXPECT_EQ(dev.texts[6].text, QStringLiteral("ｱ")) << "half-width katakana takes one cell";

    ASSERT_EQ(dev.shapes.size(), 4u) << "one underline per text, none in narrow mode";
    const QLine half = dev.shapes[1].line, full = dev.shapes[2].line, empty = dev.shapes[3].line;
    EXPECT_EQ(half.x2(), full.x2()) << "two half-width bytes end where one full-width character does";
    EXPECT_EQ(dev.shapes[0].line, QLine(100, 136, 171, 136));
    EXPECT_EQ(empty.p1(), empty.p2()) << "an empty text underlines nothing at its start";
    EXPECT_EQ(dev.shapes[0].width, 1) << "round(PenThin x 1.2)";
}

// Each text takes the face of the text state it is drawn in, however the states alternate.
TEST_F(EngineTest, EachTextTakesTheFaceOfItsState)
{
    RecordingDevice dev;
    QPainter p(&dev);
    SetScreenCanvas(&p, 254, 100, 1, 2);  // 10 dots per mm
    SetFontPoint(10);
    const QString mincho = PrnFontName;
    const auto draw = [](const char* text) { PrintText(10, 10, QString::fromUtf8(text)); };
    draw("a");
    PrnBold = true;
    draw("b");
    PrnBold = false;
    draw("c");
    PrnItalic = true;
    draw("d");
    PrnItalic = false;
    PrnNarrow = true;
    draw("e");
    PrnNarrow = false;
    SetFontPoint(12);
    draw("f");
    SetFontPoint(10);
    PrnFontName = QStringLiteral("ＭＳ ゴシック");
    draw("g");
    PrnFontName = mincho;
    draw("h");
    p.end();

    ASSERT_EQ(dev.texts.size(), 8u);
    const auto font = [&](int i) { return dev.texts[size_t(i)].font; };
    EXPECT_FALSE(font(0).bold());
    EXPECT_TRUE(font(1).bold());
    EXPECT_FALSE(font(2).bold()) << "plain again after bold";
    EXPECT_TRUE(font(3).italic());
    EXPECT_FALSE(font(4).italic());
    EXPECT_EQ(font(4).stretch(), 83);
    EXPECT_EQ(font(5).pixelSize(), 43) << "12 pt: 4.2857 mm, 43 dots";
    EXPECT_EQ(font(6).family(), QStringLiteral("ＭＳ ゴシック"));
    EXPECT_EQ(font(7), font(0)) << "the first state's face once more";
}

// On a PDF page a text is one run of glyphs; a character the face lacks is drawn as an ordinary
// text in the text state's font, and the canvas keeps the font it had.
TEST_F(EngineTest, PdfTextKeepsTheCanvasFont)
{
    const QString file = dir() + QStringLiteral("/text.pdf");
    QPdfWriter writer(file);
    writer.setResolution(600);
    QPainter p(&writer);
    SetPrinterCanvas(&p, 600, 600, 0, 0);
    const QFont before(QStringLiteral("Sans"), 7);
    p.setFont(before);
    SetFontPoint(10);
    PrintText(10, 10, QStringLiteral("給与 12"));
    EXPECT_EQ(p.font(), before);
    PrintText(10, 20, QStringLiteral("A\u10D0B"));  // a Georgian letter the Japanese faces lack
    EXPECT_EQ(p.font(), before);
    p.end();
    PrnCanvas = nullptr;
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString out = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("給与 12"))) << out;
    EXPECT_TRUE(out.contains(QStringLiteral("\u10D0"))) << out;
}

TEST_F(EngineTest, LinesBoxesAndShading)
{
    RecordingDevice dev;
    QPainter p(&dev);
    SetPrinterCanvas(&p, 254, 254, 0, 0);
    SetPenWidth(PenThick);
    DrawBox(30, 20, 10, 5);  // corners in any order
    DrawLine(1, 2, 3, 4);
    FillBox(0, 0, 1.5f, 2);
    OptionRec.NoBakCol = true;
    FillBox(0, 0, 1.5f, 2);
    PrintText(0, 0, QString());
    EXPECT_EQ(p.brush().style(), Qt::NoBrush) << "text sets the brush back to clear";

    ASSERT_EQ(dev.shapes.size(), 3u) << "no shading with NoBakCol";
    EXPECT_EQ(dev.shapes[0], (RecShape{QLine(100, 50, 300, 200), true, false, Qt::black, PenThick}));
    EXPECT_EQ(dev.shapes[1], (RecShape{QLine(10, 20, 30, 40), false, false, Qt::black, PenThin}))
        << "lines always take the thin pen";
    EXPECT_EQ(dev.shapes[2], (RecShape{QLine(0, 0, 15, 20), true, true, QColor(187, 222, 255), 0}));
}

TEST_F(EngineTest, SplitText16CutsOnCharacterBoundaries)
{
    const QString kanji8 =
        QStringLiteral("亜亜亜亜亜亜亜亜");  // 亜 is 0x88 0x9F: its trail looks like a lead
    struct Case {
        QString text;
        std::array<QString, 3> pieces;
    };
    const Case cases[] = {
        {QString(), {}},
        {QStringLiteral("abcdefghijklmnopqrst"),
         {QStringLiteral("abcdefghijklmnop"), QStringLiteral("qrst"), {}}},
        {kanji8 + QStringLiteral("b"), {kanji8, QStringLiteral("b"), {}}},
        {QStringLiteral("a") + kanji8, {QStringLiteral("a亜亜亜亜亜亜亜"), QStringLiteral("亜"), {}}},
        {QString(60, QLatin1Char('x')),
         {QString(16, QLatin1Char('x')), QString(16, QLatin1Char('x')), QString(16, QLatin1Char('x'))}},
        {QStringLiteral("ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀ東京"),
         {QStringLiteral("ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀ"), QStringLiteral("東京"), {}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitText16(c.text), c.pieces) << c.text;
        const auto bytes = SplitText16Bytes(cp932::encode(c.text));
        for (int i = 0; i < 3; ++i) EXPECT_EQ(bytes[i], cp932::encode(c.pieces[i])) << c.text;
    }
}

}  // namespace
