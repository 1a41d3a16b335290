// The exports over the print dialog's company of three (January to May saved): CSV bytes read
// back with iconv, workbooks unzipped and their sheet XML read, totals against the saved records
// and the printed documents' sums, and the faults of the old exports.
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

#include "payroll/common.h"
#include "platform/shell.h"
#include "print/exports.h"
#include "print/ledger.h"
#include "tests/print/dialogfixture.h"

namespace {

class ExportTest : public PrintWindowTest {
  protected:
    void SetUp() override
    {
        PrintWindowTest::SetUp();
        SetShellOpener([this](const QString& f) {
            opened_ << f;
            return openWorks_;
        });
    }
    void TearDown() override
    {
        SetShellOpener(nullptr);
        PrintWindowTest::TearDown();
    }
    // Readies the dialog's lists for tag, as its showing does, and runs the export to file.
    bool exportTo(int tag, const QString& file, int mode = 0)
    {
        const TListSlots list{{1, 2, 3}, {1, 2, 3}};
        PlanPrint(tag, list, mode);
        return RunExport(tag, {file, file.endsWith(u(".xlsx"))}, list, mode);
    }
    // The lines of a CSV file, decoded by iconv, which must take every byte.
    static QStringList csv(const QString& path)
    {
        QProcess p;
        p.start(u("iconv"), {u("-f"), u("CP932"), u("-t"), u("UTF-8"), path});
        p.waitForFinished();
        EXPECT_EQ(p.exitCode(), 0) << path;
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        EXPECT_TRUE(text.endsWith(u("\r\n")));
        EXPECT_EQ(text.count(u'\n'), text.count(u("\r\n"))) << "CRLF only";
        QStringList lines = text.split(u("\r\n"));
        lines.removeLast();
        return lines;
    }
    static QString line(const QStringList& lines, const QString& name)
    {
        for (const QString& l : lines)
            if (l.startsWith(name + u',')) return l;
        return {};
    }
    static QString unzip(const QString& file, const QString& member)
    {
        return run(u("unzip"), {u("-p"), file, member});
    }
    // A cell of a sheet: its text, marked "s:" when stored as a string, "n:" as a number.
    static QString cell(const QString& file, int sheet, const QString& ref)
    {
        const QString xml = unzip(file, QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet));
        const auto m = QRegularExpression(u("<c r=\"") + ref + u("\"([^>]*)><v>([^<]*)</v>")).match(xml);
        if (!m.hasMatch()) return {};
        if (!m.captured(1).contains(u("t=\"s\""))) return u("n:") + m.captured(2);
        QStringList strings;
        auto it = QRegularExpression(u("<si><t[^>]*>([^<]*)</t></si>"))
                      .globalMatch(unzip(file, u("xl/sharedStrings.xml")));
        while (it.hasNext()) strings << it.next().captured(1);
        return u("s:") + strings.value(m.captured(2).toInt());
    }
    static QStringList sheetNames(const QString& file)
    {
        QStringList names;
        auto it =
            QRegularExpression(u("<sheet name=\"([^\"]*)\"")).globalMatch(unzip(file, u("xl/workbook.xml")));
        while (it.hasNext()) names << it.next().captured(1);
        return names;
    }
    // Gross pay of slot over the saved months.
    static int64_t saved(int slot)
    {
        TYearData year;
        int64_t sum = 0;
        for (int p = 1; p <= 5; ++p) sum += year.period(p).sikyu[slot].SikyuGoukei;
        return sum;
    }
    // Answers the export's save dialog with file of the type its suffix says, as a user types it.
    static void choose(const QString& file, std::function<void(QFileDialog*)> look = {})
    {
        WhenShown([] { return fmInji->findChild<QFileDialog*>(u("SaveDlg")); },
                  [=] {
                      auto* save = fmInji->findChild<QFileDialog*>(u("SaveDlg"));
                      if (look) look(save);
                      save->selectNameFilter(file.endsWith(u(".csv")) ? u("CSVﾌｧｲﾙ (*.csv)")
                                                                      : u("Excelﾌｧｲﾙ (*.xlsx)"));
                      save->findChild<QLineEdit*>(u("fileNameEdit"))->setText(file);
                      static_cast<QDialog*>(save)->accept();
                  });
    }
    QStringList opened_;
    bool openWorks_ = true;
};

