// Slip item settings: default tables, loading, publishing and writing.
#include "payroll/slipitems.h"

#include "payroll/option.h"
#include "payroll/paths.h"
#include "platform/cp932.h"
#include "platform/inifile.h"

Arr<TSlipItem, 1, 16> KintaiItem;
Arr<TSlipItem, 1, 18> SikyuItem;
Arr<TSlipItem, 1, 18> KoujoItem;
Arr<TSlipItem, 1, 3> SonotaItem;
Arr<Arr<QString, 1, 16>, 1, 3> KintaiList;
Arr<Arr<QString, 1, 18>, 1, 3> SikyuList;
Arr<Arr<QString, 1, 18>, 1, 3> KoujoList;
Arr<Arr<QString, 1, 3>, 1, 3> SonotaList;

void ResetSlipItems()
{
    KintaiItem = {}, SikyuItem = {}, KoujoItem = {}, SonotaItem = {};
    KintaiList = {}, SikyuList = {}, KoujoList = {}, SonotaList = {};
}

const char* const DefKintaiName[17] = {"",
                                       "F所定労働日数",
                                       "V出勤日数",
                                       "V有休日数",
                                       "V欠勤日数",
                                       "V休日出勤日数",
                                       "V特別休暇日数",
                                       "F所定労働時間",
                                       "V実働時間",
                                       "V普通残業時間",
                                       "V深夜残業時間",
                                       "V休日普通残業",
                                       "V休日深夜残業",
                                       "V遅刻早退回数",
                                       "V遅刻早退時間",
                                       "V勤怠項目",
                                       "V有休残日数"};
const char* const DefSikyuNameK[19] = {"",
                                       "F基本給",
                                       "F役職手当",
                                       "F家族手当",
                                       "F固定手当１",
                                       "F固定手当２",
                                       "F固定手当３",
                                       "F普通残業手当",
                                       "F深夜残業手当",
                                       "F休日普通残業",
                                       "F休日深夜残業",
                                       "F非課税通勤費",
                                       "F課税通勤費",
                                       "F欠勤控除",
                                       "F遅刻早退控除",
                                       "V変動手当１",
                                       "V変動手当２",
                                       "V変動手当３",
                                       "F課税支給合計"};
const char* const DefKoujoNameK[19] = {"",
                                       "F健康保険料",
                                       "F介護保険料",
                                       "F厚生年金保険",
                                       "F厚生年金基金",
                                       "F雇用保険料",
                                       "F社会保険料計",
                                       "F社保控除後計",
                                       "F",
                                       "F所得税",
                                       "F住民税",
                                       "F固定控除１",
                                       "F固定控除２",
                                       "F固定控除３",
                                       "F",
                                       "V変動控除１",
                                       "V変動控除２",
                                       "V変動控除３",
                                       "F"};
const char* const DefSikyuNameS[19] = {"",
                                       "V賞与",
                                       "V役員報酬",
                                       "F",
                                       "F固定手当１",
                                       "F固定手当２",
                                       "F固定手当３",
                                       "F",
                                       "V変動手当１",
                                       "V変動手当２",
                                       "V変動手当３",
                                       "F",
                                       "F課税支給合計",
                                       "F",
                                       "F",
                                       "F",
                                       "F",
                                       "F",
                                       "F"};
const char* const DefKoujoNameS[19] = {"",
                                       "F健康保険料",
                                       "F介護保険料",
                                       "F厚生年金保険",
                                       "F厚生年金基金",
                                       "F雇用保険料",
                                       "F社会保険料計",
                                       "F社保控除後計",
                                       "F",
                                       "F所得税",
                                       "F",
                                       "F固定控除１",
                                       "F固定控除２",
                                       "F固定控除３",
                                       "F",
                                       "V変動控除１",
                                       "V変動控除２",
                                       "V変動控除３",
                                       "F"};
const char* const DefSonotaName[4] = {"", "Vその他１", "Vその他２", "Vその他３"};

