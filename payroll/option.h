// The settings of a company data set (section [Option] of its settings file): user item names,
// taxable and insurance-base flags of the user items, rounding modes and print and entry switches.
#pragma once
#include <QString>

#include "payroll/records.h"

struct TOptionRec {
    Arr<QString, 1, 3> FixTeate;  // names of fixed allowances
    Arr<QString, 1, 3> VarTeate;  // names of variable allowances
    Arr<QString, 1, 3> FixKoujo;  // names of fixed deductions
    Arr<QString, 1, 3> VarKoujo;  // names of variable deductions
    Arr<QString, 1, 3> Sonota;    // names of the other items
    QString TokuSyoyo;            // name of bonus slot 3
    QString KintaiFre;            // name of the user attendance item, may be empty
    Arr<bool, 0, 11> Kazei;       // user item k: taxable pay (allowances) / premium total (deductions)
    Arr<bool, 0, 11> Syaho;       // user item k: enters the social-insurance base
    bool Use2kSatu = false;       // 2,000-yen notes in the money denomination table
    int32_t HasuuSik = 1;         // rounding of payment items: 1 up, 2 half away from zero
    int32_t HasuuGen = 0;         // rounding of reductions: 0 down, 2 half away from zero
    int32_t HasuuKou = 0;         // rounding of deductions: 0 down, 2 half away from zero
    int32_t FormType = 1;         // slip paper: 0 A4 one per sheet, 1 A4 two per sheet, 2 continuous form
    int32_t TimeStyle = 1;        // hours: 0 decimal, 1 h:mm
    double PrAdjustV = 0;         // print correction, vertical, mm
    double PrAdjustH = 0;         // print correction, horizontal, mm
    bool AutoSelect = true;
    bool InputOverN = true;
    bool PrnRuikei = true;
    bool NameWide = false;
    bool NoBakCol = false;
    bool ManualOn = false;
    bool PrnJuryo = true;
    bool OldIchiran = false;
    bool PrnFuyou = true;
    QString JuryoStr;
    QString FontName;
    QString FontNameM;
    QString FontNameS;
    QString FontNameO;
    bool PrnSikyubi = true;
    bool KaigoChk = true;
    bool SyoyoName = false;
};

extern TOptionRec OptionRec;

// Every field at its default (what a company data set without an [Option] section gets).
TOptionRec DefaultOptionRec();
// Fills OptionRec, except the rounding modes, from [Option] of the file at IniFileName; KaigoChk
// is forced off when no withholding-slip data file is present.
void LoadOption();
// Reads the rounding modes for the period about to be opened (bonus periods: the keys ending in S,
// with the monthly modes as defaults).
void LoadHasuu(int period);
// Writes the whole record back to [Option] of IniFileName; the rounding keys of the open period's
// kind only. Throws IoError when the file cannot be written.
void SaveOption();
// Writes Value as "\"%s\"" under Key of IniFileName.
void WriteIniQuoted(const QString& section, const QString& key, const QString& value);

// A flag string of "1"/"0" characters, element 0 first; a missing or other character reads as off.
Arr<bool, 0, 11> ParseFlags(const QString& s);
QString FormatFlags(const Arr<bool, 0, 11>& flags);
