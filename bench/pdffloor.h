// The floor of PDF output: what the program draws on a page, recorded once as glyph runs, lines
// and boxes, and drawn again straight through QPdfWriter with nothing of the program in between.
#pragma once
#include <QBrush>
#include <QGlyphRun>
#include <QLine>
#include <QPen>
#include <QRect>
#include <functional>
#include <vector>

class QPdfWriter;

// One drawing operation of a page as the engine hands it to the canvas.
struct TFloorOp {
    enum Kind { Run, Line, Box, Fill } kind;
    QGlyphRun run;  // Run: the glyphs of one text, each at its cell
    QLine line;     // Line
    QRect rect;     // Box, Fill
    QPen pen;
    QBrush brush;
};
using TFloorPage = std::vector<TFloorOp>;

// The pages that drawPage(page) draws through the engine at dpi dots per inch, page 1..pages:
// each text as one run of glyphs of its face (blanks leave their cell empty, as on paper).
std::vector<TFloorPage> RecordFloorPages(int pages, int dpi, const std::function<void(int page)>& drawPage);
// The number of glyph runs and of glyphs in them.
std::pair<int, int> FloorRunCount(const std::vector<TFloorPage>& pages);
// Draws the recorded pages onto writer, one page each.
void DrawFloorPages(QPdfWriter& writer, const std::vector<TFloorPage>& pages);
