// The millimetre drawing engine over one QPainter: the conversion to device dots, text on the
// fixed cell grid, lines, boxes and shaded boxes, and the set-up of the state for each canvas.
#include "print/engine.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QHash>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QRawFont>
#include <cmath>

#include "payroll/option.h"
#include "platform/cp932.h"
#include "platform/errors.h"

QPainter* PrnCanvas = nullptr;
float DotsPerMmX = 1.0f;
float DotsPerMmY = 1.0f;
int PrnOffsetX = 0;
int PrnOffsetY = 0;
int PenThin = 1;
int PenThick = 2;
int PreviewZoom = 100;
float PageOffsetX = 0.0f;
float PageOffsetY = 0.0f;
QString PrnFontName = QStringLiteral("ＭＳ 明朝");
float PrnFontHeight = 10.0f / 2.8f;
bool PrnBold = false;
bool PrnUnderline = false;
bool PrnItalic = false;
bool PrnNarrow = false;

namespace {

// Nearest integer with exact halves to the even neighbour (the FPU's default mode).
int roundEven(double v)
{
    return static_cast<int>(std::nearbyint(v));
}

// The adjusted millimetre position of a point, kept in single precision like the state.
float adjustedX(float xMm)
{
    return static_cast<float>(double(xMm) + OptionRec.PrAdjustH + double(PageOffsetX) - double(PrnOffsetX));
}
float adjustedY(float yMm)
{
    return static_cast<float>(double(yMm) + OptionRec.PrAdjustV + double(PageOffsetY) - double(PrnOffsetY));
}
int dotsX(float adjusted)
{
    return roundEven(double(adjusted) * double(DotsPerMmX));
}
int dotsY(float adjusted)
{
    return roundEven(double(adjusted) * double(DotsPerMmY));
}

// A rectangle between two corners in dots, whichever way round they were given.
QRect dotRect(float x1, float y1, float x2, float y2)
{
    const int a = DotX(x1), b = DotX(x2), c = DotY(y1), d = DotY(y2);
    return QRect(QPoint(std::min(a, b), std::min(c, d)), QSize(std::abs(b - a), std::abs(d - c)));
}

void setPenWidthOnCanvas(int width)
{
    QPen pen = PrnCanvas->pen();
    pen.setWidth(width);
    PrnCanvas->setPen(pen);
}

// The logical font of the text state: its height is the whole character cell, and narrow text is
// squeezed horizontally to the narrow cell rather than given a smaller face.
QFont makeFont(int heightDots)
{
    QFont font(PrnFontName);
    font.setPixelSize(std::max(1, heightDots));
    if (PrnNarrow) {
        const int narrowWidth = roundEven(heightDots / 7.0 * 3.0);
        const int stretch = roundEven(100.0 * narrowWidth / (heightDots / 2.0));
        font.setStretch(std::clamp(stretch, 1, 4000));
    }
    if (PrnBold) font.setWeight(QFont::Bold);
    font.setItalic(PrnItalic);
    return font;
}

// The characters of a text with the cells each takes: a character of two CP932 bytes takes two
// cells, any other one. Texts come from CP932 records and settings; a character CP932 lacks (it
// cannot be stored, but a caller may still pass one) counts as double-byte instead of stopping
// the page.
struct Glyph {
    QString text;
    int cells;
};
QList<Glyph> splitGlyphs(const QString& text)
{
    QList<Glyph> out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const int n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString ch = text.mid(i, n);
        out.append({ch, cp932::byteLength(ch)});
        i += n - 1;
    }
    return out;
}

// The glyphs of a logical font, kept per font: looking them up costs more than drawing them.
QHash<QString, QRawFont>& rawFonts()
{
    static QHash<QString, QRawFont> fonts;
    return fonts;
}
QRawFont rawFontOf(const QFont& font)
{
    const QString key = font.key();
    auto it = rawFonts().constFind(key);
    if (it == rawFonts().cend()) it = rawFonts().insert(key, QRawFont::fromFont(font));
    return *it;
}

}  // namespace