TEST_F(ExportTest, LedgerCsvPerEmployeeWithTheSavedTotals)
{
    ASSERT_TRUE(exportTo(499, dir() + u("給与台帳.csv")));
    const QStringList lines = csv(dir() + u("01青木健一_給与台帳.csv"));
    ASSERT_EQ(lines.size(), 41) << "the heading and the 40 rows of the default flags";
    EXPECT_EQ(lines[0], u(",１月給与,２月給与,３月給与,４月給与,５月給与,６月給与,７月給与,８月給与,９月給与,"
                          "10月給与,11月給与,12月給与,夏期賞与,冬期賞与,特別賞与,合計"));
    EXPECT_EQ(line(lines, u("基本給")),
              u("基本給,250000,250000,250000,250000,250000,0,0,0,0,0,0,0,0,0,0,1250000,"));
    for (const QString& l : lines.mid(1)) EXPECT_EQ(l.count(u','), 17) << l;
    EXPECT_TRUE(line(lines, u("支給項目合計")).endsWith(QStringLiteral(",%1,").arg(saved(1))));
    for (const char* f : {"02佐藤美咲_給与台帳.csv", "03鈴木大輔_給与台帳.csv"})
        EXPECT_EQ(FileMode(dir() + u(f)), 0600) << f;

    // "none.csv" in any case: files named after the employees; the same name twice gives two files.
    SyainRec[3].Simei.setText(u("青木/健一"));
    SyainRec[2].Simei.setText(u("青木/健一"));
    ASSERT_TRUE(exportTo(499, dir() + u("NONE.csv")));
    EXPECT_TRUE(QFileInfo::exists(dir() + u("青木健一.csv")));
    EXPECT_EQ(csv(dir() + u("青木_健一.csv")).size(), 41);
    EXPECT_EQ(csv(dir() + u("青木_健一(2).csv")).size(), 41);

    // Files there from before are asked about; No stops the export and keeps what was written.
    WriteAll(dir() + u("青木_健一.csv"), "mine");
    msg_.answer(MsgResult::Yes);
    msg_.answer(MsgResult::No);
    notices_->clear();
    EXPECT_FALSE(exportTo(499, dir() + u("none.csv")));
    ASSERT_EQ(msg_.shown().size(), 2u);
    // The writing notice is up while files are written and down for each question.
    std::vector<RecordedNotices::Call::Kind> notices;
    for (const auto& c : notices_->calls()) notices.push_back(c.kind);
    using K = RecordedNotices::Call::Kind;
    EXPECT_EQ(notices, (std::vector{K::Show, K::Close, K::Show, K::Close}));
    EXPECT_EQ(notices_->texts(), std::vector<QString>(2, u("指定されたファイルに出力中です。")));
    EXPECT_EQ(msg_.lastText(),
              u("同名のファイルが存在します。上書きしますか？\n\n") + dir() + u("青木_健一.csv"));
    EXPECT_EQ(ReadAll(dir() + u("青木_健一.csv")), QByteArray("mine"));

    // Characters a Windows share or a USB stick refuses in a name.
    SyainRec[1].Simei.setText(u("山田 \"ヤマ\", 太郎"));
    ASSERT_TRUE(exportTo(401, dir() + u("給与台帳.csv")));
    EXPECT_EQ(csv(dir() + u("01山田 _ヤマ_, 太郎_給与台帳.csv")).size(), 41);
}

