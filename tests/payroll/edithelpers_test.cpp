// Tests of the Qt entry helpers on real line edits and combo boxes.
#include "payroll/ui/edithelpers.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>

#include "platform/msgbox.h"
#include "tests/testutil.h"

using EditHelpersTest = CoreTest;

namespace {
bool typeOver(QWidget* w, const QString& ch) {
    QKeyEvent ev(QEvent::KeyPress, 0, Qt::NoModifier, ch);
    return OverTypeKey(w, &ev);
}
}  // namespace

TEST_F(EditHelpersTest, OverTypeReplacesAsTypingWould) {
    QLineEdit edit("1,234");
    QSignalSpy edited(&edit, &QLineEdit::textEdited);
    edit.setCursorPosition(0);
    ASSERT_TRUE(typeOver(&edit, "9"));
    EXPECT_EQ(edit.text(), "9,234");
    EXPECT_EQ(edit.cursorPosition(), 1);
    EXPECT_EQ(edited.count(), 1);  // counts as the user's entry
    edit.undo();
    EXPECT_EQ(edit.text(), "1,234");

    edit.setText("山田");
    edit.setCursorPosition(0);
    ASSERT_TRUE(typeOver(&edit, "A"));
    EXPECT_EQ(edit.text(), "A 田");
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

TEST_F(EditHelpersTest, CheckNumInputReadsTagAndShowsTheError) {
    ScriptedMsgBox box;
    QLineEdit edit("12.5");
    edit.setProperty("Tag", 71);
    QString value;
    EXPECT_TRUE(CheckNumInput(&edit, value));
    EXPECT_EQ(value, "012.5");
    EXPECT_TRUE(box.shown().empty());
    edit.setProperty("Tag", 62);
    edit.setText("1:60");
    EXPECT_FALSE(CheckNumInput(&edit, value));
    EXPECT_TRUE(value.isEmpty());
    ASSERT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(box.shown()[0].text, "分の入力が59を超えています。");
    EXPECT_EQ(box.shown()[0].type, MsgType::Error);
    EXPECT_EQ(box.shown()[0].buttons, MsgButtons::Ok);
}

TEST_F(EditHelpersTest, TrimEditMaxLenCountsCp932Bytes) {
    QLineEdit edit;
    edit.setMaxLength(5);
    edit.setText("山田太郎");
    edit.setCursorPosition(0);
    TrimEditMaxLen(&edit);
    EXPECT_EQ(edit.text(), "山田");
    EXPECT_EQ(edit.cursorPosition(), 2);
    edit.setText("ab");
    edit.setCursorPosition(0);
    TrimEditMaxLen(&edit);
    EXPECT_EQ(edit.text(), "ab");
    EXPECT_EQ(edit.cursorPosition(), 0);
}
