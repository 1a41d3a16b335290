// Whole-file writes stopped by a full disk, a size limit or a missing folder keep the old file,
// leave no temporary file and tell the user the file and the reason; new files are private.
#include "platform/atomicfile.h"

#include <sys/stat.h>

#include <QDir>
#include <iostream>
#include <optional>

#include "app/core/membedit.h"
#include "payroll/paths.h"
#include "platform/errors.h"
#include "platform/inifile.h"
#include "tests/testutil.h"

namespace {

using AtomicFileTest = CoreTest;

// The settings file and the employee template, each saved where the disk is full or the write
// stops at a byte, and into a folder that does not exist.
TEST_F(AtomicFileTest, FailedSaveKeepsTheOldBytesAndSaysWhy)
{
    enum Stop { FullDisk, SizeLimit, NoFolder, ReadOnly };
    struct Case {
        const char* name;
        Stop stop;
        const char* reason;
    };
    const Case cases[] = {{"Tolvane.ini", ReadOnly, "書き込む権限がありません。"},
                          {"Tolvane.ini", FullDisk, "ディスクの空き容量が足りません。"},
                          {"Tolvane.ini", SizeLimit, "ファイルが大きすぎます。"},
                          {"社員情報.dat", SizeLimit, "ファイルが大きすぎます。"},
                          {"Tolvane.ini", NoFolder, "フォルダーが見つかりません。"}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " stop " + std::to_string(c.stop));
        const QString folder = dir() + QString::number(++n) + QStringLiteral("/");
        std::optional<FullFileSystem> disk;
        if (c.stop == FullDisk && !disk.emplace(folder).mounted()) {
            std::cout << "no tmpfs can be mounted here; the full-disk cases are skipped\n";
            continue;
        }
        QDir().mkpath(folder);
        DataPath = c.stop == NoFolder ? folder + QStringLiteral("gone/") : folder;
        const QString path = DataPath + QString::fromUtf8(c.name);
        const QByteArray old = "[Option]\r\nA=1\r\n" + QByteArray(600, 'x');
        if (c.stop != NoFolder) WriteAll(path, old);
        if (c.stop == ReadOnly) QFile::setPermissions(path, QFileDevice::ReadOwner);
        if (disk) disk->fill();
        try {
            std::optional<FileSizeLimit> limit;
            if (c.stop == SizeLimit) limit.emplace(100);
            if (path.endsWith(QStringLiteral(".ini"))) {
                IniFile ini(path);
                ini.writeInteger(QStringLiteral("Option"), QStringLiteral("A"), 2);
                ini.save();
            } else {
                SaveMemberTemplate(FieldsOf(MemberFields(), TEmployeeRec()));
            }
            ADD_FAILURE() << "no error";
        } catch (const IoError& e) {
            EXPECT_TRUE(e.message().contains(path)) << e.message();
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.reason))) << e.message();
        }
        EXPECT_EQ(ReadAll(path), c.stop == NoFolder ? QByteArray() : old);
        const QStringList left = QDir(DataPath).entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(left.size(), c.stop == FullDisk ? 2 : c.stop == NoFolder ? 0 : 1) << left.join(' ');
    }
}

TEST_F(AtomicFileTest, RewrittenFileIsPrivate)
{
    const QString file = dir() + QStringLiteral("a.ini");
    WriteAll(file, "old");
    ::chmod(QFile::encodeName(file).constData(), 0644);
    WriteFileAtomic(file, "new", QStringLiteral("書き込み"));
    EXPECT_EQ(ReadAll(file), QByteArray("new"));
    EXPECT_EQ(FileMode(file), 0600);
}

}  // namespace