TEST_F(ExportTest, WorkbookCellsSheetsAndWidths)
{
    SyainRec[2].Simei.setText(u("=1+1"));
    SyainRec[3].Simei.setText(u("=1+1"));
    const QString file = dir() + u("台帳.xlsx");
    ASSERT_TRUE(exportTo(499, file));
    EXPECT_EQ(sheetNames(file), QStringList({u("青木健一"), u("=1+1"), u("=1+1(2)")}));
    EXPECT_EQ(FileMode(file), 0600);
    EXPECT_EQ(QDir(dir()).entryList(QDir::Hidden | QDir::Files).filter(u(".xlsx.")), QStringList());
    struct Case {
        const char* ref;
        const char* value;
    } const cases[] = {{"B1", "s:１月給与"}, {"A2", "s:基本給"}, {"B2", "n:250000"}, {"Q2", "n:1250000"},
                       {"G2", "n:0"},        {"Q1", "s:合計"},   {"R2", ""}};
    for (const Case& c : cases) EXPECT_EQ(cell(file, 1, u(c.ref)), u(c.value)) << c.ref;
    EXPECT_TRUE(unzip(file, u("xl/worksheets/sheet2.xml")).contains(u("<col min=\"1\" max=\"1\" width=\"14")))
        << "the widest name, 12 bytes, and 2";

    // The list: the "=" name stays a string; the sheet takes the file's name.
    const QString list = dir() + u("令和8年･5月分給与一覧.xlsx");
    ASSERT_TRUE(exportTo(505, list));
    EXPECT_EQ(sheetNames(list), QStringList({u("令和8年･5月分給与一覧")}));
    EXPECT_EQ(cell(list, 1, u("C1")), u("s:=1+1"));
    EXPECT_EQ(cell(list, 1, u("E1")), u("s:合 計(3名)"));
}

