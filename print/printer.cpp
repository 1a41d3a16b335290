// The current printer and its settings over QPrinter and QPrinterInfo, [PrintInfo], and the print
// job that never leaves a printer or a PDF file half written.
#include "print/printer.h"

#include <cups/cups.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <cmath>
#include <memory>

#include "payroll/common.h"
#include "payroll/paths.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/inifile.h"
#include "print/dispatch.h"
#include "print/engine.h"

const QString PdfPrinterName = QStringLiteral("PDFファイル");

namespace {

std::unique_ptr<QPrinter> printer_;
QString printerName_;
TDevMode devMode_;
QString pdfOutputFile_;
PdfFileAsker pdfAsker_;

const QString kSection = QStringLiteral("PrintInfo");

// Paper trays: the stored numbers from 1 (upper) and Qt's from 0; the cassette and the form
// source come after a gap in the stored numbering.
int sourceToStored(QPrinter::PaperSource s)
{
    if (s >= QPrinter::OnlyOne && s <= QPrinter::LargeCapacity) return int(s) + 1;
    if (s == QPrinter::Cassette) return 14;
    if (s == QPrinter::FormSource) return 15;
    return 0;
}
bool storedToSource(int v, QPrinter::PaperSource& s)
{
    if (v >= 1 && v <= 11)
        s = QPrinter::PaperSource(v - 1);
    else if (v == 14)
        s = QPrinter::Cassette;
    else if (v == 15)
        s = QPrinter::FormSource;
    else
        return false;
    return true;
}

std::unique_ptr<QPrinter> makePrinter(const QString& name)
{
    std::unique_ptr<QPrinter> p;
    if (name == PdfPrinterName) {
        p = std::make_unique<QPrinter>(QPrinter::HighResolution);
        p->setOutputFormat(QPrinter::PdfFormat);
    } else {
        p = std::make_unique<QPrinter>(QPrinterInfo::printerInfo(name), QPrinter::HighResolution);
    }
    p->setFullPage(false);
    return p;
}

// The page rectangle begins where the printer can print, as on the device the documents were
// measured on: the margins are the printer's own minimum (none for a PDF file).
void useMinimumMargins(QPrinter& p)
{
    const QPageLayout layout = p.pageLayout();
    p.setPageMargins(layout.minimumMargins(), layout.units());
}

TDevMode readDevMode(const QPrinter& p)
{
    TDevMode d;
    const QPageSize size = p.pageLayout().pageSize();
    d.PaperSize = int16_t(size.windowsId());
    if (d.PaperSize == 0) d.PaperSize = dmPaperUser;
    const QSizeF mm = size.size(QPageSize::Millimeter);
    d.PaperWidth = int16_t(std::lround(mm.width() * 10));
    d.PaperLength = int16_t(std::lround(mm.height() * 10));
    d.Orientation = p.pageLayout().orientation() == QPageLayout::Landscape ? dmLandscape : dmPortrait;
    d.DefaultSource = int16_t(sourceToStored(p.paperSource()));
    d.PrintQuality = int16_t(p.resolution());
    d.PrintColor = p.colorMode() == QPrinter::Color ? 2 : 1;
    return d;
}

void applyDevMode(QPrinter& p, const TDevMode& d)
{
    QPageSize size;
    if ((d.PaperSize == dmPaperUser || d.PaperSize == 0) && d.PaperWidth > 0 && d.PaperLength > 0)
        size = QPageSize(QSizeF(d.PaperWidth / 10.0, d.PaperLength / 10.0), QPageSize::Millimeter, QString(),
                         QPageSize::FuzzyMatch);
    else if (d.PaperSize > 0 && QPageSize::id(d.PaperSize) != QPageSize::Custom)
        size = QPageSize(QPageSize::id(d.PaperSize));
    if (size.isValid()) p.setPageSize(size);
    if (d.Orientation == dmPortrait || d.Orientation == dmLandscape)
        p.setPageOrientation(d.Orientation == dmLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    QPrinter::PaperSource source;
    if (storedToSource(d.DefaultSource, source)) p.setPaperSource(source);
    // The quality codes below 0 name no resolution: the printer keeps its own.
    if (d.PrintQuality > 0) p.setResolution(d.PrintQuality);
    if (d.PrintColor == 1 || d.PrintColor == 2)
        p.setColorMode(d.PrintColor == 2 ? QPrinter::Color : QPrinter::GrayScale);
    useMinimumMargins(p);
}

// A fresh printer object is the printer's own default settings.
void makeCurrent(const QString& name)
{
    printerName_ = name;
    printer_ = makePrinter(name);
    useMinimumMargins(*printer_);
    devMode_ = readDevMode(*printer_);
}

void ensurePrinter()
{
    if (printer_) return;
    makeCurrent(DefaultPrinterName(InstalledPrinters()));
}

int16_t storedNumber(const QString& text)
{
    // At most 8 characters are taken; what is not a number leaves the choice to the printer.
    bool ok = false;
    const int v = text.left(8).trimmed().toInt(&ok);
    return ok ? int16_t(v) : int16_t(0);
}

// What the queue of printer says of itself: its state, its message and its reasons.
struct TQueueState {
    bool stopped = false;
    QString message;
    QStringList reasons;
};

TQueueState queueState(const QString& printer)
{
    TQueueState q;
    const QByteArray name = printer.toUtf8();
    char uri[HTTP_MAX_URI];
    if (httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                         "/printers/%s", name.constData()) != HTTP_URI_STATUS_OK)
        return q;
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    static const char* const wanted[] = {"printer-state", "printer-state-message", "printer-state-reasons"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr, wanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    if (response) {
        ipp_attribute_t* state = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM);
        ipp_attribute_t* message = ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT);
        ipp_attribute_t* reasons = ippFindAttribute(response, "printer-state-reasons", IPP_TAG_KEYWORD);
        q.stopped = state && ippGetInteger(state, 0) == IPP_PSTATE_STOPPED;
        if (message) q.message = QString::fromUtf8(ippGetString(message, 0, nullptr)).trimmed();
        for (int i = 0; reasons && i < ippGetCount(reasons); ++i)
            q.reasons << QString::fromUtf8(ippGetString(reasons, i, nullptr));
        ippDelete(response);
    }
    return q;
}

