// The slip item windows driven through their controls: toggling per pay type, dragging rows,
// painting, OK writing the settings, Cancel undoing everything, and the default button.
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/slipitems.h"
#include "platform/cp932.h"
#include "platform/fonts.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "print/ui/TfmPrnFormK.h"
#include "print/ui/TfmPrnFormS.h"
#include "tests/app/appfixture.h"

namespace {

const QColor kDisable(0xCC, 0xDD, 0xDD);

// Every name and flag of the item arrays, one entry per row.
QStringList DumpItems()
{
    QStringList out;
    auto add = [&out](const auto& items) {
        for (const TSlipItem& i : items.v)
            out << i.Name +
                       QStringLiteral(" %1%2%3").arg(int(i.Use[1])).arg(int(i.Use[2])).arg(int(i.Use[3]));
    };
    add(KintaiItem), add(SikyuItem), add(KoujoItem), add(SonotaItem);
    return out;
}

// Every entry of the published lists, one entry per pay type.
QStringList DumpLists()
{
    QStringList out;
    auto add = [&out](const auto& list) {
        for (const auto& t : list.v) out << QStringList(std::begin(t.v), std::end(t.v)).join(u',');
    };
    add(KintaiList), add(SikyuList), add(KoujoList), add(SonotaList);
    return out;
}

class SlipItemsWindowTest : public CoreTest {
  protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        IniFileName = dir() + QStringLiteral("Tolvane01.ini");
        // A month is open: its pay-slip settings are in the arrays and published.
        LoadKyuyoItemSetting(true);
    }

    static TSlipItemGrid* Grid(QWidget& w, const char* n)
    {
        return w.findChild<TSlipItemGrid*>(QLatin1String(n));
    }
    static QTabWidget* Tabs(QWidget& w) { return w.findChild<QTabWidget*>(QStringLiteral("PageCtrl")); }
    static QString Name(QWidget& w, const char* grid, int row) { return Grid(w, grid)->item(row, 1)->text(); }
    static void Click(QWidget& w, const char* button)
    {
        QTest::mouseClick(w.findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
    }
    static QPoint CellCentre(QTableWidget* g, int row, int col)
    {
        return g->visualRect(g->model()->index(row, col)).center();
    }
    static void ClickCell(QTableWidget* g, int row, int col)
    {
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, CellCentre(g, row, col));
    }
    static void Drag(QTableWidget* g, int col, int fromRow, int toRow)
    {
        const QPoint a = CellCentre(g, fromRow, col), b = CellCentre(g, toRow, col);
        QTest::mousePress(g->viewport(), Qt::LeftButton, {}, a);
        QTest::mouseMove(g->viewport(), (a + b) / 2);
        QTest::mouseMove(g->viewport(), b);
        QTest::mouseRelease(g->viewport(), Qt::LeftButton, {}, b);
    }
    // The colour of a name cell away from its text.
    static QColor CellColour(QTableWidget* g, int row)
    {
        const QRect cell = g->visualRect(g->model()->index(row, 1));
        const QPoint at(cell.right() - 3, cell.center().y());
        return g->grab().toImage().pixelColor(g->viewport()->mapTo(g, at));
    }

    ScriptedMsgBox msg_;
};

TEST_F(SlipItemsWindowTest, ShowingLoadsTheFileAndSelectsTheMonthlyTab)
{
    OptionRec.FixTeate[1] = QStringLiteral("資格手当");
    WriteAll(IniFileName, cp932::encode(QStringLiteral("[KyuyoItemName]\r\nSikyu00=F課税支給合計\r\n"
                                                       "[KyuyoKeitai2]\r\nSikyu=0\r\n")));
    TfmPrnFormK w;
    Tabs(w)->setCurrentIndex(2);
    w.show();
    EXPECT_EQ(Tabs(w)->currentIndex(), 0);
    ASSERT_TRUE(Grid(w, "sgSikyu"));
    EXPECT_EQ(Name(w, "sgSikyu", 0), QStringLiteral("課税支給合計")) << "the name from the file";
    EXPECT_EQ(Name(w, "sgSikyu", 3), QStringLiteral("資格手当")) << "a user item under the user's name";
    EXPECT_FALSE(SikyuItem[2].Use[2]) << "the file's flags, not the ones the window found";
    EXPECT_EQ(SikyuList[2][2], QStringLiteral("F役職手当")) << "showing publishes nothing";
    EXPECT_EQ(Name(w, "sgKintai", 14), QString()) << "the unnamed user attendance item";
    w.reject();

    TfmPrnFormS s;
    s.show();
    EXPECT_FALSE(Grid(s, "sgKintai")) << "a bonus slip has no attendance rows";
    s.reject();
    EXPECT_TRUE(msg_.shown().empty());
}

