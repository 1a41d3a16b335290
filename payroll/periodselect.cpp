// The period selection without its windows: reading the year file's state, loading or preparing
// the chosen period, the paid-leave carry, the age notices and the base-month list.
#include "payroll/periodselect.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "payroll/common.h"
#include "payroll/gensen.h"
#include "payroll/option.h"
#include "payroll/otherperiod.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/validate.h"
#include "payroll/yearfile.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "platform/readfile.h"

Arr<TCorpRec, 1, 12> MonthCorpRecs;
double DefJikanDay = 0;
bool SetupDone = false;
bool SelectDone = false;
bool StartHint = true;

namespace {

const QString ReadWhat = QStringLiteral("年度データファイルの読み込み");

// The withholding-slip program's file: a head, then one record per employee slot; the birth date
// (era 1..5, era year, month, day) lies in bytes 1,342..1,345 of a record, counted from 1.
constexpr int GensenHeadSize = 300;
constexpr int GensenRecSize = 1500;
constexpr int GensenBirthOffset = 1341;

template <typename T>
void zero(T& block)
{
    std::memset(&block, 0, sizeof block);
}

// The year files the year list and the base-month list look for, in era and year order.
QList<QPair<QString, int>> yearCandidates()
{
    QList<QPair<QString, int>> years;
    for (int y = 16; y <= 31; ++y) years.append({EraName[1], y});
    if (EraName[1] != EraName[2])
        for (int y = 2; y <= 20; ++y) years.append({EraName[2], y});
    return years;
}

QString yearPart(const QString& era, int year)
{
    return QStringLiteral("%1%2年").arg(era).arg(year, 2, 10, QLatin1Char('0'));
}

// The header of a year file; false when the file does not exist. A file too short to be a year
// file throws IoError: its periods cannot be read either.
bool readHeader(const QString& fileName, TYearFileHeader& header)
{
    QFile f;
    QString reason;
    // A FIFO or a device at the name is told at once: the open never waits in the main thread.
    if (!OpenReadFile(f, fileName, ReadKind::Data, reason)) {
        if (errno == ENOENT) return false;
        throw IoError::failed(ReadWhat, fileName, reason);
    }
    if (f.size() < YearFileSize)
        throw IoError::failed(
            ReadWhat, fileName,
            QStringLiteral("ファイルが壊れています(%1 バイトしかありません)。").arg(f.size()));
    if (f.read(reinterpret_cast<char*>(&header), sizeof header) != sizeof header)
        throw IoError::failed(ReadWhat, fileName, f.errorString());
    RefuseDamaged(fileName, CheckYearHeader(header));
    return true;
}

void readCorpAndSyain(const QString& fileName, int period)
{
    auto rec = std::make_unique<TPeriodRecord>();
    TYearFileHeader header;
    ReadPeriodRecord(fileName, period, header, *rec);
    CorpRec = rec->corp;
    SyainRec = rec->syain;
}

void clearAmounts()
{
    zero(KintaiRec);
    zero(SikyuRec);
    zero(KoujoRec);
}

// Company and employees from the base period, the rest empty; the base month window when there is
// no company to carry and the company setup is done.
void prepareNewPeriod(int p, const ChooseBaseDialog& chooseBase)
{
    const TBasePeriod base = ChooseBasePeriod(p);
    if (base.period == 0) {
        zero(CorpRec);
        zero(SyainRec);
    } else {
        readCorpAndSyain(base.fileName, base.period);
    }
    // Carrying the month before past a month saved already would lose the changes made in
    // between: the user picks the base instead.
    bool laterExists = false;
    if (!CorpRec.Syamei.isEmpty() && !IsBonusPeriod(p)) {
        for (int q = p; q <= MonthPeriods; ++q) laterExists = laterExists || YearHeader.DataExists[q];
        if (laterExists) {
            zero(CorpRec);
            zero(SyainRec);
        }
    }
    clearAmounts();
    if (DefJikanDay > 0 && CorpRec.Syamei.isEmpty() && chooseBase) chooseBase(laterExists);
}

QString employeeName(const TEmployeeRec& e)
{
    return e.Simei.shownText().trimmed();
}

}  // namespace

void ResetPeriodSelect()
{
    zero(MonthCorpRecs);
    DefJikanDay = 0;
    SetupDone = false;
    SelectDone = false;
    StartHint = true;
}

