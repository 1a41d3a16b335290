// Tests of the Qt entry helpers on real line edits and combo boxes, and of the keyboard of the
// numeric fields.
#include "payroll/ui/edithelpers.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "payroll/option.h"
#include "platform/msgbox.h"
#include "tests/testutil.h"

using EditHelpersTest = CoreTest;

namespace {
bool typeOver(QWidget* w, const QString& ch)
{
    QKeyEvent ev(QEvent::KeyPress, 0, Qt::NoModifier, ch);
    return OverTypeKey(w, &ev);
}

// A window of two fields, shown and activated; the first one has the numeric fields' keyboard.
struct TwoFields {
    QWidget window;
    QLineEdit* first;
    QLineEdit* second = new QLineEdit(&window);
    TNumKeys* keys;
    explicit TwoFields(const QString& text = {})
        : first(new QLineEdit(text, &window)), keys(new TNumKeys(first))
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(first);
        layout->addWidget(second);
        window.show();
        window.activateWindow();
    }
};
}  // namespace

TEST_F(EditHelpersTest, OverTypeReplacesAsTypingWould)
{
    QLineEdit edit("1,234");
    QSignalSpy edited(&edit, &QLineEdit::textEdited);
    edit.setCursorPosition(0);
    ASSERT_TRUE(typeOver(&edit, "9"));
    EXPECT_EQ(edit.text(), "9,234");
    EXPECT_EQ(edit.cursorPosition(), 1);
    EXPECT_EQ(edited.count(), 1);  // counts as the user's entry
    edit.end(false);
    EXPECT_FALSE(typeOver(&edit, "B"));  // at the end the widget appends
    EXPECT_FALSE(typeOver(&edit, "\b"));

    edit.setText("12345");
    edit.setSelection(1, 2);
    ASSERT_TRUE(typeOver(&edit, "0"));
    EXPECT_EQ(edit.text(), "10345");
    edit.setMaxLength(5);
    edit.selectAll();
    EXPECT_FALSE(typeOver(&edit, "7"));  // a whole selected field is replaced, not over-typed

    QComboBox combo;
    combo.setEditable(true);
    combo.setEditText("12");
    combo.lineEdit()->setCursorPosition(0);
    ASSERT_TRUE(typeOver(&combo, "x"));
    EXPECT_EQ(combo.currentText(), "x2");
    combo.setEditable(false);
    EXPECT_FALSE(typeOver(&combo, "y"));
}

namespace {

// Counts the key presses that get past the filters installed after it.
class KeySpy : public QObject {
  public:
    int seen = 0;

  protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress) ++seen;
        return false;
    }
};

// A field's text written with "|" for the caret or "[...]" for the selection.
QString unmarked(QString marked)
{
    return marked.remove(QLatin1Char('|')).remove(QLatin1Char('[')).remove(QLatin1Char(']'));
}

void setField(QLineEdit& edit, const QString& marked)
{
    edit.setText(unmarked(marked));
    const int open = marked.indexOf(QLatin1Char('['));
    if (open >= 0)
        edit.setSelection(open, marked.indexOf(QLatin1Char(']')) - open - 1);
    else
        edit.setCursorPosition(marked.indexOf(QLatin1Char('|')));
}

void focus(QWidget* w, QEvent::Type type, Qt::FocusReason reason)
{
    QFocusEvent e(type, reason);
    QApplication::sendEvent(w, &e);
}

}  // namespace

TEST_F(EditHelpersTest, NumKeysTakeTheFieldsCharactersAndBeepOnTheRest)
{
    struct Case {
        const char* before;
        const char* typed = "";  // the key's text
        QKeyCombination key = Qt::Key_unknown;
        const char* chars = "";  // the field's own characters
        bool overType = true;
        bool readOnly = false;
        bool replaceSelection = false;
        bool consumed = false;
        bool beep = false;
        const char* after = nullptr;  // null: the text as before
    };
    const Case cases[] = {
        {.before = "12|", .typed = "7", .after = "127"},
        {.before = "|12", .typed = "7", .consumed = true, .after = "72"},
        {.before = "|12", .typed = "7", .overType = false, .after = "712"},
        {.before = "1|2", .typed = "a", .consumed = true, .beep = true},
        {.before = "1|", .typed = ":", .chars = ".:", .after = "1:"},
        {.before = "|5", .typed = "-", .chars = "-", .overType = false, .after = "-5"},
        {.before = "|5", .typed = "-", .consumed = true, .beep = true},
        {.before = "1|", .typed = "１", .consumed = true, .beep = true},
        {.before = "1|", .typed = "3", .key = Qt::KeypadModifier | Qt::Key_3, .after = "13"},
        {.before = "12|3", .key = Qt::ControlModifier | Qt::Key_Delete, .consumed = true, .after = ""},
        {.before = "12|", .typed = "\b", .key = Qt::Key_Backspace, .after = "1"},
        {.before = "12|", .typed = "a", .key = Qt::ControlModifier | Qt::Key_A},
        // What comes with Alt types nothing and beeps: the keys every window shares hand the field
        // the key without its character.
        {.before = "12|", .typed = "a", .key = Qt::AltModifier | Qt::Key_A, .beep = true},
        {.before = "12|", .typed = "7", .key = Qt::AltModifier | Qt::Key_7, .beep = true},
        {.before = "1|2", .typed = "a", .readOnly = true},
        {.before = "1|2", .key = Qt::ControlModifier | Qt::Key_Delete, .readOnly = true, .consumed = true},
        {.before = "[12]", .typed = "7", .consumed = true, .after = "72"},
        {.before = "[12]", .typed = "7", .replaceSelection = true, .after = "7"},
    };
    ScriptedMsgBox box;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.before) + " + " + c.typed);
        OptionRec.InputOverN = c.overType;
        QLineEdit edit;
        KeySpy spy;
        edit.installEventFilter(&spy);
        auto* keys = new TNumKeys(&edit, QString::fromLatin1(c.chars));
        keys->replaceSelection = c.replaceSelection;
        edit.setReadOnly(c.readOnly);
        setField(edit, QString::fromUtf8(c.before));
        box.clear();
        QKeyEvent press(QEvent::KeyPress, c.key.key(), c.key.keyboardModifiers(), QString::fromUtf8(c.typed));
        QApplication::sendEvent(&edit, &press);
        EXPECT_EQ(spy.seen == 0, c.consumed);
        EXPECT_EQ(box.beeps(), c.beep ? 1 : 0);
        EXPECT_EQ(edit.text(), c.after ? QString::fromUtf8(c.after) : unmarked(QString::fromUtf8(c.before)));
    }
}

