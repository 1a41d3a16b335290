// The help: every context number of the map opens its page, every window has its number, F1 opens
// the page of the window in front (over a modal one too), the menu opens the contents and the
// index, and missing pages are told.
#include "services/help.h"

#include <QTextBrowser>

#include "app/TfmDataEdit.h"
#include "platform/inifile.h"
#include "services/ui/TfmHelp.h"
#include "tests/print/dialogfixture.h"

namespace {
class HelpTest : public PrintWindowTest {
  protected:
    QString shownPage() const { return QFileInfo(HelpWindow()->currentPage()).fileName(); }
    QString shownTitle() const { return child<QTextBrowser>(HelpWindow(), "brHelp")->documentTitle(); }
};
}  // namespace

TEST_F(HelpTest, EveryContextNumberOpensItsPageAndEveryWindowHasOne)
{
    const IniFile map(HelpFolder() + u("context.map"));
    const QStringList numbers = map.readSection(u("Context"));
    ASSERT_GE(numbers.size(), 17);
    for (const QString& n : numbers) {
        ShowHelpContext(n.toInt());
        EXPECT_EQ(shownPage(), map.readString(u("Context"), n)) << n;
        EXPECT_FALSE(shownTitle().isEmpty()) << n;
    }
    for (const char* w :
         {"fmSelData", "fmMain", "fmDataEdit", "fmListInp", "fmInji", "fmSendMail", "fmCorpInfo",
          "fmMembEdit", "fmListEdit", "fmOption", "fmCalc", "fmPrnFormK", "fmPrnFormS", "fmVersion",
          "fmSelFont", "fmPreView", "fmRefData", "fmKenhoHyo", "fmKenRitu"})
        EXPECT_FALSE(HelpPageOf(HelpContextOf(u(w))).isEmpty()) << w;
    EXPECT_TRUE(msg_.shown().empty());
}

TEST_F(HelpTest, F1OpensTheSlipEntryPageAndTheMenuTheContentsAndIndex)
{
    ScreenshotFont font;
    fmDataEdit->MembSlot = 1;
    bool seen = false;
    WhenShown(fmDataEdit, [&] {
        fmDataEdit->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(fmDataEdit.existing(), 60000));
        ASSERT_TRUE(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        seen = HelpWindow() && HelpWindow()->isVisible();
        if (seen) {
            EXPECT_EQ(shownPage(), u("slip-entry.html"));
            // Over the modal window, whose own window it is while that is open.
            EXPECT_EQ(HelpWindow()->parentWidget(), fmDataEdit.existing());
            Screenshot(HelpWindow(), "help-slip-entry.png");
        }
        fmDataEdit->reject();
    });
    fmDataEdit->exec();
    EXPECT_TRUE(seen);
    fmMain->action("Contents")->trigger();
    EXPECT_EQ(shownPage(), u("index.html"));
    EXPECT_EQ(HelpWindow()->parentWidget(), nullptr);
    Screenshot(HelpWindow(), "help-contents.png");
    fmMain->action("KeyWord")->trigger();
    EXPECT_EQ(shownPage(), u("keywords.html"));
    // Without the pages the menu says so.
    TablePath = dir();
    fmMain->action("Contents")->trigger();
    EXPECT_EQ(msg_.lastText(), u("ヘルプファイルが見つかりません"));
}

TEST_F(HelpTest, EscapeAndCtrlWCloseTheHelpWindow)
{
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        const char* focus;  // where the focus is in the window
    } cases[] = {
        {Qt::Key_Escape, Qt::NoModifier, "brHelp"},
        {Qt::Key_W, Qt::ControlModifier, "brHelp"},
        {Qt::Key_Escape, Qt::NoModifier, "btContents"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        ShowHelpContents();
        TfmHelp* help = HelpWindow();
        ASSERT_TRUE(help);
        ShowActive(help);
        child<QWidget>(help, c.focus)->setFocus();
        QTest::keyClick(help->windowHandle(), c.key, c.mods);
        EXPECT_FALSE(help->isVisible());
    }
}
