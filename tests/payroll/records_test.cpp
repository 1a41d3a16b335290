// Period records: counted strings in CP932 and the item name maps.
#include "payroll/records.h"

#include <cstring>

#include "payroll/option.h"
#include "payroll/period.h"
#include "platform/cp932.h"
#include "tests/testutil.h"

namespace {

class RecordsTest : public CoreTest {};

TEST_F(RecordsTest, CountedStringsCutToCapacityWithoutSplittingACharacter)
{
    TCorpRec corp;
    std::memset(&corp, 0, sizeof corp);
    corp.Syamei.setBytes(QByteArray(50, 'A'));
    EXPECT_EQ(corp.Syamei.len, 44);
    EXPECT_EQ(corp.reserved45[0], 0) << "nothing runs past the field";

    TEmployeeRec e;
    std::memset(&e, 0, sizeof e);
    e.Simei.setText(QStringLiteral("a") + QStringLiteral("山").repeated(10));  // 21 bytes
    EXPECT_EQ(e.Simei.len, 19);
    EXPECT_EQ(e.Simei.text(), QStringLiteral("a") + QStringLiteral("山").repeated(9));

    e.Simei.setText(QStringLiteral("山田太郎"));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&e), 9),
              QByteArray("\x08") + cp932::encode(QStringLiteral("山田太郎")));
    e.Simei.setText(QStringLiteral("林"));
    EXPECT_EQ(e.Simei.data[2], cp932::encode(QStringLiteral("山田太郎"))[2])
        << "bytes behind the length are carried";
    e.Simei.normalise();
    EXPECT_EQ(e.Simei.data[2], 0);
    EXPECT_EQ(e.Simei.text(), QStringLiteral("林"));

    // A corrupt length byte reads no further than the capacity.
    e.Taisyoku.len = 200;
    EXPECT_EQ(e.Taisyoku.bytes().size(), 8);
}

// A few names of each kind: fixed ones, the user's fixed items by their current names, and names
// that keep no amount of their own.
TEST_F(RecordsTest, PaymentAndDeductionNamesMapToStorageIndices)
{
    OptionRec.FixTeate[2] = QStringLiteral("資格手当");
    OptionRec.FixKoujo[3] = QStringLiteral("社宅費");
    OptionRec.VarTeate[1] = QStringLiteral("出張手当");
    const struct {
        const char* name;
        int sikyu, koujo;
    } cases[] = {
        {"時給計", 1, 0},   {"資格手当", 5, 0},      {"固定手当２", 0, 0},   {"課税通勤費", 12, 0},
        {"出張手当", 0, 0}, {"遅刻早退控除", 17, 0}, {"課税支給合計", 0, 0}, {"介護保険料", 0, 5},
        {"住民税", 0, 9},   {"社宅費", 0, 12},       {"変動控除１", 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SikyuIndex(QString::fromUtf8(c.name)), c.sikyu) << c.name;
        EXPECT_EQ(KoujoIndex(QString::fromUtf8(c.name)), c.koujo) << c.name;
    }
}

// A name whose last byte is a lead byte without its trail keeps every good character.
TEST_F(RecordsTest, ADanglingLeadByteSpoilsOnlyItself)
{
    PStr<20> name;
    name.setBytes(cp932::encode(QStringLiteral("山田山田山田山田あA")) + "\x81");
    EXPECT_EQ(name.len, 20);
    EXPECT_EQ(name.shownText(), QStringLiteral("山田山田山田山田あA?"));
}

}  // namespace