// Why the queue stops or refuses, in words for the user: the administrator's own reason as written,
// else its state reasons in Japanese. The service's own messages are English ("Paused", "Rejecting
// Jobs"): a message in ASCII only is taken for one of those.
QString queueReason(const TQueueState& q)
{
    bool ascii = true;
    for (const QChar c : q.message) ascii = ascii && c.unicode() < 0x80;
    return ascii ? PrinterStateReasonsText(q.reasons) : q.message;
}

// What the print service answered to the job just ended: the queue's refusal in the user's words,
// empty when it took the job. Qt's print engine hands the finished document to libcups and drops
// its answer, so the answer is read from libcups' record of its last request.
QString jobRefusal()
{
    const ipp_status_t status = cupsLastError();
    if (status <= IPP_STATUS_OK_EVENTS_COMPLETE) return {};
    // The service's own words, English, only where no reason of ours says what happened.
    const QString detail = QString::fromUtf8(cupsLastErrorString()).trimmed();
    // A service gone or a printer deleted under the job shows as whatever failed first in libcups.
    ipp_status_t cause = status;
    if (!PrintServiceAnswers())
        cause = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
    else if (!InstalledPrinters().contains(CurrentPrinterName()))
        cause = IPP_STATUS_ERROR_NOT_FOUND;
    QString reason;
    switch (cause) {
        case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS: {
            // The reason its administrator gave when he closed the queue to jobs.
            const TQueueState q = queueState(CurrentPrinterName());
            // The administrator's own words, whatever their script; the service's "Rejecting
            // Jobs" stands where he gave none.
            const QString given = q.message.trimmed();
            const QString why =
                given.isEmpty() || given == QLatin1String("Rejecting Jobs") ? queueReason(q) : given;
            reason = QStringLiteral("プリンターが印刷を受け付けていません。");
            if (!why.isEmpty()) reason += QStringLiteral("\n理由：%1").arg(why);
            return reason;
        }
        case IPP_STATUS_ERROR_NOT_FOUND:
            reason = QStringLiteral("プリンターが見つかりません（削除された可能性があります）。");
            break;
        case IPP_STATUS_ERROR_FORBIDDEN:
        case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
        case IPP_STATUS_ERROR_NOT_AUTHORIZED:
        case IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED:
            reason = QStringLiteral("このプリンターで印刷する権限がありません。");
            break;
        case IPP_STATUS_ERROR_BUSY:
            reason = QStringLiteral("プリンターが使用中です。");
            break;
        case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE:
            reason = QStringLiteral("印刷サービス（CUPS）が応答しません。");
            break;
        case IPP_STATUS_ERROR_DOCUMENT_FORMAT_NOT_SUPPORTED:
            reason = QStringLiteral("プリンターがこの文書の形式を扱えません。");
            break;
        default:
            return detail.isEmpty()
                       ? QStringLiteral("プリンターが印刷を受け付けませんでした。")
                       : QStringLiteral("プリンターが印刷を受け付けませんでした。\n（%1）").arg(detail);
    }
    return reason;
}

