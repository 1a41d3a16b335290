// The settings record and its [Option] section.
#include "payroll/option.h"

#include <cmath>

#include "payroll/gensen.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "platform/inifile.h"

TOptionRec OptionRec = DefaultOptionRec();

namespace {
const QString Sec = QStringLiteral("Option");
const char* const DefaultFlags = "111111000000";

QString key(const char* name, int i)
{
    return QString::fromLatin1(name) + QString::number(i);
}
}  // namespace

TOptionRec DefaultOptionRec()
{
    TOptionRec r;
    for (int i = 1; i <= 3; ++i) {
        const QString n = QString(QChar(0xFF10 + i));  // full-width digit
        r.FixTeate[i] = QStringLiteral("固定手当") + n;
        r.VarTeate[i] = QStringLiteral("変動手当") + n;
        r.FixKoujo[i] = QStringLiteral("固定控除") + n;
        r.VarKoujo[i] = QStringLiteral("変動控除") + n;
        r.Sonota[i] = QStringLiteral("その他") + n;
    }
    r.TokuSyoyo = QStringLiteral("特別賞与");
    r.Kazei = ParseFlags(QString::fromLatin1(DefaultFlags));
    r.Syaho = ParseFlags(QString::fromLatin1(DefaultFlags));
    r.JuryoStr = QStringLiteral("　　受領印");
    r.FontName = QStringLiteral("ＭＳ 明朝");
    r.FontNameM = QStringLiteral("ＭＳ ゴシック");
    r.FontNameS = QStringLiteral("ＭＳ 明朝");
    r.FontNameO = QStringLiteral("ＭＳ 明朝");
    return r;
}

Arr<bool, 0, 11> ParseFlags(const QString& s)
{
    Arr<bool, 0, 11> f;
    for (int k = 0; k <= 11; ++k) f[k] = k < s.size() && s[k] == QLatin1Char('1');
    return f;
}

