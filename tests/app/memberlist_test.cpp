// The main window's employee list: orders, ticks, deletion with serial numbers, and the command
// states.
#include "app/core/memberlist.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>

#include "app/TfmMembEdit.h"
#include "payroll/captions.h"
#include "payroll/common.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "platform/cp932.h"
#include "platform/msgbox.h"
#include "tests/app/appfixture.h"

namespace {

void addEmployee(int slot, const char* name, const char* busyo, int kubun, int keitai, int seq = 0)
{
    TEmployeeRec& E = SyainRec[slot];
    E.Simei.setText(QString::fromUtf8(name));
    E.Busyo.setText(QString::fromUtf8(busyo));
    E.MembKey.setBytes(QByteArray("260401_0900") + QByteArray::number(slot % 100).rightJustified(2, '0'));
    E.Kubun = kubun;
    E.Keitai = keitai;
    E.SeqNo = seq;
    KintaiRec[slot].Kintai[kiSyukkin] = slot;  // a mark that moves with the employee
}

class MemberListTest : public CoreTest {
  protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        addEmployee(1, "佐藤", "営業部", 2, 1);
        addEmployee(2, "伊藤", "総務部", 4, 3);
        addEmployee(3, "斎藤", "営業部", 1, 1);
        addEmployee(4, "阿部", "経理部", -1, 2);
        addEmployee(6, "上田", "総務部", 2, 1);
    }
};

TEST_F(MemberListTest, OrdersFollowTheirKeys)
{
    // Keys compare as CP932 bytes: 阿 88A2, 伊 88C9, 佐 8DB2, 斎 8DD6, 上 8FE3; 営 8963, 経 8C6F, 総 918D.
    struct Case {
        int order;
        QList<int> want;
    };
    const Case cases[] = {
        {1, {1, 2, 3, 4, 6}},  // slot order while nobody has a serial number
        {2, {4, 2, 1, 3, 6}},  // name
        {5, {1, 3, 4, 2, 6}},  // department, equal ones by slot
        {3, {3, 1, 6, 2, 4}},  // class 1, 2, 2, 4, then a typed class (9)
        {4, {1, 3, 6, 4, 2}},  // monthly, daily, hourly
    };
    for (const Case& c : cases) EXPECT_EQ(OrderedSlots(c.order, false), c.want) << "order " << c.order;
    SyainRec[6].SeqNo = 1;
    EXPECT_EQ(OrderedSlots(1, false), QList<int>({1, 2, 3, 4, 6}))
        << "number 000 comes first, slot order among them";
    for (int e = 1; e <= 4; ++e) SyainRec[e].SeqNo = e + 1;
    EXPECT_EQ(OrderedSlots(1, false), QList<int>({6, 1, 2, 3, 4}));
    SyainRec[2].Taisyoku.setText(QStringLiteral("080331"));
    EXPECT_EQ(OrderedSlots(1, false), QList<int>({6, 1, 3, 4}));
    EXPECT_EQ(OrderedSlots(1, true), QList<int>({6, 1, 2, 3, 4}));
}

TEST_F(MemberListTest, CategoryTextIsTheListItemFromIndexOneOnElseTheStoredText)
{
    struct Case {
        int kubun;
        const char* shown;
    } const cases[] = {{0, "嘱託"}, {1, "役員"}, {5, "アルバイト"}, {-1, "嘱託"}, {6, "嘱託"}};
    SyainRec[5].KubunName.setText(u("嘱託"));
    for (const Case& c : cases) {
        SyainRec[5].Kubun = c.kubun;
        EXPECT_EQ(GetKubunName(5), u(c.shown)) << c.kubun;
    }
}