void ReadSelectState(const QString& fileName)
{
    TYearFileHeader header;
    if (!readHeader(fileName, header))
        throw IoError::failed(ReadWhat, fileName, QStringLiteral("ファイルが見つかりません。"));
    Arr<TCorpRec, 1, 12> corps;
    QFile f;
    OpenReadFileOrThrow(f, fileName, ReadKind::Data, ReadWhat);
    for (int p = 1; p <= MonthPeriods; ++p)
        if (!f.seek(DataRecPos(p - 1)) ||
            f.read(reinterpret_cast<char*>(&corps[p]), sizeof(TCorpRec)) != sizeof(TCorpRec))
            throw IoError::failed(ReadWhat, fileName, f.errorString());
    // The months' days and hours only fill the window's fields; a damaged company block shows as
    // empty there, and opening that month tells what is damaged.
    for (int p = 1; p <= 12; ++p)
        if (!CheckCorpRec(p, corps[p]).isEmpty()) std::memset(&corps[p], 0, sizeof(TCorpRec));
    const QString text =
        IniFile(IniFileName)
            .readString(QStringLiteral("Option"), QStringLiteral("DefJikanD"), QStringLiteral("0.0"));
    bool ok = false;
    const double perDay = text.toDouble(&ok);
    if (!ok)
        throw ConvertError(QStringLiteral("設定ファイルの DefJikanD の値 \"%1\" は数値ではありません。\n%2")
                               .arg(text, IniFileName));
    YearHeader = header;
    MonthCorpRecs = corps;
    DefJikanDay = perDay;
}

int EraYearOfFileName(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const QString rest = name.mid(cp932::cut(name, 4).size());
    const int end = rest.indexOf(QStringLiteral("年"));
    return end > 0 ? rest.left(end).toInt() : 0;
}

QString PeriodListName(int p)
{
    const QString season = OptionRec.SyoyoName ? QStringLiteral("季") : QStringLiteral("期");
    if (p == 13) return QStringLiteral("夏") + season + QStringLiteral("賞与");
    if (p == 14) return QStringLiteral("冬") + season + QStringLiteral("賞与");
    if (p == 15) return OptionRec.TokuSyoyo;
    const QString number = p < 10 ? QString(QChar(0xFF10 + p)) : QString::number(p);
    return number + QStringLiteral("月支給給与");
}

QStringList YearFileEntries()
{
    QStringList entries;
    for (const auto& [era, year] : yearCandidates())
        if (QFileInfo(YearFileName(DataPath, era, year)).isFile()) entries.append(yearPart(era, year));
    return entries;
}

QString CheckNewYear(const QString& era, int year)
{
    if (year <= 1) return QStringLiteral("年の入力エラー(0以下または元年は不可)");
    // A year the list never looks for would give a file that is never shown.
    int first = 0;
    int last = 0;
    for (const auto& [e, y] : yearCandidates()) {
        if (e != era) continue;
        if (first == 0) first = y;
        last = y;
    }
    if (first == 0 || year < first || year > last)
        return QStringLiteral("%1の年は%2～%3年の範囲で入力して下さい。").arg(era).arg(first).arg(last);
    if (QFileInfo::exists(YearFileName(DataPath, era, year)))
        return QStringLiteral("入力された年のデータは存在します。");
    return {};
}

void LoadPeriod(const QString& fileName)
{
    // The header in memory is the one the window was filled from, with the bonus date just
    // entered; the file's copy would undo that entry.
    const TYearFileHeader keep = YearHeader;
    LoadPeriod(fileName, CurPeriod.Period);
    YearHeader = keep;
    // Slips are mailed to at most 48 bytes of address.
    for (int e = 1; e <= MaxEmployee; ++e) {
        PStr<50>& mail = SyainRec[e].MailAdrs;
        if (mail.bytes().trimmed().isEmpty()) continue;
        mail.setBytes(cp932::cutBytes(mail.bytes(), 48));
    }
}

TBasePeriod ChooseBasePeriod(int p)
{
    if (p == 1) {
        const QString prev = GetPrevYearFileName();
        return QFileInfo::exists(prev) ? TBasePeriod{prev, 12} : TBasePeriod{};
    }
    if (!IsBonusPeriod(p)) return {CurPeriod.FileName, p - 1};
    for (int s = MonthPeriods; s >= 1; --s)
        if (YearHeader.DataExists[s]) return {CurPeriod.FileName, s};
    // A bonus paid in January of a year with no month yet belongs with last year's staff.
    if (YearHeader.SyoyoMonth[p - 12] == 1) {
        const QString prev = GetPrevYearFileName();
        TYearFileHeader header;
        if (readHeader(prev, header) && header.DataExists[12]) return {prev, 12};
    }
    return {};
}