// Leaves the engine without a canvas however the job ends.
struct CanvasGuard {
    ~CanvasGuard() { PrnCanvas = nullptr; }
};

}  // namespace

QStringList InstalledPrinters()
{
    QStringList names = QPrinterInfo::availablePrinterNames();
    if (names.isEmpty()) names << PdfPrinterName;
    return names;
}

QString DefaultPrinterName(const QStringList& names)
{
    const QString name = QPrinterInfo::defaultPrinterName();
    return names.contains(name) ? name : names.first();
}

bool PrintServiceAnswers()
{
    http_t* http =
        httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 3000, nullptr);
    if (!http) return false;
    httpClose(http);
    return true;
}

QPrinter& CurrentPrinter()
{
    ensurePrinter();
    return *printer_;
}

QString CurrentPrinterName()
{
    ensurePrinter();
    return printerName_;
}

bool CurrentIsPdf()
{
    ensurePrinter();
    return printer_->outputFormat() == QPrinter::PdfFormat;
}

bool SelectPrinter(const QString& name)
{
    if (name.isEmpty() || !InstalledPrinters().contains(name)) return false;
    // A name the service still lists but cannot describe would make Qt print to the default.
    if (name != PdfPrinterName && QPrinterInfo::printerInfo(name).isNull()) return false;
    makeCurrent(name);
    return true;
}

QString PrinterStateReasonsText(const QStringList& keywords)
{
    static const struct {
        const char* keyword;
        const char* text;
    } known[] = {
        {"paused", "一時停止"},
        {"shutdown", "停止"},
        {"offline", "オフライン"},
        {"connecting-to-device", "プリンターに接続中"},
        {"timed-out", "プリンターが応答しません"},
        {"media-empty", "用紙切れ"},
        {"media-needed", "用紙切れ"},
        {"media-low", "用紙残り少"},
        {"media-jam", "紙詰まり"},
        {"input-tray-missing", "給紙トレイがありません"},
        {"output-area-full", "排紙トレイがいっぱい"},
        {"toner-empty", "トナー切れ"},
        {"toner-low", "トナー残り少"},
        {"marker-supply-empty", "インク・トナー切れ"},
        {"marker-supply-low", "インク・トナー残り少"},
        {"marker-waste-full", "廃インク・廃トナーがいっぱい"},
        {"door-open", "カバーが開いています"},
        {"cover-open", "カバーが開いています"},
        {"interlock-open", "カバーが開いています"},
        {"spool-area-full", "印刷待ちの領域がいっぱい"},
        {"cups-missing-filter", "プリンタードライバーが足りません"},
    };
    QStringList texts;
    for (QString k : keywords) {
        // "media-empty-error", "-warning", "-report": the same reason.
        for (const char* level : {"-error", "-warning", "-report"})
            if (k.endsWith(QLatin1String(level))) k.chop(int(qstrlen(level)));
        for (const auto& r : known) {
            const QString text = QString::fromUtf8(r.text);
            if (k == QLatin1String(r.keyword) && !texts.contains(text)) texts << text;
        }
    }
    return texts.join(QStringLiteral("、"));
}

