// Field descriptors: one table per mapping of a record to a window, read by the window's control
// builder and by both copy directions (record to fields, fields to record). No widgets here; the
// controls are built and read by payroll/ui/fieldcontrols.
#pragma once
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <type_traits>
#include <vector>

// The control a field is shown in, and how its text is formatted and read.
enum class FieldKind {
    Text,      // a text of at most maxLength CP932 bytes
    Count,     // a small whole number, "%*d" (Tag = width * 10)
    Amount,    // yen, FmtAmount(Tag div 10) and StrToIntEx
    Decimal,   // "%*.*f" by Tag (width * 10 + decimals) and StrToFloatEx
    Hours,     // hours per day, FmtJikan without its first character, and StrToFloatEx
    Digits,    // a numeric field whose text the field converts itself (a number with leading zeros)
    List,      // a drop-down list: the item index, -1 for none
    EditList,  // an editable list: the item index and the text
    Check,     // a check box
    Radio,     // a radio button (its partners are the other radio buttons of its group)
};

// What a control holds: an edit's text, a list's index and text, a check.
struct TFieldValue {
    QString text;
    int index = -1;
    bool checked = false;
};
// The values of a window's fields by the names of their controls.
using TFieldValues = QMap<QByteArray, TFieldValue>;

// What the control builder needs of a field.
struct TFieldDef {
    const char* name = nullptr;     // objectName of the control
    const char* caption = nullptr;  // its label, or its own caption (check box, radio button); UTF-8
    FieldKind kind = FieldKind::Text;
    int tag = 0;                  // numeric fields: display width * 10 + decimals
    int maxLength = 0;            // typing limit: characters of a number, CP932 bytes of a text
    QStringList items = {};       // lists
    const char* label = nullptr;  // objectName of its label, where the window's rules name it
    bool inputMethod = true;      // texts: typed through the input method
    bool numeric() const { return kind >= FieldKind::Count && kind <= FieldKind::Digits; }
};

// One field of a record. The records are packed: get and set copy values out of and into their
// members and never hand out a reference to one.
template <typename Rec>
struct TFieldDesc {
    TFieldDef def;
    // The record's value as the control shows it.
    std::function<TFieldValue(const Rec&)> get;
    // The control's value written back; a field may read its partners (a date from its check box
    // and three edits). Empty for a field that a partner stores. ConvertError for a text that is
    // not the number the field holds.
    std::function<void(Rec&, const TFieldValues&)> set;
};

// The text a numeric field shows for value, and the number its text stands for.
QString FieldText(const TFieldDef& def, double value);
double FieldNumber(const TFieldDef& def, const QString& text);

// The accessors of member m and of element i of array member m, by value: the array is copied
// out and back whole, so that no reference into the packed record is formed.
#define FIELD_MEMBER(m)                \
    [](const auto& r) { return r.m; }, \
        [](auto& r, auto value) { r.m = static_cast<std::remove_cvref_t<decltype(r.m)>>(value); }
#define FIELD_ELEMENT(m, i)                                                 \
    [i](const auto& r) {                                                    \
        const auto a = r.m;                                                 \
        return a[i];                                                        \
    },                                                                      \
        [i](auto& r, auto value) {                                          \
            auto a = r.m;                                                   \
            a[i] = static_cast<std::remove_cvref_t<decltype(a[i])>>(value); \
            r.m = a;                                                        \
        }

// A numeric field over a number of the record (get returns it, set(rec, number) stores it).
template <typename Rec, typename Get, typename Set>
TFieldDesc<Rec> NumberField(const TFieldDef& s, Get get, Set set)
{
    return {s, [s, get](const Rec& r) { return TFieldValue{FieldText(s, get(r))}; },
            [s, set](Rec& r, const TFieldValues& v) { set(r, FieldNumber(s, v.value(s.name).text)); }};
}
// A check box or radio button over a flag of the record.
template <typename Rec, typename Get, typename Set>
TFieldDesc<Rec> CheckField(const TFieldDef& s, Get get, Set set)
{
    return {s,
            [get](const Rec& r) {
                return TFieldValue{{}, -1, get(r) != 0};
            },
            [s, set](Rec& r, const TFieldValues& v) { set(r, v.value(s.name).checked); }};
}
// One that a partner stores (the other radio button of a pair).
template <typename Rec, typename Get>
TFieldDesc<Rec> CheckField(const TFieldDef& s, Get get)
{
    return {s, [get](const Rec& r) { return TFieldValue{{}, -1, get(r) != 0}; }, {}};
}
// A text field or a list over a text or an item index the accessors convert.
template <typename Rec, typename Get, typename Set>
TFieldDesc<Rec> TextField(const TFieldDef& s, Get get, Set set)
{
    return {s, [get](const Rec& r) { return TFieldValue{get(r)}; },
            [s, set](Rec& r, const TFieldValues& v) { set(r, v.value(s.name).text); }};
}
template <typename Rec, typename Get, typename Set>
TFieldDesc<Rec> ListField(const TFieldDef& s, Get get, Set set)
{
    return {s,
            [get](const Rec& r) {
                return TFieldValue{{}, get(r)};
            },
            [s, set](Rec& r, const TFieldValues& v) { set(r, v.value(s.name).index); }};
}

// The descriptor of control name, null when the table has none.
template <typename Rec>
const TFieldDesc<Rec>* FindField(const std::vector<TFieldDesc<Rec>>& table, const char* name)
{
    for (const TFieldDesc<Rec>& d : table)
        if (qstrcmp(d.def.name, name) == 0) return &d;
    return nullptr;
}

// The record as the fields show it.
template <typename Rec>
TFieldValues FieldsOf(const std::vector<TFieldDesc<Rec>>& table, const Rec& rec)
{
    TFieldValues values;
    for (const TFieldDesc<Rec>& d : table) values.insert(d.def.name, d.get(rec));
    return values;
}
// The fields written into rec in the order of the table; the members without a field stay.
template <typename Rec>
void StoreFields(const std::vector<TFieldDesc<Rec>>& table, const TFieldValues& values, Rec& rec)
{
    for (const TFieldDesc<Rec>& d : table)
        if (d.set) d.set(rec, values);
}
