// Slip item settings: defaults per pay type, stored names and flags, moving rows, publishing and
// writing user items back as placeholders.
#include "payroll/slipitems.h"

#include "payroll/calc.h"
#include "payroll/option.h"
#include "payroll/paths.h"
#include "platform/cp932.h"
#include "platform/inifile.h"
#include "tests/testutil.h"

namespace {

class SlipItemsTest : public CoreTest {
  protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        IniFileName = dir() + QStringLiteral("Tolvane01.ini");
    }
    static QStringList used(int t)
    {
        QStringList names;
        for (int r = 1; r <= 16; ++r)
            if (KintaiList[t][r] != QStringLiteral("F")) names << KintaiList[t][r];
        return names;
    }
};

TEST_F(SlipItemsTest, DefaultsGiveEachPayTypeItsRows)
{
    LoadKyuyoItemSetting(true);
    EXPECT_EQ(SikyuList[2][7], QStringLiteral("F")) << "no overtime on a daily slip";
    EXPECT_TRUE(IsKoujoItem(QStringLiteral("所得税"), 2));
    EXPECT_FALSE(IsSikyuItem(QStringLiteral("普通残業手当"), 2));
    EXPECT_TRUE(IsSikyuItem(QStringLiteral("普通残業手当"), 1));
    EXPECT_FALSE(IsSikyuItem(QStringLiteral("基本給"), 0)) << "a pay type outside 1..3 has no items";

    OptionRec.VarTeate[1] = QStringLiteral("出張手当");
    LoadSyoyoItemSetting(true);
    for (int t = 1; t <= 3; ++t) EXPECT_EQ(used(t), QStringList()) << "a bonus slip has no attendance";
    EXPECT_EQ(SikyuList[1][1], QStringLiteral("V賞与"));
    EXPECT_TRUE(IsSikyuItem(QStringLiteral("賞与"), 3));
    EXPECT_FALSE(IsSikyuItem(QStringLiteral("出張手当"), 1));
}

TEST_F(SlipItemsTest, StoredNamesAndShortFlagStrings)
{
    WriteAll(IniFileName,
             cp932::encode(QStringLiteral("[KyuyoItemName]\r\nKintai00=V\r\nKintai01=\r\nSikyu00=F基本給\r\n"
                                          "[KyuyoKeitai1]\r\nKintai=11\r\nSikyu=1\r\n")));
    LoadKyuyoItemSetting(true);
    EXPECT_EQ(KintaiItem[1].Name, QStringLiteral("V勤怠項目"));
    EXPECT_EQ(KintaiItem[2].Name, QStringLiteral("V勤怠項目"));
    EXPECT_FALSE(KintaiItem[2].Use[1]) << "the last nameless row is unused on every pay type";
    EXPECT_TRUE(KintaiItem[1].Use[1]);
    EXPECT_FALSE(KintaiItem[2].Use[2]);
    EXPECT_TRUE(SikyuItem[1].Use[1]);
    EXPECT_FALSE(SikyuItem[2].Use[1]) << "missing characters read as unused";
    EXPECT_TRUE(SikyuItem[2].Use[2]) << "other pay types keep their defaults";
}

TEST_F(SlipItemsTest, MovingARowCarriesItsFlagsForAllPayTypes)
{
    SetDefaultKyuyoItems();
    MoveSlipItem(SikyuItem, 18, 1);
    EXPECT_EQ(SikyuItem[1].Name, QStringLiteral("F課税支給合計"));
    EXPECT_EQ(SikyuItem[2].Name, QStringLiteral("F基本給"));
    EXPECT_EQ(SikyuItem[18].Name, QStringLiteral("V変動手当３"));
    EXPECT_TRUE(SikyuItem[1].Use[3]);
    EXPECT_FALSE(SikyuItem[11].Use[2]) << "row 10 (休日深夜残業, unused on daily slips) moved to 11";
    EXPECT_EQ(SikyuItem[11].Name, QStringLiteral("F休日深夜残業"));
}

TEST_F(SlipItemsTest, SavingWritesPlaceholdersAndEveryRowOfItsKind)
{
    OptionRec.FixTeate[1] = QStringLiteral("資格手当");
    OptionRec.VarKoujo[2] = QStringLiteral("立替金");
    OptionRec.KintaiFre = QStringLiteral("代休");
    SetDefaultKyuyoItems();
    SikyuItem[4].Name = QStringLiteral("F資格手当");  // an older file may hold the user's name
    KoujoItem[16].Name = QStringLiteral("V立替金");
    KintaiItem[15].Name = QStringLiteral("V代休");
    SaveKyuyoItemSetting();
    const auto stored = [this](const char* section, const char* key) {
        return IniFile(IniFileName).readString(u(section), u(key));
    };
    EXPECT_EQ(stored("KyuyoItemName", "Sikyu03"), u("F固定手当１"));
    EXPECT_EQ(stored("KyuyoItemName", "Koujo15"), u("V変動控除２"));
    EXPECT_EQ(stored("KyuyoItemName", "Kintai14"), u("V勤怠項目"));
    EXPECT_EQ(IniFile(IniFileName).readSection(u("KyuyoItemName")).size(), 16 + 18 + 18 + 3);
    EXPECT_EQ(stored("KyuyoKeitai2", "Kintai"), u("0110010100001111"));
    EXPECT_EQ(stored("KyuyoKeitai3", "Sikyu"), u("111000000011000001"));
    EXPECT_FALSE(IniFile(IniFileName).sectionExists(u("SyoyoKeitai1")));

    SetDefaultSyoyoItems();
    SaveSyoyoItemSetting();
    EXPECT_EQ(stored("SyoyoKeitai1", "Sikyu"), u("111000100011111111"));
    EXPECT_FALSE(IniFile(IniFileName).valueExists(u("SyoyoKeitai1"), u("Kintai")));
    EXPECT_EQ(stored("SyoyoItemName", "Sikyu00"), u("V賞与"));
}

}  // namespace
