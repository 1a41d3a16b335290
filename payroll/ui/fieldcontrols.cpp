// Controls of the field kinds.
#include "payroll/ui/fieldcontrols.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "platform/formkit.h"

namespace {

// The typing limit of an edit, kept while a longer text is shown.
void setBaseMax(QLineEdit* edit, int maxLength)
{
    edit->setProperty("BaseMax", maxLength);
    edit->setMaxLength(maxLength);
}

}  // namespace

void ShowText(QLineEdit* edit, const QString& text)
{
    edit->setMaxLength(std::max<int>(edit->property("BaseMax").toInt(), text.size()));
    edit->setText(text);
}

QWidget* MakeFieldControl(QWidget* parent, const TFieldDef& def)
{
    const QString caption = QString::fromUtf8(def.caption);
    switch (def.kind) {
        case FieldKind::Text: {
            auto* edit = Named<QLineEdit>(parent, def.name);
            setBaseMax(edit, def.maxLength);
            edit->setAttribute(Qt::WA_InputMethodEnabled, def.inputMethod);
            return edit;
        }
        case FieldKind::List:
        case FieldKind::EditList: {
            auto* box = Named<QComboBox>(parent, def.name);
            box->addItems(def.items);
            if (def.kind == FieldKind::EditList) {
                box->setEditable(true);
                box->setInsertPolicy(QComboBox::NoInsert);
                setBaseMax(box->lineEdit(), def.maxLength);
            }
            return box;
        }
        case FieldKind::Check:
            return Named<QCheckBox>(parent, def.name, caption);
        case FieldKind::Radio:
            return Named<QRadioButton>(parent, def.name, caption);
        default: {
            QLineEdit* edit = NumericEdit(parent, def.name, def.maxLength, def.tag);
            setBaseMax(edit, def.maxLength);
            return edit;
        }
    }
}

void ShowField(QWidget* window, const TFieldDef& def, const TFieldValue& value)
{
    QWidget* w = window->findChild<QWidget*>(QString::fromLatin1(def.name));
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        ShowText(edit, value.text);
    } else if (auto* box = qobject_cast<QComboBox*>(w)) {
        box->setCurrentIndex(value.index);
        if (box->isEditable()) ShowText(box->lineEdit(), value.text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setChecked(value.checked);
    }
}

TFieldValue FieldValue(const QWidget* window, const TFieldDef& def)
{
    QWidget* w = window->findChild<QWidget*>(QString::fromLatin1(def.name));
    TFieldValue v;
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        v.text = edit->text();
    } else if (auto* box = qobject_cast<QComboBox*>(w)) {
        v.index = box->currentIndex();
        v.text = box->currentText();
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        v.checked = button->isChecked();
    }
    return v;
}