// A click on a name switches its row on the active tab only, and the row is painted in the
// disable colour of that tab at once.
TEST_F(SlipItemsWindowTest, ClickingANameSwitchesItsRowOnTheActiveTabOnly)
{
    InstallFontSubstitutions();  // the faces the program shows, for the picture below
    TfmPrnFormK w;
    w.show();
    TSlipItemGrid* g = Grid(w, "sgSikyu");
    const QColor base = g->palette().color(QPalette::Base);
    EXPECT_EQ(CellColour(g, 6), base) << "普通残業手当 is used on monthly slips";
    Screenshot(&w, "slip-items.png");
    Tabs(w)->setCurrentIndex(1);  // daily
    ASSERT_FALSE(SikyuItem[7].Use[2]);
    EXPECT_EQ(CellColour(g, 6), kDisable) << "and not on daily ones";
    ClickCell(g, 6, 1);
    EXPECT_TRUE(SikyuItem[7].Use[2]);
    EXPECT_EQ(CellColour(g, 6), base);
    EXPECT_TRUE(SikyuItem[7].Use[1] && !SikyuItem[7].Use[3]) << "monthly and hourly untouched";
    ClickCell(g, 6, 0);
    EXPECT_TRUE(SikyuItem[7].Use[2]) << "the handle does not switch";

    Tabs(w)->setCurrentIndex(2);  // hourly
    ClickCell(g, 0, 1);
    EXPECT_FALSE(SikyuItem[1].Use[3]);
    EXPECT_TRUE(SikyuItem[1].Use[1] && SikyuItem[1].Use[2]);
    // The keyboard: arrows only move, Space switches.
    g->setFocus();
    g->setCurrentCell(0, 1);
    QTest::keyClick(g, Qt::Key_Down);
    EXPECT_EQ(g->currentRow(), 1);
    EXPECT_TRUE(SikyuItem[2].Use[3]);
    QTest::keyClick(g, Qt::Key_Space);
    EXPECT_FALSE(SikyuItem[2].Use[3]);
    w.reject();
}

TEST_F(SlipItemsWindowTest, RowsMoveByHandlerAndByDraggingTheHandleWithNameAndFlags)
{
    TfmPrnFormK w;
    w.show();
    w.sgSikyuRowMoved(17, 0);
    EXPECT_EQ(SikyuItem[1].Name, QStringLiteral("F課税支給合計"));
    EXPECT_FALSE(SikyuItem[11].Use[2]) << "休日深夜残業 keeps its daily flag on its new row";
    EXPECT_EQ(Name(w, "sgSikyu", 0), QStringLiteral("課税支給合計"));
    EXPECT_EQ(Name(w, "sgSikyu", 17), QStringLiteral("変動手当３"));

    Drag(Grid(w, "sgKoujo"), 0, 1, 4);
    EXPECT_EQ(KoujoItem[5].Name, QStringLiteral("F介護保険料"));
    EXPECT_EQ(KoujoItem[2].Name, QStringLiteral("F厚生年金保険"));
    EXPECT_EQ(Name(w, "sgKoujo", 4), QStringLiteral("介護保険料"));
    const QStringList before = DumpItems();
    Drag(Grid(w, "sgKoujo"), 1, 0, 3);
    EXPECT_EQ(DumpItems(), before) << "dragging a name is no move, and no click either";
    w.reject();
}

TEST_F(SlipItemsWindowTest, OkPublishesAndWritesTheSettings)
{
    TfmPrnFormK w;
    w.show();
    w.sgSikyuRowMoved(17, 0);
    Tabs(w)->setCurrentIndex(1);
    ClickCell(Grid(w, "sgKoujo"), 0, 1);  // 健康保険料 off on daily slips
    Click(w, "bbOk");
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(SikyuList[1][1], QStringLiteral("F課税支給合計"));
    EXPECT_EQ(KoujoList[2][1], QStringLiteral("F"));
    EXPECT_EQ(KoujoList[1][1], QStringLiteral("F健康保険料"));

    const QByteArray bytes = ReadAll(IniFileName);
    EXPECT_TRUE(
        bytes.contains(cp932::encode(QStringLiteral("[KyuyoItemName]\r\nKintai00=F所定労働日数\r\n"))));
    EXPECT_TRUE(
        bytes.contains(cp932::encode(QStringLiteral("Sikyu00=F課税支給合計\r\nSikyu01=F基本給\r\n"))));
    const IniFile ini(IniFileName);
    EXPECT_EQ(ini.readString("KyuyoKeitai2", "Koujo"), QStringLiteral("011111111100010001"));
    EXPECT_EQ(ini.readString("KyuyoKeitai1", "Koujo"), QStringLiteral("111111111100010001"));
    EXPECT_EQ(ini.readString("KyuyoKeitai3", "Sikyu"), QStringLiteral("111100000001100000"));
    EXPECT_EQ(ini.readString("KyuyoKeitai1", "Kintai"), QStringLiteral("1111011111101111"));
    EXPECT_FALSE(ini.sectionExists("SyoyoItemName"));
    EXPECT_TRUE(msg_.shown().empty());
}

