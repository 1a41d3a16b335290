// Rows, cells and write-back of the employee list edit grid.
#include "app/core/listedit.h"

#include <QRegularExpression>
#include <cmath>

#include "app/core/membedit.h"
#include "payroll/calc.h"
#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/period.h"
#include "platform/errors.h"

namespace {

const TListEditRow Rows[ListEditRows] = {
    {"扶養人数", "edFuyou"},
    {"扶養親族等の数", "edSinzoku"},
    {"基本給", "edChingin1"},
    {"役職手当", "edYakuin"},
    {"家族手当", "edFamily"},
    {"残業手当(普通)", "edChingin2"},
    {"残業手当(深夜)", "edChingin3"},
    {"休日残業(普通)", "edChingin4"},
    {"休日残業(深夜)", "edChingin5"},
    {"交通費(非課税)", "edKoutuhi0"},
    {"交通費(課税)", "edKoutuhi1"},
    {"有休時支給額", "edYukyu"},
    {"住民税(6月)", "edJuumin6"},
    {"住民税(以外)", "edJuumin"},
    {"", "edTeate1"},
    {"", "edTeate2"},
    {"", "edTeate3"},
    {"", "edKoujo1"},
    {"", "edKoujo2"},
    {"", "edKoujo3"},
    {"欠勤控除額", "edKekkin"},
    {"遅早控除額", "edChisou"},
    {"標準報酬月額", nullptr},
    {"健康保険料", "edKenhoRyo"},
    {"介護保険料", "edKaigoRyo"},
    {"厚生年金保険料", "edKoseiRyo"},
    {"厚生年金掛け金", "edKakekin"},
};

const TMemberField& field(int row)
{
    return *FindField(MemberFields(), Rows[row - 1].field);
}

}  // namespace

const TListEditRow& ListEditRow(int row)
{
    return Rows[row - 1];
}

QString ListEditCaption(int row)
{
    if (row >= 15 && row <= 17) return OptionRec.FixTeate[row - 14];
    if (row >= 18 && row <= 20) return OptionRec.FixKoujo[row - 17];
    return QString::fromUtf8(Rows[row - 1].caption);
}

QList<int> ListEditSlots()
{
    QList<int> shown;
    const bool serial = GetMaxMembNo() > 0;
    for (int p = 1; p <= MaxEmployee; ++p) {
        const int e = serial ? FindMembNo(p) : p;
        if (e >= 1 && !SyainRec[e].MembKey.isEmpty() && !IsTaisyoku(e)) shown << e;
    }
    return shown;
}

bool ListEditEditable(int slot, int row)
{
    const TEmployeeRec& E = SyainRec[slot];
    switch (row) {
        case 12:
            return E.Keitai != PayType::Monthly;
        case 24:
            return E.Kenkou != 0;
        case 25:
            return E.Kaigo != 0;
        case 26:
            return E.NenHoken != 0;
        case 27:
            return E.NenKikin != 0;
        default:
            return true;
    }
}

QString ListEditText(int slot, int row)
{
    if (row == PayRow) return {};
    const TFieldValue v = field(row).get(SyainRec[slot]);
    return FmtAmount(9, NumStrToInt(v.text)).trimmed();
}

TCellCheck CheckListEditCell(int row, const QString& text)
{
    const QString what = QStringLiteral("「%1」に ").arg(ListEditCaption(row));
    // The digits the employee window allows: 7 for amounts, 6 for premiums and 9 for the pay row
    // (only its grade is used), 2 for the numbers of dependants, which are never negative.
    const int digits = row == PayRow ? 9 : field(row).def.maxLength;
    const double limit = std::pow(10.0, digits);
    const bool count = row <= 2;
    const QString outOfRange =
        what + QStringLiteral("%1から%2までの数値を入力して下さい。")
                   .arg(count ? QStringLiteral("0") : FmtAmount(0, -(limit - 1)).trimmed(),
                        FmtAmount(0, limit - 1).trimmed());
    int32_t v = 0;
    try {
        v = NumStrToInt(text);
    } catch (const ConvertError&) {
        // A number too long for 32 bits is a number all the same: it is out of range.
        static const QRegularExpression number(QStringLiteral("^\\s*-?[0-9][0-9,]*\\s*$"));
        return {{},
                number.match(text).hasMatch() ? outOfRange : what + QStringLiteral("数値を入力して下さい。")};
    }
    if (std::abs(double(v)) >= limit || (count && v < 0)) return {{}, outOfRange};
    return {FmtAmount(9, v).trimmed(), {}};
}

TGradePremiums ListEditPremiums(int32_t pay)
{
    const int32_t g = FindKenhoGrade(pay);
    if (g == 0) return {-1, -1, -1, -1};
    return GradePremiums(g, CorpRec);
}

void StoreListEdit(const QList<int>& columns, const QList<QStringList>& cells)
{
    QList<TEmployeeRec> work;
    for (int c = 0; c < columns.size(); ++c) {
        TEmployeeRec r = SyainRec[columns[c]];
        for (int row = 1; row <= ListEditRows; ++row) {
            const QString text = cells.value(c).value(row - 1);
            // A cell left as shown keeps the record's value, also one the grid would not take
            // (a foreign record's 8-digit wage).
            if (row == PayRow || text == ListEditText(columns[c], row)) continue;
            const TCellCheck k = CheckListEditCell(row, text);
            if (!k.error.isEmpty()) throw ConvertError(k.error);
            TFieldValues v;
            v[field(row).def.name].text = k.text;
            field(row).set(r, v);
        }
        work << r;
    }
    for (int c = 0; c < columns.size(); ++c) SyainRec[columns[c]] = work[c];
}