int DotX(float xMm)
{
    return dotsX(adjustedX(xMm));
}
int DotY(float yMm)
{
    return dotsY(adjustedY(yMm));
}

void SetFontPoint(int points)
{
    PrnFontHeight = static_cast<float>(points) / 2.8f;
}

void PrintText(float x, float y, const QString& text)
{
    if (!PrnCanvas) return;
    const int heightDots = roundEven(double(PrnFontHeight) * double(DotsPerMmY));
    const QFont previous = PrnCanvas->font();
    const QFont font = makeFont(heightDots);
    PrnCanvas->setFont(font);
    PrnCanvas->setBrush(Qt::NoBrush);
    // Each character is placed by the top of its cell; the baseline lies one ascent below.
    const int ascent = QFontMetrics(font, PrnCanvas->device()).ascent();
    const float cellWidth = PrnNarrow ? PrnFontHeight / 7.0f * 3.0f : PrnFontHeight / 2.0f;

    float xMm = adjustedX(x);
    const float yMm = adjustedY(y);
    const float startX = xMm;
    const int top = dotsY(yMm);
    const QList<Glyph> glyphs = splitGlyphs(text);
    // On a PDF page (the printer's too) a text is one run of glyphs placed cell by cell: the same
    // characters at the same dots as one text-out each, but a ledger of 90 pages no longer takes
    // seconds. Screens and images keep one text-out per character.
    const QPaintEngine* engine = PrnCanvas->paintEngine();
    const QRawFont raw = engine && engine->type() == QPaintEngine::Pdf ? rawFontOf(font) : QRawFont();
    QList<quint32> indexes;
    QList<QPointF> positions;
    for (const Glyph& g : glyphs) {
        const QPoint at(dotsX(xMm), top + ascent);
        // A blank leaves its cell empty on paper: the run has no glyph for it.
        if (raw.isValid() && g.text == QLatin1String(" ")) {
            xMm = static_cast<float>(double(xMm) + g.cells * double(cellWidth));
            continue;
        }
        const QList<quint32> index = raw.isValid() ? raw.glyphIndexesForString(g.text) : QList<quint32>();
        if (index.size() == 1 && index[0] != 0) {
            indexes << index[0];
            positions << QPointF(at);
        } else {
            // A character the face lacks takes the fallback of an ordinary text-out.
            PrnCanvas->drawText(at, g.text);
        }
        xMm = static_cast<float>(double(xMm) + g.cells * double(cellWidth));
    }
    if (!indexes.isEmpty()) {
        QGlyphRun run;
        run.setRawFont(raw);
        run.setGlyphIndexes(indexes);
        run.setPositions(positions);
        PrnCanvas->drawGlyphRun(QPointF(0, 0), run);
    }
    PrnCanvas->setFont(previous);

    if (PrnUnderline) {
        const QPen keep = PrnCanvas->pen();
        QPen pen = keep;
        pen.setStyle(Qt::SolidLine);
        pen.setWidth(roundEven(PenThin * 1.2));
        PrnCanvas->setPen(pen);
        const int lineY = dotsY(static_cast<float>(double(yMm) + PrnFontHeight));
        PrnCanvas->drawLine(QPoint(dotsX(startX), lineY), QPoint(dotsX(xMm), lineY));
        PrnCanvas->setPen(keep);
    }
}

void DrawLine(float x1, float y1, float x2, float y2)
{
    if (!PrnCanvas) return;
    setPenWidthOnCanvas(PenThin);
    PrnCanvas->drawLine(QPoint(DotX(x1), DotY(y1)), QPoint(DotX(x2), DotY(y2)));
}

void DrawBox(float x1, float y1, float x2, float y2)
{
    if (!PrnCanvas) return;
    PrnCanvas->setBrush(Qt::NoBrush);
    PrnCanvas->drawRect(dotRect(x1, y1, x2, y2));
}

