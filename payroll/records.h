// The records of one period as they lie in the year data file: the 128-byte file header, the
// company block, and the employee, attendance, payment and deduction rows (little-endian, packed,
// every reserved byte declared). A period record is 89,944 bytes.
#pragma once
#include <QByteArray>
#include <QString>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

// An array indexed from Lo to Hi, laid out like a plain C array.
template <typename T, int Lo, int Hi>
struct Arr {
    static_assert(Hi >= Lo);
    static constexpr int low = Lo;
    static constexpr int high = Hi;
    static constexpr int count = Hi - Lo + 1;
    T v[count];
    T& operator[](int i)
    {
        assert(i >= Lo && i <= Hi);
        return v[i - Lo];
    }
    const T& operator[](int i) const
    {
        assert(i >= Lo && i <= Hi);
        return v[i - Lo];
    }
};

// An array of a packed record at an offset its elements' alignment does not allow (the rates of
// the tax table): its elements are read and written as copies, never through a reference.
template <typename T, int Lo, int Hi>
struct PackedArr {
    static_assert(Hi >= Lo);
    unsigned char raw[sizeof(T) * (Hi - Lo + 1)];
    T operator[](int i) const
    {
        assert(i >= Lo && i <= Hi);
        T v;
        std::memcpy(&v, raw + sizeof(T) * (i - Lo), sizeof v);
        return v;
    }
    void set(int i, T v)
    {
        assert(i >= Lo && i <= Hi);
        std::memcpy(raw + sizeof(T) * (i - Lo), &v, sizeof v);
    }
};

// The records are packed to the file's layout; each declares the alignment its arrays need
// (an Arr hands out references to its elements), so that every variable and member of a record
// type holds its arrays aligned while sizes and offsets stay those of the file.
#pragma pack(push, 1)

// A counted string of capacity N: one length byte, then N bytes of code page 932. Bytes behind
// the length are carried as they are.
template <int N>
struct PStr {
    uint8_t len;
    char data[N];

    QByteArray bytes() const { return QByteArray(data, len > N ? N : len); }
    // The text; bytes that are not CP932 throw EncodingError.
    QString text() const;
    // The text for display and output: a byte that is not CP932 shows as "?" (the good characters
    // around it stay) instead of stopping a list.
    QString shownText() const;
    // Stores text cut to N bytes without splitting a double-byte character; bytes behind the new
    // length stay as they were. Characters CP932 lacks throw EncodingError.
    void setText(const QString& s);
    void setBytes(const QByteArray& b);
    // Zeroes all N+1 bytes and stores the text again (used before comparing with the file).
    void normalise();
    bool isEmpty() const { return len == 0; }
};

struct alignas(4) TYearFileHeader {
    double FileMark;                 // reserved, no reader interprets it
    Arr<uint8_t, 1, 15> DataExists;  // 1 once period p has been saved
    uint8_t reserved23;
    Arr<int32_t, 1, 3> SyoyoMonth;  // payment month of bonus slot b (period 12 + b)
    Arr<int32_t, 1, 3> SyoyoDay;    // payment day of bonus slot b
    Arr<uint8_t, 1, 15> PrnMonth;   // month last printed as the pay date of period p
    Arr<uint8_t, 1, 15> PrnDay;     // day last printed as the pay date of period p
    uint8_t reserved78[50];
};

