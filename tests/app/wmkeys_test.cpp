// The keyboard under a window manager, as a user's desktop has one: real key events on shown,
// active windows of an X server with openbox. Where the focus goes after an export and its
// messages, the refused entry of the list entry, the calculator's OK, the serial order's sort
// keys, Shift+F1 and the settings window's accelerators.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QShortcut>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWhatsThis>

#include "app/TfmCalc.h"
#include "app/TfmDataEdit.h"
#include "app/TfmKenhoHyo.h"
#include "app/TfmListEdit.h"
#include "app/TfmListInp.h"
#include "app/TfmMembEdit.h"
#include "app/TfmSendMail.h"
#include "app/TfmSeqNo.h"
#include "app/TfmShowLog.h"
#include "app/TfmVersion.h"
#include "app/core/listinp.h"
#include "payroll/password.h"
#include "payroll/periodselect.h"
#include "payroll/ui/TfmCorpInfo.h"
#include "payroll/ui/TfmFolder.h"
#include "payroll/ui/TfmInpDlg.h"
#include "payroll/ui/TfmInpPass.h"
#include "payroll/ui/TfmKenRitu.h"
#include "payroll/ui/TfmOption.h"
#include "payroll/ui/TfmRefData.h"
#include "payroll/ui/TfmSelCorp.h"
#include "payroll/ui/TfmSelData.h"
#include "payroll/ui/TfmSelFont.h"
#include "payroll/ui/TfmSetPass.h"
#include "platform/formkit.h"
#include "platform/notice.h"
#include "platform/shell.h"
#include "print/exportframe.h"
#include "print/ui/TfmPrnFormK.h"
#include "print/ui/TfmPrnFormS.h"
#include "print/ui/TfmPrnItem.h"
#include "services/ui/TfmCloud.h"
#include "services/ui/TfmHelp.h"
#include "services/ui/TfmNotice.h"
#include "tests/print/dialogfixture.h"

namespace {

// A key as the keyboard gives it: to the window, which hands it to its focused control.
void press(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::keyClick(w->window()->windowHandle(), key, mods);
}

// The limit of a wait for the window system, reached only by a test that hangs: on a busy
// machine the window manager may take seconds to move the focus.
constexpr int WindowSystemLimit = 120000;

// Waits for the window system to make w the active window.
bool becomesActive(QWidget* w)
{
    return QTest::qWaitFor([w] { return QApplication::activeWindow() == w; }, WindowSystemLimit);
}

// Brings w up as the active window, asking again until the window manager has it on screen and
// gives it the focus: a window shown again right after it was hidden is not yet mapped when first
// asked.
bool activated(QWidget* w)
{
    return QTest::qWaitFor(
        [w] {
            if (QApplication::activeWindow() == w) return true;
            w->activateWindow();
            return false;
        },
        WindowSystemLimit);
}

// Presses Enter on the next message box once the window manager has made it active, as a user
// does (the box is not activated by the test), and keeps its text and whether the program's notice
// panel was on the screen with it. A box that never becomes active is closed unanswered.
void EnterOnNextBox(QString* text, bool* noticeShown = nullptr)
{
    const auto box = []() -> QWidget* {
        return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    };
    WhenShown(box, [box, text, noticeShown] {
        auto* b = static_cast<QMessageBox*>(box());
        *text = b->text();
        const bool active = becomesActive(b);
        if (noticeShown) *noticeShown = fmNotice.existing() && fmNotice.existing()->isVisible();
        if (active) QTest::keyClick(b->windowHandle(), Qt::Key_Return);
        if (b->isVisible()) b->reject();
    });
}

class WmKeysTest : public PrintWindowTest {
  protected:
    void SetUp() override
    {
        PrintWindowTest::SetUp();
        SetShellOpener([](const QString&) { return true; });
    }
    void TearDown() override
    {
        SetShellOpener(nullptr);
        PrintWindowTest::TearDown();
    }
    // The main window, opened on May as the program opens it, and active.
    static void startMainWindow()
    {
        StartHint = false;
        WhenShown(fmSelData, [] {
            auto* list = child<QListWidget>(fmSelData, "ListBox");
            list->setCurrentRow(4);
            emit list->itemClicked(list->item(4));
            child<QLineEdit>(fmSelData, "edNissu")->setText(u("21"));
            child<QLineEdit>(fmSelData, "edJikan")->setText(u("168:00"));
            // A data folder without a company name: the company window and the first employee come
            // first.
            WhenShown(fmCorpInfo, [] { fmCorpInfo->done(QDialog::Accepted); });
            WhenShown(fmMembEdit, [] { fmMembEdit->done(QDialog::Rejected); });
            child<QPushButton>(fmSelData, "bbOk")->click();
        });
        // Not waited for as active while the start's windows come and go over it: the window
        // manager may leave it without the focus until it is asked again.
        fmMain->show();
        ASSERT_TRUE(QTest::qWaitFor([] { return !fmMain->startupPending(); }, WindowSystemLimit));
        ASSERT_TRUE(activated(fmMain));
    }
};

}  // namespace

