// Settings record: defaults, stored forms, the rounding keys per period kind, write order and a
// byte-exact round trip of a hand-written settings file.
#include "payroll/option.h"

#include <QFile>

#include "payroll/paths.h"
#include "payroll/period.h"
#include "platform/cp932.h"
#include "platform/inifile.h"
#include "tests/testutil.h"

namespace {

class OptionTest : public CoreTest {
  protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        useDataFolder();
    }
    // A withholding-slip data file, which keeps the age check available.
    void addGensenFile()
    {
        WriteAll(dir() + QStringLiteral("源泉徴収(令和08年).dat"), QByteArray(135300, '\0'));
    }
    void writeIni(const QString& text) { WriteAll(IniFileName, cp932::encode(text)); }
};

// A new data set gets the defaults, saved byte for byte with every key in its order: two slips
// per A4 sheet, hours as h:mm, the age check on while a withholding-slip file is there.
TEST_F(OptionTest, NewDataSetSavesTheDefaultsInTheirOrder)
{
    addGensenFile();
    LoadOption();
    LoadHasuu(1);
    CurPeriod.Period = 1;
    SaveOption();
    EXPECT_EQ(
        ReadAll(IniFileName),
        cp932::encode(QStringLiteral(
            "[Option]\r\nFormType=1\r\nTimeStyle=1\r\nHasuuSik=1\r\nHasuuGen=0\r\nHasuuKou=0\r\n"
            "PrAdjustH=0\r\nPrAdjustV=0\r\nAutoSelect=1\r\nInputOverN=1\r\nPrnRuikei=1\r\nNameWide=0\r\n"
            "NoBakCol=0\r\nUse2kSatu=0\r\nManualOn=0\r\nPrnJuryo=1\r\nOldIchiran=0\r\nPrnFuyou=1\r\n"
            "PrnSikyubi=1\r\nKaigoChk=1\r\nSyoyoName=0\r\nJuryoStr=\"　　受領印\"\r\n"
            "FontName=\"ＭＳ 明朝\"\r\nFontNameM=\"ＭＳ ゴシック\"\r\nFontNameS=\"ＭＳ 明朝\"\r\n"
            "FontNameO=\"ＭＳ 明朝\"\r\n"
            "FixTeate1=\"固定手当１\"\r\nFixTeate2=\"固定手当２\"\r\nFixTeate3=\"固定手当３\"\r\n"
            "VarTeate1=\"変動手当１\"\r\nVarTeate2=\"変動手当２\"\r\nVarTeate3=\"変動手当３\"\r\n"
            "FixKoujo1=\"固定控除１\"\r\nFixKoujo2=\"固定控除２\"\r\nFixKoujo3=\"固定控除３\"\r\n"
            "VarKoujo1=\"変動控除１\"\r\nVarKoujo2=\"変動控除２\"\r\nVarKoujo3=\"変動控除３\"\r\n"
            "TokuSyoyo=\"特別賞与\"\r\nKintaiFre=\"\"\r\n"
            "Sonota1=\"その他１\"\r\nSonota2=\"その他２\"\r\nSonota3=\"その他３\"\r\n"
            "Kazei=111111000000\r\nSyaho=111111000000\r\n")));
}

TEST_F(OptionTest, StoredFormsAreReadAsWritten)
{
    addGensenFile();
    writeIni(
        QStringLiteral("[option]\r\nkazei=1111\r\nSyaho=1x0\r\nNameWide=2\r\nPrnRuikei=abc\r\n"
                       "FormType=zwei\r\nPrAdjustH=-15\r\nPrAdjustV=7\r\nJuryoStr=\"　　受領印\"\r\n"
                       "FixTeate1=  資格手当  \r\nVarTeate1=\" 出張 \"\r\n"));
    LoadOption();
    const TOptionRec& r = OptionRec;
    EXPECT_EQ(FormatFlags(r.Kazei), QStringLiteral("111100000000"))
        << "a short flag string reads off beyond its end";
    EXPECT_EQ(FormatFlags(r.Syaho), QStringLiteral("100000000000"));
    EXPECT_TRUE(r.NameWide) << "any non-zero integer is on";
    EXPECT_TRUE(r.PrnRuikei) << "not a number gives the default";
    EXPECT_EQ(r.FormType, 1);
    EXPECT_DOUBLE_EQ(r.PrAdjustH, -1.5);
    EXPECT_DOUBLE_EQ(r.PrAdjustV, 0.7);
    EXPECT_EQ(r.JuryoStr, QStringLiteral("　　受領印"));
    EXPECT_EQ(r.FixTeate[1], QStringLiteral("資格手当")) << "an unquoted value is trimmed";
    EXPECT_EQ(r.VarTeate[1], QStringLiteral(" 出張 ")) << "quotes keep the blanks";
}

