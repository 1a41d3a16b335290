// Every window of the program counts as one whose focus moves by keyboard, so that the style draws
// the focus mark on whatever control has the focus; and a group of radio buttons is entered on its
// ticked button. A button's accelerator presses it at once.
#include "platform/focusmark.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QButtonGroup>
#include <QEvent>
#include <QFrame>
#include <QHash>
#include <QKeyEvent>
#include <QObject>
#include <QPainter>
#include <QProxyStyle>
#include <QRadioButton>
#include <QShortcutEvent>
#include <QStyleOption>
#include <QWidget>
#include <algorithm>

namespace {

// The group a radio button is exclusive in: its button group, else its parent when it is
// auto-exclusive; nullptr for a button that is not exclusive.
const QObject* exclusiveGroupOf(const QRadioButton* radio)
{
    if (QButtonGroup* g = radio->group()) return g->exclusive() ? g : nullptr;
    return radio->autoExclusive() ? radio->parentWidget() : nullptr;
}

// Tab and Enter move into a group of radio buttons on the button that is ticked, as Space or an
// arrow key then leave the setting as it is. Qt gives the Tab stop to the button that last had the
// focus, so a group entered before its setting was loaded (or changed by the program) would be
// entered on its first button.
void tabStopsOnTickedRadios(QWidget* window)
{
    QHash<const QObject*, QList<QRadioButton*>> groups;
    for (QRadioButton* r : window->findChildren<QRadioButton*>())
        if (const QObject* g = exclusiveGroupOf(r)) groups[g] << r;
    for (const QList<QRadioButton*>& group : std::as_const(groups)) {
        const bool ticked =
            std::any_of(group.cbegin(), group.cend(), [](QRadioButton* r) { return r->isChecked(); });
        for (QRadioButton* r : group) {
            const bool stop = !ticked || r->isChecked();
            const Qt::FocusPolicy policy = stop ? Qt::FocusPolicy(r->focusPolicy() | Qt::TabFocus)
                                                : Qt::FocusPolicy(r->focusPolicy() & ~Qt::TabFocus);
            if (policy != r->focusPolicy()) r->setFocusPolicy(policy);
        }
    }
}

// The style's own marks, and where it has none that differs from a control's look without the
// focus, one more in its highlight colour: a frame around a list, a tree, a grid, a text box or a
// framed display (their current line alone may be hidden, or drawn by the window itself), a frame
// inside a push button (the dialog's default button looks the same with the focus and without
// it) or a tool button (a checked one showed none), and a frame around the caption of a check box
// or radio button (the style's own is faint).
class TFocusStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* p,
                     const QWidget* widget) const override
    {
        QProxyStyle::drawControl(element, option, p, widget);
        if (!(option->state & State_HasFocus) || !(option->state & State_Enabled)) return;
        if (element == CE_ShapedFrame && qobject_cast<const QFrame*>(widget))
            mark(p, option->rect, option->palette, 0);
        else if (element == CE_PushButton)
            mark(p, option->rect, option->palette, 3);
        else if (element == CE_CheckBox || element == CE_RadioButton)
            // Around the caption, where the style draws its own faint mark.
            mark(p,
                 subElementRect(element == CE_CheckBox ? SE_CheckBoxFocusRect : SE_RadioButtonFocusRect,
                                option, widget),
                 option->palette, 0);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* p,
                            const QWidget* widget) const override
    {
        QProxyStyle::drawComplexControl(control, option, p, widget);
        if (control == CC_ToolButton && (option->state & State_HasFocus) && (option->state & State_Enabled))
            mark(p, option->rect, option->palette, 1);
    }

  private:
    static void mark(QPainter* p, const QRect& rect, const QPalette& palette, int inset)
    {
        p->save();
        p->setRenderHint(QPainter::Antialiasing, false);
        p->setBrush(Qt::NoBrush);
        p->setPen(QPen(palette.color(QPalette::Active, QPalette::Highlight), 1));
        p->drawRect(rect.adjusted(inset, inset, -inset - 1, -inset - 1));
        p->restore();
    }
};

class TFocusMarks : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        switch (e->type()) {
            case QEvent::Show:
            case QEvent::FocusIn:
                // Before the first paint of a window, and again whenever a control takes the focus.
                if (auto* w = qobject_cast<QWidget*>(watched)) {
                    QWidget* window = w->window();
                    if (!window->testAttribute(Qt::WA_KeyboardFocusChange)) {
                        window->setAttribute(Qt::WA_KeyboardFocusChange);
                        if (e->type() == QEvent::FocusIn) w->update();
                    }
                }
                break;
            case QEvent::Shortcut:
                // Qt presses a button by its accelerator with a click that fires 100 ms later: a
                // key typed within that time went to the window as it was before the press (the
                // digit after Alt+N to the employee stepped from). The press takes effect at once.
                if (auto* b = qobject_cast<QAbstractButton*>(watched);
                    b && !static_cast<QShortcutEvent*>(e)->isAmbiguous() && b->isEnabled()) {
                    if (b->isCheckable() && (b->focusPolicy() & Qt::ClickFocus))
                        b->setFocus(Qt::ShortcutFocusReason);
                    b->click();
                    return true;
                }
                break;
            case QEvent::KeyPress: {
                // Before the key moves the focus.
                const int key = static_cast<QKeyEvent*>(e)->key();
                if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return ||
                    key == Qt::Key_Enter)
                    if (auto* w = qobject_cast<QWidget*>(watched); w && w == QApplication::focusWidget())
                        tabStopsOnTickedRadios(w->window());
                break;
            }
            default:
                break;
        }
        return QObject::eventFilter(watched, e);
    }
};

}  // namespace

void InstallFocusMarks()
{
    static TFocusMarks* marks = nullptr;
    if (marks) return;
    marks = new TFocusMarks(qApp);
    qApp->installEventFilter(marks);
    QApplication::setStyle(new TFocusStyle);
}
