// Year data file: byte layout on disk, load and save of a period, the change test and the
// conversion of the old 30-employee layout.
#include "payroll/yearfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cstring>
#include <random>
#include <vector>

#include "payroll/period.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "tests/testutil.h"

namespace {

class YearFileTest : public CoreTest {
  protected:
    QString file() const { return dir() + QStringLiteral("令和08年給与･賞与.dat"); }
    // Creates the file and opens period p on it.
    void open(int p)
    {
        CreateYearFile(file());
        CurPeriod.FileName = file();
        CurPeriod.EraText = QStringLiteral("令和");
        CurPeriod.EraYear = 8;
        CurPeriod.Period = p;
        LoadPeriod(file(), p);
    }
};

TEST_F(YearFileTest, CreatedFileIsFifteenZeroPeriodsAndNeverOverwritten)
{
    std::memset(&CorpRec, 0x55, sizeof CorpRec);
    CreateYearFile(file());
    EXPECT_EQ(ReadAll(file()), QByteArray(1349288, '\0'));
    EXPECT_EQ(CorpRec.Sikyubi, 0) << "creation clears the period image";
    EXPECT_TRUE(YearFileCreated);
    EXPECT_EQ(CreatedYearFile, file());

    WriteAt(file(), 12, char(1));
    CreateYearFile(file());
    EXPECT_EQ(ReadAll(file()).at(12), 1) << "an existing file is left alone";
}

TEST_F(YearFileTest, SavingPeriodThreeWritesItsRecordThenItsPresentFlag)
{
    open(3);
    CorpRec.Syamei.setText(QStringLiteral("テスト株式会社"));
    SyainRec[90].Simei.setText(QStringLiteral("山田太郎"));
    KoujoRec[90].Koujo[koSyotoku] = 12345;
    ASSERT_TRUE(SavePeriod());

    // The whole file holds only the header flag, the two names and the tax, nothing else moved.
    QByteArray want(1349288, '\0');
    want[10] = 1;  // DataExists of period 3 is byte 7 + 3
    const qint64 rec = 128 + 2 * 89944;
    want.replace(rec, 15, '\x0e' + cp932::encode(QStringLiteral("テスト株式会社")));
    want.replace(rec + 1384 + 89 * 500, 9, '\x08' + cp932::encode(QStringLiteral("山田太郎")));
    // Slot 90's deduction row is the last of the record: income tax (index 8) at 28.
    qToUnaligned<int32_t>(12345, want.data() + rec + 77704 + 89 * 136 + 28);
    EXPECT_EQ(ReadAll(file()), want);
    EXPECT_EQ(YearHeader.DataExists[3], 1);
    EXPECT_TRUE(YearFileSaved) << "the file created in this run has now been saved";
}

// A re-save stopped at every block boundary of the new file and at random bytes, by a failing
// write and by the death of the program, leaves the old month; the save that goes through leaves
// the new one, with every other byte of the file as it was.
TEST_F(YearFileTest, ResaveStoppedAnywhereLeavesTheOldMonthOrTheNewOneWhole)
{
    open(7);
    CorpRec.Syamei.setText(QStringLiteral("旧会社"));
    SikyuRec[1].Sikyu[siKihon] = 200000;
    ASSERT_TRUE(SavePeriod());
    WriteAt(file(), DataRecPos(8), char(0x5A));  // another period's data, carried over by every save
    const QByteArray old = ReadAll(file());
    LoadPeriod(file(), 7);

    CorpRec.Syamei.setText(QStringLiteral("新会社"));
    SyainRec[90].Simei.setText(QStringLiteral("山田"));
    KintaiRec[45].Kintai[kiSyukkin] = 20;
    SikyuRec[1].Sikyu[siKihon] = 300000;
    KoujoRec[90].Koujo[koSyotoku] = 1234;
    QByteArray want = old;
    const qint64 rec = DataRecPos(6);
    std::memcpy(want.data() + rec, &CorpRec, sizeof CorpRec);
    std::memcpy(want.data() + rec + 1384, &SyainRec, sizeof SyainRec);
    std::memcpy(want.data() + rec + 46384, &KintaiRec, sizeof KintaiRec);
    std::memcpy(want.data() + rec + 64384, &SikyuRec, sizeof SikyuRec);
    std::memcpy(want.data() + rec + 77704, &KoujoRec, sizeof KoujoRec);

    std::vector<qint64> stops = {0, 1, 127, 128, 129, YearFileSize - 1};
    for (qint64 boundary : {0, 1384, 46384, 64384, 77704, 89944})
        for (qint64 d : {-1, 0, 1}) stops.push_back(rec + boundary + d);
    std::mt19937_64 random(13);
    for (int i = 0; i < 20; ++i) stops.push_back(qint64(random() % YearFileSize));
    for (qint64 stop : stops) {
        SCOPED_TRACE(stop);
        {
            FileSizeLimit limit(stop);
            EXPECT_THROW(WritePeriod(), IoError);
        }
        ASSERT_EQ(ReadAll(file()), old) << "a failed write";
        EXPECT_EQ(QDir(dir()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no temporary file left";
        EXPECT_TRUE(KilledAtByte(stop, [] { WritePeriod(); }));
        ASSERT_EQ(ReadAll(file()), old) << "a kill";
        for (const QString& name : QDir(dir()).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden))
            QFile::remove(dir() + name);  // what the killed save was writing
    }
    WritePeriod();
    EXPECT_EQ(ReadAll(file()), want);
}

TEST_F(YearFileTest, ShortOrMissingFileIsReportedAndChangesNothing)
{
    open(1);
    CorpRec.Sikyubi = 25;
    const QString shortFile = dir() + QStringLiteral("short.dat");
    WriteAll(shortFile, QByteArray(1000, '\x07'));
    EXPECT_THROW(LoadPeriod(shortFile, 1), IoError);
    EXPECT_EQ(CorpRec.Sikyubi, 25) << "a failed load leaves the image as it was";

    CurPeriod.FileName = shortFile;
    EXPECT_THROW(WritePeriod(), IoError);
    EXPECT_EQ(ReadAll(shortFile), QByteArray(1000, '\x07')) << "a damaged file is not written into";
    EXPECT_EQ(YearHeader.DataExists[1], 0);

    CurPeriod.FileName = dir() + QStringLiteral("gone.dat");
    EXPECT_THROW(WritePeriod(), IoError);
    EXPECT_FALSE(QFileInfo::exists(CurPeriod.FileName)) << "saving never creates a stray file";
}

TEST_F(YearFileTest, SaveAsksOnlyWhenAChangedMonthHasANextMonth)
{
    struct Case {
        int period;
        bool nextPresent, change;
        MsgResult answer;
        bool asked, saved;
    };
    const Case cases[] = {
        {11, true, false, MsgResult::No, false, true},  // nothing changed: saved without a question
        {11, true, true, MsgResult::No, true, false},   // changed, declined
        {11, true, true, MsgResult::Yes, true, true},   // changed, accepted
        {11, false, true, MsgResult::No, false, true},  // no next month
        {12, true, true, MsgResult::No, false, true},   // December never asks
        {13, true, true, MsgResult::No, false, true},   // nor does a bonus period
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.period * 100 + c.change * 10 + c.nextPresent);
        QFile::remove(file());
        if (c.nextPresent) {
            CreateYearFile(file());
            WriteAt(file(), 7 + c.period + 1, char(1));
        }
        open(c.period);
        if (c.change) SyainRec[2].Chingin[1] = 250000;
        ScriptedMsgBox box;
        box.answer(c.answer);
        EXPECT_EQ(SavePeriod(), c.saved);
        ASSERT_EQ(box.shown().size(), c.asked ? 1u : 0u);
        if (c.asked) {
            EXPECT_EQ(box.shown()[0].text,
                      QStringLiteral("現在入力中の月の翌月データが存在します。\n"
                                     "この状態で修正した内容は翌月に引き継がれない事が有ります。\n"
                                     "データの保存を行いますか？"));
            EXPECT_EQ(box.shown()[0].buttons, MsgButtons::YesNo);
        }
        EXPECT_EQ(ReadAll(file()).at(7 + c.period), c.saved ? 1 : 0);
    }
}

TEST_F(YearFileTest, ChangeTestIgnoresBytesBehindNamesAndBonusWorkingTime)
{
    open(13);
    CorpRec.Syamei.setText(QStringLiteral("長い会社名株式会社"));
    SyainRec[5].Simei.setText(QStringLiteral("佐藤花子さん"));
    SyainRec[5].Busyo.setText(QStringLiteral("経理部"));
    ASSERT_TRUE(SavePeriod());
    EXPECT_FALSE(PeriodChanged());

    // A shorter name leaves the old bytes behind its length in memory; the file has zeros there.
    CorpRec.Syamei.setText(QStringLiteral("短い"));
    SyainRec[5].Simei.setText(QStringLiteral("佐藤"));
    SyainRec[5].Busyo.setText(QStringLiteral("総務"));
    ASSERT_TRUE(SavePeriod());
    CorpRec.Syamei.data[30] = 'x';
    SyainRec[5].Simei.data[19] = 'y';
    SyainRec[5].Busyo.data[19] = 'z';
    EXPECT_FALSE(PeriodChanged());

    CorpRec.Nissu = 21;
    CorpRec.Jikan = 168;
    const auto image = [] {
        return QByteArray(reinterpret_cast<const char*>(&YearHeader), sizeof YearHeader) +
               QByteArray(reinterpret_cast<const char*>(&CorpRec), sizeof CorpRec) +
               QByteArray(reinterpret_cast<const char*>(&SyainRec), sizeof SyainRec) +
               QByteArray(reinterpret_cast<const char*>(&KintaiRec), sizeof KintaiRec) +
               QByteArray(reinterpret_cast<const char*>(&SikyuRec), sizeof SikyuRec) +
               QByteArray(reinterpret_cast<const char*>(&KoujoRec), sizeof KoujoRec);
    };
    const QByteArray before = image();
    EXPECT_FALSE(PeriodChanged()) << "a bonus period does not keep working days and hours";
    EXPECT_EQ(image(), before) << "the bytes behind the names and the bonus working time stay in the image";
    SyainRec[5].Simei.setText(QStringLiteral("佐藤次郎"));
    EXPECT_TRUE(PeriodChanged());
}

TEST_F(YearFileTest, ChangeTestInAMonthSeesEveryBlockAndTheHeader)
{
    open(4);
    EXPECT_FALSE(PeriodChanged());
    CorpRec.Nissu = 21;
    EXPECT_TRUE(PeriodChanged());
    LoadPeriod(file(), 4);
    YearHeader.PrnDay[4] = 25;
    EXPECT_TRUE(PeriodChanged());
    LoadPeriod(file(), 4);
    KoujoRec[90].KoujoManual[12] = 1;
    EXPECT_TRUE(PeriodChanged());
}

TEST_F(YearFileTest, ConfirmSaveDataAsksOnlyWhenChangedAndSavingIsPossible)
{
    open(6);
    ScriptedMsgBox box;
    bool changed = true;
    EXPECT_EQ(ConfirmSaveData(true, changed), MsgResult::No);
    EXPECT_FALSE(changed);
    EXPECT_TRUE(box.shown().empty());

    SikyuRec[1].Sikyu[siKihon] = 1;
    EXPECT_EQ(ConfirmSaveData(true, changed, false), MsgResult::No);
    EXPECT_TRUE(changed);
    EXPECT_TRUE(box.shown().empty());

    box.answer(MsgResult::Cancel);
    EXPECT_EQ(ConfirmSaveData(true, changed), MsgResult::Cancel);
    ASSERT_EQ(box.shown().size(), 1u);
    EXPECT_EQ(box.lastText(), QStringLiteral("データが変更されています。保存しますか？"));
    EXPECT_EQ(box.shown()[0].buttons, MsgButtons::YesNoCancel);
    EXPECT_EQ(box.beeps(), 1);

    // A file that went away cannot hold the data: closing must offer to save, not fail.
    QFile::remove(file());
    box.answer(MsgResult::No);
    EXPECT_EQ(ConfirmSaveData(true, changed), MsgResult::No);
    EXPECT_TRUE(changed);
    EXPECT_EQ(box.shown().size(), 2u);
}

class ConvertTest : public CoreTest {};

TEST_F(ConvertTest, OldLayoutMovesThirtySlotsIntoNinety)
{
    const QString oldFile = TestData(QStringLiteral("olddata/平成30年給与･賞与.dat"));
    const QByteArray old = ReadAll(oldFile);
    ASSERT_EQ(old.size(), 463688);
    const QString newFile = dir() + QStringLiteral("平成30年給与･賞与.dat");
    ConvertOldYearFile(oldFile, newFile);
    const QByteArray now = ReadAll(newFile);
    ASSERT_EQ(now.size(), 1349288);
    EXPECT_EQ(now.left(128), old.left(128)) << "the header is kept";
    const int sizes[] = {500, 200, 148, 136};
    for (int p = 1; p <= 15; ++p) {
        const qint64 o = 128 + 30904 * qint64(p - 1), n = DataRecPos(p - 1);
        ASSERT_EQ(now.mid(n, 1384), old.mid(o, 1384)) << "company block of period " << p;
        qint64 oo = o + 1384, nn = n + 1384;
        for (int size : sizes) {
            ASSERT_EQ(now.mid(nn, 30 * size), old.mid(oo, 30 * size))
                << "period " << p << " rows of " << size;
            const QByteArray rest = now.mid(nn + 30 * size, 60 * size);
            ASSERT_EQ(rest.count('\0'), 60 * size) << "slots 31..90 stay zero";
            oo += 30 * size;
            nn += 90 * size;
        }
    }
    // Read back through the records: slot 30 of period 15 is where the fixture left it.
    LoadPeriod(newFile, 15);
    EXPECT_EQ(SyainRec[30].Simei.text(), QStringLiteral("社員30"));
    EXPECT_EQ(SyainRec[30].Chingin[1], 200000 + 30 * 1000 + 15);
    EXPECT_EQ(KoujoRec[30].Koujo[koSyotoku], 30015);
    EXPECT_TRUE(SyainRec[31].MembKey.isEmpty());
}

TEST_F(ConvertTest, OtherFilesOfTheOldFolderAreCopiedUnchanged)
{
    for (const char* name : {"社員情報.dat", "システムログ.dat"}) {
        const QString from = TestData(QStringLiteral("olddata/") + QString::fromUtf8(name));
        const QString to = dir() + QString::fromUtf8(name);
        ConvertOldYearFile(from, to);
        EXPECT_EQ(ReadAll(to), ReadAll(from)) << name;
    }
    // A current-layout year file or anything else of another size is not reshaped either.
    const QString current = dir() + QStringLiteral("cur.dat");
    WriteAll(current, QByteArray(1349288, '\x02'));
    ConvertOldYearFile(current, dir() + QStringLiteral("cur2.dat"));
    EXPECT_EQ(ReadAll(dir() + QStringLiteral("cur2.dat")), QByteArray(1349288, '\x02'));
}

TEST_F(ConvertTest, FailedConversionLeavesTheTargetAsItWas)
{
    const QString target = dir() + QStringLiteral("平成30年給与･賞与.dat");
    WriteAll(target, QByteArray("previous"));
    EXPECT_THROW(ConvertOldYearFile(dir() + QStringLiteral("missing.dat"), target), IoError);
    EXPECT_EQ(ReadAll(target), QByteArray("previous"));
}

}  // namespace
