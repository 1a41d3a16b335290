// Counted strings and the item name maps of the period records.
#include "payroll/records.h"

#include <cstring>

#include "payroll/option.h"
#include "platform/cp932.h"
#include "platform/errors.h"

template <int N>
QString PStr<N>::text() const
{
    return cp932::decode(bytes());
}

template <int N>
QString PStr<N>::shownText() const
{
    return cp932::decodeShown(bytes());
}

template <int N>
void PStr<N>::setBytes(const QByteArray& b)
{
    const QByteArray cutb = cp932::cutBytes(b, N);
    len = static_cast<uint8_t>(cutb.size());
    std::memcpy(data, cutb.constData(), cutb.size());
}

template <int N>
void PStr<N>::setText(const QString& s)
{
    setBytes(cp932::encode(s));
}

template <int N>
void PStr<N>::normalise()
{
    const QByteArray b = bytes();
    std::memset(this, 0, sizeof *this);
    setBytes(b);
}

template struct PStr<8>;
template struct PStr<12>;
template struct PStr<16>;
template struct PStr<20>;
template struct PStr<44>;
template struct PStr<50>;

const char* const KintaiItemNames[17] = {"",
                                         "所定労働日数",
                                         "出勤日数",
                                         "有休日数",
                                         "欠勤日数",
                                         "休日出勤日数",
                                         "特別休暇日数",
                                         "所定労働時間",
                                         "実働時間",
                                         "普通残業時間",
                                         "深夜残業時間",
                                         "休日普通残業",
                                         "休日深夜残業",
                                         "遅刻早退回数",
                                         "遅刻早退時間",
                                         "有休残日数",
                                         "V勤怠項目"};

int SikyuIndex(const QString& name)
{
    struct Entry {
        const char* name;
        int k;
    };
    static const Entry fixed[] = {{"基本給", 1},       {"日給計", 1},        {"時給計", 1},
                                  {"賞与", 1},         {"役職手当", 2},      {"役員報酬", 2},
                                  {"家族手当", 3},     {"普通残業手当", 7},  {"深夜残業手当", 8},
                                  {"休日普通残業", 9}, {"休日深夜残業", 10}, {"非課税通勤費", 11},
                                  {"課税通勤費", 12},  {"欠勤控除", 16},     {"遅刻早退控除", 17}};
    for (const Entry& e : fixed)
        if (name == QString::fromUtf8(e.name)) return e.k;
    for (int i = 1; i <= 3; ++i)
        if (name == OptionRec.FixTeate[i]) return 3 + i;
    return 0;
}

int KoujoIndex(const QString& name)
{
    static const char* const names[] = {"健康保険料",   "厚生年金保険", "厚生年金基金",
                                        "雇用保険料",   "介護保険料",   "社会保険料計",
                                        "社保控除後計", "所得税",       "住民税"};
    for (int k = 1; k <= 9; ++k)
        if (name == QString::fromUtf8(names[k - 1])) return k;
    for (int i = 1; i <= 3; ++i)
        if (name == OptionRec.FixKoujo[i]) return 9 + i;
    return 0;
}