EntryField SelectPeriod(const TPeriodEntry& entry, const ChooseBaseDialog& chooseBase)
{
    const int p = entry.period;
    if (p < 1 || p > PeriodCount) throw AppError(QStringLiteral("対象の月または賞与が選択されていません。"));
    // Every entry is checked before anything changes: a refused entry leaves the image as it was.
    int sikyuM = 0, sikyuD = 0;
    if (!IsBonusPeriod(p)) {
        if (NumStrToInt(entry.nissu) == 0 || StrToFloatEx(entry.jikan) == 0) {
            ShowError(QStringLiteral("所定労働日数と時間を入力して下さい。"));
            return EntryField::Nissu;
        }
    } else {
        sikyuM = NumStrToInt(entry.sikyuM);
        sikyuD = NumStrToInt(entry.sikyuD);
        // The date goes into the header and onto every slip; a month 13 would also make no
        // valid date for the calculation.
        const bool monthBad = sikyuM < 1 || sikyuM > 12;
        if (monthBad || sikyuD < 1 || sikyuD > 31) {
            ShowError(QStringLiteral("支給月は1～12、支給日は1～31で入力して下さい。"));
            return monthBad ? EntryField::SikyuM : EntryField::SikyuD;
        }
    }
    const int32_t nissu = NumStrToInt(entry.nissu);
    const double jikan = StrToFloatEx(entry.jikan);

    // A period that cannot be read (a damaged record here or in the month it carries leave
    // from, say) leaves the open period as it was.
    const TCurPeriod keepPeriod = CurPeriod;
    const TYearFileHeader keepHeader = YearHeader;
    const TOptionRec keepOption = OptionRec;
    const auto keepImage = CopyPeriodImage();
    const bool isNew = !YearHeader.DataExists[p];
    try {
        if (!entry.yearText.isEmpty()) CurPeriod.EraText = cp932::cut(entry.yearText, 4);
        LoadHasuu(p);
        CurPeriod.Period = p;
        if (IsBonusPeriod(p)) {
            YearHeader.SyoyoMonth[p - 12] = sikyuM;
            YearHeader.SyoyoDay[p - 12] = sikyuD;
        }
        if (isNew)
            prepareNewPeriod(p, chooseBase);
        else
            LoadPeriod(CurPeriod.FileName);
        CorpRec.Nissu = nissu;
        CorpRec.Jikan = jikan;
        if (isNew && !IsBonusPeriod(p)) {
            FillMonthlyPaid();
            CarryYukyuZan(p);
        }
    } catch (const AppError&) {
        CurPeriod = keepPeriod;
        YearHeader = keepHeader;
        OptionRec = keepOption;
        SetPeriodImage(*keepImage);
        throw;
    }
    SetupDone = true;
    SelectDone = true;
    if (IsLockedYear()) ShowInfo(QStringLiteral("平成24年以前のデータは給与/賞与の計算を行いません。"));
    if (OptionRec.KaigoChk) CheckCareInsuranceAges();
    return EntryField::None;
}

void FillMonthlyPaid()
{
    for (int e = 1; e <= MaxEmployee; ++e) {
        if (SyainRec[e].MembKey.isEmpty() || SyainRec[e].Keitai != PayType::Monthly) continue;
        KintaiRec[e].Kintai[kiSyukkin] = CorpRec.Nissu;
        KintaiRec[e].Kintai[kiJitudou] = CorpRec.Jikan;
    }
}

void CarryYukyuZan(int p)
{
    TOtherPeriods periods;  // last month's record read once for every employee
    for (int e = 1; e <= MaxEmployee; ++e) {
        const double rem = GetPrevYukyuZan(p - 1, SyainRec[e].MembKey.bytes(), periods);
        if (rem != -999.0) KintaiRec[e].Kintai[kiYukyuZan] = rem - KintaiRec[e].Kintai[kiYukyu];
    }
}

