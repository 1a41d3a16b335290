// The year data file: creation, loading and saving one period, the change test, and the
// conversion of the older 30-employee layout.
#include "payroll/yearfile.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <memory>

#include "payroll/period.h"
#include "payroll/validate.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/readfile.h"

QString CreatedYearFile;
bool YearFileCreated = false;
bool YearFileSaved = false;

namespace {

const QString ReadWhat = QStringLiteral("年度データファイルの読み込み");
const QString WriteWhat = QStringLiteral("年度データファイルの書き込み");

// Opened by the one reader: a FIFO, a device or a link planted at the year file's name is told,
// never waited on or followed.
void openOrThrow(QFile& f, const QString& path, const QString& what)
{
    OpenReadFileOrThrow(f, path, ReadKind::Data, what);
}

// A file shorter than a whole year file is damaged: reading or writing a period in it would
// take or leave records of the wrong length.
void checkSize(qint64 size, const QString& path, const QString& what)
{
    if (size < YearFileSize)
        throw IoError::failed(what, path,
                              QStringLiteral("ファイルが壊れています(%1 バイトしかありません)。").arg(size));
}

void readAt(QFile& f, const QString& path, qint64 pos, void* dst, qint64 size)
{
    if (!f.seek(pos) || f.read(static_cast<char*>(dst), size) != size)
        throw IoError::failed(ReadWhat, path, f.errorString());
}

void writeWhole(const QString& path, const QByteArray& data)
{
    WriteFileAtomic(path, data, WriteWhat);
}

void putAt(QByteArray& file, qint64 pos, const void* src, qint64 size)
{
    std::memcpy(file.data() + pos, src, size_t(size));
}

}  // namespace

void CheckPeriodNumber(int period)
{
    if (period < 1 || period > PeriodCount)
        throw AppError(QStringLiteral("対象の月または賞与が選択されていません。"));
}

void ReadYearHeader(const QString& fileName, TYearFileHeader& header)
{
    QFile f;
    openOrThrow(f, fileName, ReadWhat);
    checkSize(f.size(), fileName, ReadWhat);
    readAt(f, fileName, 0, &header, sizeof header);
    RefuseDamaged(fileName, CheckYearHeader(header));
}

void ReadPeriodRecord(const QString& fileName, int period, TYearFileHeader& header, TPeriodRecord& rec)
{
    CheckPeriodNumber(period);
    QFile f;
    openOrThrow(f, fileName, ReadWhat);
    checkSize(f.size(), fileName, ReadWhat);
    readAt(f, fileName, 0, &header, sizeof header);
    readAt(f, fileName, DataRecPos(period - 1), &rec, sizeof rec);
    RefuseDamaged(fileName, CheckYearHeader(header) + CheckPeriodRecord(period, rec));
}

const QString YearFileSuffix = QStringLiteral("年給与･賞与.dat");

QString YearFileName(const QString& folder, const QString& era, int eraYear)
{
    return QStringLiteral("%1%2%3").arg(folder, era).arg(eraYear, 2, 10, QLatin1Char('0')) + YearFileSuffix;
}

void CreateYearFile(const QString& fileName)
{
    if (QFileInfo::exists(fileName)) return;
    ClearPeriodImage();
    // Written through a temporary file so that a failure leaves no short year file behind.
    writeWhole(fileName, QByteArray(YearFileSize, '\0'));
    CreatedYearFile = fileName;
    YearFileCreated = true;
}

void LoadPeriod(const QString& fileName, int period)
{
    CheckPeriodNumber(period);
    TYearFileHeader header;
    auto buf = std::make_unique<TPeriodRecord>();
    ReadPeriodRecord(fileName, period, header, *buf);
    YearHeader = header;
    SetPeriodImage(*buf);
}

std::unique_ptr<TPeriodRecord> CopyPeriodImage()
{
    return std::make_unique<TPeriodRecord>(TPeriodRecord{CorpRec, SyainRec, KintaiRec, SikyuRec, KoujoRec});
}

void SetPeriodImage(const TPeriodRecord& rec)
{
    CorpRec = rec.corp;
    SyainRec = rec.syain;
    KintaiRec = rec.kintai;
    SikyuRec = rec.sikyu;
    KoujoRec = rec.koujo;
}

void WritePeriod()
{
    const int p = CurPeriod.Period;
    CheckPeriodNumber(p);
    QByteArray file = ReadWholeFileOrThrow(CurPeriod.FileName, ReadKind::Data, WriteWhat);
    checkSize(file.size(), CurPeriod.FileName, WriteWhat);
    // The whole file is written anew and put in place at once: a save that stops anywhere leaves
    // the old period or the new one, whole, never a record that is half of each. The other
    // periods and any bytes behind them are carried over unchanged.
    TYearFileHeader header = YearHeader;
    header.DataExists[p] = 1;
    putAt(file, 0, &header, sizeof header);
    qint64 pos = DataRecPos(p - 1);
    putAt(file, pos, &CorpRec, sizeof CorpRec);
    putAt(file, pos += sizeof CorpRec, &SyainRec, sizeof SyainRec);
    putAt(file, pos += sizeof SyainRec, &KintaiRec, sizeof KintaiRec);
    putAt(file, pos += sizeof KintaiRec, &SikyuRec, sizeof SikyuRec);
    putAt(file, pos += sizeof SikyuRec, &KoujoRec, sizeof KoujoRec);
    writeWhole(CurPeriod.FileName, file);
    YearHeader.DataExists[p] = 1;
}

