// Tests of the system log: the exact CP932 bytes of a line, appending, and a failing write.
#include "payroll/syslog.h"

#include "payroll/paths.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "tests/testutil.h"

using SysLogTest = CoreTest;

TEST_F(SysLogTest, AppendsStampedCp932LinesWithCrLf)
{
    DataPath = dir();
    const QString path = dir() + "システムログ.dat";
    WriteAll(path, "2023/12/31 23:59  old\r\n");
    {
        FixedClock clock(QDateTime(QDate(2024, 3, 5), QTime(21, 7, 42)));
        WriteSysLog(10);
    }
    {
        FixedClock clock(QDateTime(QDate(2024, 3, 6), QTime(8, 0)));
        WriteSysLog(13);
        WriteSysLog(99);
    }
    const QByteArray want = QByteArray("2023/12/31 23:59  old\r\n") + "2024/03/05 21:07  " +
                            cp932::encode("給与計算ソフト ｢給与計算PelmoraS｣を起動") + "\r\n" +
                            "2024/03/06 08:00  " + cp932::encode("従業員情報の削除") + "\r\n" +
                            "2024/03/06 08:00  \r\n";
    EXPECT_EQ(ReadAll(path), want);
    // The brackets are the single-byte half-width ones, not "「" (0x81 0x75).
    EXPECT_TRUE(ReadAll(path).contains(" \xA2" + cp932::encode("給与計算PelmoraS") + "\xA3"));
}

TEST_F(SysLogTest, UnwritableLogThrowsIoErrorNamingTheFile)
{
    DataPath = dir() + "missing/";
    try {
        WriteSysLog(11);
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_TRUE(e.message().contains("システムログ"));
        EXPECT_TRUE(e.message().contains(dir() + "missing/システムログ.dat"));
    }
}