void CheckCareInsuranceAges()
{
    const int p = CurPeriod.Period;
    if (p < 1 || IsBonusPeriod(p)) return;
    const QString fileName = FindGensenFile();
    if (fileName.isEmpty()) return;
    // The other program's file: read only when it is a plain file, never through a planted FIFO.
    QFile f;
    QString reason;
    if (!OpenReadFile(f, fileName, ReadKind::Data, reason)) return;
    const qint64 want = GensenHeadSize + qint64(MaxEmployee) * GensenRecSize;
    const QByteArray data = f.read(want);
    if (data.size() < want) return;

    QString y, m, d;
    GetPrnDate(y, m, d);
    const int refMonth = m.trimmed().toInt();
    int refYear = CurPeriod.EraYear + (CurPeriod.EraText == EraName[1] ? 1988 : 2018);
    // Next-month pay of December falls in January of the following year.
    if (refMonth < p) ++refYear;
    const int refDay = std::min(d.trimmed().toInt(), QDate(refYear, refMonth, 1).daysInMonth());
    const QDate ref(refYear, refMonth, refDay);
    if (!ref.isValid()) return;

    for (int e = 1; e <= MaxEmployee; ++e) {
        TEmployeeRec& E = SyainRec[e];
        if (E.MembKey.isEmpty() || !E.Taisyoku.bytes().trimmed().isEmpty() || !E.Kenkou) continue;
        const auto* b = reinterpret_cast<const uint8_t*>(data.constData()) + GensenHeadSize +
                        (e - 1) * GensenRecSize + GensenBirthOffset;
        if (b[2] == 0 || b[3] == 0) continue;
        const int western = WarekiToSeireki(b[0], b[1]);
        const QDate birthday(western, b[2], b[3]);
        // The other program may hold a date that never existed (13th month, 30 February, an
        // unknown era): that employee gets no notice rather than a failed period selection.
        if (western == 0 || b[1] == 0 || !birthday.isValid()) continue;
        // An age is reached on the day before the birthday.
        const int age = CalcAge(birthday.addDays(-1), ref);
        const QString name = QStringLiteral("\n　【") + employeeName(E) + QStringLiteral("】");
        if (age >= 65 && E.Kaigo) {
            if (MessageDlg(QStringLiteral("下記従業員は65歳以上で介護保険料を徴収しています。\n"
                                          "介護保険料を徴収しない様に変更しますか？") +
                               name,
                           MsgType::Confirmation, MsgButtons::YesNo) == MsgResult::Yes)
                E.Kaigo = 0;
        }
        if (age >= 40 && age < 65 && !E.Kaigo) {
            if (MessageDlg(QStringLiteral("下記従業員は40歳以上で介護保険料を徴収していません。\n"
                                          "介護保険料を徴収する様に変更しますか？") +
                               name,
                           MsgType::Confirmation, MsgButtons::YesNo) == MsgResult::Yes)
                E.Kaigo = 1;
        }
        if (age == 70 && E.AgeNotice < 70) {
            ShowInfo(QStringLiteral("下記従業員は70歳になったので下記の資格を喪失します。\n"
                                    "　健康保険、厚生年金保険") +
                     name);
            E.AgeNotice = 70;
        }
        if (age == 75 && E.AgeNotice < 75) {
            ShowInfo(QStringLiteral("下記従業員は75歳になったので下記に該当します。\n"
                                    "　後期高齢者医療制度の被保険者") +
                     name);
            E.AgeNotice = 75;
        }
    }
}

std::vector<TRefLine> RefDataLines()
{
    std::vector<TRefLine> lines;
    for (const auto& [era, year] : yearCandidates()) {
        const QString fileName = YearFileName(DataPath, era, year);
        const QFileInfo fi(fileName);
        // A damaged file cannot supply a month; listing its months would only fail at OK.
        if (!fi.isFile() || fi.size() < YearFileSize) continue;
        TYearFileHeader header;
        try {
            readHeader(fileName, header);
        } catch (const DamagedDataError&) {
            continue;  // its saved-month marks cannot be trusted either
        }
        const QString part = yearPart(era, year);
        for (int m = 1; m <= MonthPeriods; ++m)
            if (header.DataExists[m])
                lines.push_back({part + QStringLiteral("%1月支給給与").arg(m, 2), part, fileName, m});
    }
    return lines;
}

int RefDataPreselect(const std::vector<TRefLine>& lines)
{
    int sel = int(lines.size()) - 1;
    const QString open = yearPart(CurPeriod.EraText, CurPeriod.EraYear);
    for (int i = 0; i < int(lines.size()); ++i) {
        if (lines[i].yearPart != open) continue;
        if (lines[i].month > CurPeriod.Period) break;
        sel = i;
    }
    return sel;
}

bool ApplyRefData(const QString& fileName, int month)
{
    if (month != 0) {
        readCorpAndSyain(fileName, month);
    } else {
        zero(CorpRec);
        zero(SyainRec);
    }
    clearAmounts();
    return !CorpRec.Syamei.isEmpty();
}
