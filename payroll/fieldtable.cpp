// The formats of the numeric field kinds.
#include "payroll/fieldtable.h"

#include "payroll/common.h"

QString FieldText(const TFieldDef& def, double value)
{
    switch (def.kind) {
        case FieldKind::Count:
            return QString::asprintf("%*d", def.tag / 10, static_cast<int>(value));
        case FieldKind::Amount:
            return FmtAmount(def.tag / 10, value);
        case FieldKind::Hours:
            return FmtJikan(value).mid(1);
        default:
            return QString::asprintf("%*.*f", def.tag / 10, def.tag % 10, value);
    }
}

double FieldNumber(const TFieldDef& def, const QString& text)
{
    switch (def.kind) {
        case FieldKind::Count:
            return NumStrToInt(text);
        case FieldKind::Amount:
            return StrToIntEx(text);
        default:
            return StrToFloatEx(text);
    }
}
