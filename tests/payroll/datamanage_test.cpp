// Backup and restore on a data root of two company data sets: the files a backup holds, the bytes a
// restore gives back, the folders refused, restores stopped by an unreadable file, a file size
// limit or a full disk leaving the data as it was; the deletion of a period; new years and codes.
#include "payroll/datamanage.h"

#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <optional>

#include "payroll/corpdata.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/periodselect.h"
#include "payroll/yearfile.h"
#include "platform/errors.h"
#include "platform/inifile.h"
#include "tests/testutil.h"

namespace {

using Tree = QMap<QString, QByteArray>;

// Every file under folder (hidden ones and links included) by its relative path.
Tree tree(const QString& folder)
{
    Tree t;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        t.insert(QDir(folder).relativeFilePath(f), ReadAll(f));
    }
    return t;
}

class DataManageTest : public CoreTest {
  protected:
    QString root;
    void SetUp() override
    {
        CoreTest::SetUp();
        makeRoot(dir() + QStringLiteral("root/"));
    }
    // The first set with a year file, the new-employee template, the postal table and a note; the
    // set "_a" with its year file; both settings files.
    void makeRoot(const QString& folder)
    {
        root = folder;
        DataRoot = root;
        DataPath = root + QStringLiteral("Data2/");
        SysIniFileName = IniFileName = root + QStringLiteral("Tolvane.ini");
        QDir().mkpath(root + QStringLiteral("Data2_a"));
        QDir().mkpath(DataPath);
        WriteAll(DataPath + u("令和08年給与･賞与.dat"), "year 8");
        WriteAll(DataPath + u("社員情報.dat"), "template");
        WriteAll(DataPath + QStringLiteral("Yubinno.DAT"), "postal");
        WriteAll(DataPath + QStringLiteral("memo.txt"), "note");
        WriteAll(root + u("Data2_a/令和08年給与･賞与.dat"), "set a year 8");
        WriteAll(SysIniFileName, "[CorpData]\r\nCount=2\r\n");
        WriteAll(root + QStringLiteral("Tolvane_a.ini"), "[Option]\r\n");
    }
};

TEST_F(DataManageTest, BackupHoldsTheSetsAndRestoreGivesTheSameBytes)
{
    const QString bk = DatedFolder(dir() + QStringLiteral("bk"), QDate(2026, 12, 7));
    EXPECT_EQ(bk, dir() + u("bk/2026年12月7日"));
    const Tree before = tree(root);
    ASSERT_TRUE(BackupToFolder(bk).ok);
    const Tree expected{{u("令和08年給与･賞与.dat"), "year 8"},
                        {u("社員情報.dat"), "template"},
                        {u("Data2_a/令和08年給与･賞与.dat"), "set a year 8"},
                        {QStringLiteral("Tolvane.ini"), before[QStringLiteral("Tolvane.ini")]},
                        {QStringLiteral("Tolvane_a.ini"), "[Option]\r\n"}};
    EXPECT_EQ(tree(bk), expected);
    EXPECT_EQ(FileMode(bk + QStringLiteral("/Data2_a")), 0700);
    EXPECT_EQ(FileMode(bk + QStringLiteral("/Tolvane.ini")), 0600);

    // Changed, added and removed since: the restore puts back what the backup holds, and what no
    // backup carries (the note, the postal table) stays.
    WriteAll(DataPath + u("令和08年給与･賞与.dat"), "changed");
    WriteAll(DataPath + u("令和09年給与･賞与.dat"), "year 9");
    QFile::remove(root + QStringLiteral("Tolvane_a.ini"));
    const TCopyResult r = RestoreFromFolder(bk);
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(tree(root), before);
}

