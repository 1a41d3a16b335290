// Tests of the system log: the exact CP932 bytes of a line, appending, and a failing write.
#include "payroll/syslog.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <optional>

#include "payroll/paths.h"
#include "payroll/period.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/msgbox.h"
#include "tests/testutil.h"

using SysLogTest = CoreTest;

TEST_F(SysLogTest, AppendsStampedCp932LinesWithCrLf)
{
    DataPath = dir();
    const QString path = dir() + "システムログ.dat";
    WriteAll(path, "2023/12/31 23:59  old\r\n");
    ::chmod(QFile::encodeName(path).constData(), 0644);
    {
        FixedClock clock(QDateTime(QDate(2024, 3, 5), QTime(21, 7, 42)));
        WriteSysLog(10);
    }
    {
        FixedClock clock(QDateTime(QDate(2024, 3, 6), QTime(8, 0)));
        WriteSysLog(13);
        WriteSysLog(99);
    }
    // The brackets are the single-byte half-width ones (0xA2, 0xA3), not "「" (0x81 0x75).
    const QByteArray want = QByteArray("2023/12/31 23:59  old\r\n") + "2024/03/05 21:07  " +
                            cp932::encode("給与計算ソフト ｢給与計算PelmoraS｣を起動") + "\r\n" +
                            "2024/03/06 08:00  " + cp932::encode("従業員情報の削除") + "\r\n" +
                            "2024/03/06 08:00  \r\n";
    EXPECT_EQ(ReadAll(path), want);
    EXPECT_EQ(FileMode(path), 0600) << "names of employees are nobody else's business";
}

// A log that cannot take the line keeps what it had (no half line, no empty file left), and the
// failure is shown once, naming the file and the reason, while the program goes on.
TEST_F(SysLogTest, FailedAppendIsReportedOnceAndTakenBack)
{
    struct Case {
        bool fullDisk;
        int logSize;  // -1: no log yet
    };
    const Case cases[] = {{true, -1}, {true, 4090}, {false, 4090}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        ResetGlobals();
        DataPath = dir() + QString::number(++n) + "/";
        std::optional<FullFileSystem> disk;
        if (c.fullDisk && !disk.emplace(DataPath).mounted()) continue;  // needs root
        QDir().mkpath(DataPath);
        const QString path = DataPath + "システムログ.dat";
        const QByteArray old(std::max(c.logSize, 0), 'l');
        if (c.logSize >= 0) WriteAll(path, old);
        if (disk) disk->fill();
        ScriptedMsgBox box;
        {
            FileSizeLimit limit(c.fullDisk ? 1 << 30 : c.logSize + 5);
            EXPECT_FALSE(WriteSysLog(10));
            EXPECT_FALSE(WriteSysLog(11));
        }
        EXPECT_EQ(QFileInfo::exists(path), c.logSize >= 0);
        EXPECT_EQ(ReadAll(path), old);
        ASSERT_EQ(box.shown().size(), 1u) << "said once";
        EXPECT_EQ(box.shown()[0].type, MsgType::Warning);
        EXPECT_TRUE(box.lastText().contains(path));
        EXPECT_TRUE(box.lastText().contains(c.fullDisk ? "ディスクの空き容量が足りません。"
                                                       : "ファイルが大きすぎます。"))
            << box.lastText();
    }
}

// The export's text column holds at most 99 bytes of a line, never half of a double-byte
// character: a line whose 99th and 100th bytes are one character gives 98.
TEST_F(SysLogTest, ExportCutsTheTextAt99BytesOnACharacterBoundary)
{
    const QByteArray stamp = "2026/12/06 10:30";
    const QByteArray a = cp932::encode(QStringLiteral("あ")), kana = cp932::encode(QStringLiteral("ｱ"));
    ASSERT_EQ(a.size(), 2);
    ASSERT_EQ(kana.size(), 1);
    struct Case {
        QByteArray text;
        qsizetype kept;  // bytes of text in the export
    } const cases[] = {
        {QByteArray(98, 'a') + a + "x", 98},      // bytes 99 and 100 are one character
        {QByteArray(97, 'a') + a + "x", 99},      // bytes 98 and 99
        {a.repeated(50), 98},                     // double-byte all through
        {QByteArray(98, 'a') + kana + kana, 99},  // a half-width kana is one byte
        {QByteArray(99, 'a') + "bb", 99},
        {QByteArray(99, 'a'), 99},
        {QByteArray(5, 'a'), 5},
    };
    QList<QByteArray> lines;
    QByteArray want = cp932::encode(QStringLiteral("日時, 内容")) + "\r\n";
    for (const Case& c : cases) {
        lines << stamp + "  " + c.text;
        want += '"' + stamp + "\", \"" + c.text.left(c.kept) + "\"\r\n";
    }
    const QByteArray csv = SysLogCsv(lines);
    EXPECT_EQ(csv, want);
    // Every text decodes whole.
    EXPECT_NO_THROW(cp932::decode(csv));
}