// Hours stay text in the workbooks ("7:30", never a number a spreadsheet shows otherwise),
// beside the attendance days and the ledger's totals, which are numbers; with the decimal display
// the hours are numbers too.
TEST_F(ExportTest, WorkbookHoursStayTextBesideDecimalDaysAndTotals)
{
    for (int m : {4, 5}) {
        loadPeriod(m);
        KintaiRec[1].Kintai[kiJitudou] = 7.5;
        KintaiRec[1].Kintai[kiFutuZangyo] = 1.25;
        WritePeriod();
    }
    // Days and two kinds of hours in place of the three fixed allowances.
    WriteAll(IniFileName, "[Option]\r\nDaichoAdd=01000001100000000\r\nDaichoDel=111\r\n");
    PlanPrint(499, {{1, 2, 3}, {1, 2, 3}}, 0);
    const QList<TDaichoRow> rows = DaichoRows();
    const auto rowOf = [&](const char* name) {
        for (qsizetype i = 0; i < rows.size(); ++i)
            if (rows[i].Name == u(name)) return QString::number(i + 2);  // under the heading
        ADD_FAILURE() << name << " is no row of the ledger";
        return QString();
    };
    const QString hours = rowOf("実働時間"), overtime = rowOf("普通残業時間"), days = rowOf("出勤日数");
    const struct {
        int style;
        const char *hours, *overtime;
    } cases[] = {{1, "s:7:30", "s:1:15"}, {0, "n:7.5", "n:1.25"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        OptionRec.TimeStyle = c.style;
        const QString ledger = dir() + QStringLiteral("台帳%1.xlsx").arg(c.style);
        ASSERT_TRUE(exportTo(499, ledger));
        struct Cell {
            QString ref, value;
        } const cells[] = {
            {u("E") + hours, u(c.hours)},       {u("F") + hours, u(c.hours)},
            {u("F") + overtime, u(c.overtime)}, {u("D") + hours, c.style ? u("s:0:00") : u("n:0")},
            {u("Q") + hours, u("n:15")},        {u("Q") + overtime, u("n:2.5")},
            {u("F") + days, u("n:20")},         {u("Q") + days, u("n:100")},
        };
        for (const Cell& x : cells) EXPECT_EQ(cell(ledger, 1, x.ref), x.value) << x.ref.toStdString();
        EXPECT_EQ(cell(ledger, 2, u("F") + hours), c.style ? u("s:0:00") : u("n:0")) << "佐藤美咲";

        const QString list = dir() + QStringLiteral("一覧%1.xlsx").arg(c.style);
        ASSERT_TRUE(exportTo(505, list));
        EXPECT_EQ(cell(list, 1, u("B") + hours), u(c.hours));
        EXPECT_EQ(cell(list, 1, u("B") + overtime), u(c.overtime));
        EXPECT_EQ(cell(list, 1, u("B") + days), u("n:20"));
    }
}

TEST_F(ExportTest, ListAndGrandTotalEqualThePrintedSums)
{
    const QList<TDaichoRow> rows = DaichoRows();
    const qsizetype gross =
        std::find_if(rows.begin(), rows.end(),
                     [](const TDaichoRow& r) { return r.Kind == DaichoRowKind::PaySum; }) -
        rows.begin();
    int n = 0;
    const double printed = IchiranTotals(rows, 0, {}, n)[size_t(gross)];
    ASSERT_TRUE(exportTo(505, dir() + u("list.csv")));
    QStringList lines = csv(dir() + u("list.csv"));
    EXPECT_EQ(lines[0], u(",青木健一,佐藤美咲,鈴木大輔,合 計(3名),"));
    EXPECT_TRUE(line(lines, u("支給項目合計")).endsWith(QStringLiteral(",%1,").arg(qint64(printed))));

    // By department: a subtotal after each group, attendance left empty under it.
    SyainRec[1].Busyo.setText(u("製造部")), SyainRec[2].Busyo.setText(u("営業部"));
    SyainRec[3].Busyo.setText(u("製造部"));
    WriteAll(IniFileName, "[Option]\r\nDaichoAdd=01\r\nDaichoDel=1\r\n");
    ASSERT_TRUE(exportTo(505, dir() + u("list.csv"), 2));
    lines = csv(dir() + u("list.csv"));
    EXPECT_EQ(lines[0], u(",青木健一,鈴木大輔,製造部計(2名),佐藤美咲,営業部計(1名),合 計(3名),"));
    EXPECT_EQ(line(lines, u("出勤日数")), u("出勤日数, 20.00, 20.00,, 20.00,,"));

    const int64_t all = saved(1) + saved(2) + saved(3);
    ASSERT_TRUE(exportTo(600, dir() + u("grand.csv")));
    lines = csv(dir() + u("grand.csv"));
    EXPECT_EQ(lines.size(), 40) << "no attendance rows; one row hidden";
    EXPECT_TRUE(line(lines, u("支給項目合計")).endsWith(QStringLiteral(",0,%1,").arg(all)));
    ASSERT_TRUE(exportTo(600, dir() + u("grand.xlsx")));
    EXPECT_EQ(sheetNames(dir() + u("grand.xlsx")), QStringList({u("令和8年 総合計台帳")}));
    EXPECT_EQ(cell(dir() + u("grand.xlsx"), 1, u("Q19")), QStringLiteral("n:%1").arg(all));
}

TEST_F(ExportTest, NoCellDroppedNoLabelMovedAndSumsBeyond32Bits)
{
    // Ninety employees: rows of 92 fields, far past 999 characters, whole in both targets.
    QList<int> lines;
    for (int e = 1; e <= 90; ++e) {
        employee(e, "社員", 2000000000);
        SyainRec[e].Simei.setText(QStringLiteral("社員%1").arg(e));
        SikyuRec[e].SikyuGoukei = 2000000000;
        lines << e;
    }
    // A user item named with a comma and quotes, another left without a name.
    OptionRec.FixTeate[1] = u("手当,\"A\"");
    OptionRec.FixTeate[2].clear();
    PlanPrint(505, {lines, {}}, 0);
    ASSERT_TRUE(OutIchiranCSV({dir() + u("l.csv")}, lines, 0));
    const QStringList csvLines = csv(dir() + u("l.csv"));
    const QString gross = line(csvLines, u("支給項目合計"));
    EXPECT_EQ(gross.count(u','), 92);
    EXPECT_TRUE(gross.endsWith(u(",180000000000,"))) << "ninety times two thousand million";
    EXPECT_TRUE(csvLines.contains(u("\"手当,\"\"A\"\"\",0") + u(",0").repeated(90) + u(",")));
    EXPECT_TRUE(csvLines[5].startsWith(u(",0,0"))) << "the unnamed item keeps its row: " << csvLines[5];
    ASSERT_TRUE(OutIchiranCSV({dir() + u("l.xlsx"), true}, lines, 0));
    EXPECT_EQ(cell(dir() + u("l.xlsx"), 1, u("CN1")), u("s:合 計(90名)"));
    EXPECT_EQ(cell(dir() + u("l.xlsx"), 1, u("CN20")), u("n:180000000000"));
    EXPECT_EQ(cell(dir() + u("l.xlsx"), 1, u("A5")), u("s:手当,\"A\""));
}

TEST_F(ExportTest, FullDiskLeavesNoFileAndTheDialogSaysSo)
{
    const QString folder = dir() + u("full/");
    FullFileSystem disk(folder);
    if (!disk.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    disk.fill();
    for (const char* name : {"grand.csv", "grand.xlsx", "給与台帳.csv", "給与台帳.xlsx"}) {
        const QString file = folder + u(name);
        const int tag = QString::fromUtf8(name).startsWith(u("grand")) ? 600 : 499;
        fmInji->setDocument(tag, u("帳票"));
        fmInji->show();
        msg_.clear();
        notices_->clear();
        choose(file);
        child<QPushButton>(fmInji, "btOutCSV")->click();
        ASSERT_EQ(msg_.shown().size(), 1u) << name;
        EXPECT_TRUE(msg_.lastText().startsWith(u("ファイルに出力できませんでした。\n"))) << msg_.lastText();
        EXPECT_TRUE(msg_.lastText().contains(u("ディスクの空き容量が足りません。"))) << msg_.lastText();
        EXPECT_EQ(notices_->calls().back().kind, RecordedNotices::Call::Close);
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList({u("filler")})) << name;
        EXPECT_TRUE(opened_.isEmpty());
        fmInji->hide();
    }
}

TEST_F(ExportTest, ButtonForTheExportedKindsOpensTheWorkbook)
{
    for (const bool opens : {true, false}) {
        openWorks_ = opens;
        fmInji->setDocument(505, u("月別給与/賞与一覧"));
        fmInji->show();
        msg_.clear();  // the first opening's word on the missing print service
        QString proposed;
        const QString file = dir() + QStringLiteral("一覧%1.xlsx").arg(opens);
        choose(file, [&](QFileDialog* save) { proposed = save->selectedFiles().value(0); });
        child<QPushButton>(fmInji, "btOutCSV")->click();
        EXPECT_TRUE(proposed.endsWith(u("/令和8年･5月分給与一覧.xlsx"))) << proposed;
        EXPECT_EQ(msg_.shown()[0].text, u("月別給与/賞与一覧をファイルに出力しました。"));
        EXPECT_EQ(opened_.last(), file);
        EXPECT_EQ(msg_.shown().size(), opens ? 1u : 2u);
        if (!opens) {
            EXPECT_TRUE(msg_.lastText().startsWith(u("ファイルは書き込みました。\n") + dir()))
                << msg_.lastText();
        }
        EXPECT_FALSE(fmInji->isVisible());
    }
}

// The desktop's opener is waited for: a workbook no program opens is told when the opener gives
// up (the file stays); one it opens is not. The opener runs on without holding up the program.
TEST_F(ExportTest, AWorkbookNoProgramOpensIsTold)
{
    SetShellOpener(nullptr);
    const QString bin = dir() + u("bin/");
    ASSERT_TRUE(QDir().mkpath(bin));
    // xdg-open as it is where no program takes .xlsx: it fails after looking (here: unless the
    // name says "opens"), and tells which file it was given.
    WriteAll(bin + u("xdg-open"),
             "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$0.files\"\n"
             "case \"$1\" in *opens*) exit 0;; esac\necho 'xdg-open: no method available' >&2\nexit 3\n");
    QFile::setPermissions(bin + u("xdg-open"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin) + ":" + path);
    fmInji->setDocument(505, u("月別給与/賞与一覧"));
    fmInji->show();
    for (const char* name : {"opens.xlsx", "一覧.xlsx"}) {
        msg_.clear();
        choose(dir() + u(name));
        child<QPushButton>(fmInji, "btOutCSV")->click();
        EXPECT_EQ(msg_.lastText(), u("月別給与/賞与一覧をファイルに出力しました。"));
        fmInji->show();
    }
    ASSERT_TRUE(QTest::qWaitFor([this] { return msg_.shown().size() == 2; }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the openers' ends
    qputenv("PATH", path);
    EXPECT_EQ(msg_.lastText(), u("ファイルは書き込みました。\n%1\n表計算ソフトで開けませんでした。"
                                 "ファイルマネージャーなどから開いてください。")
                                   .arg(dir() + u("一覧.xlsx")));
    EXPECT_EQ(msg_.shown().back().type, MsgType::Warning);
    EXPECT_EQ(QString::fromUtf8(ReadAll(bin + u("xdg-open.files"))),
              dir() + u("opens.xlsx\n") + dir() + u("一覧.xlsx\n"));
    EXPECT_TRUE(QFileInfo(dir() + u("一覧.xlsx")).size() > 0) << "the file stays";
    fmInji->hide();
}

// The old list layout (category subtotals on paper) is a way of printing: the export of the plain
// list still writes the plain table.
TEST_F(ExportTest, PlainListExportsWhileTheOldLayoutPrints)
{
    OptionRec.OldIchiran = 1;
    fmInji->setDocument(505, u("月別給与/賞与一覧"));
    fmInji->show();
    msg_.clear();
    auto* button = child<QPushButton>(fmInji, "btOutCSV");
    EXPECT_TRUE(button->isEnabled());
    const QString file = dir() + u("old.csv");
    choose(file);
    button->click();
    EXPECT_EQ(msg_.lastText(), u("月別給与/賞与一覧をファイルに出力しました。"));
    const QStringList lines = csv(file);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines[0], u(",青木健一,佐藤美咲,鈴木大輔,合 計(3名),"));
    EXPECT_EQ(line(lines, u("基本給")), u("基本給,250000,220000,310000,780000,"));
}

}  // namespace

TEST(ExportFrameTest, NumbersSheetNamesAndFileNames)
{
    const std::pair<double, const char*> numbers[] = {{-1234, "-1234"},
                                                      {12.5, "12.5"},
                                                      {0.1 + 0.2, "0.3"},
                                                      {-0.0, "0"},
                                                      {2147483647.0 * 15, "32212254705"}};
    for (const auto& [v, text] : numbers) EXPECT_EQ(NumberText(v), u(text)) << v;
    EXPECT_EQ(
        ValidSheetNames({u("a/b:c"), u("'x'"), u(""), u("history"), u("A/B:C"), QString(40, u'長')}),
        QStringList({u("a_b_c"), u("x"), u("Sheet"), u("historySheet"), u("A_B_C(2)"), QString(31, u'長')}));
    EXPECT_EQ(SafeFileName(u("..\\a/b\tc"), u("社員01")), u("_a_b_c"));
    EXPECT_EQ(SafeFileName(u(" .. "), u("社員01")), u("社員01"));
    EXPECT_EQ(SafeFileName(u("a\"b:c*d?e<f>g|h\x7f")), u("a_b_c_d_e_f_g_h_"));
}
