// The libraries opened on first use (platform/lazylib) when one of them cannot be loaded: the
// first use fails the way its caller reports that library's own failure, and nothing is written.
// (That they load and work is what the mail, FTP, zip, export, slip image and CUPS tests do; that
// a start maps none of them, ProgramTest in app/program_test.cpp.)
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE
#include <cups/cups.h>
#include <curl/curl.h>
// clang-format on

#include "platform/errors.h"
#include "print/exportframe.h"
#include "print/printer.h"
#include "print/slipimage.h"
#include "services/webcheck.h"
#include "services/zip.h"
#include "tests/testutil.h"

namespace {

const char* const kSonames[] = {PEL_SONAME_CURL, PEL_SONAME_ZIP, PEL_SONAME_CUPS, PEL_SONAME_XLSXWRITER,
                                PEL_SONAME_JPEG};

bool mapped(const char* soname)
{
    return ReadAll(QStringLiteral("/proc/self/maps")).contains(QByteArray("/") + soname);
}

// This test program again, with a folder of files named as the libraries but holding none, found
// first through LD_LIBRARY_PATH: each library then fails to load, and the cases below run.
TEST(LazyLibraryMissing, EachFirstUseFailsAsTheLibraryItselfWouldFail)
{
    QTemporaryDir broken;
    for (const char* soname : kSonames)
        WriteAll(broken.path() + u'/' + QString::fromLatin1(soname), QByteArray());
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_LIBRARY_PATH"), broken.path());
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=LibraryMissing.*"),
                                                          QStringLiteral("--gtest_also_run_disabled_tests")});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QByteArray out = child.readAll();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << out.constData();
    EXPECT_EQ(child.exitCode(), 0) << out.constData();
    EXPECT_TRUE(out.contains("[  PASSED  ] 5 tests.")) << out.constData();
}

// The cases the test above runs in its child (disabled in a plain run, where the libraries load).
class LibraryMissing : public ::testing::Test {
  protected:
    void TearDown() override
    {
        // The broken files were not loaded instead, and the real library was not either.
        for (const char* soname : kSonames) EXPECT_FALSE(mapped(soname)) << soname;
    }
    QTemporaryDir tmp_;
};

TEST_F(LibraryMissing, DISABLED_CurlConnectionsCannotBePrepared)
{
    EXPECT_EQ(HttpGet(QStringLiteral("http://127.0.0.1:9/")).Error,
              QStringLiteral("通信の準備ができません。"));
    EXPECT_EQ(curl_global_init(CURL_GLOBAL_DEFAULT), CURLE_FAILED_INIT);
    EXPECT_TRUE(QByteArray(curl_easy_strerror(CURLE_OK)).contains(PEL_SONAME_CURL));
}

TEST_F(LibraryMissing, DISABLED_ZipWritesNoArchive)
{
    QDir().mkpath(tmp_.path() + QStringLiteral("/set"));
    WriteAll(tmp_.path() + QStringLiteral("/set/a.dat"), "a");
    const QString archive = tmp_.path() + QStringLiteral("/set.zip");
    EXPECT_EQ(ZipFolder(archive, tmp_.path() + QStringLiteral("/set"), QString()), kZipFailed);
    EXPECT_EQ(UnzipFile(tmp_.path() + QStringLiteral("/set/a.dat"), tmp_.path() + QStringLiteral("/out"),
                        QString()),
              kZipFailed);
    EXPECT_EQ(QDir(tmp_.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"set"});
}

TEST_F(LibraryMissing, DISABLED_CupsServiceDoesNotAnswerAndSaysWhy)
{
    EXPECT_FALSE(PrintServiceAnswers());
    EXPECT_EQ(cupsLastError(), IPP_STATUS_ERROR_INTERNAL);
    EXPECT_TRUE(QByteArray(cupsLastErrorString()).contains(PEL_SONAME_CUPS));
}

TEST_F(LibraryMissing, DISABLED_WorkbookIsNotWrittenAndNoPartIsLeft)
{
    const QString path = tmp_.path() + QStringLiteral("/out.xlsx");
    TExportSheet sheet{QStringLiteral("支給"), {TExportRow{{TExportCell::amount(1000)}}}};
    EXPECT_THROW(WriteExportWorkbook(path, {sheet}), AppError);
    EXPECT_TRUE(QDir(tmp_.path()).isEmpty());
}

TEST_F(LibraryMissing, DISABLED_JpegErrorNamesTheLibrary)
{
    QImage image(16, 8, QImage::Format_RGB32);
    image.fill(Qt::white);
    try {
        EncodeJpeg(image);
        ADD_FAILURE() << "an image without libjpeg";
    } catch (const AppError& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("JPEG画像を作成できませんでした。\n")))
            << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QStringLiteral(PEL_SONAME_JPEG))) << e.message().toStdString();
    }
}

}  // namespace