// 表計算連携 → file name → Enter → the completion message → Enter: the main window, where the
// command came from, is active again and takes its keys (Alt+F opens its file menu). When the
// export fails, the print dialog stays and has the focus back. CSV, workbook and a failure; and the
// ledger over a file already there, whose question the writing notice does not cover (Enter is
// its safe answer, No).
TEST_F(WmKeysTest, AfterAnExportTheFocusIsBackWhereTheCommandCameFrom)
{
    if (RanItselfUnderXvfbWithWindowManager()) return;
    // The first opening's word on the missing print service, answered here.
    fmInji->setDocument(505, u("月別給与/賞与一覧"));
    fmInji->show();
    fmInji->hide();
    msg_.clear();
    // A full disk for the export that fails; mounting it needs root, so an ordinary user's run
    // checks the two exports that succeed.
    FullFileSystem disk(dir() + u("full/"));
    if (disk.mounted()) disk.fill();
    startMainWindow();
    msg_.clear();
    const RealMessageBoxes real;
    notices_.reset();  // the notice panel of the program: "…出力中です。" shows while it writes
    struct Road {
        QString file;
        const char* message;  // the start of the message answered with Enter
        bool fails;
        int ledger = 0;  // 0: the main window's 月別給与/賞与一覧, else the ledger of that tag
    };
    std::vector<Road> roads = {
        {dir() + u("list.csv"), "月別給与/賞与一覧をファイルに出力しました。", false},
        {dir() + u("list.xlsx"), "月別給与/賞与一覧をファイルに出力しました。", false},
        {dir() + u("給与台帳.csv"), "同名のファイルが存在します。上書きしますか？", false, 401},
    };
    if (disk.mounted())
        roads.push_back({dir() + u("full/list.csv"), "ファイルに出力できませんでした。", true});
    for (const auto& road : roads) {
        SCOPED_TRACE(road.file.toStdString());
        QString told;
        bool noticeShown = false;
        bool backInDialog = false;
        WhenShown(fmInji, [&] {
            ASSERT_TRUE(becomesActive(fmInji));
            auto* button = child<QPushButton>(fmInji, "btOutCSV");
            button->setFocus();
            WhenShown([] { return fmInji->findChild<QFileDialog*>(u("SaveDlg")); },
                      [&] {
                          auto* save = fmInji->findChild<QFileDialog*>(u("SaveDlg"));
                          ASSERT_TRUE(becomesActive(save));
                          save->selectNameFilter(road.file.endsWith(u(".csv")) ? u("CSVﾌｧｲﾙ (*.csv)")
                                                                               : u("Excelﾌｧｲﾙ (*.xlsx)"));
                          auto* name = save->findChild<QLineEdit*>(u("fileNameEdit"));
                          name->setFocus();
                          name->setText(road.file);
                          press(save, Qt::Key_Return);
                      });
            EnterOnNextBox(&told, &noticeShown);
            press(fmInji, Qt::Key_Space);  // 表計算連携
            if (road.fails) {
                backInDialog = becomesActive(fmInji) && fmInji->isVisible();
                press(fmInji, Qt::Key_Escape);
            }
            if (fmInji->isVisible()) fmInji->reject();  // a step that went wrong ends the run
        });
        // The ledger's file of the first employee is there already.
        const QString there =
            dir() + u("01") + SafeFileName(SyainRec[1].Simei.shownText(), u("社員01")) + u("_給与台帳.csv");
        if (road.ledger) {
            WriteAll(there, "kept");
            fmInji->setDocument(road.ledger, u("社員別給与台帳"));
            fmInji->exec();
            EXPECT_EQ(ReadAll(there), QByteArray("kept")) << "No keeps the file";
        } else {
            fmMain->action("mnKyuyoIchiran")->trigger();
        }
        EXPECT_TRUE(told.startsWith(u(road.message))) << told;
        EXPECT_FALSE(noticeShown) << "the notice stays on top of every window";
        EXPECT_EQ(backInDialog, road.fails);
        // The main window takes the keys again: Alt+F opens its file menu.
        ASSERT_TRUE(becomesActive(fmMain)) << QApplication::activeWindow();
        press(fmMain, Qt::Key_F, Qt::AltModifier);
        ASSERT_TRUE(QTest::qWaitFor([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); },
                                    WindowSystemLimit))
            << "Alt+F opens the file menu";
        QApplication::activePopupWidget()->close();
        ASSERT_TRUE(becomesActive(fmMain));
    }
    EXPECT_TRUE(QFileInfo::exists(dir() + u("list.xlsx")));
}

// 32 in 出勤日数, Enter, Enter on the message: the cursor is in the emptied cell and the next
// digits land there (the page tabs took the focus unseen, and the next digit was lost).
TEST_F(WmKeysTest, ARefusedListEntryKeepsTheCursorInTheEmptiedCell)
{
    if (RanItselfUnderXvfbWithWindowManager()) return;
    ShowActive(fmListInp);
    auto* h = fmListInp->findChild<TListGridView*>(u("StrGridH"));
    const int row = FindGridRow(h->grid, u("出勤日数"));
    ASSERT_GT(row, 0);
    h->setFocus();
    h->setCell(1, row);
    QString told;
    {
        const RealMessageBoxes real;
        KeyOnNextMessageBox(Qt::Key_Return, &told);
        for (const char c : {'3', '2'}) QTest::keyClick(fmListInp->windowHandle(), c);
        press(fmListInp, Qt::Key_Return);
    }
    EXPECT_EQ(told, u("日数の入力は31までです。"));
    ASSERT_TRUE(becomesActive(fmListInp.existing()));
    ASSERT_TRUE(QApplication::focusWidget());
    EXPECT_EQ(QApplication::focusWidget()->objectName(), u("InplaceEdit"));
    EXPECT_EQ(h->row(), row);
    for (const char c : {'2', '5'}) QTest::keyClick(fmListInp->windowHandle(), c);
    press(fmListInp, Qt::Key_Return);
    EXPECT_EQ(h->grid.cell(1, row).trimmed().toDouble(), 25.0) << h->grid.cell(1, row);
    EXPECT_TRUE(msg_.shown().empty()) << msg_.lastText();
}

