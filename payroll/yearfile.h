// The year data file: a 128-byte header and fifteen 89,944-byte period records (months 1..12,
// bonus slots 1..3), 1,349,288 bytes in all. Files of the earlier 30-employee layout are converted.
#pragma once
#include <QString>
#include <cstdint>
#include <memory>

#include "payroll/records.h"
#include "platform/msgbox.h"

constexpr int64_t YearFileSize = YearHeaderSize + PeriodCount * int64_t(PeriodRecSize);        // 1,349,288
constexpr int64_t OldYearFileSize = YearHeaderSize + PeriodCount * int64_t(OldPeriodRecSize);  // 463,688

// Byte offset of period record n (0-based, n = period - 1).
inline int64_t DataRecPos(int n)
{
    return PeriodRecSize * int64_t(n) + YearHeaderSize;
}
inline int64_t OldYearRecordOffset(int n)
{
    return OldPeriodRecSize * int64_t(n) + YearHeaderSize;
}

// One period record in memory, block by block in file order (89,944 bytes).
struct TPeriodRecord {
    TCorpRec corp;
    TSyainArray syain;
    TKintaiArray kintai;
    TSikyuArray sikyu;
    TKoujoArray koujo;
};
static_assert(sizeof(TPeriodRecord) == PeriodRecSize);

// The five blocks of the period image as one record, and the image set from one.
std::unique_ptr<TPeriodRecord> CopyPeriodImage();
void SetPeriodImage(const TPeriodRecord& rec);

// Throws AppError unless period is 1..15.
void CheckPeriodNumber(int period);
// Reads the header of fileName, checked as ReadPeriodRecord checks it.
void ReadYearHeader(const QString& fileName, TYearFileHeader& header);
// Reads the header and period p of fileName into buffers of the caller, leaving the period image
// alone. A missing, short or unreadable file throws IoError, one whose header or period holds a
// damaged value DamagedDataError (payroll/validate.h).
void ReadPeriodRecord(const QString& fileName, int period, TYearFileHeader& header, TPeriodRecord& rec);

// "%s%s%.2d年給与･賞与.dat": data folder, era name, era year.
extern const QString YearFileSuffix;  // "年給与･賞与.dat"
QString YearFileName(const QString& folder, const QString& era, int eraYear);

// Bookkeeping of the file created in this run (asked about at close when never saved).
extern QString CreatedYearFile;
extern bool YearFileCreated;
extern bool YearFileSaved;

// Creates the year file with fifteen zero periods when it does not exist; zero-fills the period
// image. Never overwrites a file. Throws IoError.
void CreateYearFile(const QString& fileName);

// Reads the header and period p (1..15) of fileName into the period image. A file that is too
// short or cannot be read throws IoError and leaves the image as it was.
void LoadPeriod(const QString& fileName, int period);

// Writes the open period (CurPeriod) and the header with its present flag by replacing the whole
// file at once, so that the file holds the old period or the new one, whole. Throws IoError; the
// file and the image's header then stay as they were.
void WritePeriod();

// The save command: asks first when a later month exists and the image changed, writes the open
// period and notes the save of a file created in this run. Returns false when the user declined
// (the caller tells the user of a save). Throws IoError.
bool SavePeriod();

// True when the period image differs from the open period in the file (names and, for bonus
// periods, Nissu and Jikan are normalised first). A missing or unreadable file counts as changed.
bool PeriodChanged();

// The comparison and, when ask is set, saveEnabled and the image changed, the question
// "データが変更されています。保存しますか？" (Yes/No/Cancel); otherwise the answer is No.
MsgResult ConfirmSaveData(bool ask, bool& changed, bool saveEnabled = true);

// Writes the current-layout file newPath from the old-layout file oldPath. The new-employee
// template "社員情報.dat" and every file that is not exactly 463,688 bytes are copied unchanged,
// except a year file of neither layout's size, which throws AppError naming it and its size.
// The target is written atomically: a failure leaves no half-written target.
void ConvertOldYearFile(const QString& oldPath, const QString& newPath);
