// Slip images: the page dispatcher onto a QImage, the JPEG encoder of libjpeg-turbo, file names.
#include "print/slipimage.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE
#include <cerrno>
#include <csetjmp>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <QPainter>

#include "payroll/option.h"
#include "payroll/period.h"
#include "platform/errors.h"
#include "print/dispatch.h"
#include "print/engine.h"
#include "print/exportframe.h"

namespace {

// The drawing engine's state as the print dialog or the preview left it, put back when the image
// is done.
class EngineStateGuard {
  public:
    EngineStateGuard()
        : canvas_(PrnCanvas),
          dx_(DotsPerMmX),
          dy_(DotsPerMmY),
          ox_(PrnOffsetX),
          oy_(PrnOffsetY),
          thin_(PenThin),
          thick_(PenThick),
          zoom_(PreviewZoom),
          px_(PageOffsetX),
          py_(PageOffsetY)
    {
    }
    ~EngineStateGuard()
    {
        PrnCanvas = canvas_, DotsPerMmX = dx_, DotsPerMmY = dy_, PrnOffsetX = ox_, PrnOffsetY = oy_;
        PenThin = thin_, PenThick = thick_, PreviewZoom = zoom_, PageOffsetX = px_, PageOffsetY = py_;
    }

  private:
    QPainter* canvas_;
    float dx_, dy_;
    int ox_, oy_, thin_, thick_, zoom_;
    float px_, py_;
};

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
    int code;
};

// The library's failure in the program's words; its own English only in parentheses.
QString jpegReason(const JpegError& err)
{
    if (err.code == JERR_OUT_OF_MEMORY) return SystemReason(ENOMEM);
    return QStringLiteral("画像の圧縮でエラーが起きました（%1）。").arg(QString::fromLocal8Bit(err.text));
}

void jpegErrorExit(j_common_ptr info)
{
    auto* err = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, err->text);
    err->code = info->err->msg_code;
    std::longjmp(err->jump, 1);
}

}  // namespace

QImage RenderSlipImage(int slot)
{
    QImage image(SlipImageWidth, SlipImageHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    EngineStateGuard guard;
    QPainter painter(&image);
    // 127 dots per inch at 100 % are exactly 5 dots per millimetre.
    SetScreenCanvas(&painter, int(SlipImageDotsPerMm * 25.4 + 0.5), 100, 1, 2);
    PrnOffsetX = 0;
    PrnOffsetY = 0;
    TMembers members{};
    members[1] = slot;
    try {
        PrintPage(0, members);
    } catch (...) {
        PrnCanvas = nullptr;
        throw;
    }
    PrnCanvas = nullptr;
    painter.end();
    return image;
}

QByteArray EncodeJpeg(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info{};
    JpegError err{};
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegErrorExit;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&info);
        free(buffer);
        throw AppError(QStringLiteral("JPEG画像を作成できませんでした。\n") + jpegReason(err));
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(buffer), qsizetype(size));
    free(buffer);
    return bytes;
}

QString SlipImageFileName(int slot)
{
    const int p = CurPeriod.Period;
    const QString season = OptionRec.SyoyoName ? QStringLiteral("季") : QStringLiteral("期");
    QString part;
    if (p == 13)
        part = QStringLiteral("夏") + season + QStringLiteral("賞与");
    else if (p == 14)
        part = QStringLiteral("冬") + season + QStringLiteral("賞与");
    else if (p == 15)
        part = OptionRec.TokuSyoyo;
    else
        part = QStringLiteral("給与%1-%2")
                   .arg(CurPeriod.EraYear, 2, 10, QLatin1Char('0'))
                   .arg(p, 2, 10, QLatin1Char('0'));
    const QString name =
        slot >= 1 && slot <= MaxEmployee ? SyainRec[slot].Simei.shownText().trimmed() : QString();
    return SafeFileName(part + QLatin1Char('[') + name + QStringLiteral("].jpg"));
}