// Enter is ＝ off the buttons; OK is Alt+O, Ctrl+Enter, or Enter or Space on it once Tab reached it.
// The calculator opens (again after キャンセル) with the focus on its display, which shows it.
TEST_F(WmKeysTest, TheCalculatorsOkIsReachedByKeyboard)
{
    if (RanItselfUnderXvfbWithWindowManager()) return;
    TfmCalc* calc = Calculator();
    struct Key {
        int key;  // a character when below 0x100
        Qt::KeyboardModifiers mods = Qt::NoModifier;
    };
    const struct {
        const char* name;
        std::vector<Key> keys;
        int result;
        double value;
        const char* focus;  // where the last key found the focus
    } cases[] = {
        {"Alt+O after ＝",
         {{'1'}, {'2'}, {'*'}, {'3'}, {Qt::Key_Return}, {Qt::Key_O, Qt::AltModifier}},
         QDialog::Accepted,
         36,
         "pnDisp"},
        {"Ctrl+Enter",
         {{'4'}, {'5'}, {Qt::Key_Return, Qt::ControlModifier}},
         QDialog::Accepted,
         45,
         "pnDisp"},
        {"Enter is ＝, Tab to OK, Enter presses OK",
         {{'7'}, {'+'}, {'8'}, {Qt::Key_Return}, {Qt::Key_Tab}, {Qt::Key_Return}},
         QDialog::Accepted,
         15,
         "btOk"},
        {"Enter is ＝, Tab to OK, Space is OK",
         {{'6'}, {'+'}, {'8'}, {Qt::Key_Return}, {Qt::Key_Tab}, {Qt::Key_Space}},
         QDialog::Accepted,
         14,
         "btOk"},
        {"Tab twice to キャンセル",
         {{'9'}, {Qt::Key_Tab}, {Qt::Key_Tab}, {Qt::Key_Space}},
         QDialog::Rejected,
         9,
         "btCancel"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString focus, opened;
        WhenShown(calc, [&] {
            ASSERT_TRUE(becomesActive(calc));
            opened = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
            for (const Key& k : c.keys) {
                if (calc->isVisible()) {
                    QWidget* f = QApplication::focusWidget();
                    focus = f ? f->objectName() : QString();
                }
                if (k.key < 0x100)
                    QTest::keyClick(calc->windowHandle(), char(k.key), k.mods);
                else
                    press(calc, Qt::Key(k.key), k.mods);
                // Alt letters press their button at once; the window closes as it answers.
                if (k.mods == Qt::AltModifier) {
                    EXPECT_TRUE(QTest::qWaitFor([&] { return !calc->isVisible(); }));
                }
            }
            if (calc->isVisible()) calc->reject();
        });
        EXPECT_EQ(calc->exec(), c.result);
        EXPECT_EQ(opened, u("pnDisp"));
        EXPECT_EQ(focus, u(c.focus));
        EXPECT_EQ(calc->CalcValue, c.value);
    }
}

// The header's five orders by keyboard: Ctrl+1..Ctrl+5, and the list's menu key.
TEST_F(WmKeysTest, TheSerialOrdersHaveKeys)
{
    if (RanItselfUnderXvfbWithWindowManager()) return;
    TfmSeqNo::ShowDragHint = false;
    // Five orders that differ: 1 slot, 2 name (佐 青 鈴 in JIS order), 3 class, 4 pay type, 5 department.
    const int kubun[] = {3, 2, 1};
    const int keitai[] = {PayType::Daily, PayType::Hourly, PayType::Monthly};
    const char* busyo[] = {"C", "A", "B"};
    for (int e = 1; e <= 3; ++e) {
        SyainRec[e].Kubun = kubun[e - 1];
        SyainRec[e].Keitai = keitai[e - 1];
        SyainRec[e].Busyo.setText(u(busyo[e - 1]));
    }
    ShowActive(fmSeqNo);
    child<QListWidget>(fmSeqNo, "ListBox")->setFocus();
    const struct {
        Qt::Key key;
        QList<int> order;
    } keys[] = {
        {Qt::Key_2, {2, 1, 3}}, {Qt::Key_3, {2, 3, 1}}, {Qt::Key_4, {3, 2, 1}},
        {Qt::Key_5, {3, 1, 2}}, {Qt::Key_1, {1, 2, 3}},
    };
    for (const auto& k : keys) {
        press(fmSeqNo, k.key, Qt::ControlModifier);
        EXPECT_EQ(fmSeqNo->listedSlots(), k.order) << "Ctrl+" << k.key - Qt::Key_0;
    }
    // The menu key of the server's keyboard: the window system hands the focused list a context
    // menu event from the keyboard.
    bool menu = false;
    WhenShown([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); },
              [&] {
                  menu = true;
                  QTest::keyClick(QApplication::activePopupWidget()->windowHandle(), '4');
              });
    ASSERT_EQ(QApplication::focusWidget(), child<QListWidget>(fmSeqNo, "ListBox"));
    ServerMouse keyboard;
    ASSERT_TRUE(keyboard.ok());
    keyboard.key(0xff67);  // XK_Menu
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu; }));
    EXPECT_TRUE(QTest::qWaitFor([] {
        return fmSeqNo->listedSlots() == QList<int>({3, 2, 1});
    })) << "社員区分順 from the menu";
}