QString CurrentPrinterHold()
{
    if (CurrentIsPdf()) return {};
    const TQueueState q = queueState(CurrentPrinterName());
    if (!q.stopped) return {};
    const QString why = queueReason(q);
    return QStringLiteral(
               "プリンター「%1」は停止しています%2。\n"
               "印刷した帳票はプリンターのキューで待っています。プリンターを再開すると印刷されます。")
        .arg(CurrentPrinterName(), why.isEmpty() ? QString() : QStringLiteral("（%1）").arg(why));
}

void ResetDevMode()
{
    ensurePrinter();
    const QStringList names = InstalledPrinters();
    makeCurrent(names.contains(printerName_) ? printerName_ : DefaultPrinterName(names));
}

const TDevMode& CurrentDevMode()
{
    ensurePrinter();
    return devMode_;
}

void SetDevMode(const TDevMode& dm)
{
    ensurePrinter();
    applyDevMode(*printer_, dm);
    devMode_ = dm;
}

void TakePrinterFromDialog()
{
    ensurePrinter();
    QPrinter& p = *printer_;
    // Printing to a file chosen there makes the PDF printer current.
    printerName_ = p.outputFormat() == QPrinter::PdfFormat || p.printerName().isEmpty() ? PdfPrinterName
                                                                                        : p.printerName();
    useMinimumMargins(p);
    const TDevMode chosen = readDevMode(p);
    // Quality codes and trays the dialog does not show are kept as they were.
    const TDevMode before = devMode_;
    devMode_ = chosen;
    if (before.PrintQuality < 0 && chosen.PrintQuality == p.resolution())
        devMode_.PrintQuality = before.PrintQuality;
    if (chosen.DefaultSource == 0) devMode_.DefaultSource = before.DefaultSource;
}

bool LoadPrintInfo()
{
    const IniFile ini(IniFileName);
    const QString name = CutToMaxLen(ini.readString(kSection, QStringLiteral("DeviceName")), 128);
    auto number = [&ini](const char* key) {
        return storedNumber(ini.readString(kSection, QString::fromLatin1(key), QStringLiteral("0")));
    };
    TDevMode stored;
    stored.PaperSize = number("PaperSize");
    stored.PaperWidth = number("PaperWidth");
    stored.PaperLength = number("PaperLength");
    stored.Orientation = number("Orientation");
    stored.DefaultSource = number("DefaultSource");
    stored.PrintQuality = number("PrintQuality");
    stored.PrintColor = number("PrintColor");
    if (!SelectPrinter(name)) return false;
    SetDevMode(stored);
    return true;
}

QString RememberedPrinter()
{
    return CutToMaxLen(IniFile(IniFileName).readString(kSection, QStringLiteral("DeviceName")), 128);
}

void SavePrintInfo()
{
    ensurePrinter();
    IniFile ini(IniFileName);
    const TDevMode& d = devMode_;
    ini.writeString(kSection, QStringLiteral("DeviceName"), printerName_);
    ini.writeString(kSection, QStringLiteral("PaperSize"), QString::number(d.PaperSize));
    ini.writeString(kSection, QStringLiteral("PaperWidth"), QString::number(d.PaperWidth));
    ini.writeString(kSection, QStringLiteral("PaperLength"), QString::number(d.PaperLength));
    ini.writeString(kSection, QStringLiteral("Orientation"), QString::number(d.Orientation));
    ini.writeString(kSection, QStringLiteral("DefaultSource"), QString::number(d.DefaultSource));
    ini.writeString(kSection, QStringLiteral("PrintQuality"), QString::number(d.PrintQuality));
    ini.writeString(kSection, QStringLiteral("PrintColor"), QString::number(d.PrintColor));
    ini.save();
}

void SetPrinterPaper(int paperSize, int orientation)
{
    ResetDevMode();
    TDevMode d = devMode_;
    d.Orientation = int16_t(orientation);
    d.PaperSize = int16_t(paperSize);
    SetDevMode(d);
}