struct TCorpRec {
    PStr<44> Syamei;  // company name; a non-empty name marks the period record as filled
    uint8_t reserved45[3];
    int32_t SikyuShift;   // 1 pay date in the next month, -1 the entry month is last month's slip
    int32_t Juumin6Flag;  // 1 the June resident tax is deducted in period 7
    uint8_t reserved56[4];
    uint8_t Jigyo;   // employment insurance: 1 general business, 0 other
    uint8_t UseHyo;  // use the employment-insurance premium table
    uint8_t reserved62[2];
    int32_t Sikyubi;  // pay day 1..31, 31 = month end
    int32_t Nissu;    // scheduled working days of the month
    double Jikan;     // scheduled working hours of the month
    uint8_t reserved80[16];
    double JikanD;   // working hours per day
    double KoyRitu;  // employment insurance, employee's share, percent
    double KenRitu;  // health insurance, percent
    double KaiRitu;  // nursing-care insurance, percent
    double NenRitu;  // welfare pension, percent
    double KknRitu;  // pension fund, percent
    uint8_t reserved144[216];
    int64_t HouNo;  // corporate number, 0 = none
    uint8_t reserved368[1016];
};

struct alignas(4) TEmployeeRec {
    PStr<20> Simei;    // name
    PStr<20> Busyo;    // department
    PStr<16> MembKey;  // creation stamp "yymmdd_hhnnss"; empty = slot free
    uint8_t reserved59;
    int32_t Kubun;                    // category index 0..5, -1 = typed by the user (KubunName)
    int32_t Keitai;                   // pay type 1 monthly, 2 daily, 3 hourly
    int32_t Zeigaku;                  // withholding column 0 甲, 1 乙
    int32_t Fuyou;                    // dependants shown and printed
    int32_t Sinzoku;                  // dependants counted for withholding
    Arr<int32_t, 1, 5> Chingin;       // 1 wage by pay type; 2..5 overtime unit prices
    Arr<int32_t, 0, 1> Koutuhi;       // commuting allowance: 0 non-taxable, 1 taxable
    int32_t SikUnit;                  // commuting payment rule 1..11
    int32_t Juumin6;                  // resident tax, June
    int32_t Juumin;                   // resident tax, other months
    int32_t Yakuin;                   // position allowance
    int32_t Family;                   // family allowance
    Arr<int32_t, 1, 3> Teate;         // fixed allowances
    Arr<int32_t, 1, 3> FixKoujoGaku;  // fixed deductions
    int32_t Yukyu;                    // pay per paid-leave day
    int32_t Kekkin;                   // deduction per absence day
    int32_t Chisou;                   // deduction per hour late or early
    uint8_t reserved164[8];
    uint8_t Koyou;  // employment insurance applies
    uint8_t reserved173;
    uint8_t Kenkou;  // health insurance applies
    uint8_t reserved175;
    int32_t KenhoRyo;  // health-insurance premium
    uint8_t Kaigo;     // nursing-care insurance applies
    uint8_t reserved181[3];
    int32_t KaigoRyo;  // nursing-care premium
    uint8_t NenHoken;  // welfare pension applies
    uint8_t reserved189[3];
    int32_t KoseiRyo;  // welfare-pension premium
    uint8_t NenKikin;  // pension fund applies
    uint8_t reserved197[3];
    int32_t Kakekin;  // pension-fund contribution
    uint8_t reserved204[40];
    uint8_t Genkin;      // paid in cash
    PStr<50> MailAdrs;   // e-mail address for slips
    PStr<8> Taisyoku;    // retirement date "yymmdd" in era years; empty = not retired
    PStr<12> KubunName;  // category text
    uint16_t Tokyu;      // health-insurance grade
    uint16_t SeqNo;      // employee number (display and print order)
    uint8_t reserved322[2];
    int64_t MyNo;       // individual number, 0 = none
    uint8_t NoSyoto;    // income tax is never withheld
    PStr<20> Chouson;   // municipality of the resident tax
    uint8_t Sex;        // 0 not set, 1 男, 2 女
    uint8_t AgeNotice;  // highest age notice given: 0, 70, 75
    uint8_t reserved356[144];
};

struct alignas(8) TKintaiRec {
    Arr<double, 1, 16> Kintai;  // attendance in storage order (15 leave remaining, 16 user item)
    uint8_t reserved128[72];
};