TEST_F(DataManageTest, DataRootAndWhatLiesInItAreRefusedWithNothingChanged)
{
    ::symlink(QFile::encodeName(root).constData(),
              QFile::encodeName(dir() + QStringLiteral("link")).constData());
    const Tree before = tree(root);
    for (const QString& target : {root, root + QStringLiteral("Data2"), root + QStringLiteral("new/dated"),
                                  dir() + QStringLiteral("link/x"), root + QStringLiteral("Data2/../")}) {
        SCOPED_TRACE(target.toStdString());
        const TCopyResult b = BackupToFolder(target);
        EXPECT_FALSE(b.ok);
        EXPECT_TRUE(b.reason.contains(u("データのフォルダー"))) << b.reason;
        const TCopyResult r = RestoreFromFolder(target);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(tree(root), before);
    }
    EXPECT_FALSE(IsInDataRoot(dir() + QStringLiteral("rootx"), root));
    // A folder without the settings file is no backup.
    const QString bk = dir() + QStringLiteral("bk");
    ASSERT_TRUE(BackupToFolder(bk).ok);
    QFile::remove(bk + QStringLiteral("/Tolvane.ini"));
    EXPECT_FALSE(RestoreFromFolder(bk).ok);
    EXPECT_EQ(tree(root), before);
}

// A restore stopped by an unreadable file of the backup, by a file size limit or by a full disk.
TEST_F(DataManageTest, RestoreThatFailsLeavesTheDataAsItWas)
{
    enum Stop { Unreadable, SizeLimit, FullDisk };
    for (const Stop stop : {Unreadable, SizeLimit, FullDisk}) {
        SCOPED_TRACE(stop);
        const QString bk = dir() + QStringLiteral("bk%1").arg(stop);
        std::optional<FullFileSystem> disk;
        if (stop == FullDisk) {
            const QString full = dir() + QStringLiteral("full/");
            QDir().mkpath(full);
            if (!disk.emplace(full).mounted()) continue;
            makeRoot(full);
        }
        ASSERT_TRUE(BackupToFolder(bk).ok);
        WriteAll(DataPath + u("令和08年給与･賞与.dat"), "changed since");
        if (stop == Unreadable)
            ::symlink("/nonexistent", QFile::encodeName(bk + QStringLiteral("/Data2_a/z.dat")).constData());
        if (disk) disk->fill();
        const Tree before = tree(root);
        TCopyResult r;
        {
            std::optional<FileSizeLimit> limit;
            if (stop == SizeLimit) limit.emplace(5);
            r = RestoreFromFolder(bk);
        }
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.reason.contains(stop == Unreadable ? QStringLiteral("z.dat") : bk)) << r.reason;
        EXPECT_EQ(tree(root), before);
    }
}

TEST_F(DataManageTest, BackupOverAnOldOneRemovesItsFilesFirst)
{
    const QString bk = dir() + QStringLiteral("bk");
    ASSERT_TRUE(BackupToFolder(bk).ok);
    // Left from a set deleted since, and a file that no backup writes.
    QDir().mkpath(bk + QStringLiteral("/Data2_b"));
    WriteAll(bk + QStringLiteral("/Data2_b/old.dat"), "deleted set");
    WriteAll(bk + QStringLiteral("/Tolvane_b.ini"), "deleted set");
    WriteAll(bk + QStringLiteral("/notes.txt"), "user's");
    ASSERT_TRUE(BackupToFolder(bk, true).ok);
    const Tree t = tree(bk);
    EXPECT_EQ(t.size(), 6);
    EXPECT_FALSE(QFileInfo::exists(bk + QStringLiteral("/Data2_b")));
    EXPECT_TRUE(t.contains(QStringLiteral("notes.txt")));
    EXPECT_FALSE(t.contains(QStringLiteral("Tolvane_b.ini")));
}

// Month 5 and the second bonus: the record zero, the present byte and the bonus date cleared,
// the neighbours untouched.
TEST_F(DataManageTest, DeletingAPeriodZeroesItsRecordAndPresentByte)
{
    const QString file = DataPath + u("令和08年給与･賞与.dat");
    QFile::remove(file);
    auto rec = PeriodRecord();
    std::memset(static_cast<void*>(rec.get()), 0x5a, sizeof *rec);
    for (int p : {4, 5, 6, 14}) StorePeriod(file, p, *rec);
    WriteAt(file, 24 + 4, int32_t(7));
    WriteAt(file, 36 + 4, int32_t(10));
    for (int p : {5, 14}) {
        SCOPED_TRACE(p);
        ReadSelectState(file);
        DeletePeriodData(file, p);
        const QByteArray bytes = ReadAll(file);
        EXPECT_EQ(bytes.size(), YearFileSize);
        EXPECT_EQ(bytes.mid(DataRecPos(p - 1), PeriodRecSize), QByteArray(PeriodRecSize, '\0'));
        EXPECT_EQ(bytes[8 + p - 1], 0);
        EXPECT_EQ(bytes[8 + 6 - 1], 1);
        EXPECT_EQ(bytes.mid(DataRecPos(5), 16), QByteArray(16, '\x5a'));
        EXPECT_EQ(YearHeader.DataExists[p], 0);
        if (p == 14) {
            EXPECT_EQ(ValueAt<int32_t>(bytes, 24 + 4), 0);
        }
    }
    EXPECT_EQ(MonthCorpRecs[5].Nissu, 0);
}

