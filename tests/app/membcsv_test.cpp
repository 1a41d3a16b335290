// The employee CSV: the fixed header against a golden CP932 file, a round trip that leaves the
// period unchanged, files written by a spreadsheet program, damaged files, and imports that stop.
#include "app/core/membcsv.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <cstring>

#include "payroll/period.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/msgbox.h"
#include "tests/app/appfixture.h"

namespace {

QByteArray sj(const char* s)
{
    return cp932::encode(u(s));
}

class MembCsvTest : public PeriodTest {
  protected:
    void SetUp() override
    {
        PeriodTest::SetUp();
        loadPeriod(4);
    }
    // Three employees with everything the file carries.
    static void staff()
    {
        TEmployeeRec& a = employee(1);
        a.Simei.setText(u("山田 \"ヤマ\", 太郎"));
        a.Busyo.setText(u("営業部"));
        a.Kubun = 2;
        a.KubunName.setText(u("一般社員"));
        a.Chingin[1] = 250000;
        a.Koutuhi[0] = 12000;
        a.KenhoRyo = 12390;
        a.KoseiRyo = 22875;
        a.MailAdrs.setText(u("yamada@example.jp"));
        a.SeqNo = 2;
        TEmployeeRec& b = employee(2);
        b.Simei.setText(u("鈴木花子"));
        b.Kubun = -1;
        b.KubunName.setText(u("嘱託"));
        b.Keitai = 3;
        b.Zeigaku = 1;
        b.Genkin = 1;
        b.Chingin[1] = 1200;
        b.Kenkou = 0;
        b.Kaigo = 1;
        b.KaigoRyo = 0;
        b.Taisyoku.setText(u("3604 1"));  // a date typed with a leading zero keeps its bytes
        b.SeqNo = 1;
        employee(3).SeqNo = 3;
    }
    static QByteArray image()
    {
        QByteArray b(reinterpret_cast<const char*>(&SyainRec), sizeof SyainRec);
        b += QByteArray(reinterpret_cast<const char*>(&KintaiRec), sizeof KintaiRec);
        return b;
    }
    static QByteArray file(const QList<QByteArray>& lines)
    {
        QByteArray f = MemberCsvHeader() + "\r\n";
        for (const QByteArray& l : lines) f += l + "\r\n";
        return f;
    }
};

TEST_F(MembCsvTest, HeaderMatchesTheGoldenFileAndLinesHoldEveryColumn)
{
    EXPECT_EQ(ExportMemberCsv(), ReadAll(TestData(u("membcsv/header.csv"))));
    staff();
    EXPECT_EQ(MemberCsvLine(1),
              sj("\"山田 \"\"ヤマ\"\", 太郎\",\"営業部\",\"一般社員\",1,0,0,\"\",0,1,250000,0,0,0,0,0,"
                 "0,12000,0,0,0,0,0,0,1,12390,-1,22875,-1,\"yamada@example.jp\","
                 "\"260401_090001\",\"\",2"));
    EXPECT_TRUE(MemberCsvLine(2).startsWith(sj("\"鈴木花子\",\"\",\"嘱託\",3,1,1,\"2024/04/ 1\",")))
        << MemberCsvLine(2).constData();
}

TEST_F(MembCsvTest, ExportThenImportLeavesThePeriodUnchanged)
{
    staff();
    const QByteArray before = image();
    int asked = 0;
    const TCsvImportResult r =
        ImportMemberCsv(ExportMemberCsv(), [&](const QString&) { return ++asked, false; });
    EXPECT_EQ(r.error, QString());
    EXPECT_EQ(r.stored, 3);
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(image() == before) << "the image changed";
}

// Retirement years are stored as the employee window shows them, the era year alone: 1..R+1 (R the
// 令和 year of the open period) are 令和 years, 0 and the rest 平成 years; before 2019 all are 平成.
// The file carries the true western year, and a file read back changes no byte.
TEST_F(MembCsvTest, RetirementDatesTravelAsTheirTrueWesternYearsAndBackUnchanged)
{
    struct Period {
        const char* era;
        int year;
        QList<std::pair<const char*, const char*>> stored;  // stored bytes, exported date
        QList<std::pair<const char*, const char*>> read;    // a new line's date, stored bytes or refusal
    } const periods[] = {
        {"令和",
         8,
         {{" 8 331", "2026/ 3/31"},
          {" 9 4 1", "2027/ 4/ 1"},
          {"10 331", "1998/ 3/31"},
          {"31 430", "2019/ 4/30"},
          {" 1 5 1", "2019/ 5/ 1"},
          {"3604 1", "2024/04/ 1"},
          {" 1 3 1", "2019/ 3/ 1"}},
         {{"2026/3/31", " 8 331"},
          {"2027/12/31", " 91231"},
          {"2019/5/1", " 1 5 1"},
          {"2019/4/30", "31 430"},
          {"1998/1/1", "10 1 1"},
          {"1997/12/31", "1998年～2027年の日付ではありません（1997/12/31）"},
          {"2028/1/1", "1998年～2027年の日付ではありません（2028/1/1）"}}},
        {"平成",
         30,
         {{"30 331", "2018/ 3/31"}, {" 1 4 1", "1989/ 4/ 1"}, {" 2 1 1", "1990/ 1/ 1"}},
         {{"2019/6/1", "31 6 1"},
          {"1989/1/8", " 1 1 8"},
          {"1988/12/31", "1989年～2087年の日付ではありません（1988/12/31）"}}},
        {"平成",
         31,
         {{"31 430", "2019/ 4/30"},
          {" 1 5 1", "2019/ 5/ 1"},
          {" 2 3 1", "2020/ 3/ 1"},
          {" 3 1 1", "1991/ 1/ 1"}},
         {{"2019/12/1", " 112 1"}, {"2019/4/1", "31 4 1"}, {"1992/1/1", " 4 1 1"}}},
    };
    for (const Period& p : periods) {
        SCOPED_TRACE(p.era + std::to_string(p.year));
        CurPeriod.EraText = u(p.era);
        CurPeriod.EraYear = p.year;
        std::memset(&SyainRec, 0, sizeof SyainRec);
        for (qsizetype i = 0; i < p.stored.size(); ++i) {
            employee(int(i) + 1).Taisyoku.setText(u(p.stored[i].first));
            SyainRec[i + 1].SeqNo = uint16_t(i + 1);
        }
        const QByteArray before = image();
        const QByteArray exported = ExportMemberCsv();
        for (qsizetype i = 0; i < p.stored.size(); ++i)
            EXPECT_EQ(SplitImportLine(cp932::decode(MemberCsvLine(int(i) + 1))).value(6),
                      u(p.stored[i].second))
                << p.stored[i].first;
        const TCsvImportResult r = ImportMemberCsv(exported, {});
        EXPECT_EQ(r.stored, p.stored.size());
        EXPECT_TRUE(image() == before) << "a record changed";

        QByteArray fresh = MemberCsvLine(1);
        fresh.replace("260401_090001", "");
        QList<QByteArray> lines;
        for (const auto& [date, want] : p.read) {
            QList<QByteArray> f = fresh.split(',');
            f[6] = QByteArray("\"") + date + '"';
            lines << f.join(',');
        }
        const TCsvImportResult n = ImportMemberCsv(file(lines), {});
        int slot = int(p.stored.size()), line = 1;
        for (const auto& [date, want] : p.read) {
            ++line;
            const QString w = u(want);
            if (w.size() == 6) {
                EXPECT_EQ(SyainRec[++slot].Taisyoku.text(), w) << date;
                EXPECT_EQ(SplitImportLine(cp932::decode(MemberCsvLine(slot))).value(6).remove(u' '), u(date))
                    << "read back as the same date";
                continue;
            }
            const auto j = std::find_if(n.rejected.begin(), n.rejected.end(),
                                        [&](const TCsvReject& x) { return x.line == line; });
            ASSERT_NE(j, n.rejected.end()) << date;
            EXPECT_EQ(j->reason, u("退職年月日: ") + w);
        }
    }
}

// Columns moved, left out or added in a spreadsheet: the file is refused whole, naming the first
// column that differs, quoted or not, with or without the header's trailing comma.
TEST_F(MembCsvTest, HeaderWhoseNamesDifferIsRefusedNamingTheFirstColumn)
{
    staff();
    const QByteArray before = image();
    const QList<QByteArray> names = [] {
        QList<QByteArray> n = MemberCsvHeader().split(',');
        n.removeLast();
        return n;
    }();
    auto swapped = [](QList<QByteArray> l, int a, int b) {
        l.swapItemsAt(a, b);
        return l;
    };
    QList<QByteArray> noSeqNo = names, extra = names, renamed = names;
    noSeqNo.removeLast();
    extra << sj("備考");
    renamed[27] = sj("厚生年金基金");
    // Moved with its header: 基本給 250,000 and 役職手当 0 of employee 1 swap places.
    const QByteArray line = [&] {
        QList<QByteArray> f = MemberCsvLine(1).split(',');
        f.swapItemsAt(10, 11);  // the name holds a comma: every field is one further
        return f.join(',');
    }();
    const struct {
        QList<QByteArray> head;
        const char* error;
    } cases[] = {
        {swapped(names, 9, 10), "10列目が「基本給」ではなく「役職手当」です。"},
        {swapped(names, 24, 26), "25列目が「健康保険料」ではなく「厚生年金保険料」です。"},
        {renamed, "28列目が「厚生年金基金掛け金」ではなく「厚生年金基金」です。"},
        {noSeqNo, "32列目の「連番」がありません。"},
        {extra, "33列目の「備考」は余分な列です。"},
        {names.mid(0, 20), "21列目の「有休時支給額」がありません。"},
    };
    for (const auto& c : cases)
        for (const bool quote : {false, true})
            for (const bool trailing : {false, true}) {
                QList<QByteArray> head = c.head;
                if (quote)
                    for (QByteArray& n : head) n = '"' + n + '"';
                const TCsvImportResult r =
                    ImportMemberCsv(head.join(',') + (trailing ? "," : "") + "\r\n" + line + "\r\n", {});
                EXPECT_EQ(r.error, u("列の見出しが違うので処理を中断しました。\n") + u(c.error) +
                                       u("\n社員情報は変更していません。"))
                    << quote << trailing;
                EXPECT_EQ(r.stored, 0);
                EXPECT_TRUE(image() == before) << c.error;
            }
}

// A line break typed in a cell (a quoted LF in a file of CR LF records, or a CR LF) keeps the
// record whole: the employee's line is refused with its line number and name, and the lines after
// it keep theirs as the file shows them.
TEST_F(MembCsvTest, LineBreakInsideAQuotedFieldRefusesTheEmployeesLineByNumberAndName)
{
    staff();
    const QByteArray before = image();
    auto with = [](QByteArray line, int column, const QByteArray& value) {
        QList<QByteArray> f = line.split(',');
        f[column] = value;
        return f.join(',');
    };
    const QByteArray third = MemberCsvLine(3);  // no comma inside a field
    const QByteArray raised = with(MemberCsvLine(2), 9, "1300");
    const QByteArray badFresh = with(with(third, CsvKeyColumn, "\"\""), 3, "4");
    const struct {
        QByteArray lines;
        const char* refused;
        int nextLine;  // the physical line of the line after it
    } cases[] = {
        {with(third, 1, sj("\"総務\n経理\"")),
         "2 社員: 部署: 項目の中に改行があります（3行目まで続いています）", 4},
        {with(third, 0, sj("\"社員\r\n次郎\"")),
         "2 社員 次郎: 氏名: 項目の中に改行があります（3行目まで続いています）", 4},
        {with(third, 28, "\"a@b.c\n\n\"\"x\"\"\""),
         "2 社員: メールアドレス: 項目の中に改行があります（4行目まで続いています）", 5},
    };
    for (const auto& c : cases) {
        // The employee's line, then a good line of slot 2 and a bad new one.
        const QByteArray bytes = file({c.lines, raised, badFresh});
        const TCsvImportResult r = ImportMemberCsv(bytes, {});
        ASSERT_EQ(r.error, QString());
        QStringList refused;
        for (const TCsvReject& j : r.rejected)
            refused << QStringLiteral("%1 %2: %3").arg(j.line).arg(j.name, j.reason);
        ASSERT_EQ(refused.size(), 2) << ImportReport(r);
        EXPECT_EQ(refused[0], u(c.refused));
        EXPECT_TRUE(refused[1].startsWith(QStringLiteral("%1 社員: 支給形態").arg(c.nextLine + 1)))
            << refused[1];
        EXPECT_EQ(r.skipped, 0) << "not counted among the empty lines";
        EXPECT_EQ(r.stored, 1);
        EXPECT_EQ(int(SyainRec[2].Chingin[1]), 1300) << "the line after it is read";
        SyainRec[2].Chingin[1] = 1200;
        EXPECT_TRUE(image() == before);
        EXPECT_FALSE(ImportReport(r).contains(u("空の行"))) << ImportReport(r);
    }

    // A quote left open runs to the end of the file: one refusal says how far.
    const TCsvImportResult r = ImportMemberCsv(file({with(third, 31, "\"3"), "a,b,c", "d"}), {});
    ASSERT_EQ(r.rejected.size(), 1) << ImportReport(r);
    EXPECT_EQ(r.rejected[0].reason, u("連番: 項目の中に改行があります（4行目まで続いています）"));
    EXPECT_EQ(r.stored, 0);

    const struct {
        QByteArray bytes;
        QList<std::tuple<QByteArray, int, int>> records;
    } splits[] = {
        {"a,\"b\nc\",d\r\ne\r\n", {{"a,\"b\nc\",d", 1, 2}, {"e", 3, 3}}},
        {"\"x\"\"\n\"\"y\"\r\nz", {{"\"x\"\"\n\"\"y\"", 1, 2}, {"z", 3, 3}}},
        {"a\"b\nc\r\n", {{"a\"b", 1, 1}, {"c", 2, 2}}},  // a quote inside a bare field opens nothing
        {"\"a\"b\"\nc", {{"\"a\"b\"", 1, 1}, {"c", 2, 2}}},
    };
    for (const auto& s : splits) {
        QList<std::tuple<QByteArray, int, int>> got;
        for (const TCsvRecord& rec : SplitCsvRecords(s.bytes))
            got.append({rec.bytes, rec.line, rec.lastLine});
        EXPECT_EQ(got, s.records) << s.bytes.constData();
    }
}

// The export writes the slots in order; an import gives the employees without a serial number
// the numbers after the others', in slot order.
TEST_F(MembCsvTest, SerialNumbersZeroFollowTheNumberedInSlotOrderAfterARoundTrip)
{
    const uint16_t serials[] = {0, 2, 0, 1, 0, 3};
    for (int e = 1; e <= 6; ++e) {
        employee(e).SeqNo = serials[e - 1];
        SyainRec[e].Simei.setText(QStringLiteral("社員%1").arg(e));
    }
    const QList<QByteArray> lines = ExportMemberCsv().split('\n');
    ASSERT_EQ(lines.size(), 8);
    for (int e = 1; e <= 6; ++e) {
        const QStringList f = SplitImportLine(cp932::decode(lines[e].chopped(1)));
        EXPECT_EQ(f.value(0), QStringLiteral("社員%1").arg(e));
        EXPECT_EQ(f.value(31), QString::number(serials[e - 1]));
    }
    const TCsvImportResult r = ImportMemberCsv(ExportMemberCsv(), {});
    EXPECT_EQ(r.stored, 6);
    QList<int> got;
    for (int e = 1; e <= 7; ++e) got << SyainRec[e].SeqNo;
    EXPECT_EQ(got, QList<int>({4, 2, 5, 1, 6, 3, 0}));
}

TEST_F(MembCsvTest, SpreadsheetFileWithQuotesCommasAndDoubledQuotesRegistersNewEmployees)
{
    const FixedClock clock(QDateTime(QDate(2026, 4, 12), QTime(9, 5, 7)));
    employee(1).SeqNo = 1;
    const TCsvImportResult r = ImportMemberCsv(ReadAll(TestData(u("membcsv/spreadsheet.csv"))), {});
    ASSERT_EQ(r.error, QString());
    EXPECT_EQ(r.stored, 2);
    EXPECT_TRUE(r.rejected.isEmpty());
    // Read back through the export, which writes every column.
    EXPECT_EQ(MemberCsvLine(2),
              sj("\"山田, 太郎\",\"営業部\",\"一般社員\",1,0,0,\"\",1,1,250000,0,0,0,0,0,0,0,0,0,0,0,0,0,1,"
                 "12000,-1,22000,-1,\"yamada@example.jp\",\"6DL_I0507_001\",\"\",2"));
    EXPECT_EQ(MemberCsvLine(3),
              sj("\"鈴木 \"\"スズ\"\" 花子\",\"総務部\",\"パート\",3,1,1,\"2025/ 4/ 1\",0,0,1200,0,0,0,0,0,0,"
                 "300,0,0,0,0,0,0,1,-1,-1,-1,-1,\"\",\"6DL_I0507_002\",\"\",3"))
        << "no value carries over from the line before";
    EXPECT_EQ(std::make_tuple(SyainRec[2].Kubun, SyainRec[3].Kubun, SyainRec[2].SikUnit),
              std::make_tuple(2, 4, 2));
    EXPECT_EQ(SyainRec[3].Taisyoku.text(), u(" 7 4 1")) << "令和7";
    EXPECT_DOUBLE_EQ(KintaiRec[2].Kintai[kiSyukkin], 21) << "a monthly newcomer's attendance is primed";
}

TEST_F(MembCsvTest, DamagedFileStoresGoodLinesAndNamesTheBadOnesWithoutHalfStoring)
{
    staff();
    const QByteArray good = MemberCsvLine(3);  // "社員", no comma inside a field
    auto with = [](QByteArray line, int column, const QByteArray& value) {
        QList<QByteArray> f = line.split(',');
        f[column] = value;
        return f.join(',');
    };
    const QByteArray fresh = with(good, CsvKeyColumn, "\"\"");
    // Each bad line under a key of its own: a key twice in a file refuses both lines.
    auto keyed = [&](const QByteArray& line, int n) {
        return with(line, CsvKeyColumn, "\"990101_00000" + QByteArray::number(n) + '"');
    };
    const QByteArray lines = file({
        good,                                                        // 2: stored
        "",                                                          // 3: empty, skipped
        sj("\"短い\",\"総務部\",1,0"),                               // 4: short
        with(with(MemberCsvLine(2), 0, sj("\"改名\"")), 11, "1x0"),  // 5: a bad amount after a new name
        keyed(with(good, 3, "4"), 6),                                // 6: pay type 4
        keyed(with(good, 5, "2"), 7),                                // 7: tax column 2
        keyed(with(good, 0, "\" \""), 8),                            // 8: no name
        keyed(good, 9) + ",9",                                       // 9: a field too many
        with(fresh, 0, sj("\"あいうえおかきくけこさしすせそたちつてと\"")),  // 10: 40 bytes, cut to 20
        " , ,",                                                              // 11: blank, skipped
        keyed(good.left(good.lastIndexOf(',')), 12),                         // 12: the last column missing
        keyed(with(good, 1, sj("\"総務部")), 13),  // 13: a stray quote joins two fields
    });
    const TCsvImportResult r = ImportMemberCsv(lines + with(fresh, 0, sj("\"最後\"")), {});
    ASSERT_EQ(r.error, QString());
    EXPECT_EQ(r.stored, 3) << ImportReport(r);
    EXPECT_EQ(r.skipped, 2);
    QStringList named;
    for (const TCsvReject& j : r.rejected) named << QStringLiteral("%1 %2").arg(j.line).arg(j.name);
    EXPECT_EQ(named, QStringList({u("4 短い"), u("5 改名"), u("6 社員"), u("7 社員"), u("8 "), u("9 社員"),
                                  u("12 社員"), u("13 社員")}));
    EXPECT_EQ(r.rejected[1].reason, u("家族手当: 数値ではありません（1x0）"));
    EXPECT_EQ(SyainRec[2].Simei.text(), u("鈴木花子")) << "a refused line stores nothing of itself";
    EXPECT_EQ(SyainRec[4].Simei.text(), u("あいうえおかきくけこ"));
    EXPECT_EQ(SyainRec[5].Simei.text(), u("最後")) << "a last line without CR LF is stored";
    EXPECT_TRUE(SyainRec[6].MembKey.isEmpty());
    EXPECT_TRUE(ImportReport(r).contains(u("\n9行目 [氏名:社員] 項目が多すぎます（33項目）")))
        << ImportReport(r);
    // The short lines are named as the others, and only the blank ones are passed over.
    const QString report = ImportReport(r);
    for (const char* told : {"\n空の行 2件は読み飛ばしました。\n次の8件は読み込めませんでした。",
                             "\n4行目 [氏名:短い] 項目が足りません（4項目、32項目必要です）",
                             "\n12行目 [氏名:社員] 項目が足りません（31項目、32項目必要です）",
                             "\n13行目 [氏名:社員] 項目が足りません（4項目、32項目必要です）"})
        EXPECT_TRUE(report.contains(u(told))) << report;
}

// As a spreadsheet program saves the file: every text quoted (the header too), the trailing
// comma of the header kept or dropped, LF or CR LF.
TEST_F(MembCsvTest, SpreadsheetHeaderQuotedOrNotWithOrWithoutTrailingComma)
{
    staff();
    QList<QByteArray> names = MemberCsvHeader().split(',');
    names.removeLast();  // after the trailing comma
    for (const bool quote : {true, false})
        for (const bool trailing : {true, false})
            for (const char* end : {"\n", "\r\n"}) {
                QList<QByteArray> head = names;
                if (quote)
                    for (QByteArray& n : head) n = '"' + n + '"';
                QByteArray line = MemberCsvLine(1);
                line.replace("250000", "260000");
                const QByteArray bytes = head.join(',') + (trailing ? "," : "") + end + line + end;
                SyainRec[1].Chingin[1] = 250000;
                const TCsvImportResult r = ImportMemberCsv(bytes, {});
                EXPECT_EQ(r.error, QString()) << quote << trailing << end;
                EXPECT_EQ(r.stored, 1) << quote << trailing << end;
                EXPECT_EQ(int(SyainRec[1].Chingin[1]), 260000) << quote << trailing << end;
            }
    // Quoted, but not this file's names.
    EXPECT_EQ(ImportMemberCsv(sj("\"氏名\",\"部署\",\"社員区分\",\"支給\"\n"), {}).error,
              u("不正なデータファイルなので処理を中断しました。"));
}

// A clerk copies an employee's line to add another and keeps the key: wherever the copy stands,
// and whatever else is wrong with either line, every line of the key is refused and named, and
// the employee stays as it was.
TEST_F(MembCsvTest, EveryLineOfAKeyRepeatedInTheFileIsRefusedWithItsLineNumber)
{
    staff();
    QList<QByteArray> head = MemberCsvHeader().split(',');
    head.removeLast();
    for (QByteArray& n : head) n = '"' + n + '"';
    auto with = [](QByteArray line, int column, const QByteArray& value) {
        QList<QByteArray> f = line.split(',');
        f[column] = value;
        return f.join(',');
    };
    const QByteArray original = MemberCsvLine(3);  // no comma inside a field
    const QByteArray copy = with(with(original, 0, sj("\"社員 次郎\"")), 9, "210000");
    const QByteArray third = with(copy, 0, sj("\"社員 三郎\""));
    const QByteArray badOriginal = with(original, 3, "4");  // pay type 4
    const QByteArray other = MemberCsvLine(2);
    const QString key = u("260401_090003");
    struct Case {
        QList<QByteArray> lines;
        QStringList refused;  // line and name
        const char* lineList;
        int stored;
    } const cases[] = {
        {{copy, original}, {u("2 社員 次郎"), u("3 社員")}, "2, 3", 0},
        {{badOriginal, copy}, {u("2 社員"), u("3 社員 次郎")}, "2, 3", 0},
        {{original, copy, other, third}, {u("2 社員"), u("3 社員 次郎"), u("5 社員 三郎")}, "2, 3, 5", 1},
    };
    const QByteArray employee3(reinterpret_cast<const char*>(&SyainRec[3]), sizeof SyainRec[3]);
    for (const Case& c : cases) {
        int asked = 0;
        const TCsvImportResult r = ImportMemberCsv(head.join(',') + "\n" + c.lines.join("\n") + "\n",
                                                   [&](const QString&) { return ++asked, true; });
        ASSERT_EQ(r.error, QString());
        EXPECT_EQ(r.stored, c.stored);
        EXPECT_EQ(asked, 0);
        QStringList refused;
        for (const TCsvReject& j : r.rejected) {
            refused << QStringLiteral("%1 %2").arg(j.line).arg(j.name);
            EXPECT_EQ(j.reason,
                      QStringLiteral("UniqueKey: %1行目が同じキーです（%2）").arg(u(c.lineList), key));
        }
        EXPECT_EQ(refused, c.refused);
        EXPECT_TRUE(QByteArray(reinterpret_cast<const char*>(&SyainRec[3]), sizeof SyainRec[3]) == employee3)
            << "the employee of the key changed";
        EXPECT_TRUE(SyainRec[4].MembKey.isEmpty()) << "nothing registered";
        for (const QString& line : c.refused)
            EXPECT_TRUE(ImportReport(r).contains(u("\n") + line.section(u' ', 0, 0) + u("行目 [氏名:") +
                                                 line.section(u' ', 1) + u("] UniqueKey: ")))
                << ImportReport(r);
    }
}

// Every column with a range: its two ends are taken, the first value beyond each is refused with
// its line and the reason.
TEST_F(MembCsvTest, EveryColumnRefusesTheFirstValueBeyondEachEnd)
{
    staff();
    QByteArray fresh = MemberCsvLine(3);
    fresh.replace("\"260401_090003\"", "\"\"");
    auto with = [](QByteArray line, int column, const QByteArray& value) {
        QList<QByteArray> f = line.split(',');
        f[column] = value;
        return f.join(',');
    };
    const QStringList names = cp932::decode(MemberCsvHeader()).split(u',');
    struct Range {
        QList<int> columns;
        const char *lo, *hi, *below, *above, *range;
        const char* years = nullptr;  // the dates of years a 令和8 period reads back as their own
    } const ranges[] = {
        {{3}, "1", "3", "0", "4", "1～3"},
        {{4, 5, 23}, "0", "1", "-1", "2", "0か1"},
        {{7, 8}, "-9", "99", "-10", "100", "-9～99"},
        {{9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22},
         "-999999",
         "9999999",
         "-1000000",
         "10000000",
         "-999999～9999999"},
        {{24, 25, 26, 27}, "-99999", "999999", "-100000", "1000000", "-99999～999999"},
        {{31}, "0", "90", "-1", "91", "0～90"},
        // The retirement date: the year, the month and the day.
        {{6}, "\"1998/1/1\"", "\"2027/12/31\"", "\"1997/12/31\"", "\"2028/1/1\"", nullptr, "1998年～2027年"},
        {{6}, "\"2024/1/1\"", "\"2024/12/1\"", "\"2024/0/1\"", "\"2024/13/1\"", nullptr},
        {{6}, "\"2024/4/1\"", "\"2024/4/31\"", "\"2024/4/0\"", "\"2024/4/32\"", nullptr},
    };
    QList<QByteArray> lines;
    QStringList expected;
    int taken = 0, highestPay = 0;
    for (const Range& g : ranges)
        for (int c : g.columns) {
            for (const char* v : {g.lo, g.hi}) {
                lines << with(fresh, c, v), ++taken;
                if (c == 9 && v == g.hi) highestPay = 3 + taken;
            }
            for (const char* v : {g.below, g.above}) {
                lines << with(fresh, c, v);
                const QString value = u(v).remove(u'"');
                expected
                    << QStringLiteral("%1 %2: %3")
                           .arg(lines.size() + 1)
                           .arg(names[c])
                           .arg(g.range ? QStringLiteral("%1ではありません（%2）").arg(u(g.range), value)
                                : g.years
                                    ? QStringLiteral("%1の日付ではありません（%2）").arg(u(g.years), value)
                                    : QStringLiteral("日付ではありません（%1）").arg(value));
            }
        }
    const TCsvImportResult r = ImportMemberCsv(file(lines), {});
    ASSERT_EQ(r.error, QString());
    QStringList refused;
    for (const TCsvReject& j : r.rejected) refused << QStringLiteral("%1 %2").arg(j.line).arg(j.reason);
    EXPECT_EQ(refused, expected);
    EXPECT_EQ(r.stored, taken);
    EXPECT_EQ(SyainRec[3 + taken].Simei.text(), u("社員")) << "every end taken is registered";
    EXPECT_EQ(int(SyainRec[highestPay].Chingin[1]), 9999999);
    EXPECT_EQ(SyainRec[3 + taken].Taisyoku.text(), u(" 6 431"));
}

// A CR inside a quoted address would reach the mail header: the line is refused like any other bad
// line, and a tab or any other control character as well.
TEST_F(MembCsvTest, ControlCharactersInAnAddressRefuseTheLine)
{
    staff();
    const QByteArray good = MemberCsvLine(3);
    // Each line under a key of its own: a key twice in a file refuses both lines.
    auto withMail = [&](const QByteArray& value, const QByteArray& key = {}) {
        QList<QByteArray> f = good.split(',');
        f[28] = value;
        if (!key.isEmpty()) f[CsvKeyColumn] = key;
        return f.join(',');
    };
    const TCsvImportResult r =
        ImportMemberCsv(file({withMail("\"a@b.c\rBcc: e@x.y\"", "\"990101_000001\""),
                              withMail("\"a@b.c\tx\"", "\"990101_000002\""), withMail("\"ok@b.c\"")}),
                        {});
    ASSERT_EQ(r.error, QString());
    ASSERT_EQ(r.rejected.size(), 2) << ImportReport(r);
    EXPECT_EQ(r.rejected[0].line, 2);
    EXPECT_EQ(r.rejected[0].reason, u("メールアドレス: 改行などの制御文字があります"));
    EXPECT_EQ(r.rejected[1].line, 3);
    EXPECT_EQ(r.stored, 1);
    EXPECT_EQ(SyainRec[3].MailAdrs.text(), u("ok@b.c"));
}

TEST_F(MembCsvTest, ImportsThatStopChangeNothing)
{
    staff();
    for (int e = 4; e <= MaxEmployee - 1; ++e) employee(e);
    const QByteArray before = image();
    QByteArray updated = MemberCsvLine(1);
    updated.replace("250000", "260000");
    QByteArray fresh = MemberCsvLine(3);
    fresh.replace("260401_090003", "");
    const struct {
        QByteArray bytes;
        const char* error;
    } cases[] = {
        {file({updated, fresh, fresh}),
         "社員情報の登録上限に達したので中断します。\n社員情報は変更していません。"},
        {sj("氏名,部署\r\n") + updated, "不正なデータファイルなので処理を中断しました。"},
        {MemberCsvHeader().replace("FileVer", "Version") + "\r\n" + updated,
         "ファイルフォーマットが違うので処理を中断しました。"},
    };
    for (const auto& c : cases) {
        const TCsvImportResult r = ImportMemberCsv(c.bytes, {});
        EXPECT_EQ(r.error, u(c.error));
        EXPECT_EQ(r.full, &c == &cases[0]);
        EXPECT_EQ(r.stored, 0);
        EXPECT_TRUE(image() == before) << c.error;
    }
}

TEST_F(MembCsvTest, UnknownKeysAskOldLayoutKeepsSerialNumbersAndLineEnds)
{
    staff();
    QByteArray stranger = MemberCsvLine(3);
    stranger.replace("260401_090003", "990101_000000").replace(sj("\"社員\""), sj("\"他社\""));
    QStringList asked;
    TCsvImportResult r =
        ImportMemberCsv(file({stranger}), [&](const QString& n) { return asked << n, false; });
    EXPECT_EQ(asked, QStringList({u("他社")}));
    EXPECT_EQ(std::make_pair(r.stored, r.declined), std::make_pair(0, 1));

    // Layout 1.0 ends at FileVer: serial numbers are not read. LF alone ends lines too.
    QByteArray old = MemberCsvHeader();
    old.chop(old.size() - old.indexOf(sj("連番")));
    old.replace("1.1", "1.0");
    QByteArray line = MemberCsvLine(1);
    line.chop(2);  // ",2"
    r = ImportMemberCsv(old + "\n" + line.replace("\"yamada", "\"taro") + "\n", {});
    EXPECT_EQ(r.stored, 1) << ImportReport(r);
    EXPECT_EQ(SyainRec[1].MailAdrs.text(), u("taro@example.jp"));
    EXPECT_EQ(SyainRec[1].SeqNo, 2);

    struct Case {
        QByteArray bytes;
        QList<QByteArray> lines;
    } const cases[] = {
        {"a\r\nb\nc\rd\r\n\r\ne", {"a", "b", "c\rd", "", "e"}},
        {"a\r\n", {"a"}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitCsvLines(c.bytes), c.lines) << c.bytes.constData();
    EXPECT_EQ(SplitImportLine(u("\"a\"\"b\",,c,\"d,e\"x,")), QStringList({u("a\"b"), "", u("c"), u("d,ex")}));
}

// The file menu's commands: the file chosen in the dialog, written private, read back.
class MembCsvMenuTest : public WithForms<MembCsvTest> {
  protected:
    static void choose(const QString& path)
    {
        WhenShown(
            [] {
                QWidget* found = nullptr;
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (qobject_cast<QFileDialog*>(w) && w->isVisible()) found = w;
                return found;
            },
            [path] {
                auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                ASSERT_TRUE(d);
                d->findChild<QLineEdit*>(u("fileNameEdit"))->setText(path);
                auto* box = d->findChild<QDialogButtonBox*>(u("buttonBox"));
                (box->button(QDialogButtonBox::Save) ? box->button(QDialogButtonBox::Save)
                                                     : box->button(QDialogButtonBox::Open))
                    ->click();
            });
    }
    ScriptedMsgBox msg_;
};

TEST_F(MembCsvMenuTest, ExportAndImportThroughTheFileMenu)
{
    staff();
    fmMain->FillMemberList(1);
    const QString path = dir() + u("社員.csv");
    msg_.answer(MsgResult::Yes);
    choose(path);
    fmMain->action("mnExport")->trigger();
    EXPECT_EQ(ReadAll(path), ExportMemberCsv());
    EXPECT_EQ(FileMode(path), 0600);
    EXPECT_EQ(msg_.lastText(), u("指定ファイルに出力しました。"));

    SyainRec[1].Chingin[1] = 1;
    fmMain->action("mnAllOnOffP")->trigger();  // untick everybody
    msg_.answer(MsgResult::Yes);
    choose(path);
    fmMain->action("mnInport")->trigger();
    EXPECT_EQ(msg_.shown().front().text, u("社員情報データをCSVファイルに出力します。"));
    EXPECT_EQ(msg_.shown()[2].text, u("社員情報のCSVファイルを読み、社員情報を更新します。"));
    EXPECT_EQ(msg_.lastText(), u("3件のデータで社員情報を更新しました。"));
    EXPECT_EQ(int(SyainRec[1].Chingin[1]), 250000);
    EXPECT_EQ(fmMain->tickedSlots(), QList<int>({1, 3})) << "all ticked; slot 2 is retired";
}

}  // namespace
