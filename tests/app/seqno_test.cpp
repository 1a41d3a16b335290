// The serial order window: orders with the slot kept beside each line, moving lines, OK writing
// serial numbers 1..N in list order, and the reset.
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>

#include "app/TfmSeqNo.h"
#include "app/core/memberlist.h"
#include "payroll/period.h"
#include "platform/msgbox.h"
#include "tests/app/appfixture.h"

namespace {

class SeqNoTest : public WithForms<PeriodTest> {
  protected:
    void SetUp() override
    {
        WithForms<PeriodTest>::SetUp();
        loadPeriod(4);
        const char* names[] = {"佐藤", "伊藤", "あいうえおかきくけこ", "阿部"};  // slot 3: 20 bytes
        for (int e = 1; e <= 4; ++e) {
            employee(e).Simei.setText(u(names[e - 1]));
            SyainRec[e].Busyo.setText(u("営業第一課販売促進係"));  // 20 bytes as well
        }
        SyainRec[2].Taisyoku.setText(u("080331"));
    }
    QList<int> seqNos() const
    {
        QList<int> s;
        for (int e = 1; e <= 5; ++e) s << SyainRec[e].SeqNo;
        return s;
    }
    ScriptedMsgBox msg_;
};

TEST_F(SeqNoTest, SortMoveAndOkWriteSerialNumbersInListOrder)
{
    const ScreenshotFont face;
    ShowActive(fmSeqNo);
    EXPECT_EQ(fmSeqNo->listedSlots(), QList<int>({1, 2, 3, 4})) << "slot order, retired included";
    child<QHeaderView>(fmSeqNo, "HeadCtrl")->sectionClicked(1);  // by name: 3 (kana) 4 阿 2 伊 1 佐
    EXPECT_EQ(fmSeqNo->listedSlots(), QList<int>({3, 4, 2, 1})) << "the long name keeps its slot";
    auto* list = child<QListWidget>(fmSeqNo, "ListBox");
    EXPECT_TRUE(list->item(0)->text().startsWith(u(" 03  あいうえおかきく  営業第一課販売促  ")))
        << list->item(0)->text();
    Screenshot(fmSeqNo, "serial-order.png");
    list->setCurrentRow(0);
    child<QPushButton>(fmSeqNo, "sbDown")->click();
    child<QPushButton>(fmSeqNo, "sbDown")->click();
    list->setCurrentRow(0);
    child<QPushButton>(fmSeqNo, "sbUp")->click();  // nothing above the top
    EXPECT_EQ(fmSeqNo->listedSlots(), QList<int>({4, 2, 3, 1}));
    child<QPushButton>(fmSeqNo, "bbOk")->click();
    EXPECT_EQ(fmSeqNo->result(), QDialog::Accepted);
    EXPECT_EQ(seqNos(), QList<int>({4, 2, 3, 1, 0}));
    EXPECT_EQ(msg_.shown().size(), size_t(1)) << "the drag hint once";

    ShowActive(fmSeqNo);
    EXPECT_EQ(fmSeqNo->listedSlots(), QList<int>({4, 2, 3, 1})) << "opens in serial order";
    msg_.answer(MsgResult::No);
    msg_.answer(MsgResult::Yes);
    for (int i = 0; i < 2; ++i) child<QPushButton>(fmSeqNo, "btReset")->click();
    EXPECT_EQ(msg_.lastText(), u("社員連番の変更をリセットしますか？"));
    EXPECT_EQ(msg_.shown().back().def, MsgDefault::Safe) << "いいえ is the default";
    EXPECT_EQ(seqNos(), QList<int>({0, 0, 0, 0, 0}));
    fmSeqNo->show();
    EXPECT_EQ(fmSeqNo->listedSlots(), QList<int>({1, 2, 3, 4}));
}

}  // namespace