TEST_F(OptionTest, AgeCheckIsOffWithoutAWithholdingSlipFile)
{
    writeIni(QStringLiteral("[Option]\r\nKaigoChk=1\r\n"));
    WriteAll(dir() + QStringLiteral("源泉徴収(令和07年).dat"), QByteArray(135299, '\0'));  // too short
    LoadOption();
    EXPECT_FALSE(OptionRec.KaigoChk);
    CurPeriod.Period = 4;
    SaveOption();
    EXPECT_EQ(IniFile(IniFileName).readString(QStringLiteral("Option"), QStringLiteral("KaigoChk")),
              QStringLiteral("0"));
    addGensenFile();
    LoadOption();
    EXPECT_FALSE(OptionRec.KaigoChk) << "the stored 0 now stands";
}

TEST_F(OptionTest, BonusRoundingFallsBackToMonthlyAndIsSavedUnderItsOwnKeys)
{
    writeIni(QStringLiteral("[Option]\r\nHasuuSik=2\r\nHasuuGen=2\r\nHasuuKou=2\r\n"));
    LoadHasuu(13);
    EXPECT_EQ(OptionRec.HasuuSik, 2);
    EXPECT_EQ(OptionRec.HasuuGen, 2);
    EXPECT_EQ(OptionRec.HasuuKou, 2);

    CurPeriod.Period = 13;
    OptionRec.HasuuSik = 1;
    OptionRec.HasuuGen = 0;
    OptionRec.HasuuKou = 0;
    SaveOption();
    const IniFile ini(IniFileName);
    const QString s = QStringLiteral("Option");
    EXPECT_EQ(ini.readString(s, QStringLiteral("HasuuSik")), QStringLiteral("2")) << "monthly keys untouched";
    EXPECT_EQ(ini.readString(s, QStringLiteral("HasuuKou")), QStringLiteral("2"));
    EXPECT_EQ(ini.readString(s, QStringLiteral("HasuuSikS")), QStringLiteral("1"));
    EXPECT_EQ(ini.readString(s, QStringLiteral("HasuuGenS")), QStringLiteral("0"));
    LoadHasuu(5);
    EXPECT_EQ(OptionRec.HasuuSik, 2);
    LoadHasuu(14);
    EXPECT_EQ(OptionRec.HasuuSik, 1);
}

TEST_F(OptionTest, HandWrittenFileRoundTripsByteForByte)
{
    addGensenFile();
    const QByteArray original = ReadAll(TestData(QStringLiteral("option.ini")));
    ASSERT_FALSE(original.isEmpty());
    WriteAll(IniFileName, original);
    CurPeriod.Period = 1;
    LoadOption();
    LoadHasuu(1);
    EXPECT_EQ(OptionRec.FixTeate[1], QStringLiteral("  資格手当"));
    EXPECT_EQ(OptionRec.FixTeate[2], QStringLiteral("住宅手当 "));
    EXPECT_DOUBLE_EQ(OptionRec.PrAdjustH, -1.5);
    SaveOption();
    EXPECT_EQ(ReadAll(IniFileName), original);

    OptionRec.PrAdjustH = -2.3;  // -22.999... in binary: rounded, not cut, to -23
    OptionRec.Sonota[1] = QStringLiteral("年調 ");
    SaveOption();
    const QByteArray changed = ReadAll(IniFileName);
    EXPECT_TRUE(changed.contains("PrAdjustH=-23\r\n"));
    EXPECT_TRUE(changed.contains(cp932::encode(QStringLiteral("Sonota1=\"年調 \"\r\n"))));
    EXPECT_TRUE(changed.contains(cp932::encode(QStringLiteral("BackupPath=\"C:\\バックアップ\\\"\r\n"))))
        << "keys of other owners stay";
    EXPECT_TRUE(changed.contains("[Other]\r\nkey = value with spaces \r\n"));
}

}  // namespace