// Shift+F1 shows the field's explanation (its own, else its group's) and otherwise does nothing:
// the next key typed goes to the field and closes the explanation; Escape only closes it.
TEST_F(WmKeysTest, ShiftF1ShowsTheFieldsHelpOrNothing)
{
    if (RanItselfUnderXvfbWithWindowManager()) return;
    QDialog window;
    auto* own = new QLineEdit(&window);
    own->setWhatsThis(u("件名の説明"));
    auto* group = new QGroupBox(u("支給日"), &window);
    group->setWhatsThis(u("支給日の説明"));
    auto* inGroup = new QLineEdit(group);
    (new QVBoxLayout(group))->addWidget(inGroup);
    auto* plain = new QLineEdit(&window);
    auto* layout = new QVBoxLayout(&window);
    for (QWidget* w :
         {static_cast<QWidget*>(own), static_cast<QWidget*>(group), static_cast<QWidget*>(plain)})
        layout->addWidget(w);
    ShowActive(&window);
    const auto helpShown = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == u("FieldHelp") && w->isVisible()) return true;
        return false;
    };
    const struct {
        QLineEdit* field;
        bool help;
        bool escape;  // Escape first, which closes the help and leaves the window open
    } cases[] = {{own, true, false}, {inGroup, true, false}, {own, true, true}, {plain, false, false}};
    for (const auto& c : cases) {
        c.field->clear();
        c.field->setFocus();
        press(&window, Qt::Key_F1, Qt::ShiftModifier);
        if (c.help) {
            EXPECT_TRUE(QTest::qWaitFor(helpShown)) << c.field->objectName();
        }
        if (c.escape) {
            press(&window, Qt::Key_Escape);
            EXPECT_FALSE(helpShown());
            EXPECT_TRUE(window.isVisible()) << "Escape closed the help only";
        }
        ASSERT_TRUE(becomesActive(&window));
        EXPECT_FALSE(QWhatsThis::inWhatsThisMode());
        QTest::keyClick(window.windowHandle(), '7');
        EXPECT_EQ(c.field->text(), u("7")) << "the key after Shift+F1 reaches the field";
        EXPECT_FALSE(helpShown()) << "and closes the help";
    }
}

// The settings window: every switch and group has an Alt letter of its own; Alt+U turns 上書き入力
// over and Alt+O saves.
TEST_F(WmKeysTest, TheSettingsWindowHasAccelerators)
{
    if (RanItselfUnderXvfbWithWindowManager()) return;
    const QRegularExpression letter(u("&(.)"));
    QStringList letters;
    for (QAbstractButton* b : fmOption->findChildren<QAbstractButton*>()) {
        const QString name = b->objectName();
        if (name.startsWith(u("cbKazei")) || name.startsWith(u("cbHoken")) || name.startsWith(u("rb")) ||
            name.startsWith(u("sbSelectFont")) || name.isEmpty())
            continue;  // in a group with a letter
        const auto m = letter.match(b->text());
        EXPECT_TRUE(m.hasMatch()) << name.toStdString() << " " << b->text();
        letters << m.captured(1).toUpper();
    }
    for (QGroupBox* g : fmOption->findChildren<QGroupBox*>()) {
        if (g->title().isEmpty()) continue;
        const auto m = letter.match(g->title());
        EXPECT_TRUE(m.hasMatch()) << g->title();
        letters << m.captured(1).toUpper();
    }
    EXPECT_EQ(letters.size(), QSet<QString>(letters.begin(), letters.end()).size())
        << letters.join(QLatin1Char(' '));
    EXPECT_GE(letters.size(), 20);

    const bool before = OptionRec.InputOverN;
    QString focusOnN;
    WhenShown(fmOption, [&] {
        ASSERT_TRUE(becomesActive(fmOption.existing()));
        press(fmOption, Qt::Key_N, Qt::AltModifier);  // the item names' group: its first field
        QWidget* f = QApplication::focusWidget();
        auto* group = f ? qobject_cast<QGroupBox*>(f->parentWidget()) : nullptr;
        focusOnN = group ? group->title() : QString();
        auto* overType = child<QCheckBox>(fmOption, "cbInpOverN");
        press(fmOption, Qt::Key_U, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return overType->isChecked() != before; }));
        press(fmOption, Qt::Key_O, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !fmOption->isVisible(); }));
        if (fmOption->isVisible()) fmOption->reject();
    });
    fmOption->exec();
    EXPECT_EQ(focusOnN, u("項目名(&N)"));
    EXPECT_EQ(OptionRec.InputOverN, !before);
}

// The one-line input boxes: their caption as the title and room for 26 full-width characters.
TEST_F(WmKeysTest, InputBoxesShowTheirCaptionAndTwentySixCharacters)
{
    if (RanItselfUnderXvfbWithWindowManager()) return;
    QString title;
    int fieldWidth = 0, frameWidth = 0;
    const int needed = QFontMetrics(QApplication::font()).horizontalAdvance(QString(26, QChar(0x3042)));
    const int titleNeeded =
        QFontMetrics(QApplication::font()).horizontalAdvance(u("変更後の名称(全角26文字以内)"));
    WhenShown([] { return QApplication::activeModalWidget(); },
              [&] {
                  QWidget* box = QApplication::activeModalWidget();
                  ASSERT_EQ(box->objectName(), u("InputQuery"));
                  ASSERT_TRUE(becomesActive(box));
                  title = box->windowTitle();
                  fieldWidth = box->findChild<QLineEdit*>()->width();
                  frameWidth = box->frameGeometry().width();
                  press(box, Qt::Key_End);
                  QTest::keyClick(box->windowHandle(), 'X');
                  press(box, Qt::Key_Return);
              });
    QString value = u("トルヴァーネ商事");
    EXPECT_TRUE(InputQuery(nullptr, u("変更後の名称(全角26文字以内)"), u("名称"), value, 26));
    EXPECT_EQ(title, u("変更後の名称(全角26文字以内)"));
    EXPECT_GE(fieldWidth, needed);
    EXPECT_GT(frameWidth, titleNeeded);
    EXPECT_EQ(value, u("トルヴァーネ商事X"));
}

