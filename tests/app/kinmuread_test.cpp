// Attendance report import: which employee a file name means, values in hours and minutes, bad
// values reported, and the remaining paid leave carried from the month before.
#include "app/core/kinmuread.h"

#include <QDir>

#include "payroll/period.h"
#include "payroll/yearfile.h"
#include "platform/cp932.h"
#include "tests/testutil.h"

namespace {

QByteArray line(const char* item, const char* value)
{
    return cp932::encode(cp932::padRight(u(item), 12) + u("  ") + cp932::padLeft(u(value), 6)) + "\r\n";
}

class KinmuReadTest : public PeriodTest {
  protected:
    void SetUp() override
    {
        PeriodTest::SetUp();
        loadPeriod(3);  // March leaves 10 days of paid leave to the employee in service
        staff();
        KintaiRec[2].Kintai[kiYukyuZan] = 10;
        ASSERT_TRUE(SavePeriod());
        openMonth(4);
        staff();
        SyainRec[2].Chingin[1] = 250000;
    }
    static void staff()
    {
        employee(1, "260401_090001").Simei.setText(u("山田 太郎"));
        SyainRec[1].Taisyoku.setText(u("080331"));
        employee(2, "260401_090002").Simei.setText(u("山田　太郎"));
        employee(3, "260401_090003").Simei.setText(QString());
    }
    QString report(const QString& name, const QByteArray& bytes)
    {
        WriteAll(dir() + name, bytes);
        return dir() + name;
    }
};

TEST_F(KinmuReadTest, ReportFillsTheEmployeeInServiceAndCarriesPaidLeave)
{
    KintaiRec[2].Kintai[kiFutuZangyo] = 3;
    const QString file =
        report(u("2026年04月[山田太郎].knm"), u("勤務報告書\r\n").toUtf8() + line("出勤日数", "20") +
                                                  line("有休日数", "1.5") + line("実働時間", "7:30") +
                                                  line("普通残業時間", "7:75") + line("遅刻早退回数", "2") +
                                                  line("出勤日数", "19") + line("備考", "x"));
    QStringList bad;
    EXPECT_EQ(ImportKinmuFile(file, bad), QString());
    EXPECT_EQ(bad, QStringList({u("2026年04月[山田太郎].knm: 普通残業時間 (7:75)")}));
    const auto& k = KintaiRec[2].Kintai;
    EXPECT_EQ(std::make_tuple(k[kiSyukkin], k[kiYukyu], k[kiJitudou], k[kiFutuZangyo], k[kiChisouKaisu]),
              std::make_tuple(19.0, 1.5, 7.5, 3.0, 2.0));
    EXPECT_DOUBLE_EQ(k[kiYukyuZan], 8.5) << "10 days left in March, 1.5 taken";
    EXPECT_EQ(KintaiRec[1].Kintai[kiSyukkin], 0) << "the retired namesake is left alone";
    EXPECT_EQ(SikyuRec[2].Sikyu[siKihon], 250000) << "the month is recalculated";
}

TEST_F(KinmuReadTest, NamesAndValuesThatMatchNothing)
{
    SyainRec[2].Taisyoku.setText(u("080331"));
    // What the file holds: a report line, or a file of the right name in which nothing is an item.
    enum Body { Report, Utf8, Empty, Binary, NoItem, Folder, Missing };
    const struct {
        const char* file;
        int slot;  // 0: the message
        const char* message;
        Body body = Report;
    } cases[] = {
        {"[山田太郎].knm", 2, ""},  // both retired: the highest slot
        {"[佐藤].knm", 0, "該当者のデータ無し [佐藤]"},
        {"[].knm", 0, "該当者のデータ無し []"},
        {"[山田\xF0\x9F\x98\x80].knm", 0,
         "ファイル名の氏名をシフトJISに変換できません\n[山田\xF0\x9F\x98\x80].knm"},
        {"u[山田太郎].knm", 0,
         "勤務報告データが読み込めません [u[山田太郎].knm]\n"
         "文字コードがシフトJISではなくUTF-8のため、項目を一つも読み取れません。",
         Utf8},
        {"e[山田太郎].knm", 0,
         "勤務報告データが読み込めません [e[山田太郎].knm]\nファイルが空で、項目が一つもありません。", Empty},
        {"b[山田太郎].knm", 0,
         "勤務報告データが読み込めません "
         "[b[山田太郎].knm]\n勤務報告データの形式ではないため、項目を一つも読み取れません。",
         Binary},
        {"n[山田太郎].knm", 0,
         "勤務報告データが読み込めません "
         "[n[山田太郎].knm]\n勤務報告の項目（出勤日数など）が一つもありません。",
         NoItem},
        {"f[山田太郎].knm", 0,
         "勤務報告データが読み込めません [f[山田太郎].knm]\nファイルではなくフォルダーです。", Folder},
        {"m[山田太郎].knm", 0, "勤務報告データが読み込めません [m[山田太郎].knm]\nファイルが見つかりません。",
         Missing},
    };
    for (const auto& c : cases) {
        QStringList bad;
        if (c.slot) {
            EXPECT_EQ(FindKinmuSlot(KinmuNameKey(u(c.file))), c.slot);
        }
        const QByteArray utf8 =
            (u("勤務報告書\r\n") + cp932::padRight(u("出勤日数"), 12) + u("      5\r\n")).toUtf8();
        const QByteArray bodies[] = {line("出勤日数", "5"), utf8, "",
                                     QByteArray("\x7F"
                                                "ELF\x02\x01\x00\x00\xFF\xFE",
                                                10),
                                     cp932::encode(u("勤務報告書\r\n備考\r\n"))};
        QString path = dir() + u(c.file);
        if (c.body == Folder)
            QDir().mkpath(path);
        else if (c.body != Missing)
            path = report(u(c.file), bodies[c.body]);
        KintaiRec[2].Kintai[kiSyukkin] = 7;
        KintaiRec[2].Kintai[kiYukyuZan] = 3;
        EXPECT_EQ(ImportKinmuFile(path, bad), u(c.message)) << c.file;
        if (c.body != Report) {
            // Nothing of the employee's month changes.
            EXPECT_EQ(KintaiRec[2].Kintai[kiSyukkin], 7) << c.file;
            EXPECT_EQ(KintaiRec[2].Kintai[kiYukyuZan], 3) << c.file;
        }
    }
    const std::pair<const char*, double> values[] = {
        {"7:30", 7.5}, {" 0:05", 5 / 60.0}, {"12.25", 12.25}, {"7:5", -1},
        {"7:60", -1},  {"-1:30", -1},       {"abc", -1},      {"", -1}};  // -1: refused
    for (const auto& [text, want] : values) {
        double got = 0;
        EXPECT_EQ(KinmuValue(u(text), got) ? got : -1, want) << text;
    }
}

}  // namespace