struct alignas(4) TSikyuRec {
    Arr<int32_t, 1, 17> Sikyu;  // payments in storage order; 16 and 17 are negative
    int32_t KazeiGoukei;        // taxable payments
    int32_t SikyuGoukei;        // gross pay
    Arr<int32_t, 1, 3> Sonota;  // other items (also in TKoujoRec.Sonota)
    uint8_t reserved88[28];
    Arr<uint8_t, 1, 17> SikyuManual;  // manual-entry flag per payment index
    uint8_t reserved133[15];
};

struct alignas(4) TKoujoRec {
    Arr<int32_t, 1, 15> Koujo;  // deductions in storage order
    int32_t KoujoGoukei;        // total deductions
    int32_t SyahoSantei;        // social-insurance base of the period
    Arr<int32_t, 1, 3> Sonota;  // other items (same values as TSikyuRec.Sonota)
    int32_t SyoyoRitu;          // bonus withholding rate x 100,000
    uint8_t reserved84[24];
    Arr<uint8_t, 1, 12> KoujoManual;  // manual-entry flag per deduction index
    uint8_t reserved120[16];
};

#pragma pack(pop)

constexpr int MaxEmployee = 90;
constexpr int PeriodCount = 15;
constexpr int OldMaxEmployee = 30;

using TSyainArray = Arr<TEmployeeRec, 1, MaxEmployee>;
using TKintaiArray = Arr<TKintaiRec, 1, MaxEmployee>;
using TSikyuArray = Arr<TSikyuRec, 1, MaxEmployee>;
using TKoujoArray = Arr<TKoujoRec, 1, MaxEmployee>;

// The sizes of the year file's parts, from the records: the header, a period record, and a period
// record of the earlier layout (the same blocks for 30 employees).
constexpr int YearHeaderSize = sizeof(TYearFileHeader);
constexpr int PeriodRecSize =
    sizeof(TCorpRec) + sizeof(TSyainArray) + sizeof(TKintaiArray) + sizeof(TSikyuArray) + sizeof(TKoujoArray);
constexpr int OldPeriodRecSize =
    sizeof(TCorpRec) +
    OldMaxEmployee * (sizeof(TEmployeeRec) + sizeof(TKintaiRec) + sizeof(TSikyuRec) + sizeof(TKoujoRec));

// Periods 1..12 are the months, 13..15 the three bonus slots (bonus slot b is period 12 + b).
constexpr int MonthPeriods = 12;
constexpr bool IsBonusPeriod(int period)
{
    return period > MonthPeriods;
}

// Pay type of an employee (TEmployeeRec.Keitai); it also picks his slip's set of items.
namespace PayType {
enum : int32_t { Monthly = 1, Daily = 2, Hourly = 3 };
}
constexpr bool IsPayType(int type)
{
    return type >= PayType::Monthly && type <= PayType::Hourly;
}

// Commuting payment rule (TEmployeeRec.SikUnit): per day worked, every month, every three months
// from month rule - 2 (3..5), or twice a year in months rule - 5 and rule + 1 (6..11).
namespace CommutingRule {
enum : int32_t {
    PerDay = 1,
    EveryMonth = 2,
    QuarterlyFirst = 3,
    QuarterlyLast = 5,
    HalfYearlyFirst = 6,
    HalfYearlyLast = 11
};
}