TEST_F(SlipItemsWindowTest, BonusOkClearsTheAttendanceListAndWritesBonusSections)
{
    TfmPrnFormS w;
    w.show();
    w.sgKintaiRowMoved(0, 3);
    EXPECT_EQ(KintaiItem[1].Name, QStringLiteral("F所定労働日数"))
        << "the bonus window leaves attendance alone";
    Click(w, "bbOk");
    for (int t = 1; t <= 3; ++t)
        for (int r = 1; r <= 16; ++r) ASSERT_EQ(KintaiList[t][r], QStringLiteral("F"));
    EXPECT_EQ(SikyuList[3][1], QStringLiteral("V賞与"));
    const IniFile ini(IniFileName);
    EXPECT_EQ(ini.readString("SyoyoItemName", "Sikyu00"), QStringLiteral("V賞与"));
    EXPECT_FALSE(ini.sectionExists("KyuyoItemName"));
}

TEST_F(SlipItemsWindowTest, CancelPutsBackWhatTheWindowFound)
{
    // A bonus period is open, and the pay-slip window is used and cancelled: the slips of the
    // bonus period must still print from the bonus settings.
    LoadSyoyoItemSetting(true);
    const QStringList items = DumpItems(), lists = DumpLists();
    TfmPrnFormK w;
    for (bool escape : {false, true}) {  // Escape is a cancel too
        w.show();
        ASSERT_NE(DumpItems(), items) << "the window works on the pay-slip settings";
        w.sgSikyuRowMoved(0, 5);
        ClickCell(Grid(w, "sgKoujo"), 2, 1);
        escape ? QTest::keyClick(&w, Qt::Key_Escape) : Click(w, "bbCancel");
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(w.result(), QDialog::Rejected);
        EXPECT_EQ(DumpItems(), items) << escape;
        EXPECT_EQ(DumpLists(), lists) << escape;
    }
    EXPECT_FALSE(QFile::exists(IniFileName));
}

TEST_F(SlipItemsWindowTest, FailedWriteKeepsTheWindowOpenAndCancelStillUndoes)
{
    IniFileName = dir() + QStringLiteral("gone/Tolvane01.ini");
    const QStringList items = DumpItems(), lists = DumpLists();
    TfmPrnFormK w;
    w.show();
    w.sgSikyuRowMoved(2, 0);
    Click(w, "bbOk");
    ASSERT_EQ(msg_.shown().size(), 1u);
    EXPECT_EQ(msg_.shown()[0].type, MsgType::Error);
    EXPECT_TRUE(msg_.lastText().contains(QStringLiteral("Tolvane01.ini")));
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(SikyuList[1][1], QStringLiteral("F家族手当")) << "published before the write";
    Click(w, "bbCancel");
    EXPECT_EQ(DumpItems(), items);
    EXPECT_EQ(DumpLists(), lists) << "the published edits are taken back as well";
}

TEST_F(SlipItemsWindowTest, UnreadableSettingsCloseTheWindowUnchanged)
{
    IniFileName = dir();  // a folder
    const QStringList items = DumpItems();
    TfmPrnFormS w;
    w.show();
    ASSERT_EQ(msg_.shown().size(), 1u);
    EXPECT_EQ(msg_.shown()[0].type, MsgType::Error);
    QApplication::processEvents();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(DumpItems(), items);
}

TEST_F(SlipItemsWindowTest, DefaultButtonAsksAndRestoresOnYesOnly)
{
    SetDefaultKyuyoItems();
    const QStringList defaults = DumpItems();
    WriteAll(IniFileName, cp932::encode(QStringLiteral("[KyuyoItemName]\r\nSikyu00=F課税支給合計\r\n"
                                                       "Sikyu17=F基本給\r\n[KyuyoKeitai3]\r\nKoujo=0\r\n")));
    const QByteArray file = ReadAll(IniFileName);
    LoadKyuyoItemSetting(true);
    const QStringList lists = DumpLists();
    TfmPrnFormK w;
    w.show();
    w.sgKintaiRowMoved(3, 9);
    const QStringList edited = DumpItems();
    ASSERT_NE(edited, defaults);

    msg_.answer(MsgResult::No);
    Click(w, "sbDefault");
    ASSERT_EQ(msg_.shown().size(), 1u);
    EXPECT_EQ(msg_.lastText(), QStringLiteral("項目使用有無と順序の変更を初期状態に戻します。"));
    EXPECT_EQ(msg_.shown()[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(DumpItems(), edited);
    EXPECT_EQ(Name(w, "sgSikyu", 0), QStringLiteral("課税支給合計"));

    msg_.answer(MsgResult::Yes);
    Click(w, "sbDefault");
    EXPECT_EQ(msg_.shown().size(), 2u);
    EXPECT_EQ(DumpItems(), defaults);
    EXPECT_EQ(Name(w, "sgSikyu", 0), QStringLiteral("基本給"));
    EXPECT_EQ(ReadAll(IniFileName), file) << "nothing is written before OK";
    EXPECT_EQ(DumpLists(), lists) << "nor published";
    w.reject();
}

}  // namespace