namespace {

struct Flags {
    const char* monthly;
    const char* daily;
    const char* hourly;
    const char* of(int t) const
    {
        return t == PayType::Monthly ? monthly : t == PayType::Daily ? daily : hourly;
    }
};
const Flags KintaiFlagsK = {"1111011111101111", "0110010100001111", "0110010100000011"};
const Flags SikyuFlagsK = {"111000111011110001", "111000000011010001", "111000000011000001"};
const Flags KoujoFlags = {"111111111100010001", "111111111100010001", "111111111100010001"};
const Flags SonotaFlags = {"000", "000", "000"};
const Flags SikyuFlagsS = {"111000100011111111", "111000100011111111", "111000100011111111"};

QString key(const char* prefix, int row)
{
    return QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(row - 1, 2, 10, QLatin1Char('0'));
}

template <typename A>
void loadNames(const IniFile& ini, const QString& section, const char* prefix, A& items,
               const char* const* defs)
{
    for (int r = A::low; r <= A::high; ++r)
        items[r].Name = ini.readString(section, key(prefix, r), QString::fromUtf8(defs[r]));
}

template <typename A>
void loadFlags(const IniFile& ini, const QString& sectionFmt, const char* keyName, A& items,
               const Flags& defs)
{
    for (int t = PayType::Monthly; t <= PayType::Hourly; ++t) {
        const QString s =
            ini.readString(sectionFmt.arg(t), QLatin1String(keyName), QLatin1String(defs.of(t)));
        for (int r = A::low; r <= A::high; ++r)
            items[r].Use[t] = r - 1 < s.size() && s[r - 1] == QLatin1Char('1');
    }
}

template <typename A>
void setDefaults(A& items, const char* const* names, const Flags& flags)
{
    for (int r = A::low; r <= A::high; ++r) {
        items[r].Name = QString::fromUtf8(names[r]);
        for (int t = PayType::Monthly; t <= PayType::Hourly; ++t) items[r].Use[t] = flags.of(t)[r - 1] == '1';
    }
}

template <typename L, typename A>
void publish(L& list, const A& items)
{
    for (int t = PayType::Monthly; t <= PayType::Hourly; ++t)
        for (int r = A::low; r <= A::high; ++r)
            list[t][r] = items[r].Use[t] ? items[r].Name : QStringLiteral("F");
}

template <typename A>
QString flagString(const A& items, int t)
{
    QString s;
    for (int r = A::low; r <= A::high; ++r) s += items[r].Use[t] ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

// The name as stored: a user item under its current name goes back to its placeholder.
QString storedName(const QString& name, const Arr<QString, 1, 3>& fixNames, const char* fixPlaceholder,
                   const Arr<QString, 1, 3>& varNames, const char* varPlaceholder)
{
    QString n = name;
    for (int i = 1; i <= 3; ++i)
        if (n.mid(1) == fixNames[i])
            n = QStringLiteral("F%1%2").arg(QString::fromUtf8(fixPlaceholder), QChar(0xFF10 + i));
    for (int i = 1; i <= 3; ++i)
        if (n.mid(1) == varNames[i])
            n = QStringLiteral("V%1%2").arg(QString::fromUtf8(varPlaceholder), QChar(0xFF10 + i));
    return n;
}

void savePayAndDeductions(IniFile& ini, const QString& section)
{
    const TOptionRec& o = OptionRec;
    for (int r = 1; r <= 18; ++r)
        ini.writeString(section, key("Sikyu", r),
                        storedName(SikyuItem[r].Name, o.FixTeate, "固定手当", o.VarTeate, "変動手当"));
    for (int r = 1; r <= 18; ++r)
        ini.writeString(section, key("Koujo", r),
                        storedName(KoujoItem[r].Name, o.FixKoujo, "固定控除", o.VarKoujo, "変動控除"));
    for (int r = 1; r <= 3; ++r) ini.writeString(section, key("Sonota", r), SonotaItem[r].Name);
}

}  // namespace

void LoadKyuyoItemSetting(bool apply)
{
    const IniFile ini(IniFileName);
    const QString names = QStringLiteral("KyuyoItemName");
    loadNames(ini, names, "Kintai", KintaiItem, DefKintaiName);
    // A stored attendance name without its text is the user attendance item, unused until named.
    int emptyRow = 0;
    for (int r = 1; r <= 16; ++r) {
        if (cp932::byteLength(KintaiItem[r].Name) < 2) {
            KintaiItem[r].Name = QStringLiteral("V勤怠項目");
            emptyRow = r;
        }
    }
    loadNames(ini, names, "Sikyu", SikyuItem, DefSikyuNameK);
    loadNames(ini, names, "Koujo", KoujoItem, DefKoujoNameK);
    loadNames(ini, names, "Sonota", SonotaItem, DefSonotaName);
    const QString sec = QStringLiteral("KyuyoKeitai%1");
    loadFlags(ini, sec, "Kintai", KintaiItem, KintaiFlagsK);
    if (emptyRow)
        for (int t = PayType::Monthly; t <= PayType::Hourly; ++t) KintaiItem[emptyRow].Use[t] = false;
    loadFlags(ini, sec, "Sikyu", SikyuItem, SikyuFlagsK);
    loadFlags(ini, sec, "Koujo", KoujoItem, KoujoFlags);
    loadFlags(ini, sec, "Sonota", SonotaItem, SonotaFlags);
    if (apply) PublishKyuyoItems();
}

void LoadSyoyoItemSetting(bool apply)
{
    const IniFile ini(IniFileName);
    const QString names = QStringLiteral("SyoyoItemName");
    loadNames(ini, names, "Sikyu", SikyuItem, DefSikyuNameS);
    loadNames(ini, names, "Koujo", KoujoItem, DefKoujoNameS);
    loadNames(ini, names, "Sonota", SonotaItem, DefSonotaName);
    const QString sec = QStringLiteral("SyoyoKeitai%1");
    loadFlags(ini, sec, "Sikyu", SikyuItem, SikyuFlagsS);
    loadFlags(ini, sec, "Koujo", KoujoItem, KoujoFlags);
    loadFlags(ini, sec, "Sonota", SonotaItem, SonotaFlags);
    if (apply) PublishSyoyoItems();
}

void PublishKyuyoItems()
{
    publish(KintaiList, KintaiItem);
    publish(SikyuList, SikyuItem);
    publish(KoujoList, KoujoItem);
    publish(SonotaList, SonotaItem);
}

void PublishSyoyoItems()
{
    for (int t = PayType::Monthly; t <= PayType::Hourly; ++t)
        for (int r = 1; r <= 16; ++r) KintaiList[t][r] = QStringLiteral("F");
    publish(SikyuList, SikyuItem);
    publish(KoujoList, KoujoItem);
    publish(SonotaList, SonotaItem);
}

void SaveKyuyoItemSetting()
{
    IniFile ini(IniFileName);
    const QString names = QStringLiteral("KyuyoItemName");
    for (int r = 1; r <= 16; ++r) {
        const QString& n = KintaiItem[r].Name;
        ini.writeString(names, key("Kintai", r),
                        n.mid(1) == OptionRec.KintaiFre ? QStringLiteral("V勤怠項目") : n);
    }
    savePayAndDeductions(ini, names);
    for (int t = PayType::Monthly; t <= PayType::Hourly; ++t) {
        const QString sec = QStringLiteral("KyuyoKeitai%1").arg(t);
        ini.writeString(sec, QStringLiteral("Kintai"), flagString(KintaiItem, t));
        ini.writeString(sec, QStringLiteral("Sikyu"), flagString(SikyuItem, t));
        ini.writeString(sec, QStringLiteral("Koujo"), flagString(KoujoItem, t));
        ini.writeString(sec, QStringLiteral("Sonota"), flagString(SonotaItem, t));
    }
    ini.save();
}

void SaveSyoyoItemSetting()
{
    IniFile ini(IniFileName);
    savePayAndDeductions(ini, QStringLiteral("SyoyoItemName"));
    for (int t = PayType::Monthly; t <= PayType::Hourly; ++t) {
        const QString sec = QStringLiteral("SyoyoKeitai%1").arg(t);
        ini.writeString(sec, QStringLiteral("Sikyu"), flagString(SikyuItem, t));
        ini.writeString(sec, QStringLiteral("Koujo"), flagString(KoujoItem, t));
        ini.writeString(sec, QStringLiteral("Sonota"), flagString(SonotaItem, t));
    }
    ini.save();
}

void SetDefaultKyuyoItems()
{
    setDefaults(KintaiItem, DefKintaiName, KintaiFlagsK);
    setDefaults(SikyuItem, DefSikyuNameK, SikyuFlagsK);
    setDefaults(KoujoItem, DefKoujoNameK, KoujoFlags);
    setDefaults(SonotaItem, DefSonotaName, SonotaFlags);
}

void SetDefaultSyoyoItems()
{
    setDefaults(SikyuItem, DefSikyuNameS, SikyuFlagsS);
    setDefaults(KoujoItem, DefKoujoNameS, KoujoFlags);
    setDefaults(SonotaItem, DefSonotaName, SonotaFlags);
}
