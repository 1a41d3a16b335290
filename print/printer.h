// The printer the documents go to: the installed printers, the current printer with its seven
// device-mode settings in the numbering of [PrintInfo], its resolution and unprintable margin for
// the drawing engine, and the print job. Without an installed printer the job writes a PDF file.
#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "platform/errors.h"

class QPainter;
class QPrinter;

// The settings of a printer kept in the company's settings file, numbered as they were first
// stored there: paper 9 A4, 11 A5, 13 B5, 256 a size of its own (width and length in 0.1 mm);
// orientation 1 portrait, 2 landscape; source 1 upper tray .. 7 automatic, 8 tractor; quality in
// dots per inch, or -1 draft .. -4 high; colour 1 monochrome, 2 colour. 0 leaves the choice to
// the printer.
struct TDevMode {
    int16_t PaperSize = 9;
    int16_t PaperWidth = 0;
    int16_t PaperLength = 0;
    int16_t Orientation = 1;
    int16_t DefaultSource = 0;
    int16_t PrintQuality = 0;
    int16_t PrintColor = 0;
    bool operator==(const TDevMode&) const = default;
};
constexpr int dmPaperA4 = 9;
constexpr int dmPaperA5 = 11;
constexpr int dmPaperUser = 256;
constexpr int dmPortrait = 1;
constexpr int dmLandscape = 2;

// The current printer's name while no printer is installed: the job goes to a PDF file.
extern const QString PdfPrinterName;

// The installed printers; only the PDF file when there is none.
QStringList InstalledPrinters();
// The one the desktop prints to by default, else the first of names (the installed printers).
QString DefaultPrinterName(const QStringList& names);
// Whether the print service (the CUPS scheduler) answers. Without it no printer is listed.
bool PrintServiceAnswers();
QPrinter& CurrentPrinter();
QString CurrentPrinterName();
bool CurrentIsPdf();
// Makes an installed printer current with its own default settings; false leaves all as it was.
bool SelectPrinter(const QString& name);
// Why the current printer's queue keeps the jobs it takes instead of printing them: the printer
// is stopped (with the reason its administrator gave, else the queue's state reasons in Japanese).
// Empty when it prints, for the PDF file and when the print service cannot tell.
QString CurrentPrinterHold();
// The state reasons of a queue ("paused", "media-empty-error", ...) as the user reads them,
// joined by "、"; reasons without a Japanese text are left out.
QString PrinterStateReasonsText(const QStringList& keywords);
// Back to the current printer's own default settings; a printer removed since it was made current
// gives way to the default one.
void ResetDevMode();
// The settings as last set or read. What the printer cannot take stays here for the settings
// file, so that nothing the user chose elsewhere is lost by a round trip.
const TDevMode& CurrentDevMode();
void SetDevMode(const TDevMode& dm);
// After the printer set-up dialog: the printer and settings the user chose there.
void TakePrinterFromDialog();

// [PrintInfo] of the company's settings file. LoadPrintInfo makes the remembered printer current
// with the remembered settings and is true; a printer that is no longer installed changes nothing.
bool LoadPrintInfo();
void SavePrintInfo();
// The printer name [PrintInfo] holds.
QString RememberedPrinter();
// The current printer reset to its defaults, then paper and orientation set.
void SetPrinterPaper(int paperSize, int orientation);

// The current printer's device capabilities, in its dots.
struct TPrinterCaps {
    int LogPixelsX = 0, LogPixelsY = 0;
    int PhysicalOffsetX = 0, PhysicalOffsetY = 0;  // the unprintable left and top margin
    int PhysicalWidth = 0, PhysicalHeight = 0;     // the sheet
    int PageWidth = 0, PageHeight = 0;             // the printable area
};
TPrinterCaps PrinterCaps();
// The unprintable margin in whole millimetres (halves to even) at a resolution in dots per mm.
int OffsetMm(int offsetDots, float dotsPerMm);
// The drawing engine's state for the printer's page: resolution, margin, pens and canvas.
void SetPrinterEngineState(QPainter* canvas);

// The PDF file a job on the PDF printer writes. A set file is used without asking (tests and
// scripted runs; the environment variable PELMORAS_PDF_FILE does the same); otherwise the asker
// the window layer installed proposes suggested and returns the chosen path, empty for cancel.
void SetPdfOutputFile(const QString& path);
using PdfFileAsker = std::function<QString(const QString& suggested)>;
PdfFileAsker SetPdfFileAsker(PdfFileAsker asker);  // returns the previous one
// No current printer (the next use makes the default one current) and no set PDF file; the asker
// stays, it belongs to the print dialog.
void ResetPrinter();

// A job whose pages were made but which the printer's queue did not take: nothing is printed.
class PrintRefusedError : public AppError {
  public:
    using AppError::AppError;
};

// Runs one job on the current printer: begins it (naming the PDF file first), fills the drawing
// engine's state, draws pages 1..pageCount with newPage between them and ends it. False when the
// user declined to name the PDF file. Any failure of the printer or of a page aborts the job,
// ends the painter, removes a partly written PDF, clears the engine's canvas and throws AppError
// with the message for the user; PrintRefusedError when the queue refused the finished job.
bool RunPrintJob(const QString& title, const QString& pdfSuggestion, int pageCount,
                 const std::function<void(int page)>& drawPage);