// PageUp, PageDown, Alt+N and Alt+B in the employee window step to the next or previous employee
// and enter the name anew, selected: what is typed replaces the name instead of adding to it.
TEST_F(WmKeysTest, SteppingInTheEmployeeWindowSelectsTheName)
{
    if (RanItselfUnderXvfbWithWindowManager()) return;
    const struct {
        const char* what;
        int from;
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        const char* start;  // the field with the focus before the step
        int to;
    } cases[] = {
        {"PageUp from the name", 1, Qt::Key_PageUp, Qt::NoModifier, "edSimei", 2},
        {"PageDown from the name", 2, Qt::Key_PageDown, Qt::NoModifier, "edSimei", 1},
        {"Alt+N from the pay", 1, Qt::Key_N, Qt::AltModifier, "edChingin1", 2},
        {"Alt+B from the name", 2, Qt::Key_B, Qt::AltModifier, "edSimei", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fmMembEdit->setMember(c.from, false);
        ShowActive(fmMembEdit);
        ASSERT_TRUE(becomesActive(fmMembEdit));
        child<QLineEdit>(fmMembEdit, c.start)->setFocus(Qt::MouseFocusReason);
        press(fmMembEdit, c.key, c.mods);
        EXPECT_TRUE(QTest::qWaitFor([&] { return fmMembEdit->membSlot() == c.to; }));
        for (const char k : {'5', '0', '0', '0'}) QTest::keyClick(fmMembEdit->windowHandle(), k);
        EXPECT_EQ(child<QLineEdit>(fmMembEdit, "edSimei")->text(), u("5000"));
        fmMembEdit->reject();
        ASSERT_TRUE(QTest::qWaitFor([] { return !fmMembEdit->isVisible(); }));
    }
    EXPECT_EQ(SyainRec[1].Simei.shownText(), u("青木健一"));
    EXPECT_EQ(SyainRec[2].Simei.shownText(), u("佐藤美咲"));
    EXPECT_TRUE(msg_.shown().empty()) << msg_.lastText();
}

// The list edit grid: a refused entry keeps the cursor in its cell, and says why (a number too
// long is out of range, not "no number"); Left and Right leave a cell at the edges of its text.
TEST_F(WmKeysTest, TheListEditGridKeepsARefusedCellAndItsArrowsLeaveCells)
{
    if (RanItselfUnderXvfbWithWindowManager()) return;
    OptionRec.AutoSelect = true;
    ShowActive(fmListEdit);
    ASSERT_TRUE(becomesActive(fmListEdit.existing()));
    auto* grid = child<QTableWidget>(fmListEdit, "StrGrid");
    const int pay = 2;  // 基本給
    ASSERT_EQ(grid->verticalHeaderItem(pay)->text(), u("基本給"));
    const QString allowance = grid->item(pay + 1, 0)->text();
    grid->setFocus();
    grid->setCurrentCell(pay, 0);
    const auto editor = [grid] { return qobject_cast<QLineEdit*>(grid->indexWidget(grid->currentIndex())); };
    const auto type = [](const char* keys) {
        for (const char* k = keys; *k; ++k) QTest::keyClick(fmListEdit->windowHandle(), *k);
    };
    const struct {
        const char* typed;
        const char* told;
    } refused[] = {
        {"1-2", "「基本給」に 数値を入力して下さい。"},
        {"12345678901", "「基本給」に -9,999,999から9,999,999までの数値を入力して下さい。"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.typed);
        ASSERT_TRUE(QTest::qWaitFor([&] { return editor() && editor()->hasFocus(); }));
        type(r.typed);
        QString told;
        {
            const RealMessageBoxes real;
            EnterOnNextBox(&told);
            press(fmListEdit, Qt::Key_Return);
        }
        EXPECT_EQ(told, u(r.told));
        ASSERT_TRUE(becomesActive(fmListEdit.existing()));
        EXPECT_EQ(grid->currentRow(), pay) << "the cursor stays in the refused cell";
        EXPECT_EQ(grid->currentColumn(), 0);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor() && editor()->hasFocus(); }));
    type("300000");
    press(fmListEdit, Qt::Key_Return);
    EXPECT_EQ(grid->item(pay, 0)->text(), u("300,000"));
    EXPECT_EQ(grid->item(pay + 1, 0)->text(), allowance);
    // Right from a cell entered (its text selected), Left back; typed text keeps the caret moving
    // inside it until its edge.
    grid->setCurrentCell(pay, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor() && editor()->hasFocus(); }));
    press(fmListEdit, Qt::Key_Right);
    EXPECT_EQ(grid->currentColumn(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor() && editor()->hasFocus(); }));
    press(fmListEdit, Qt::Key_Left);
    EXPECT_EQ(grid->currentColumn(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor() && editor()->hasFocus(); }));
    type("25");
    press(fmListEdit, Qt::Key_Left);
    EXPECT_EQ(grid->currentColumn(), 0) << "the caret moves inside the typed text";
    press(fmListEdit, Qt::Key_Left);
    press(fmListEdit, Qt::Key_Left);
    EXPECT_EQ(grid->currentColumn(), 0) << "the first column has none before it";
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor() && editor()->hasFocus(); }));
    press(fmListEdit, Qt::Key_End);
    press(fmListEdit, Qt::Key_Right);
    EXPECT_EQ(grid->currentColumn(), 1);
    EXPECT_EQ(grid->item(pay, 0)->text(), u("25"));
    EXPECT_TRUE(msg_.shown().empty()) << msg_.lastText();
    fmListEdit->reject();
}

// Shift+F1 in the mail window: the subject's explanation shows, and End and X go on into the
// subject (the help took the first key and the X replaced the selected subject).
TEST_F(WmKeysTest, ShiftF1InTheMailWindowLeavesTheKeysToTheField)
{
    if (RanItselfUnderXvfbWithWindowManager()) return;
    fmSendMail->setDocument(299, u("給与明細書"));
    ShowActive(fmSendMail);
    ASSERT_TRUE(becomesActive(fmSendMail.existing()));
    auto* subject = child<QLineEdit>(fmSendMail, "edKenmei");
    subject->setText(u("5月分給与明細"));
    subject->setFocus(Qt::TabFocusReason);
    subject->selectAll();
    press(fmSendMail, Qt::Key_F1, Qt::ShiftModifier);
    QWidget* help = nullptr;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        help = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == u("FieldHelp") && w->isVisible()) help = w;
        return help != nullptr;
    }));
    press(fmSendMail, Qt::Key_End);
    QTest::keyClick(fmSendMail->windowHandle(), 'X');
    EXPECT_EQ(subject->text(), u("5月分給与明細X"));
    EXPECT_TRUE(help && !help->isVisible()) << "the key closed the help";
    fmSendMail->reject();
}

