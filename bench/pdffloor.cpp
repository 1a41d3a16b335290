// Recording what the engine draws and drawing it again straight through QPdfWriter.
#include "bench/pdffloor.h"

#include <QHash>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QRawFont>
#include <QTextItem>

#include "print/engine.h"

namespace {

// A page of A4 at dpi that keeps what is drawn on it. Off a PDF page the engine draws each
// character as a text of its own between a font set for the text and the font set back, so a
// font change marks where one text ends and the next begins.
class Recorder : public QPaintDevice, private QPaintEngine {
  public:
    explicit Recorder(int dpi) : QPaintEngine(AllFeatures), dpi_(dpi) {}
    QPaintEngine* paintEngine() const override { return const_cast<Recorder*>(this); }

    TFloorPage page;

  protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
            case PdmWidth:
                return dpi_ * 210 * 10 / 254;
            case PdmHeight:
                return dpi_ * 297 * 10 / 254;
            case PdmWidthMM:
                return 210;
            case PdmHeightMM:
                return 297;
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY:
                return dpi_;
            case PdmDepth:
                return 32;
            case PdmNumColors:
                return INT_MAX;
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return int(QPaintDevice::devicePixelRatioFScale());
        }
        return 0;
    }

  private:
    bool begin(QPaintDevice*) override { return true; }
    bool end() override
    {
        closeRun();
        return true;
    }
    Type type() const override { return User; }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void updateState(const QPaintEngineState& state) override
    {
        if (state.state() & DirtyFont) closeRun();
    }
    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        if (!open_) {
            font_ = item.font();
            open_ = true;
        }
        // A blank has no glyph on paper.
        if (item.text() == QLatin1String(" ")) return;
        const QRawFont& raw = rawFont(font_);
        const QList<quint32> index = raw.glyphIndexesForString(item.text());
        if (index.size() != 1) return;
        indexes_ << index[0];
        positions_ << p;
    }
    void drawLines(const QLine* lines, int n) override
    {
        closeRun();
        for (int i = 0; i < n; ++i) page.push_back({TFloorOp::Line, {}, lines[i], {}, painter()->pen(), {}});
    }
    void drawRects(const QRect* rects, int n) override
    {
        closeRun();
        const bool fill = painter()->pen().style() == Qt::NoPen;
        for (int i = 0; i < n; ++i)
            page.push_back({fill ? TFloorOp::Fill : TFloorOp::Box,
                            {},
                            {},
                            rects[i],
                            painter()->pen(),
                            painter()->brush()});
    }

    static const QRawFont& rawFont(const QFont& font)
    {
        static QHash<QString, QRawFont> fonts;
        const QString key = font.key();
        auto it = fonts.find(key);
        if (it == fonts.end()) it = fonts.insert(key, QRawFont::fromFont(font));
        return *it;
    }
    void closeRun()
    {
        if (open_ && !indexes_.isEmpty()) {
            TFloorOp op{TFloorOp::Run, {}, {}, {}, {}, {}};
            op.run.setRawFont(rawFont(font_));
            op.run.setGlyphIndexes(indexes_);
            op.run.setPositions(positions_);
            page.push_back(op);
        }
        open_ = false;
        indexes_.clear();
        positions_.clear();
    }

    int dpi_;
    bool open_ = false;
    QFont font_;
    QList<quint32> indexes_;
    QList<QPointF> positions_;
};

}  // namespace

std::vector<TFloorPage> RecordFloorPages(int pages, int dpi, const std::function<void(int page)>& drawPage)
{
    std::vector<TFloorPage> out;
    for (int page = 1; page <= pages; ++page) {
        Recorder rec(dpi);
        QPainter p(&rec);
        SetPrinterCanvas(&p, dpi, dpi, 0, 0);
        drawPage(page);
        p.end();
        PrnCanvas = nullptr;
        out.push_back(std::move(rec.page));
    }
    return out;
}

std::pair<int, int> FloorRunCount(const std::vector<TFloorPage>& pages)
{
    int runs = 0, glyphs = 0;
    for (const TFloorPage& page : pages)
        for (const TFloorOp& op : page)
            if (op.kind == TFloorOp::Run) ++runs, glyphs += int(op.run.glyphIndexes().size());
    return {runs, glyphs};
}

void DrawFloorPages(QPdfWriter& writer, const std::vector<TFloorPage>& pages)
{
    QPainter p(&writer);
    bool first = true;
    for (const TFloorPage& page : pages) {
        if (!first) writer.newPage();
        first = false;
        for (const TFloorOp& op : page) {
            switch (op.kind) {
                case TFloorOp::Run:
                    p.drawGlyphRun(QPointF(0, 0), op.run);
                    break;
                case TFloorOp::Line:
                    p.setPen(op.pen);
                    p.drawLine(op.line);
                    break;
                case TFloorOp::Box:
                    p.setPen(op.pen);
                    p.setBrush(Qt::NoBrush);
                    p.drawRect(op.rect);
                    break;
                case TFloorOp::Fill:
                    p.fillRect(op.rect, op.brush.color());
                    break;
            }
        }
    }
    p.end();
}
