// FTP transfers against a real server on 127.0.0.1 (pyftpdlib) that the test starts and stops.
#include "services/ftp.h"

#include <QDir>

#include "platform/atomicfile.h"
#include "tests/services/ftpserver.h"
#include "tests/testutil.h"

namespace {

using FtpTest = CoreTest;

TEST_F(FtpTest, UploadReplacesWholeOrNotAtAllDownloadAndDelete)
{
    QDir().mkpath(dir() + u("srv"));
    FtpServer ftp(dir() + u("srv"));
    ASSERT_NE(ftp.port(), 0);
    const QString remote = dir() + u("srv/Backup/Pelmora/");
    const QByteArray first(300000, 'a'), second(300000, 'b');
    WriteAll(dir() + u("key.zip"), first);

    // The folder is made on the first upload; the file arrives under its own name only.
    TFtpResult r = FtpUpload(ftp.server(), dir() + u("key.zip"), u("KEY1.zip"));
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(ReadAll(remote + u("KEY1.zip")), first);
    EXPECT_FALSE(QFile::exists(remote + u("KEY1.zip.part")));

    // A refused login leaves the previous archive in place.
    WriteAll(dir() + u("key.zip"), second);
    EXPECT_FALSE(FtpUpload(ftp.server("wrong"), dir() + u("key.zip"), u("KEY1.zip")).Ok);
    EXPECT_EQ(ReadAll(remote + u("KEY1.zip")), first);

    // Download: whole into place; a missing remote file keeps the local one.
    WriteAll(dir() + u("got.zip"), "old");
    r = FtpDownload(ftp.server(), u("KEY1.zip"), dir() + u("got.zip"));
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(ReadAll(dir() + u("got.zip")), first);
    EXPECT_FALSE(FtpDownload(ftp.server(), u("none.zip"), dir() + u("got.zip")).Ok);
    EXPECT_EQ(ReadAll(dir() + u("got.zip")), first);
    EXPECT_FALSE(QFile::exists(PartialFileName(dir() + u("got.zip"))));

    r = FtpDelete(ftp.server(), u("KEY1.zip"));
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_FALSE(QFile::exists(remote + u("KEY1.zip")));
    EXPECT_FALSE(FtpDelete(ftp.server(), u("KEY1.zip")).Ok);
}

}  // namespace