// Other keys: the start-up password selected after a wrong one; the cloud window's Tab order; the
// preview's 印刷実行 by Alt+P and its menu by the menu key; the rename box stops at 52 bytes.
TEST_F(WmKeysTest, PasswordCloudPreviewAndRenameByKeyboard)
{
    if (RanItselfUnderXvfbWithWindowManager()) return;
    {
        SCOPED_TRACE("start-up password");
        WritePassword(pmStartup, u("ok12"));
        TfmInpPass pass;
        ShowActive(&pass);
        ASSERT_TRUE(becomesActive(&pass));
        for (const char k : {'n', 'g'}) QTest::keyClick(pass.windowHandle(), k);
        press(&pass, Qt::Key_Return);
        EXPECT_EQ(msg_.lastText(), u("パスワードが違います"));
        for (const char k : {'o', 'k', '1', '2'}) QTest::keyClick(pass.windowHandle(), k);
        EXPECT_EQ(child<QLineEdit>(&pass, "edPassword")->text(), u("ok12"));
        press(&pass, Qt::Key_Return);
        EXPECT_TRUE(pass.Passed);
        WritePassword(pmStartup, QString());
    }
    {
        SCOPED_TRACE("cloud window");
        ShowActive(fmCloud);
        ASSERT_TRUE(becomesActive(fmCloud.existing()));
        const QStringList walked = WalkFocus(fmCloud, u("sbBackup"), 8, Qt::Key_Tab);
        QStringList order = {u("sbBackup"),   u("sbRestore"),    u("sbDelete"),
                             u("sbPassword"), u("cbAutoBackup"), u("edUserKey"),
                             u("btHelp"),     u("btClose"),      u("sbBackup")};
        if (!child<QCheckBox>(fmCloud, "cbAutoBackup")->isEnabled()) order.removeAll(u("cbAutoBackup"));
        EXPECT_EQ(walked.mid(0, order.size()), order);
        fmCloud->reject();
    }
    {
        SCOPED_TRACE("preview");
        fmInji->setDocument(299, u("給与明細書"));
        fmInji->show();
        fmInji->PublishPrintInputs();
        ShowActive(fmPreView);
        ASSERT_TRUE(becomesActive(fmPreView.existing()));
        bool menu = false;
        WhenShown([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); },
                  [&] {
                      menu = QApplication::activePopupWidget()->objectName() == u("PopupMenu");
                      QApplication::activePopupWidget()->close();
                  });
        // The menu key of the server's keyboard, which the window system turns into a context
        // menu event from the keyboard for the focused control or the window.
        ServerMouse keyboard;
        ASSERT_TRUE(keyboard.ok());
        keyboard.key(0xff67);  // XK_Menu
        EXPECT_TRUE(QTest::qWaitFor([&] { return menu; }));
        ASSERT_TRUE(becomesActive(fmPreView.existing()));
        EXPECT_TRUE(child<QToolButton>(fmPreView, "sbPrint")->text().contains(u("(&P)")));
        press(fmPreView, Qt::Key_P, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([] { return !fmPreView->isVisible(); }));
        EXPECT_EQ(fmPreView->result(), QDialog::Accepted) << "印刷実行";
        fmInji->hide();
    }
    {
        SCOPED_TRACE("rename box");
        WhenShown([] { return QApplication::activeModalWidget(); },
                  [] {
                      QWidget* box = QApplication::activeModalWidget();
                      ASSERT_TRUE(becomesActive(box));
                      press(box, Qt::Key_End);
                      for (const char k : {'X', 'Y', 'Z'}) QTest::keyClick(box->windowHandle(), k);
                      press(box, Qt::Key_Return);
                  });
        QString value = QString(25, QChar(0x3042));
        const int beeps = msg_.beeps();
        EXPECT_TRUE(InputQuery(nullptr, u("変更後の名称(全角26文字以内)"), u("名称"), value, 26, 52));
        EXPECT_EQ(value, QString(25, QChar(0x3042)) + u("XY")) << "typing stops at 52 bytes";
        EXPECT_EQ(msg_.beeps(), beeps + 1);
    }
}

namespace {

// The letters a window answers with Alt: its controls' underlined letters and its shortcuts.
QSet<QChar> AltLettersOf(QWidget* window)
{
    QSet<QChar> used;
    const auto underlined = [&used](const QString& text) {
        for (qsizetype i = text.indexOf(u'&'); i >= 0 && i + 1 < text.size(); i = text.indexOf(u'&', i + 2))
            if (text[i + 1] != u'&') used.insert(text[i + 1].toUpper());
    };
    const auto altKeys = [&used](const QList<QKeySequence>& keys) {
        for (const QKeySequence& k : keys)
            if (k.count() && (k[0].keyboardModifiers() & Qt::AltModifier) && k[0].key() < 0x80)
                used.insert(QChar(k[0].key()).toUpper());
    };
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) underlined(b->text());
    for (QLabel* l : window->findChildren<QLabel*>()) underlined(l->text());
    for (QGroupBox* g : window->findChildren<QGroupBox*>()) underlined(g->title());
    for (QTabBar* t : window->findChildren<QTabBar*>())
        for (int i = 0; i < t->count(); ++i) underlined(t->tabText(i));
    QList<QAction*> actions = window->findChildren<QAction*>();
    actions += window->actions();
    for (QAction* a : std::as_const(actions)) {
        underlined(a->text());
        altKeys(a->shortcuts());
    }
    for (QShortcut* s : window->findChildren<QShortcut*>()) altKeys(s->keys());
    return used;
}