TEST_F(MemberListTest, DeletionMovesLaterSlotsAndClosesSerialGaps)
{
    for (int e = 1; e <= 6; ++e) SyainRec[e].SeqNo = e == 5 ? 0 : e;  // slot 5 is free
    addEmployee(90, "最後", "", 2, 1, 0);
    DeleteMember(3);  // serial 3
    EXPECT_EQ(SyainRec[3].Simei.text(), QStringLiteral("阿部"));
    EXPECT_EQ(KintaiRec[3].Kintai[kiSyukkin], 4.0) << "attendance moves with its employee";
    EXPECT_EQ(SyainRec[3].SeqNo, 3) << "serial 4 becomes 3";
    EXPECT_EQ(SyainRec[5].SeqNo, 5) << "serial 6 becomes 5";
    EXPECT_EQ(SyainRec[89].Simei.text(), QStringLiteral("最後"));
    EXPECT_TRUE(SyainRec[90].MembKey.isEmpty());
    EXPECT_EQ(KintaiRec[90].Kintai[kiSyukkin], 0.0);

    DeleteMember(89);  // no serial number: the others keep theirs
    EXPECT_EQ(SyainRec[1].SeqNo, 1);
    EXPECT_EQ(SyainRec[5].SeqNo, 5);
    SyainRec[90].Simei.setText(QStringLiteral("末尾"));
    DeleteMember(90);
    EXPECT_TRUE(SyainRec[90].Simei.isEmpty());
    EXPECT_EQ(SyainRec[1].Simei.text(), QStringLiteral("佐藤")) << "nothing before the slot moves";
}

class MainListTest : public WithForms<MemberListTest> {
  protected:
    void SetUp() override
    {
        WithForms::SetUp();
        CurPeriod.Period = 4;
        CurPeriod.EraText = QStringLiteral("令和");
        CurPeriod.EraYear = 8;
        DataPath = dir();
        CorpRec.Syamei.setText(QStringLiteral("株式会社テスト"));
    }
    QList<int> listed() const { return fmMain->listedSlots(); }
    QList<int> ticked() const { return fmMain->tickedSlots(); }
    static QListWidget* list() { return child<QListWidget>(fmMain, "ListBox"); }
    ScriptedMsgBox box;
};

TEST_F(MainListTest, HeaderSortKeepsTicksWithTheirEmployees)
{
    fmMain->FillMemberList(1);
    list()->item(0)->setCheckState(Qt::Checked);  // slot 1
    list()->item(3)->setCheckState(Qt::Checked);  // slot 4
    fmMain->HeadCtrlSectionClick(1);              // 氏名
    EXPECT_EQ(listed(), QList<int>({4, 2, 1, 3, 6}));
    EXPECT_EQ(ticked(), QList<int>({4, 1}));
    fmMain->mnAllOnOffPClick();  // Tag 1: tick all
    EXPECT_EQ(ticked().size(), 5);
    fmMain->mnAllOnOffPClick();
    EXPECT_TRUE(ticked().isEmpty());
}

TEST_F(MainListTest, DeleteAsksAndCommandsFollowThePeriod)
{
    fmMain->FillMemberList(1);
    Screenshot(fmMain, "main-window-employees.png");
    list()->setCurrentRow(1);  // 伊藤, slot 2
    box.answer(MsgResult::No);
    fmMain->btDeleteClick();
    EXPECT_EQ(box.lastText(), QStringLiteral("下記社員の登録情報を削除しますか？\n\n【 総務部  伊藤 】"));
    EXPECT_EQ(SyainRec[2].Simei.text(), QStringLiteral("伊藤"));
    {
        // The box on screen: Enter answers いいえ, its default.
        const RealMessageBoxes real;
        KeyOnNextMessageBox(Qt::Key_Return);
        fmMain->btDeleteClick();
        EXPECT_EQ(SyainRec[2].Simei.text(), QStringLiteral("伊藤"));
    }
    box.answer(MsgResult::Yes);
    fmMain->btDeleteClick();
    EXPECT_EQ(box.shown().back().def, MsgDefault::Safe);
    EXPECT_EQ(SyainRec[2].Simei.text(), QStringLiteral("斎藤"));
    EXPECT_EQ(list()->count(), 4);
    EXPECT_EQ(list()->currentRow(), 1);
    EXPECT_TRUE(ReadAll(dir() + QStringLiteral("システムログ.dat"))
                    .contains(cp932::encode(QStringLiteral("従業員情報の削除"))));

    CurPeriod.Period = 13;
    fmMain->UpdateCommandStates();
    EXPECT_FALSE(fmMain->action("btNewEnter")->isEnabled());
    EXPECT_FALSE(fmMain->action("mnDelete")->isEnabled());
    EXPECT_TRUE(fmMain->action("btModify")->isEnabled());
    CurPeriod.Period = 4;
    for (int e = 1; e <= 90; ++e) SyainRec[e].Simei.setText(QStringLiteral("社員"));
    fmMain->UpdateCommandStates();
    EXPECT_FALSE(fmMain->action("mnNewEnter")->isEnabled()) << "90 employees";

    list()->setCurrentRow(-1);
    box.clear();
    fmMain->btModifyClick();
    EXPECT_EQ(box.lastText(), QStringLiteral("処理の対象者が選択されていません。"));
}