QString FormatFlags(const Arr<bool, 0, 11>& flags)
{
    QString s;
    for (int k = 0; k <= 11; ++k) s += flags[k] ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

void LoadOption()
{
    const IniFile ini(IniFileName);
    const TOptionRec d = DefaultOptionRec();
    TOptionRec& r = OptionRec;
    auto str = [&](const QString& k, const QString& def) { return ini.readString(Sec, k, def); };
    auto flag = [&](const char* k, bool def) { return ini.readBool(Sec, QString::fromLatin1(k), def); };
    for (int i = 1; i <= 3; ++i) {
        r.FixTeate[i] = str(key("FixTeate", i), d.FixTeate[i]);
        r.VarTeate[i] = str(key("VarTeate", i), d.VarTeate[i]);
        r.FixKoujo[i] = str(key("FixKoujo", i), d.FixKoujo[i]);
        r.VarKoujo[i] = str(key("VarKoujo", i), d.VarKoujo[i]);
        r.Sonota[i] = str(key("Sonota", i), d.Sonota[i]);
    }
    r.TokuSyoyo = str(QStringLiteral("TokuSyoyo"), d.TokuSyoyo);
    r.KintaiFre = str(QStringLiteral("KintaiFre"), d.KintaiFre);
    r.Kazei = ParseFlags(str(QStringLiteral("Kazei"), QString::fromLatin1(DefaultFlags)));
    r.Syaho = ParseFlags(str(QStringLiteral("Syaho"), QString::fromLatin1(DefaultFlags)));
    r.Use2kSatu = flag("Use2kSatu", d.Use2kSatu);
    r.FormType = ini.readInteger(Sec, QStringLiteral("FormType"), d.FormType);
    r.TimeStyle = ini.readInteger(Sec, QStringLiteral("TimeStyle"), d.TimeStyle);
    r.PrAdjustV = ini.readInteger(Sec, QStringLiteral("PrAdjustV"), 0) / 10.0;
    r.PrAdjustH = ini.readInteger(Sec, QStringLiteral("PrAdjustH"), 0) / 10.0;
    r.AutoSelect = flag("AutoSelect", d.AutoSelect);
    r.InputOverN = flag("InputOverN", d.InputOverN);
    r.PrnRuikei = flag("PrnRuikei", d.PrnRuikei);
    r.NameWide = flag("NameWide", d.NameWide);
    r.NoBakCol = flag("NoBakCol", d.NoBakCol);
    r.ManualOn = flag("ManualOn", d.ManualOn);
    r.PrnJuryo = flag("PrnJuryo", d.PrnJuryo);
    r.OldIchiran = flag("OldIchiran", d.OldIchiran);
    r.PrnFuyou = flag("PrnFuyou", d.PrnFuyou);
    r.JuryoStr = str(QStringLiteral("JuryoStr"), d.JuryoStr);
    r.FontName = str(QStringLiteral("FontName"), d.FontName);
    r.FontNameM = str(QStringLiteral("FontNameM"), d.FontNameM);
    r.FontNameS = str(QStringLiteral("FontNameS"), d.FontNameS);
    r.FontNameO = str(QStringLiteral("FontNameO"), d.FontNameO);
    r.PrnSikyubi = flag("PrnSikyubi", d.PrnSikyubi);
    r.KaigoChk = flag("KaigoChk", d.KaigoChk);
    r.SyoyoName = flag("SyoyoName", d.SyoyoName);
    // The age check needs the birth dates of the withholding-slip data file.
    if (FindGensenFile().isEmpty()) r.KaigoChk = false;
}

void LoadHasuu(int period)
{
    const IniFile ini(IniFileName);
    TOptionRec& r = OptionRec;
    r.HasuuSik = ini.readInteger(Sec, QStringLiteral("HasuuSik"), 1);
    r.HasuuGen = ini.readInteger(Sec, QStringLiteral("HasuuGen"), 0);
    r.HasuuKou = ini.readInteger(Sec, QStringLiteral("HasuuKou"), 0);
    if (IsBonusPeriod(period)) {
        r.HasuuSik = ini.readInteger(Sec, QStringLiteral("HasuuSikS"), r.HasuuSik);
        r.HasuuGen = ini.readInteger(Sec, QStringLiteral("HasuuGenS"), r.HasuuGen);
        r.HasuuKou = ini.readInteger(Sec, QStringLiteral("HasuuKouS"), r.HasuuKou);
    }
}

void SaveOption()
{
    IniFile ini(IniFileName);
    const TOptionRec& r = OptionRec;
    auto integer = [&](const char* k, int v) { ini.writeInteger(Sec, QString::fromLatin1(k), v); };
    auto boolean = [&](const char* k, bool v) { ini.writeBool(Sec, QString::fromLatin1(k), v); };
    auto quoted = [&](const QString& k, const QString& v) { ini.writeQuoted(Sec, k, v); };
    integer("FormType", r.FormType);
    integer("TimeStyle", r.TimeStyle);
    const bool bonus = IsBonusPeriod(CurPeriod.Period);
    integer(bonus ? "HasuuSikS" : "HasuuSik", r.HasuuSik);
    integer(bonus ? "HasuuGenS" : "HasuuGen", r.HasuuGen);
    integer(bonus ? "HasuuKouS" : "HasuuKou", r.HasuuKou);
    integer("PrAdjustH", static_cast<int>(std::lround(r.PrAdjustH * 10)));
    integer("PrAdjustV", static_cast<int>(std::lround(r.PrAdjustV * 10)));
    boolean("AutoSelect", r.AutoSelect);
    boolean("InputOverN", r.InputOverN);
    boolean("PrnRuikei", r.PrnRuikei);
    boolean("NameWide", r.NameWide);
    boolean("NoBakCol", r.NoBakCol);
    boolean("Use2kSatu", r.Use2kSatu);
    boolean("ManualOn", r.ManualOn);
    boolean("PrnJuryo", r.PrnJuryo);
    boolean("OldIchiran", r.OldIchiran);
    boolean("PrnFuyou", r.PrnFuyou);
    boolean("PrnSikyubi", r.PrnSikyubi);
    boolean("KaigoChk", r.KaigoChk);
    boolean("SyoyoName", r.SyoyoName);
    quoted(QStringLiteral("JuryoStr"), r.JuryoStr);
    quoted(QStringLiteral("FontName"), r.FontName);
    quoted(QStringLiteral("FontNameM"), r.FontNameM);
    quoted(QStringLiteral("FontNameS"), r.FontNameS);
    quoted(QStringLiteral("FontNameO"), r.FontNameO);
    for (int i = 1; i <= 3; ++i) quoted(key("FixTeate", i), r.FixTeate[i]);
    for (int i = 1; i <= 3; ++i) quoted(key("VarTeate", i), r.VarTeate[i]);
    for (int i = 1; i <= 3; ++i) quoted(key("FixKoujo", i), r.FixKoujo[i]);
    for (int i = 1; i <= 3; ++i) quoted(key("VarKoujo", i), r.VarKoujo[i]);
    quoted(QStringLiteral("TokuSyoyo"), r.TokuSyoyo);
    quoted(QStringLiteral("KintaiFre"), r.KintaiFre);
    for (int i = 1; i <= 3; ++i) quoted(key("Sonota", i), r.Sonota[i]);
    ini.writeString(Sec, QStringLiteral("Kazei"), FormatFlags(r.Kazei));
    ini.writeString(Sec, QStringLiteral("Syaho"), FormatFlags(r.Syaho));
    ini.save();
}

void WriteIniQuoted(const QString& section, const QString& key, const QString& value)
{
    IniFile ini(IniFileName);
    ini.writeQuoted(section, key, value);
    ini.save();
}