// Attendance indices (storage order).
enum KintaiNo {
    kiSyoteiNissu = 1,
    kiSyukkin,
    kiYukyu,
    kiKekkin,
    kiKyujituSyukkin,
    kiTokubetu,
    kiSyoteiJikan,
    kiJitudou,
    kiFutuZangyo,
    kiSinyaZangyo,
    kiKyujituFutu,
    kiKyujituSinya,
    kiChisouKaisu,
    kiChisouJikan,
    kiYukyuZan,
    kiFree
};
// Payment indices (storage order).
enum SikyuNo {
    siKihon = 1,
    siYakusyoku,
    siKazoku,
    siFixTeate1,
    siFixTeate2,
    siFixTeate3,
    siFutuZangyo,
    siSinyaZangyo,
    siKyujituFutu,
    siKyujituSinya,
    siHikazeiTuukin,
    siKazeiTuukin,
    siVarTeate1,
    siVarTeate2,
    siVarTeate3,
    siKekkin,
    siChisou
};
// Deduction indices (storage order).
enum KoujoNo {
    koKenpo = 1,
    koKousei,
    koKikin,
    koKoyou,
    koKaigo,
    koSyahoKei,
    koSyahoGo,
    koSyotoku,
    koJuumin,
    koFixKoujo1,
    koFixKoujo2,
    koFixKoujo3,
    koVarKoujo1,
    koVarKoujo2,
    koVarKoujo3
};

// Names of the attendance items in storage order (index 16, the user item, has the placeholder).
extern const char* const KintaiItemNames[17];
// Item name (without the F/V prefix) to the payment index of its manual flag: the storage list,
// base pay under "基本給", "日給計", "時給計" and "賞与", "役職手当" and "役員報酬" as 2, the fixed
// allowances under the current user names; variable allowances and other names give 0.
int SikyuIndex(const QString& name);
// The same for deductions: 1..9 and the fixed deductions 10..12; any other name gives 0.
int KoujoIndex(const QString& name);

// Offsets and sizes, checked where a mistake would move every later byte.
static_assert(sizeof(PStr<44>) == 45 && sizeof(PStr<20>) == 21);
static_assert(sizeof(TYearFileHeader) == 128);
static_assert(offsetof(TYearFileHeader, DataExists) == 8);
static_assert(offsetof(TYearFileHeader, SyoyoMonth) == 24);
static_assert(offsetof(TYearFileHeader, SyoyoDay) == 36);
static_assert(offsetof(TYearFileHeader, PrnMonth) == 48);
static_assert(offsetof(TYearFileHeader, PrnDay) == 63);
static_assert(offsetof(TYearFileHeader, reserved78) == 78);

static_assert(sizeof(TCorpRec) == 1384);
static_assert(offsetof(TCorpRec, SikyuShift) == 48);
static_assert(offsetof(TCorpRec, Juumin6Flag) == 52);
static_assert(offsetof(TCorpRec, Jigyo) == 60);
static_assert(offsetof(TCorpRec, UseHyo) == 61);
static_assert(offsetof(TCorpRec, Sikyubi) == 64);
static_assert(offsetof(TCorpRec, Nissu) == 68);
static_assert(offsetof(TCorpRec, Jikan) == 72);
static_assert(offsetof(TCorpRec, JikanD) == 96);
static_assert(offsetof(TCorpRec, KoyRitu) == 104);
static_assert(offsetof(TCorpRec, KenRitu) == 112);
static_assert(offsetof(TCorpRec, KaiRitu) == 120);
static_assert(offsetof(TCorpRec, NenRitu) == 128);
static_assert(offsetof(TCorpRec, KknRitu) == 136);
static_assert(offsetof(TCorpRec, HouNo) == 360);
static_assert(offsetof(TCorpRec, reserved368) == 368);

