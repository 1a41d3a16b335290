// A paint device that records in device dots what the drawing engine draws: characters with
// their cell top, lines, outlined and filled boxes, so tests can check positions exactly.
#pragma once
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QTextItem>
#include <vector>

#include "print/dispatch.h"
#include "print/engine.h"

struct RecText {
    QPoint top;  // the baseline's left end moved up by the font's ascent: the cell's corner
    QString text;
    QFont font;
    bool operator==(const RecText& o) const { return top == o.top && text == o.text && font == o.font; }
};
struct RecShape {
    QLine line;  // a line, or a box from corner to corner
    bool box;
    bool filled;  // a fill without outline
    QColor colour;
    int width;  // of the pen, 0 for a fill
    bool operator==(const RecShape& o) const = default;
};

class RecordingDevice : public QPaintDevice, private QPaintEngine {
  public:
    std::vector<RecText> texts;
    std::vector<RecShape> shapes;

    RecordingDevice() : QPaintEngine(AllFeatures) {}
    QPaintEngine* paintEngine() const override { return const_cast<RecordingDevice*>(this); }
    // The trimmed text of the characters drawn one after another from the cell at this dot along
    // its baseline (a gap of more than a quarter character ends them), or "<none>".
    QString textAt(QPoint dot) const
    {
        QString run;
        int end = 0;
        for (const RecText& t : texts) {
            const int width = QFontMetrics(t.font).horizontalAdvance(t.text);
            if (!run.isEmpty() && t.top.y() == dot.y() && t.top.x() >= end - 1 &&
                t.top.x() - end <= width / 4)
                run += t.text;
            else if (!run.isEmpty())
                break;
            else if (t.top == dot)
                run = t.text;
            end = t.top.x() + width;
        }
        return run.isEmpty() ? QStringLiteral("<none>") : run.trimmed();
    }

    // The face (without its "ＭＳ " prefix), the height in dots and "bold" and "narrow" of the
    // character drawn in the cell at this dot, or "<none>".
    QString styleAt(QPoint dot) const
    {
        for (const RecText& t : texts) {
            if (t.top != dot) continue;
            QString style = t.font.family().remove(QStringLiteral("ＭＳ ")) + QLatin1Char(' ') +
                            QString::number(t.font.pixelSize());
            if (t.font.weight() >= QFont::Bold) style += QStringLiteral(" bold");
            if (t.font.stretch() != 0 && t.font.stretch() != 100) style += QStringLiteral(" narrow");
            return style;
        }
        return QStringLiteral("<none>");
    }

  protected:
    int metric(PaintDeviceMetric m) const override
    {
        if (m == PdmDevicePixelRatioScaled) return int(QPaintDevice::devicePixelRatioFScale());
        return m == PdmDevicePixelRatio ? 1 : m == PdmDepth ? 32 : m == PdmNumColors ? INT_MAX : 254;
    }

  private:
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    Type type() const override { return User; }
    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        const int ascent = QFontMetrics(item.font(), this).ascent();
        texts.push_back({QPoint(int(p.x()), int(p.y()) - ascent), item.text(), item.font()});
    }
    void drawLines(const QLine* lines, int n) override
    {
        for (int i = 0; i < n; ++i)
            shapes.push_back({lines[i], false, false, painter()->pen().color(), painter()->pen().width()});
    }
    void drawRects(const QRect* rects, int n) override
    {
        const bool fill = painter()->pen().style() == Qt::NoPen;
        const QColor colour = fill ? painter()->brush().color() : painter()->pen().color();
        for (int i = 0; i < n; ++i)
            shapes.push_back(
                {QLine(rects[i].topLeft(), rects[i].topLeft() + QPoint(rects[i].width(), rects[i].height())),
                 true, fill, colour, fill ? 0 : painter()->pen().width()});
    }
};

// Draws page of the planned document onto dev as the preview does, at dotsPerMm.
inline void RecordPage(RecordingDevice& dev, int page, const TMembers& members = {}, float dotsPerMm = 4)
{
    QPainter p(&dev);
    SetScreenCanvas(&p, 254, 100, 1, 2);
    DotsPerMmX = DotsPerMmY = dotsPerMm;
    PrintPage(page, members);
    PrnCanvas = nullptr;
}