void FillBoxRgb(float x1, float y1, float x2, float y2, unsigned rgb)
{
    if (!PrnCanvas) return;
    const QColor colour(QRgb(rgb | 0xFF000000u));
    // Filled without an outline: the corner dot inside, the far edges outside, as the ruled lines
    // drawn over a shaded strip expect.
    PrnCanvas->setBrush(colour);
    PrnCanvas->fillRect(dotRect(x1, y1, x2, y2), colour);
}

void FillBox(float x1, float y1, float x2, float y2)
{
    if (OptionRec.NoBakCol) return;
    FillBoxRgb(x1, y1, x2, y2, ShadeRgb);
}

void SetPenWidth(int width)
{
    if (PrnCanvas) setPenWidthOnCanvas(width);
}

void SetPenColor(unsigned rgb)
{
    if (!PrnCanvas) return;
    QPen pen = PrnCanvas->pen();
    pen.setColor(QColor(QRgb(rgb | 0xFF000000u)));
    PrnCanvas->setPen(pen);
}

std::array<QByteArray, 3> SplitText16Bytes(const QByteArray& text)
{
    std::array<QByteArray, 3> out;
    int pos = 0;
    for (QByteArray& piece : out) {
        // cutBytes walks from the piece's start, so a trail byte that looks like a lead byte is
        // never taken for one.
        piece = cp932::cutBytes(text.mid(pos), 16);
        pos += piece.size();
    }
    return out;
}

std::array<QString, 3> SplitText16(const QString& text)
{
    std::array<QString, 3> out;
    try {
        const auto pieces = SplitText16Bytes(cp932::encode(text));
        for (int i = 0; i < 3; ++i) out[i] = cp932::decode(pieces[i]);
    } catch (const EncodingError&) {
        // Not storable in CP932: cut the characters by their CP932 widths all the same.
        QString rest = text;
        for (QString& piece : out) {
            piece = cp932::cut(rest, 16);
            rest = rest.mid(piece.size());
        }
    }
    return out;
}

namespace {

void startCanvas(QPainter* canvas)
{
    PrnCanvas = canvas;
    if (!canvas) return;
    QPen pen(Qt::black);
    pen.setStyle(Qt::SolidLine);
    pen.setWidth(PenThin);
    // Ruled boxes want square corners and ends that meet exactly.
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    canvas->setPen(pen);
    canvas->setBrush(Qt::NoBrush);
}

}  // namespace

void SetPrinterCanvas(QPainter* canvas, int logPixelsX, int logPixelsY, int physOffsetX, int physOffsetY)
{
    DotsPerMmX = static_cast<float>(logPixelsX / 25.4);
    DotsPerMmY = static_cast<float>(logPixelsY / 25.4);
    PrnOffsetX = roundEven(physOffsetX / double(DotsPerMmX));
    PrnOffsetY = roundEven(physOffsetY / double(DotsPerMmY));
    PenThin = roundEven(logPixelsX / 360.0 * 2);
    PenThick = roundEven(logPixelsX / 360.0 * 5);
    startCanvas(canvas);
}

void SetScreenCanvas(QPainter* canvas, int screenDpi, int zoom, int penThin, int penThick)
{
    // MulDiv: the product over the divisor, rounded half away from zero.
    const int dpi = static_cast<int>(std::lround(double(screenDpi) * zoom / 100.0));
    DotsPerMmX = DotsPerMmY = static_cast<float>(dpi / 25.4);
    PenThin = penThin;
    PenThick = penThick;
    startCanvas(canvas);
}

void ResetPrintEngine()
{
    PrnCanvas = nullptr;
    DotsPerMmX = DotsPerMmY = 1.0f;
    PrnOffsetX = PrnOffsetY = 0;
    PenThin = 1;
    PenThick = 2;
    PreviewZoom = 100;
    PageOffsetX = PageOffsetY = 0.0f;
    PrnFontName = QStringLiteral("ＭＳ 明朝");
    PrnFontHeight = 10.0f / 2.8f;
    PrnBold = PrnUnderline = PrnItalic = PrnNarrow = false;
    rawFonts().clear();
}
