// Item-name checks of the settings window.
#include "payroll/optionedit.h"

#include "payroll/slipitems.h"

const TItemNameEdit ItemNameEdits[ItemNameCount] = {
    {"edFixTeate1", 12}, {"edFixTeate2", 12}, {"edFixTeate3", 12}, {"edVarTeate1", 12}, {"edVarTeate2", 12},
    {"edVarTeate3", 12}, {"edFixKoujo1", 12}, {"edFixKoujo2", 12}, {"edFixKoujo3", 12}, {"edVarKoujo1", 12},
    {"edVarKoujo2", 12}, {"edVarKoujo3", 12}, {"edSonota1", 12},   {"edSonota2", 12},   {"edSonota3", 12},
    {"edTokuSyoyo", 8},  {"edKintaiFre", 12},
};

QStringList ItemNamesOf(const TOptionRec& r)
{
    QStringList n;
    for (int i = 1; i <= 3; ++i) n << r.FixTeate[i];
    for (int i = 1; i <= 3; ++i) n << r.VarTeate[i];
    for (int i = 1; i <= 3; ++i) n << r.FixKoujo[i];
    for (int i = 1; i <= 3; ++i) n << r.VarKoujo[i];
    for (int i = 1; i <= 3; ++i) n << r.Sonota[i];
    return n << r.TokuSyoyo << r.KintaiFre;
}

void StoreItemNames(TOptionRec& r, const QStringList& n)
{
    for (int i = 1; i <= 3; ++i) {
        r.FixTeate[i] = n[i - 1];
        r.VarTeate[i] = n[i + 2];
        r.FixKoujo[i] = n[i + 5];
        r.VarKoujo[i] = n[i + 8];
        r.Sonota[i] = n[i + 11];
    }
    r.TokuSyoyo = n[inTokuSyoyo];
    r.KintaiFre = n[inKintaiFre];
}

const QStringList& ReservedItemNames()
{
    static const QStringList names = [] {
        QStringList r;
        const auto add = [&r](const char* const* table, int count) {
            for (int i = 1; i < count; ++i) {
                const QString n = QString::fromUtf8(table[i]).mid(1);  // without "F"/"V"
                if (n.isEmpty()) continue;
                bool placeholder = false;
                for (const char* p : {"固定手当", "変動手当", "固定控除", "変動控除"})
                    placeholder = placeholder || n.startsWith(QString::fromUtf8(p));
                if (!placeholder && !r.contains(n)) r << n;
            }
        };
        add(DefKintaiName, 17);
        add(DefSikyuNameK, 19);
        add(DefKoujoNameK, 19);
        for (const char* n : {"日給計", "時給計", "賞与", "役員報酬"}) r << QString::fromUtf8(n);
        return r;
    }();
    return names;
}

namespace {

QString duplicate(const QString& name)
{
    return QStringLiteral("項目名｢") + name +
           QStringLiteral("｣が重複しています。\n同じ名前の項目を複数作成する事は出来ません。");
}

// Required and unique over edits first..first+n-1.
TItemNameCheck requiredUnique(const QStringList& names, int first, int n)
{
    for (int i = first; i < first + n; ++i) {
        if (names[i].isEmpty()) return {i, QStringLiteral("項目名は必須入力です。")};
        for (int j = i + 1; j < first + n; ++j)
            if (names[j] == names[i]) return {j, duplicate(names[i])};
    }
    return {};
}

// None of edits first..first+n-1 takes a prepared item's name; the group ends at an empty edit.
TItemNameCheck reserved(const QStringList& names, int first, int n)
{
    for (int i = first; i < first + n && !names[i].isEmpty(); ++i)
        if (ReservedItemNames().contains(names[i]))
            return {i,
                    QStringLiteral("項目名｢") + names[i] +
                        QStringLiteral(
                            "｣は既に用意されている項目です。\n同じ名前の項目を複数作成する事は出来ません。")};
    return {};
}

// No edit of group x has the name of an edit of group y.
TItemNameCheck cross(const QStringList& names, int x, int nx, int y, int ny)
{
    for (int i = x; i < x + nx; ++i)
        for (int j = y; j < y + ny && !names[i].isEmpty(); ++j)
            if (names[i] == names[j]) return {i, duplicate(names[i])};
    return {};
}

}  // namespace

TItemNameCheck CheckItemNames(const QStringList& names)
{
    const int allowances = 0, deductions = 6, others = 12;
    for (const TItemNameCheck& c :
         {requiredUnique(names, allowances, 12), reserved(names, allowances, 6),
          requiredUnique(names, deductions, 6), reserved(names, deductions, 6),
          requiredUnique(names, others, 3), reserved(names, others, 3),
          cross(names, others, 3, allowances, 12), reserved(names, inKintaiFre, 1),
          cross(names, inKintaiFre, 1, allowances, 12), cross(names, inKintaiFre, 1, others, 3)})
        if (!c.ok()) return c;
    return {};
}
