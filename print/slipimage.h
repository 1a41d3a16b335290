// Slip images for mail and for saving: one slip drawn by the page dispatcher onto an A5 landscape
// image at 5 pixels per millimetre, encoded as a baseline JPEG, and the file name it is kept under.
#pragma once
#include <QByteArray>
#include <QImage>
#include <QString>

// A5 landscape (210 x 148 mm) at 5 pixels per millimetre.
constexpr int SlipImageWidth = 1050;
constexpr int SlipImageHeight = 740;
constexpr int SlipImageDotsPerMm = 5;

// The slip of slot as PrintPage draws it for PaperKind 2 (the pay-date texts and memo as
// published), on white, without the printer's unprintable margin, so that no printer is needed.
// The drawing engine's state is put back afterwards, also when drawing throws (AppError: the year
// file could not be read for the cumulative figures).
QImage RenderSlipImage(int slot);
// image as a JPEG with the encoder's default settings (quality 75, 4:2:0). AppError when the
// encoder fails.
QByteArray EncodeJpeg(const QImage& image);
// "給与08-05[山田太郎].jpg" for months (era year of the data and month), "夏期賞与[...].jpg",
// "冬期賞与[...].jpg" (季 with the seasonal-name setting) or the third bonus's name for bonuses.
// Characters a file name cannot hold on the usual file systems become "_".
QString SlipImageFileName(int slot);
