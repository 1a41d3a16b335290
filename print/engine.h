// The drawing engine every document uses: coordinates in millimetres from the sheet's top-left
// corner, text on a fixed grid of character cells, lines, boxes and shaded boxes, onto whatever
// canvas is current (the printer's page, the preview, a slip image). The state is process-wide:
// one document is drawn at a time.
#pragma once
#include <QByteArray>
#include <QString>
#include <array>

class QPainter;

// The target canvas and its resolution.
extern QPainter* PrnCanvas;
extern float DotsPerMmX;
extern float DotsPerMmY;
// The printer's unprintable left and top margin in whole millimetres.
extern int PrnOffsetX;
extern int PrnOffsetY;
// The hair line and the heavy frame line in dots.
extern int PenThin;
extern int PenThick;
// The preview zoom in percent.
extern int PreviewZoom;
// Added to every coordinate: the page dispatcher resets them for each page; the lower slip of a
// two-slip sheet is drawn 148.5 mm down.
extern float PageOffsetX;
extern float PageOffsetY;
// The text state, as the documents set it.
extern QString PrnFontName;
extern float PrnFontHeight;  // mm
extern bool PrnBold;
extern bool PrnUnderline;
extern bool PrnItalic;
extern bool PrnNarrow;

// PrnFontHeight := points / 2.8 mm.
void SetFontPoint(int points);
// Text with its top-left corner at (x, y): a half-width character takes one cell, a full-width
// character two, whatever the font's own widths.
void PrintText(float x, float y, const QString& text);
void DrawLine(float x1, float y1, float x2, float y2);
// The outline of a box with the canvas's current pen (documents set PenThick themselves).
void DrawBox(float x1, float y1, float x2, float y2);
// A light-blue shaded box, or nothing when the settings turn shading off.
void FillBox(float x1, float y1, float x2, float y2);
// Cuts a text into three consecutive pieces of at most 16 CP932 bytes without splitting a
// double-byte character.
std::array<QString, 3> SplitText16(const QString& text);

// The device dot of a point in millimetres (print adjustment, page offset and printer margin
// applied; halves to even).
int DotX(float xMm);
int DotY(float yMm);

// ---- additions for the documents, the canvases and the tests ----

// The shading colour of FillBox, RGB(187, 222, 255), as 0xRRGGBB.
constexpr unsigned ShadeRgb = 0xBBDEFF;
// A filled box of any colour (0xRRGGBB), drawn whatever NoBakCol says (the preprinted form's own
// tint in the preview).
void FillBoxRgb(float x1, float y1, float x2, float y2, unsigned rgb);
// The canvas pen's width in dots (PenThin, PenThick) and colour (0xRRGGBB), for the next boxes,
// lines and texts.
void SetPenWidth(int width);
void SetPenColor(unsigned rgb);
// SplitText16 on the CP932 bytes themselves.
std::array<QByteArray, 3> SplitText16Bytes(const QByteArray& text);

// The state as the print job sets it from the printer: LOGPIXELSX/Y and PHYSICALOFFSETX/Y in
// dots; the canvas gets a solid black pen of PenThin and no brush.
void SetPrinterCanvas(QPainter* canvas, int logPixelsX, int logPixelsY, int physOffsetX, int physOffsetY);
// The state for the preview and slip images: MulDiv(screenDpi, zoom, 100) / 25.4 dots per mm on
// both axes and the given pens; PrnOffsetX/Y stay as the caller set them (the current printer's).
void SetScreenCanvas(QPainter* canvas, int screenDpi, int zoom, int penThin, int penThick);
// Everything back to its state at start (no canvas).
void ResetPrintEngine();
