// Order, mail test and deletion of the employee list.
#include "app/core/memberlist.h"

#include <algorithm>
#include <cstring>

#include "payroll/calc.h"
#include "payroll/captions.h"
#include "payroll/common.h"
#include "payroll/period.h"
#include "platform/cp932.h"

namespace {
QString text(const QString& s, int width)
{
    return cp932::padRight(s, width);
}
QString slotText(int slot)
{
    return QStringLiteral("%1").arg(slot, 3);
}

}  // namespace

QString MemberSortKey(int order, int slot)
{
    const TEmployeeRec& E = SyainRec[slot];
    switch (order) {
        case 2:
            return text(E.Simei.shownText(), 19) + slotText(slot);
        case 5:
            return text(E.Busyo.shownText(), 19) + slotText(slot);
        case 3: {
            const int k = E.Kubun < 0 ? 9 : std::min<int>(E.Kubun, 9);
            return QString::number(k) + text(GetKubunName(slot), 18) + slotText(slot);
        }
        default:
            return QStringLiteral("%1").arg(std::clamp<int>(E.SeqNo, 0, 999), 3, 10, QLatin1Char('0')) +
                   QString(16, QLatin1Char(' ')) + slotText(slot);
    }
}

QList<int> OrderedSlots(int order, bool showRetired)
{
    QList<int> listed;
    for (int e = 1; e <= MaxEmployee; ++e)
        if (!SyainRec[e].MembKey.isEmpty() && (showRetired || !IsTaisyoku(e))) listed << e;
    if (order == 4) {
        QList<int> byType;
        for (int k = PayType::Monthly; k <= PayType::Hourly; ++k)
            for (int e : listed)
                if (SyainRec[e].Keitai == k) byType << e;
        return byType;
    }
    if (order == 1 && GetMaxMembNo() == 0) return listed;
    const int keyOrder = order == 1 ? 0 : order;
    // The keys are compared as CP932 bytes (JIS order); equal texts fall back to the slot in the key.
    QList<QPair<QByteArray, int>> keys;
    for (int e : listed) keys.append({cp932::encode(MemberSortKey(keyOrder, e)), e});
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<int> sorted;
    for (const auto& k : keys) sorted << k.second;
    return sorted;
}

bool IsBadMailLine(const QString& line)
{
    const QByteArray addr = cp932::encode(line).mid(77, 48).trimmed();
    if (addr.indexOf('@') < 1) return true;
    for (char c : addr)
        if (IsKanjiLead(static_cast<uint8_t>(c))) return true;
    return false;
}

int MemberCount()
{
    int n = 0;
    for (int e = 1; e <= MaxEmployee; ++e) n += SyainRec[e].Simei.isEmpty() ? 0 : 1;
    return n;
}

void DeleteMember(int slot)
{
    const int seq = SyainRec[slot].SeqNo;
    for (int e = slot; e < MaxEmployee; ++e) {
        SyainRec[e] = SyainRec[e + 1];
        KintaiRec[e] = KintaiRec[e + 1];
        SikyuRec[e] = SikyuRec[e + 1];
        KoujoRec[e] = KoujoRec[e + 1];
    }
    std::memset(&SyainRec[MaxEmployee], 0, sizeof(TEmployeeRec));
    std::memset(&KintaiRec[MaxEmployee], 0, sizeof(TKintaiRec));
    std::memset(&SikyuRec[MaxEmployee], 0, sizeof(TSikyuRec));
    std::memset(&KoujoRec[MaxEmployee], 0, sizeof(TKoujoRec));
    // An employee without a serial number leaves no gap: the others keep theirs.
    if (seq > 0)
        for (int e = 1; e <= MaxEmployee; ++e)
            if (SyainRec[e].SeqNo > seq) --SyainRec[e].SeqNo;
}

QString SeqNoLine(int slot)
{
    const TEmployeeRec& E = SyainRec[slot];
    const int no = E.SeqNo != 0 ? E.SeqNo : slot;
    return QStringLiteral(" %1  ").arg(no % 100, 2, 10, QLatin1Char('0')) + text(E.Simei.shownText(), 16) +
           QStringLiteral("  ") + text(E.Busyo.shownText(), 16) + QStringLiteral("  ") +
           text(GetKubunName(slot), 10) + QStringLiteral("  ") + text(KeitaiName(E.Keitai), 6);
}

void StoreSerialOrder(const QList<int>& order)
{
    for (int e = 1; e <= MaxEmployee; ++e) SyainRec[e].SeqNo = 0;
    uint16_t no = 0;
    for (int e : order)
        if (e >= 1 && e <= MaxEmployee && !SyainRec[e].MembKey.isEmpty()) SyainRec[e].SeqNo = ++no;
}