// The texts of every field and cell of window, to see that a key typed into none of them.
QStringList FieldTexts(QWidget* window)
{
    QStringList texts;
    for (QLineEdit* e : window->findChildren<QLineEdit*>()) texts << e->objectName() + u'=' + e->text();
    for (QTextEdit* e : window->findChildren<QTextEdit*>())
        texts << e->objectName() + u'=' + e->toPlainText();
    for (QPlainTextEdit* e : window->findChildren<QPlainTextEdit*>())
        texts << e->objectName() + u'=' + e->toPlainText();
    // The cells of its grids and lists, which a typed key may open for entry.
    for (QAbstractItemView* v : window->findChildren<QAbstractItemView*>()) {
        const QAbstractItemModel* m = v->model();
        for (int r = 0; m && r < m->rowCount(); ++r)
            for (int c = 0; c < m->columnCount(); ++c) texts << m->index(r, c).data().toString();
    }
    return texts;
}

// The first control of window's Tab order that takes typed text.
QWidget* FirstTextField(QWidget* window)
{
    for (QWidget* f = window->nextInFocusChain(); f && f != window; f = f->nextInFocusChain()) {
        if (!f->isVisible() || !f->isEnabled() || !(f->focusPolicy() & Qt::TabFocus) || f->window() != window)
            continue;
        if (auto* e = qobject_cast<QLineEdit*>(f); e && !e->isReadOnly()) return f;
        if (auto* e = qobject_cast<QTextEdit*>(f); e && !e->isReadOnly()) return f;
        if (auto* e = qobject_cast<QPlainTextEdit*>(f); e && !e->isReadOnly()) return f;
        if (auto* c = qobject_cast<QComboBox*>(f); c && c->isEditable()) return f;
    }
    return nullptr;
}

// The push buttons of window that the keyboard reaches, in the order they were made.
QList<QPushButton*> PushButtonsOf(QWidget* window)
{
    QList<QPushButton*> buttons;
    for (QPushButton* b : window->findChildren<QPushButton*>())
        if (b->window() == window && b->isVisible() && b->isEnabled() && (b->focusPolicy() & Qt::TabFocus))
            buttons << b;
    return buttons;
}

// Answers, while it lives, every modal window and menu that opens over the window under test,
// as Escape would: what a button opens is not the concern of the test that presses it.
class AnswerEveryModal {
  public:
    QPointer<QWidget> own;  // the window under test, left open
    bool paused = false;    // while the test answers what opens itself
    AnswerEveryModal()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (paused) return;
            if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal == own) return;
            if (auto* d = qobject_cast<QDialog*>(modal))
                d->reject();
            else
                modal->close();
        });
        timer_.start(10);
    }

  private:
    QTimer timer_;
};

}  // namespace