static_assert(sizeof(TEmployeeRec) == 500);
static_assert(offsetof(TEmployeeRec, Busyo) == 21);
static_assert(offsetof(TEmployeeRec, MembKey) == 42);
static_assert(offsetof(TEmployeeRec, Kubun) == 60);
static_assert(offsetof(TEmployeeRec, Keitai) == 64);
static_assert(offsetof(TEmployeeRec, Zeigaku) == 68);
static_assert(offsetof(TEmployeeRec, Fuyou) == 72);
static_assert(offsetof(TEmployeeRec, Sinzoku) == 76);
static_assert(offsetof(TEmployeeRec, Chingin) == 80);
static_assert(offsetof(TEmployeeRec, Koutuhi) == 100);
static_assert(offsetof(TEmployeeRec, SikUnit) == 108);
static_assert(offsetof(TEmployeeRec, Juumin6) == 112);
static_assert(offsetof(TEmployeeRec, Juumin) == 116);
static_assert(offsetof(TEmployeeRec, Yakuin) == 120);
static_assert(offsetof(TEmployeeRec, Family) == 124);
static_assert(offsetof(TEmployeeRec, Teate) == 128);
static_assert(offsetof(TEmployeeRec, FixKoujoGaku) == 140);
static_assert(offsetof(TEmployeeRec, Yukyu) == 152);
static_assert(offsetof(TEmployeeRec, Kekkin) == 156);
static_assert(offsetof(TEmployeeRec, Chisou) == 160);
static_assert(offsetof(TEmployeeRec, reserved164) == 164);
static_assert(offsetof(TEmployeeRec, Koyou) == 172);
static_assert(offsetof(TEmployeeRec, Kenkou) == 174);
static_assert(offsetof(TEmployeeRec, KenhoRyo) == 176);
static_assert(offsetof(TEmployeeRec, Kaigo) == 180);
static_assert(offsetof(TEmployeeRec, KaigoRyo) == 184);
static_assert(offsetof(TEmployeeRec, NenHoken) == 188);
static_assert(offsetof(TEmployeeRec, KoseiRyo) == 192);
static_assert(offsetof(TEmployeeRec, NenKikin) == 196);
static_assert(offsetof(TEmployeeRec, Kakekin) == 200);
static_assert(offsetof(TEmployeeRec, reserved204) == 204);
static_assert(offsetof(TEmployeeRec, Genkin) == 244);
static_assert(offsetof(TEmployeeRec, MailAdrs) == 245);
static_assert(offsetof(TEmployeeRec, Taisyoku) == 296);
static_assert(offsetof(TEmployeeRec, KubunName) == 305);
static_assert(offsetof(TEmployeeRec, Tokyu) == 318);
static_assert(offsetof(TEmployeeRec, SeqNo) == 320);
static_assert(offsetof(TEmployeeRec, MyNo) == 324);
static_assert(offsetof(TEmployeeRec, NoSyoto) == 332);
static_assert(offsetof(TEmployeeRec, Chouson) == 333);
static_assert(offsetof(TEmployeeRec, Sex) == 354);
static_assert(offsetof(TEmployeeRec, AgeNotice) == 355);
static_assert(offsetof(TEmployeeRec, reserved356) == 356);

static_assert(sizeof(TKintaiRec) == 200);
static_assert(offsetof(TKintaiRec, reserved128) == 128);

static_assert(sizeof(TSikyuRec) == 148);
static_assert(offsetof(TSikyuRec, KazeiGoukei) == 68);
static_assert(offsetof(TSikyuRec, SikyuGoukei) == 72);
static_assert(offsetof(TSikyuRec, Sonota) == 76);
static_assert(offsetof(TSikyuRec, reserved88) == 88);
static_assert(offsetof(TSikyuRec, SikyuManual) == 116);
static_assert(offsetof(TSikyuRec, reserved133) == 133);

static_assert(sizeof(TKoujoRec) == 136);
static_assert(offsetof(TKoujoRec, KoujoGoukei) == 60);
static_assert(offsetof(TKoujoRec, SyahoSantei) == 64);
static_assert(offsetof(TKoujoRec, Sonota) == 68);
static_assert(offsetof(TKoujoRec, SyoyoRitu) == 80);
static_assert(offsetof(TKoujoRec, KoujoManual) == 108);
static_assert(offsetof(TKoujoRec, reserved120) == 120);

static_assert(sizeof(TSyainArray) == 45000 && sizeof(TKintaiArray) == 18000);
static_assert(sizeof(TSikyuArray) == 13320 && sizeof(TKoujoArray) == 12240);
static_assert(YearHeaderSize == 128 && PeriodRecSize == 89944 && OldPeriodRecSize == 30904);
