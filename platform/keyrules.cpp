// The keyboard rules shared by every window: Enter on a focused push button, and chords that type
// nothing. One filter on the application, ahead of every window's own key handling.
#include "platform/keyrules.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>

#include "platform/msgbox.h"

namespace {

class TKeyRules : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
        auto* w = static_cast<QWidget*>(watched);
        auto* k = static_cast<QKeyEvent*>(e);
        if (enterOnButton(w, k)) return true;
        return chordWithoutCharacter(w, k);
    }

  private:
    // Enter on the focused push button presses it at once. Qt leaves Enter to a button only when
    // the button is its dialog's default or auto-default one, and to the window otherwise, which
    // may take it as the step to the next field or give it to another button.
    static bool enterOnButton(QWidget* w, QKeyEvent* k)
    {
        if ((k->key() != Qt::Key_Return && k->key() != Qt::Key_Enter) ||
            (k->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        // The window itself gets the key while the window system has not yet handed the focus
        // to the control it keeps as its focus.
        auto* button = qobject_cast<QPushButton*>(w->isWindow() ? w->focusWidget() : w);
        if (!button || !button->isVisible() || !button->isEnabled()) return false;
        k->accept();
        button->click();
        return true;
    }

    // A chord that reached a control, so no shortcut took it: the control and the windows around
    // it get the key without its character, so that no text field types the letter of Alt+N or
    // the digit of Alt+1; what they do with the key itself stays theirs.
    static bool chordWithoutCharacter(QWidget* w, QKeyEvent* k)
    {
        const Qt::KeyboardModifiers chord =
            k->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier);
        const QString text = k->text();
        if (!chord || text.isEmpty() || !text[0].isPrint() || qobject_cast<QMenu*>(w)) return false;
        QKeyEvent bare(k->type(), k->key(), k->modifiers(), k->nativeScanCode(), k->nativeVirtualKey(),
                       k->nativeModifiers(), QString(), k->isAutoRepeat(), k->count(), k->device());
        QCoreApplication::sendEvent(w, &bare);
        // A letter no one used, as the window's letters are tried first.
        if (!bare.isAccepted() && (chord & Qt::AltModifier)) MessageBeep();
        k->accept();
        return true;
    }
};

}  // namespace

void InstallKeyRules()
{
    static TKeyRules* rules = nullptr;
    if (rules) return;
    rules = new TKeyRules(qApp);
    qApp->installEventFilter(rules);
}