// Every window of the program: an Alt+letter the window does not use, typed into its first text
// field (whose text is selected), types nothing into any field and beeps; Enter on each of its push
// buttons presses that button. Each window is opened as the program opens it; what a button
// opens is answered with Escape.
TEST_F(WmKeysTest, EveryWindowTypesNoUnusedAltLetterAndEnterPressesEachButton)
{
    if (RanItselfUnderXvfbWithWindowManager()) return;
    // The first opening's word on the missing print service, answered here.
    showSlipDialog();
    fmInji->hide();
    using Body = std::function<void(QWidget*)>;
    // A window shown as the program shows it, body run while it is, closed after.
    AnswerEveryModal answer;
    const auto shown = [&answer](std::function<QWidget*()> window, std::function<void()> prepare = {}) {
        return [&answer, window, prepare](const Body& body) {
            if (prepare) prepare();
            QWidget* w = window();
            answer.own = w;
            w->show();
            body(w);
            // The help window stays: the window manager would not give it the focus again once
            // it was hidden (unrelated to the window in front, it is not let to take the focus).
            if (w != HelpWindow()) w->hide();
        };
    };
    // A window the program opens with exec().
    const auto executed = [&answer](std::function<QWidget*()> window, std::function<void()> prepare = {}) {
        return [&answer, window, prepare](const Body& body) {
            if (prepare) prepare();
            auto* d = static_cast<QDialog*>(window());
            answer.own = d;
            WhenShown(window, [&] {
                body(d);
                // Closed without the window's own questions on leaving.
                if (d->isVisible()) d->QDialog::done(QDialog::Rejected);
            });
            d->exec();
        };
    };
    const struct {
        const char* name;
        std::function<void(const Body&)> run;
    } windows[] = {
        {"fmMain", shown([] { return static_cast<QWidget*>(fmMain); },
                         [&answer] {
                             // The start, its period selection and first windows as the program
                             // shows them once.
                             if (fmMain->isVisible() || !fmMain->startupPending()) return;
                             answer.paused = true;
                             startMainWindow();
                             answer.paused = false;
                         })},
        // The months it offers: the open one, saved.
        {"fmRefData", executed([] { return fmRefData.get(); }, [] { WritePeriod(); })},
        {"fmSelData", executed([] { return static_cast<QWidget*>(fmSelData); })},
        {"fmInji", executed([] { return fmInji.get(); }, [] { fmInji->setDocument(299, u("給与明細書")); })},
        {"fmOption", executed([] { return fmOption.get(); })},
        {"fmVersion", executed([] { return fmVersion.get(); }, [] { fmVersion->VerStr = u("1.00"); })},
        {"fmPreView", executed([] { return fmPreView.get(); },
                               [this] {
                                   showSlipDialog();
                                   fmInji->PublishPrintInputs();
                               })},
        {"fmPrnFormK", executed([] { return fmPrnFormK.get(); })},
        {"fmPrnFormS", executed([] { return fmPrnFormS.get(); })},
        {"fmCorpInfo", executed([] { return fmCorpInfo.get(); })},
        {"fmMembEdit", executed([] { return fmMembEdit.get(); }, [] { fmMembEdit->setMember(1, false); })},
        {"fmNotice", shown([] { return fmNotice.get(); },
                           [] { fmNotice->Notify(u("ダウンロード中です"), kNoticeDownload); })},
        {"fmDataEdit", executed([] { return fmDataEdit.get(); }, [] { fmDataEdit->MembSlot = 1; })},
        {"fmFolder", executed([] { return fmFolder.get(); }, [this] { fmFolder->FolderName = dir(); })},
        {"fmKenhoHyo", executed([] { return fmKenhoHyo.get(); })},
        {"fmSendMail",
         executed([] { return fmSendMail.get(); }, [] { fmSendMail->setDocument(299, u("給与明細書")); })},
        {"fmInpPass", executed([] { return fmInpPass.get(); })},
        {"fmSetPass", executed([] { return fmSetPass.get(); }, [] { fmSetPass->PassMode = pmStartup; })},
        {"fmSetPass cloud", executed([] { return fmSetPass.get(); }, [] { fmSetPass->PassMode = pmCloud; })},
        {"fmKenRitu", executed([] { return fmKenRitu.get(); })},
        {"fmInpDlg", executed([] { return fmInpDlg.get(); })},
        {"fmPrnItem", executed([] { return fmPrnItem.get(); })},
        {"fmSelFont", executed([] { return fmSelFont.get(); },
                               [] {
                                   fmSelFont->prepare(u("印刷全体のフォント選択"), u("ＭＳ 明朝"),
                                                      u("令和8年5月分 給与"));
                               })},
        {"fmSeqNo", executed([] { return fmSeqNo.get(); })},
        {"fmSelCorp", executed([] { return fmSelCorp.get(); })},
        {"fmShowLog", executed([] { return fmShowLog.get(); })},
        {"fmListInp", executed([] { return fmListInp.get(); })},
        {"fmListEdit", executed([] { return fmListEdit.get(); })},
        {"fmCloud", executed([] { return fmCloud.get(); })},
        {"fmCalc", executed([] { return Calculator(); })},
        {"fmHelp", shown([] { return HelpWindow(); }, [] { ShowHelpContents(); })},
        {"InputQuery",
         [&answer](const Body& body) {
             answer.paused = true;
             const auto box = [] { return QApplication::activeModalWidget(); };
             WhenShown(box, [&] {
                 answer.own = box();
                 answer.paused = false;
                 QWidget* b = box();
                 body(b);
                 if (b->isVisible()) static_cast<QDialog*>(b)->reject();
             });
             QString value = u("トルヴァーネ商事");
             InputQuery(fmMain, u("変更後の名称(全角26文字以内)"), u("名称"), value, 26);
         }},
    };
    // Each window opens over the main window, active as when its command was chosen; what a
    // button opened beside the window is closed first.
    const auto fromMainWindow = [] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top != fmMain && top != HelpWindow() && top->isVisible() && !top->inherits("QMenu"))
                top->hide();
        if (fmMain->isVisible()) {
            ASSERT_TRUE(activated(fmMain));
        }
    };
    for (const auto& window : windows) {
        SCOPED_TRACE(window.name);
        // The unused letter, typed into the first text field with its text selected.
        int buttons = 0;
        bool opened = false;
        fromMainWindow();
        window.run([&](QWidget* w) {
            opened = true;
            ASSERT_TRUE(activated(w));
            QCoreApplication::processEvents();  // what the activation starts
            const QSet<QChar> used = AltLettersOf(w);
            QChar letter;
            for (const QChar c : u("NBQXJZKVYWGLMHUIPTRSEDFCAO"))
                if (!used.contains(c)) {
                    letter = c;
                    break;
                }
            ASSERT_FALSE(letter.isNull());
            QWidget* field = FirstTextField(w);
            if (field) {
                field->setFocus();
                if (auto* e = qobject_cast<QLineEdit*>(field)) e->selectAll();
                if (auto* c = qobject_cast<QComboBox*>(field)) c->lineEdit()->selectAll();
            }
            const QStringList before = FieldTexts(w);
            msg_.clear();
            press(w, Qt::Key(letter.unicode()), Qt::AltModifier);
            EXPECT_EQ(FieldTexts(w), before) << "Alt+" << letter.toLatin1() << " in "
                                             << (field ? field->objectName() : u("no field")).toStdString();
            // The beep of a letter no one took: the letter was unused.
            if (field) {
                EXPECT_GE(msg_.beeps(), 1) << "Alt+" << letter.toLatin1() << " is used";
            }
            buttons = int(PushButtonsOf(w).size());
        });
        EXPECT_TRUE(opened);
        // Enter on each push button, each in the window opened anew.
        for (int i = 0; i < buttons; ++i) {
            SCOPED_TRACE(i);
            fromMainWindow();
            window.run([&](QWidget* w) {
                ASSERT_TRUE(activated(w));
                const QList<QPushButton*> all = PushButtonsOf(w);
                if (i >= all.size()) return;  // as the window opens this time
                QPushButton* b = all[i];
                SCOPED_TRACE(b->objectName().isEmpty() ? b->text().toStdString()
                                                       : b->objectName().toStdString());
                b->setFocus();
                ASSERT_TRUE(QTest::qWaitFor([b] { return QApplication::focusWidget() == b; }));
                QSignalSpy clicked(b, &QAbstractButton::clicked);
                press(w, Qt::Key_Return);
                EXPECT_EQ(clicked.count(), 1);
            });
        }
    }
}
