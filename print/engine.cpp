// The millimetre drawing engine over one QPainter: the conversion to device dots, text on the
// fixed cell grid, lines, boxes and shaded boxes, and the set-up of the state for each canvas.
#include "print/engine.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QRawFont>
#include <QVarLengthArray>
#include <cmath>
#include <memory>
#include <vector>

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

// A face of the text state as it is drawn: the logical font, its glyphs for PDF pages, each
// character's glyph as first looked up, and its ascent on the device last drawn on. A ledger
// page draws some seven hundred texts in a handful of faces; making the font, finding its glyphs
// and measuring it again for every text cost more than drawing them.
struct Face {
    QString name;
    int heightDots;
    bool narrow, bold, italic;
    QFont font;
    QRawFont raw;                 // made when a PDF page first needs it
    std::vector<quint32> glyphs;  // per UTF-16 unit; Unknown until looked up
    const QPaintDevice* device = nullptr;
    int dpiY = 0;
    int ascent = 0;
    static constexpr quint32 Unknown = 0xFFFFFFFFu;

    bool is(int h) const
    {
        return heightDots == h && narrow == PrnNarrow && bold == PrnBold && italic == PrnItalic &&
               name == PrnFontName;
    }
    int ascentOn(const QPaintDevice* dev)
    {
        const int dpi = dev ? dev->logicalDpiY() : 0;
        if (dev != device || dpi != dpiY) {
            ascent = QFontMetrics(font, dev).ascent();
            device = dev, dpiY = dpi;
        }
        return ascent;
    }
    // The one glyph of a character (one UTF-16 unit or a surrogate pair); 0 when the face lacks it.
    quint32 glyphOf(QStringView ch)
    {
        if (!raw.isValid()) raw = QRawFont::fromFont(font);
        if (ch.size() != 1) return lookUp(ch);
        if (glyphs.empty()) glyphs.assign(0x10000, Unknown);
        quint32& g = glyphs[ch[0].unicode()];
        if (g == Unknown) g = lookUp(ch);
        return g;
    }
    quint32 lookUp(QStringView ch) const
    {
        quint32 index[2] = {0, 0};
        int n = 2;
        if (!raw.glyphIndexesForChars(ch.data(), int(ch.size()), index, &n) || n != 1) return 0;
        return index[0];
    }
};

// The cells of a character: its CP932 bytes, a character CP932 lacks (it cannot be stored, but a
// caller may still pass one) as double-byte instead of stopping the page. Kept per UTF-16 unit as
// first counted.
int cellsOf(QStringView ch)
{
    static std::vector<int8_t> cells(0x10000, 0);
    if (ch.size() != 1) return cp932::byteLength(ch.toString());
    int8_t& n = cells[ch[0].unicode()];
    if (n == 0) n = int8_t(cp932::byteLength(QString(ch[0])));
    return n;
}

struct Faces {
    std::vector<std::unique_ptr<Face>> list;
    Face* last = nullptr;  // most often the one asked for again
};
Faces& faces()
{
    static Faces f;
    return f;
}

Face& faceOf(int heightDots)
{
    Faces& all = faces();
    if (all.last && all.last->is(heightDots)) return *all.last;
    for (const auto& f : all.list)
        if (f->is(heightDots)) return *(all.last = f.get());
    auto f = std::make_unique<Face>();
    f->name = PrnFontName;
    f->heightDots = heightDots;
    f->narrow = PrnNarrow, f->bold = PrnBold, f->italic = PrnItalic;
    f->font = makeFont(heightDots);
    all.list.push_back(std::move(f));
    return *(all.last = all.list.back().get());
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
    Face& face = faceOf(heightDots);
    PrnCanvas->setBrush(Qt::NoBrush);
    // Each character is placed by the top of its cell; the baseline lies one ascent below.
    const int ascent = face.ascentOn(PrnCanvas->device());
    const float cellWidth = PrnNarrow ? PrnFontHeight / 7.0f * 3.0f : PrnFontHeight / 2.0f;

    float xMm = adjustedX(x);
    const float yMm = adjustedY(y);
    const float startX = xMm;
    const int top = dotsY(yMm);
    // On a PDF page (the printer's too) a text is one run of glyphs placed cell by cell: the same
    // characters at the same dots as one text-out each, but a ledger of 90 pages no longer takes
    // seconds. Screens and images keep one text-out per character.
    const QPaintEngine* engine = PrnCanvas->paintEngine();
    const bool pdf = engine && engine->type() == QPaintEngine::Pdf;
    QVarLengthArray<quint32, 64> indexes;
    QVarLengthArray<QPointF, 64> positions;
    QFont previous;
    bool fontSet = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QStringView ch = QStringView(text).mid(i, n);
        const int cells = cellsOf(ch);
        i += n - 1;
        const QPoint at(dotsX(xMm), top + ascent);
        xMm = static_cast<float>(double(xMm) + cells * double(cellWidth));
        if (pdf) {
            // A blank leaves its cell empty on paper: the run has no glyph for it.
            if (ch == QLatin1String(" ")) continue;
            const quint32 glyph = face.glyphOf(ch);
            if (glyph != 0) {
                indexes.append(glyph);
                positions.append(QPointF(at));
                continue;
            }
        }
        // A character the face lacks takes the fallback of an ordinary text-out.
        if (!fontSet) {
            previous = PrnCanvas->font();
            PrnCanvas->setFont(face.font);
            fontSet = true;
        }
        PrnCanvas->drawText(at, ch.toString());
    }
    if (!indexes.isEmpty()) {
        QGlyphRun run;
        run.setRawFont(face.raw);
        run.setRawData(indexes.constData(), positions.constData(), int(indexes.size()));
        PrnCanvas->drawGlyphRun(QPointF(0, 0), run);
    }
    if (fontSet) PrnCanvas->setFont(previous);

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
    faces() = {};
}