TEST_F(EditHelpersTest, NumKeysEnterMovesOnOrRunsTheWindowsMove)
{
    TwoFields two;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&two.window, 60000));
    QLineEdit *first = two.first, *second = two.second;
    TNumKeys* keys = two.keys;
    first->setFocus();
    QSignalSpy returned(first, &QLineEdit::returnPressed);
    QTest::keyClick(first, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), second);
    EXPECT_EQ(returned.count(), 0) << "consumed, so no default button takes it";

    int moves = 0;
    keys->onEnter = [&] { ++moves; };
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(QApplication::focusWidget(), first);
    EXPECT_EQ(returned.count(), 0);
}

TEST_F(EditHelpersTest, NumKeysFocusOfOtherWindowsIsNeitherEnteringNorLeaving)
{
    QLineEdit edit;
    auto* keys = new TNumKeys(&edit);
    int entered = 0, left = 0;
    keys->onEntered = [&] { ++entered; };
    keys->onLeft = [&] { ++left; };
    // The first focus of a window just shown comes with its activation: it enters.
    focus(&edit, QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    EXPECT_EQ(entered, 1);
    for (Qt::FocusReason other : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
        focus(&edit, QEvent::FocusOut, other);
        focus(&edit, QEvent::FocusIn, other);
    }
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(left, 0);
    focus(&edit, QEvent::FocusOut, Qt::TabFocusReason);
    EXPECT_EQ(left, 1);
    focus(&edit, QEvent::FocusIn, Qt::MouseFocusReason);
    EXPECT_EQ(entered, 2);
    // The window closed and shown again: its field is entered anew.
    QHideEvent hidden;
    QApplication::sendEvent(&edit, &hidden);
    focus(&edit, QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    EXPECT_EQ(entered, 3);
    EXPECT_EQ(left, 1);
}

TEST_F(EditHelpersTest, NumKeysSelectTheEnteredFieldAMomentLater)
{
    TwoFields two(QStringLiteral("  1,234"));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&two.window, 60000));
    QLineEdit *field = two.first, *other = two.second;
    TNumKeys* keys = two.keys;
    // Entered by a click: the line edit then selects nothing itself, as it does for Tab.
    const auto enter = [&] {
        other->setFocus(Qt::TabFocusReason);
        field->setFocus(Qt::MouseFocusReason);
    };

    OptionRec.AutoSelect = true;
    enter();
    EXPECT_FALSE(field->hasSelectedText()) << "typing may begin at once";
    EXPECT_TRUE(QTest::qWaitFor([&] { return field->selectedText() == field->text(); }, 60000));

    // Typed before the moment (a quick typist, a busy machine): the keys replace the whole text,
    // and no selection comes after them to swallow the first.
    QTimer* moment = keys->findChild<QTimer*>();
    ASSERT_TRUE(moment);
    field->setMaxLength(field->text().size());  // as the entry windows have it: the whole text is replaced
    for (Qt::FocusReason how : {Qt::MouseFocusReason, Qt::TabFocusReason}) {
        other->setFocus(Qt::TabFocusReason);
        field->setFocus(how);
        ASSERT_TRUE(moment->isActive());
        QTest::keyClick(field, Qt::Key_2);
        EXPECT_FALSE(moment->isActive()) << how;
        QTest::keyClick(field, Qt::Key_0);
        EXPECT_EQ(field->text(), QStringLiteral("20")) << how;
        field->setText(QStringLiteral("  1,234"));
    }
    field->setMaxLength(32767);

    struct Case {
        const char* what;
        bool autoSelect, fieldsAutoSelect, leaveAtOnce;
    };
    const Case off[] = {{"setting off", false, true, false},
                        {"editor selecting itself", true, false, false},
                        {"field left before the moment", true, true, true}};
    for (const Case& c : off) {
        OptionRec.AutoSelect = c.autoSelect;
        keys->autoSelect = c.fieldsAutoSelect;
        enter();
        if (c.leaveAtOnce) other->setFocus(Qt::TabFocusReason);
        QTest::qWait(300);
        EXPECT_FALSE(field->hasSelectedText()) << c.what;
    }
}