TPrinterCaps PrinterCaps()
{
    QPrinter& p = CurrentPrinter();
    const QRect paper = p.paperRect(QPrinter::DevicePixel).toRect();
    const QRect page = p.pageRect(QPrinter::DevicePixel).toRect();
    TPrinterCaps c;
    c.LogPixelsX = p.logicalDpiX();
    c.LogPixelsY = p.logicalDpiY();
    c.PhysicalOffsetX = page.left() - paper.left();
    c.PhysicalOffsetY = page.top() - paper.top();
    c.PhysicalWidth = paper.width();
    c.PhysicalHeight = paper.height();
    c.PageWidth = page.width();
    c.PageHeight = page.height();
    return c;
}

int OffsetMm(int offsetDots, float dotsPerMm)
{
    return dotsPerMm > 0 ? int(std::nearbyint(offsetDots / double(dotsPerMm))) : 0;
}

void SetPrinterEngineState(QPainter* canvas)
{
    const TPrinterCaps c = PrinterCaps();
    SetPrinterCanvas(canvas, c.LogPixelsX, c.LogPixelsY, c.PhysicalOffsetX, c.PhysicalOffsetY);
}

void SetPdfOutputFile(const QString& path)
{
    pdfOutputFile_ = path;
}

void ResetPrinter()
{
    printer_.reset();
    printerName_.clear();
    devMode_ = TDevMode();
    pdfOutputFile_.clear();
}

PdfFileAsker SetPdfFileAsker(PdfFileAsker asker)
{
    PdfFileAsker previous = std::move(pdfAsker_);
    pdfAsker_ = std::move(asker);
    return previous;
}

bool RunPrintJob(const QString& title, const QString& pdfSuggestion, int pageCount,
                 const std::function<void(int page)>& drawPage)
{
    QPrinter& p = CurrentPrinter();
    QString target;   // the PDF file asked for
    QString partial;  // where it is written until the last page is done
    if (CurrentIsPdf()) {
        target = pdfOutputFile_;
        if (target.isEmpty()) target = qEnvironmentVariable("PELMORAS_PDF_FILE");
        if (target.isEmpty() && pdfAsker_) target = pdfAsker_(pdfSuggestion);
        if (target.isEmpty()) return false;
        partial = PartialFileName(target);
        // Made private before the PDF engine opens it, which keeps the mode it finds.
        try {
            StartPartialFile(partial, QStringLiteral("PDFファイルの書き込み"));
        } catch (const AppError& e) {
            throw AppError(QStringLiteral("印刷を開始できません。\n%1\n\n%2")
                               .arg(QDir::toNativeSeparators(target), e.message()));
        }
        p.setOutputFileName(partial);
    }
    p.setDocName(title);

    CanvasGuard guard;
    QPainter painter;
    if (!painter.begin(&p)) {
        QFile::remove(partial);
        const QString where = target.isEmpty() ? CurrentPrinterName() : QDir::toNativeSeparators(target);
        throw AppError(QStringLiteral("印刷を開始できません。\n%1").arg(where));
    }
    try {
        SetPrinterEngineState(&painter);
        const TJobYearData year;  // the saved periods read once for all pages
        for (int page = 1; page <= pageCount; ++page) {
            if (page > 1 && !p.newPage()) throw AppError(QStringLiteral("次のページに進めません。"));
            drawPage(page);
        }
    } catch (...) {
        // The printer's job is cancelled where the printer can; a PDF is not kept at all.
        p.abort();
        if (painter.isActive()) painter.end();
        if (!partial.isEmpty()) QFile::remove(partial);
        throw;
    }
    const bool ended = painter.end();
    if (partial.isEmpty()) {
        if (!ended) throw AppError(QStringLiteral("印刷を終了できません。\n%1").arg(CurrentPrinterName()));
        const QString refusal = jobRefusal();
        if (!refusal.isEmpty())
            throw PrintRefusedError(QStringLiteral("印刷できませんでした。\n%1\nプリンター：%2")
                                        .arg(refusal, CurrentPrinterName()));
        return true;
    }
    if (!ended) {
        QFile::remove(partial);
        throw AppError(
            QStringLiteral("PDFファイルを書き込めません。\n%1").arg(QDir::toNativeSeparators(target)));
    }
    // The slips hold pay and personal data: the finished file is synced, private and put in place
    // whole, so that an earlier PDF of that name is replaced only by a complete one.
    CommitFileAtomic(partial, target, QStringLiteral("PDFファイルの書き込み"));
    return true;
}