TEST_F(DataManageTest, NewYearMustBeOneTheYearListShows)
{
    WriteAll(DataPath + u("令和08年給与･賞与.dat"), "x");
    const struct {
        const char* era;
        int year;
        const char* refused;
    } cases[] = {{"令和", 0, "年の入力エラー(0以下または元年は不可)"},
                 {"令和", 1, "年の入力エラー(0以下または元年は不可)"},
                 {"令和", 21, "令和の年は2～20年の範囲で入力して下さい。"},
                 {"平成", 15, "平成の年は16～31年の範囲で入力して下さい。"},
                 {"令和", 8, "入力された年のデータは存在します。"},
                 {"令和", 20, ""},
                 {"平成", 31, ""}};
    for (const auto& c : cases) EXPECT_EQ(CheckNewYear(u(c.era), c.year), u(c.refused)) << c.era << c.year;
}

// A code is free only when no line, no file in its folder and no settings file holds it.
TEST_F(DataManageTest, FreeCodeSkipsCodesWithLinesFilesOrSettings)
{
    const QStringList lines{OriginalCorpLine(), FormatCorpLine(u("甲"), QStringLiteral("_b"))};
    WriteAll(root + QStringLiteral("Data2_a/x.dat"), "x");
    WriteAll(root + QStringLiteral("Tolvane_c.ini"), "x");
    QDir().mkpath(root + QStringLiteral("Data2_d"));  // left empty by a deleted set: taken
    EXPECT_EQ(FindFreeCorpCode(lines, root), QStringLiteral("_d"));
    WriteAll(root + QStringLiteral("Data2_d/.hidden"), "x");
    EXPECT_EQ(FindFreeCorpCode(lines, root), QStringLiteral("_e"));
}

TEST_F(DataManageTest, AddingByReferenceReportsACopyFailureAndRegistersNothing)
{
    const QString other = dir() + QStringLiteral("old/Data2");
    QDir().mkpath(other);
    WriteAll(other + QStringLiteral("/a.dat"), "a");
    ::symlink("/nonexistent", QFile::encodeName(other + QStringLiteral("/b.dat")).constData());
    WriteAll(dir() + QStringLiteral("old/Tolvane.ini"), "[Option]\r\n");
    EXPECT_EQ(ReferenceIniFile(dir() + QStringLiteral("old/data2/")),
              dir() + QStringLiteral("old/Tolvane.ini"));
    EXPECT_EQ(ReferenceIniFile(other + QStringLiteral("/sub")), QString());
    const QByteArray ini = ReadAll(SysIniFileName);
    EXPECT_THROW(AddCorpData(other, ReferenceIniFile(other)), AppError);
    EXPECT_EQ(ReadAll(SysIniFileName), ini);
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("Tolvane_b.ini")));
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("Data2_b")));

    QFile::remove(other + QStringLiteral("/b.dat"));
    WriteAll(SysIniFileName, "");
    EXPECT_EQ(AddCorpData(other, ReferenceIniFile(other)), 2);
    const QStringList lines = ReadCorpList(IniFile(SysIniFileName));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], OriginalCorpLine());
    EXPECT_EQ(CorpLineCode(lines[1]), QStringLiteral("_b"));
    EXPECT_EQ(ReadAll(root + QStringLiteral("Data2_b/a.dat")), QByteArray("a"));
}

}  // namespace
