// Period records: counted strings in CP932 and the item name maps.
#include <cstring>

#include "payroll/option.h"
#include "payroll/period.h"
#include "payroll/records.h"
#include "platform/cp932.h"
#include "tests/testutil.h"

namespace {

class RecordsTest : public CoreTest {};

TEST_F(RecordsTest, CountedStringsCutToCapacityWithoutSplittingACharacter)
{
    TCorpRec corp;
    std::memset(&corp, 0, sizeof corp);
    const QByteArray fifty(50, 'A');
    corp.Syamei.setBytes(fifty);
    EXPECT_EQ(corp.Syamei.len, 44);
    EXPECT_EQ(corp.reserved45[0], 0) << "nothing runs past the field";

    TEmployeeRec e;
    std::memset(&e, 0, sizeof e);
    e.Simei.setText(QStringLiteral("a") + QStringLiteral("山").repeated(10));  // 21 bytes
    EXPECT_EQ(e.Simei.len, 19);
    EXPECT_EQ(e.Simei.text(), QStringLiteral("a") + QStringLiteral("山").repeated(9));
    EXPECT_EQ(e.Busyo.len, 0);

    e.Simei.setText(QStringLiteral("山田太郎"));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&e), 9), QByteArray("\x08") + cp932::encode(QStringLiteral("山田太郎")));
    e.Simei.setText(QStringLiteral("林"));
    EXPECT_EQ(e.Simei.data[2], cp932::encode(QStringLiteral("山田太郎"))[2]) << "bytes behind the length are carried";
    e.Simei.normalise();
    EXPECT_EQ(e.Simei.data[2], 0);
    EXPECT_EQ(e.Simei.text(), QStringLiteral("林"));

    // A corrupt length byte reads no further than the capacity.
    e.Taisyoku.len = 200;
    EXPECT_EQ(e.Taisyoku.bytes().size(), 8);
}

TEST_F(RecordsTest, PaymentAndDeductionNamesMapToStorageIndices)
{
    OptionRec.FixTeate[2] = QStringLiteral("資格手当");
    OptionRec.FixKoujo[3] = QStringLiteral("社宅費");
    OptionRec.VarTeate[1] = QStringLiteral("出張手当");
    struct Case {
        const char* name;
        int sikyu;
        int koujo;
    };
    const Case cases[] = {
        {"基本給", 1, 0}, {"時給計", 1, 0}, {"賞与", 1, 0}, {"役員報酬", 2, 0}, {"家族手当", 3, 0},
        {"資格手当", 5, 0}, {"固定手当２", 0, 0}, {"休日深夜残業", 10, 0}, {"課税通勤費", 12, 0},
        {"出張手当", 0, 0}, {"欠勤控除", 16, 0}, {"遅刻早退控除", 17, 0}, {"課税支給合計", 0, 0},
        {"健康保険料", 0, 1}, {"厚生年金保険", 0, 2}, {"介護保険料", 0, 5}, {"社保控除後計", 0, 7},
        {"所得税", 0, 8}, {"住民税", 0, 9}, {"社宅費", 0, 12}, {"変動控除１", 0, 0},
    };
    for (const Case& c : cases) {
        const QString n = QString::fromUtf8(c.name);
        EXPECT_EQ(SikyuIndex(n), c.sikyu) << c.name;
        EXPECT_EQ(KoujoIndex(n), c.koujo) << c.name;
    }
    EXPECT_STREQ(KintaiItemNames[kiYukyuZan], "有休残日数");
    EXPECT_STREQ(KintaiItemNames[kiFree], "V勤怠項目");
}

TEST_F(RecordsTest, ImageBlocksMoveWholeAndStartEmpty)
{
    SyainRec[90].SeqNo = 5;
    KoujoRec[1].Koujo[koJuumin] = 9000;
    YearHeader.PrnDay[15] = 31;
    ClearPeriodImage();
    EXPECT_EQ(SyainRec[90].SeqNo, 0);
    EXPECT_EQ(KoujoRec[1].Koujo[koJuumin], 0);
    EXPECT_EQ(YearHeader.PrnDay[15], 0);
    EXPECT_EQ(reinterpret_cast<const char*>(&SyainRec[2]) - reinterpret_cast<const char*>(&SyainRec[1]), 500);
    EXPECT_EQ(reinterpret_cast<const char*>(&YearHeader.PrnDay[15]) - reinterpret_cast<const char*>(&YearHeader), 77);
    EXPECT_EQ(EraName[1], QStringLiteral("平成"));
    EXPECT_EQ(EraName[2], QStringLiteral("令和"));
}

}  // namespace