bool SavePeriod()
{
    const int p = CurPeriod.Period;
    CheckPeriodNumber(p);
    if (p <= 11 && YearHeader.DataExists[p + 1] && PeriodChanged()) {
        const MsgResult r =
            MessageDlg(QStringLiteral("現在入力中の月の翌月データが存在します。\n"
                                      "この状態で修正した内容は翌月に引き継がれない事が有ります。\n"
                                      "データの保存を行いますか？"),
                       MsgType::Confirmation, MsgButtons::YesNo);
        if (r != MsgResult::Yes) return false;
    }
    WritePeriod();
    if (!YearFileSaved && CreatedYearFile == CurPeriod.FileName) YearFileSaved = true;
    return true;
}

bool PeriodChanged()
{
    const int p = CurPeriod.Period;
    if (p < 1 || p > PeriodCount) return false;
    TYearFileHeader header;
    auto buf = std::make_unique<TPeriodRecord>();
    try {
        ReadPeriodRecord(CurPeriod.FileName, p, header, *buf);
    } catch (const AppError&) {
        return true;  // nothing readable to compare with: the image is not safely stored
    }
    bool changed = std::memcmp(&header, &YearHeader, sizeof header) != 0;
    // Bytes behind a name's length never count, on either side (a shortened name leaves the old
    // bytes behind it in the file too), and the bonus periods do not keep Nissu and Jikan. The
    // image is compared through copies: a test for changes leaves what it tests as it was.
    TCorpRec corp = CorpRec;
    corp.Syamei.normalise();
    buf->corp.Syamei.normalise();
    if (IsBonusPeriod(p)) {
        corp.Nissu = buf->corp.Nissu;
        corp.Jikan = buf->corp.Jikan;
    }
    changed = changed || std::memcmp(&corp, &buf->corp, sizeof corp) != 0;
    for (int e = 1; e <= MaxEmployee && !changed; ++e) {
        TEmployeeRec syain = SyainRec[e];
        syain.Simei.normalise();
        syain.Busyo.normalise();
        buf->syain[e].Simei.normalise();
        buf->syain[e].Busyo.normalise();
        changed = std::memcmp(&syain, &buf->syain[e], sizeof syain) != 0 ||
                  std::memcmp(&KintaiRec[e], &buf->kintai[e], sizeof(TKintaiRec)) != 0 ||
                  std::memcmp(&SikyuRec[e], &buf->sikyu[e], sizeof(TSikyuRec)) != 0 ||
                  std::memcmp(&KoujoRec[e], &buf->koujo[e], sizeof(TKoujoRec)) != 0;
    }
    return changed;
}

MsgResult ConfirmSaveData(bool ask, bool& changed, bool saveEnabled)
{
    changed = PeriodChanged();
    if (ask && saveEnabled && changed) {
        MessageBeep();
        return MessageDlg(QStringLiteral("データが変更されています。保存しますか？"), MsgType::Warning,
                          MsgButtons::YesNoCancel);
    }
    return MsgResult::No;
}

void ConvertOldYearFile(const QString& oldPath, const QString& newPath)
{
    // Any file of the old data folder comes here, the system log too: its cap is the largest.
    const QByteArray old = ReadWholeFileOrThrow(oldPath, ReadKind::Log, ReadWhat);
    // The new-employee template, the system log and anything else that is not an old year file
    // moves as it is; so does a year file already in the current layout. A year file of any other
    // size is damaged: copied, it would be listed and then fail to open.
    const QString name = QFileInfo(oldPath).fileName();
    if (name.endsWith(YearFileSuffix) && old.size() != OldYearFileSize && old.size() != YearFileSize)
        throw AppError(QStringLiteral("%1: 年度データファイルの大きさが正しくありません(%2 バイト)。")
                           .arg(name)
                           .arg(old.size()));
    if (name.toLower() == QStringLiteral("社員情報.dat") || old.size() != OldYearFileSize) {
        writeWhole(newPath, old);
        return;
    }
    QByteArray out(YearFileSize, '\0');
    std::memcpy(out.data(), old.constData(), YearHeaderSize);
    // Blocks of the old record (30 slots) and where they start in the new one (90 slots).
    struct Block {
        size_t oldSize, newOffset;
    };
    const Block blocks[] = {{sizeof(TCorpRec), offsetof(TPeriodRecord, corp)},
                            {OldMaxEmployee * sizeof(TEmployeeRec), offsetof(TPeriodRecord, syain)},
                            {OldMaxEmployee * sizeof(TKintaiRec), offsetof(TPeriodRecord, kintai)},
                            {OldMaxEmployee * sizeof(TSikyuRec), offsetof(TPeriodRecord, sikyu)},
                            {OldMaxEmployee * sizeof(TKoujoRec), offsetof(TPeriodRecord, koujo)}};
    for (int p = 1; p <= PeriodCount; ++p) {
        qint64 from = OldYearRecordOffset(p - 1);
        for (const Block& b : blocks) {
            std::memcpy(out.data() + DataRecPos(p - 1) + b.newOffset, old.constData() + from, b.oldSize);
            from += b.oldSize;
        }
    }
    writeWhole(newPath, out);
}
