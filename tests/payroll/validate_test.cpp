// A damaged year file is refused with the month, employee and field, before any of its values
// is shown or used; the period in memory and the file stay as they were.
#include "payroll/validate.h"

#include <QRandomGenerator>
#include <limits>

#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/periodselect.h"
#include "payroll/yearfile.h"
#include "tests/testutil.h"

namespace {

// April of 令和8 saved with one employee, 山田 in slot 3.
class ValidateTest : public PeriodTest {
  protected:
    void SetUp() override
    {
        PeriodTest::SetUp();
        CurPeriod.Period = 4;
        CorpRec.Nissu = 21;
        SyainRec[3].Simei.setText(QStringLiteral("山田"));
        SyainRec[3].MembKey.setBytes("260401_090003");
        SyainRec[3].Tokyu = 20;
        WritePeriod();
        good_ = ReadAll(CurPeriod.FileName);
    }
    // The text of the refusal, or empty when the period was read.
    QString refusal(int p)
    {
        try {
            LoadPeriod(CurPeriod.FileName, p);
        } catch (const DamagedDataError& e) {
            return e.message();
        }
        return {};
    }
    QByteArray good_;
};

TEST_F(ValidateTest, EachDamagedFieldIsNamedAndNothingChanges)
{
    const qint64 rec = DataRecPos(3), slot3 = rec + 1384 + 2 * 500, kintai3 = rec + 46384 + 2 * 200;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        qint64 pos;
        QByteArray bytes;
        const char* line;
    } cases[] = {
        {kintai3 + 56, QByteArray(reinterpret_cast<const char*>(&nan), 8),
         "４月支給給与 社員3「山田」: 実働時間 = nan"},
        {slot3 + 64, QByteArray("\x07\0\0\0", 4), "４月支給給与 社員3「山田」: 支給形態 = 7"},
        {slot3 + 318, QByteArray("\xff\xff", 2), "４月支給給与 社員3「山田」: 健康保険の等級 = 65535"},
        {slot3, QByteArray("\xff", 1), "４月支給給与 社員3: 氏名の長さ = 255"},
        {rec + 68, QByteArray("\xfa\xff\xff\xff", 4), "４月支給給与 会社情報: 所定労働日数 = -6"},
        {9, QByteArray("\x25", 1), "ファイルの先頭: ２月支給給与の保存済みの印 = 37"},
    };
    ClearPeriodImage();
    for (const auto& c : cases) {
        QByteArray damaged = good_;
        damaged.replace(c.pos, c.bytes.size(), c.bytes);
        WriteAll(CurPeriod.FileName, damaged);
        EXPECT_EQ(refusal(4), u("年度データファイルが壊れています。\n") + CurPeriod.FileName + u("\n\n") +
                                  u(c.line) +
                                  u("\n\n壊れた値で計算しないよう、このデータは読み込みませんでした。"
                                    "ファイルは変更していません。"));
        EXPECT_TRUE(SyainRec[3].MembKey.isEmpty()) << "the image stays as it was: " << c.line;
        EXPECT_EQ(ReadAll(CurPeriod.FileName), damaged) << c.line;
    }
    WriteAll(CurPeriod.FileName, good_);
    EXPECT_EQ(refusal(4), QString());
}

TEST_F(ValidateTest, RandomBytesOfTheRightSizeAreNoYearFile)
{
    QByteArray noise(YearFileSize, '\0');
    QRandomGenerator gen(13);
    for (char& b : noise) b = char(gen.bounded(256));
    WriteAll(CurPeriod.FileName, noise);
    const QString text = refusal(1);
    EXPECT_TRUE(text.contains(u("ファイルの先頭: １月支給給与の保存済みの印 = "))) << text;
    EXPECT_TRUE(text.contains(u("\nほか "))) << text;
    EXPECT_THROW(ReadSelectState(CurPeriod.FileName), DamagedDataError);
    EXPECT_TRUE(RefDataLines().empty()) << "its months are not offered as a base";

    // The period selection leaves the open period as it was.
    WriteAll(CurPeriod.FileName, good_);
    ReadSelectState(CurPeriod.FileName);
    WriteAll(CurPeriod.FileName, noise);
    CurPeriod.Period = 3;
    const TPeriodEntry entry{u("令和08年"), 4, u("21"), u("168"), {}, {}};
    EXPECT_THROW(SelectPeriod(entry, nullptr), DamagedDataError);
    EXPECT_EQ(CurPeriod.Period, 3);
    EXPECT_EQ(ReadAll(CurPeriod.FileName), noise);
}

}  // namespace