// Deleting moves the later slots down; the age check reads the newest withholding-slip file by
// slot (early in a year last year's), so that file warns as well as this year's, naming its year.
TEST_F(MainListTest, DeletionWarnsOfTheWithholdingSlipFileTheAgeCheckReads)
{
    CurPeriod.EraYear = 9;
    CurPeriod.Period = 1;
    fmMain->FillMemberList(1);
    const QString warning = QStringLiteral(
        "%1の源泉徴収データが作成されているため、\n社員削除を行うと源泉徴収データにずれが生じます。\n"
        "（社員削除ではなく、退職に設定する事を推奨）\n\nこのまま社員削除を続行しますか？");
    const struct {
        const char* file;
        qsizetype size;
        const char* year;  // nullptr: no warning
    } cases[] = {
        {nullptr, 0, nullptr},
        {"源泉徴収(令和08年).dat", 135300, "令和08年"},  // last year's, read by the age check
        {"源泉徴収(平成31年).dat", 135300, "平成31年"},
        {"源泉徴収(令和08年).dat", 135299, nullptr},  // too short for the age check
        {"源泉徴収(令和09年).dat", 10, "今年"},       // this year's, whatever it holds
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "none");
        for (const QString& f : QDir(dir()).entryList({QStringLiteral("源泉徴収*")}))
            QFile::remove(dir() + f);
        if (c.file) WriteAll(dir() + QString::fromUtf8(c.file), QByteArray(c.size, '\0'));
        list()->setCurrentRow(1);  // 伊藤, slot 2
        box.clear();
        box.answer(MsgResult::No);
        fmMain->btDeleteClick();
        ASSERT_EQ(box.shown().size(), 1u);
        if (c.year)
            EXPECT_EQ(box.shown()[0].text, warning.arg(QString::fromUtf8(c.year)));
        else
            EXPECT_FALSE(box.shown()[0].text.contains(QStringLiteral("源泉徴収データ")))
                << box.shown()[0].text.toStdString();
        EXPECT_EQ(SyainRec[2].Simei.text(), QStringLiteral("伊藤"));
    }
}

TEST_F(MainListTest, DamagedDateOrNameNeverActsOnAnotherEmployee)
{
    // Slot 12's date holds a double-byte character: a line one byte longer once ended in " 01".
    addEmployee(12, "高橋", "", 2, 1);
    SyainRec[12].Taisyoku.setBytes(QByteArray("\x82\x4f") + "80331");
    // Slot 21's name is not CP932 and shows as question marks; slot 5's name and department are
    // longer than their columns.
    addEmployee(21, "", "", 2, 1);
    SyainRec[21].Simei.setBytes(QByteArray("\x82\xff\xfd\x80") + "AB\x81");
    addEmployee(5, "長谷川あああああああ", "ｱ部部部部部部部部部", 2, 1);
    fmMain->action("mnTaisyoku")->setChecked(true);
    fmMain->FillMemberList(1);
    const struct {
        int slot;
        QString name;
    } cases[] = {{12, u("高橋")}, {21, u("????AB?")}, {5, u("ｱ部部部部部部部部部  長谷川あああああああ")}};
    for (const auto& c : cases) {
        fmMain->selectSlot(c.slot);
        const QByteArray line = cp932::encode(list()->currentItem()->text());
        EXPECT_EQ(line.size(), 130) << c.slot;
        EXPECT_EQ(line.right(3).toInt(), c.slot);
        int opened = 0;
        WhenShown(fmMembEdit, [&] {
            opened = fmMembEdit->membSlot();
            fmMembEdit->reject();
        });
        fmMain->btModifyClick();
        EXPECT_EQ(opened, c.slot);
        box.answer(MsgResult::No);
        fmMain->btDeleteClick();
        EXPECT_EQ(box.lastText(), u("下記社員の登録情報を削除しますか？\n\n【 %1 】").arg(c.name));
    }
    EXPECT_EQ(cp932::encode(MakeMemberLine(12)).mid(65, 12), cp932::encode(u("０/03/31    ")));
}

}  // namespace
