// Unpacking that checks what it unpacks: a changed byte in a stored and in a deflated entry, wrong
// passwords that pass the one-byte check of traditional encryption, archives that unpack to far
// more than they declare or than the limit, run under a memory limit, and a full disk. In each
// case nothing in the target folder changes and no staging folder is left.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <QDir>
#include <QDirIterator>
#include <QtEndian>
#include <optional>

#include "services/zip.h"
#include "tests/testutil.h"

namespace {

using UnzipCheckTest = CoreTest;

// The target's files with their bytes, hidden ones included: a staging folder left would show.
QMap<QString, QByteArray> files(const QString& folder)
{
    QMap<QString, QByteArray> t;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        t.insert(QDir(folder).relativeFilePath(f), QFileInfo(f).isDir() ? QByteArray("/") : ReadAll(f));
    }
    return t;
}

struct Entry {
    const char* name;
    QByteArray data;
};

// An archive written by libzip: each entry stored or deflated, encrypted when password is given.
void makeArchive(const QString& path, const std::vector<Entry>& entries, bool store, const char* password)
{
    int err = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_NE(za, nullptr);
    for (const Entry& e : entries) {
        zip_source_t* src = zip_source_buffer(za, e.data.constData(), zip_uint64_t(e.data.size()), 0);
        const zip_int64_t i = zip_file_add(za, e.name, src, ZIP_FL_ENC_UTF_8);
        ASSERT_GE(i, 0);
        ASSERT_EQ(zip_set_file_compression(za, zip_uint64_t(i), store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0), 0);
        if (password) {
            ASSERT_EQ(zip_file_set_encryption(za, zip_uint64_t(i), ZIP_EM_TRAD_PKWARE, password), 0);
        }
    }
    ASSERT_EQ(zip_close(za), 0);
}

// The offset of the data of the entry called name, from its local header.
qsizetype dataOffset(const QByteArray& zip, const QByteArray& name)
{
    const qsizetype at = zip.indexOf("PK\x03\x04");
    for (qsizetype h = at; h >= 0; h = zip.indexOf("PK\x03\x04", h + 4)) {
        const auto u16 = [&](qsizetype o) { return qFromLittleEndian<quint16>(zip.constData() + h + o); };
        if (zip.mid(h + 30, u16(26)) == name) return h + 30 + u16(26) + u16(28);
    }
    return -1;
}

const std::vector<Entry> kTree{
    {"Pelmora_Temp/Tolvane.ini", "[Option]\r\nA=1\r\n"},
    {"Pelmora_Temp/令和08年給与･賞与.dat", QByteArray(89944, '\x5a') + QByteArray(4000, '\x01')},
    {"Pelmora_Temp/Data2_a/社員情報.dat", QByteArray("template ").repeated(300)},
};

// Puts the files the archive would replace into the target, with other content.
void fillTarget(const QString& target)
{
    QDir().mkpath(target + u("/Pelmora_Temp/Data2_a"));
    WriteAll(target + u("/Pelmora_Temp/Tolvane.ini"), "the user's settings");
    WriteAll(target + u("/Pelmora_Temp/令和08年給与･賞与.dat"), "the user's year");
}

TEST_F(UnzipCheckTest, OneChangedByteInAStoredOrADeflatedEntryChangesNothing)
{
    for (const bool store : {true, false}) {
        for (const char* password : {static_cast<const char*>(nullptr), "秘密pw"}) {
            SCOPED_TRACE(QStringLiteral("%1 %2")
                             .arg(store ? "stored" : "deflated", password ? "encrypted" : "plain")
                             .toStdString());
            const QString zip = dir() + u("a.zip"), target = dir() + u("target");
            QDir(target).removeRecursively();
            makeArchive(zip, kTree, store, password);
            fillTarget(target);
            const auto before = files(target);
            // The good archive unpacks; then each entry with one byte changed in its middle.
            const QString pw = password ? u(password) : QString();
            ASSERT_EQ(UnzipFile(zip, dir() + u("good"), pw), kZipOk);
            EXPECT_EQ(ReadAll(dir() + u("good/") + u(kTree[1].name)), kTree[1].data);
            QDir(dir() + u("good")).removeRecursively();
            const QByteArray good = ReadAll(zip);
            for (const Entry& e : kTree) {
                QByteArray bad = good;
                const qsizetype at = dataOffset(bad, e.name);
                ASSERT_GT(at, 0) << e.name;
                const qsizetype flip = at + (password ? 12 : 0) + (store ? e.data.size() / 2 : 3);
                bad[flip] = char(bad[flip] ^ 0x04);
                WriteAll(zip, bad);
                const int r = UnzipFile(zip, target, pw);
                // Encrypted, a bad first entry cannot be told from a wrong password; once an entry
                // came out whole the password is known right.
                EXPECT_EQ(r, password && &e == &kTree[0] ? kZipWrongPassword : kZipFailed) << e.name;
                EXPECT_EQ(files(target), before) << e.name;
            }
        }
    }
}

// About one wrong password in 256 passes the check byte of traditional encryption (each entry has
// its own, so the archive holds one entry); the checksum still tells it, stored or deflated.
TEST_F(UnzipCheckTest, AWrongPasswordThatPassesTheHeaderCheckIsStillWrong)
{
    for (const bool store : {true, false}) {
        SCOPED_TRACE(store ? "stored" : "deflated");
        const QString zip = dir() + u("a.zip"), target = dir() + u("target");
        QDir(target).removeRecursively();
        makeArchive(zip, {kTree[1]}, store, "right");
        fillTarget(target);
        const auto before = files(target);
        int passed = 0;
        for (int i = 0; i < 4000 && passed < 2; ++i) {
            const QByteArray wrong = "wrong" + QByteArray::number(i);
            int err = 0;
            zip_t* za = zip_open(QFile::encodeName(zip).constData(), ZIP_RDONLY, &err);
            ASSERT_NE(za, nullptr);
            zip_file_t* f = zip_fopen_index_encrypted(za, 0, 0, wrong.constData());
            if (f) zip_fclose(f);
            zip_discard(za);
            if (!f) continue;  // refused by the check byte: the common case
            ++passed;
            EXPECT_EQ(UnzipFile(zip, target, QString::fromLatin1(wrong)), kZipWrongPassword)
                << wrong.constData();
            EXPECT_EQ(files(target), before);
        }
        EXPECT_EQ(passed, 2) << "no wrong password passed the check byte";
        EXPECT_EQ(UnzipFile(zip, target, u("right")), kZipOk);
        EXPECT_EQ(ReadAll(target + u("/") + u(kTree[1].name)), kTree[1].data);
    }
}

// A hand-made archive of entries that each inflate to usize zeros from the same deflate stream
// (blocks of 1 MiB zeros, each ended by a full flush, so that they can be repeated), declaring
// declared as their size.
QByteArray zeroBomb(int entries, qint64 usize, qint64 declared)
{
    const qint64 mib = 1 << 20;
    const QByteArray zeros(mib, '\0');
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    QByteArray chunk(mib, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.constData()));
    z.avail_in = uInt(mib);
    z.next_out = reinterpret_cast<Bytef*>(chunk.data());
    z.avail_out = uInt(chunk.size());
    deflate(&z, Z_FULL_FLUSH);
    chunk.resize(chunk.size() - z.avail_out);
    deflateEnd(&z);
    const QByteArray data = chunk.repeated(usize / mib) + QByteArray("\x03\x00", 2);  // the last, empty block
    const uLong crcMib = crc32(0, reinterpret_cast<const Bytef*>(zeros.constData()), uInt(mib));
    uLong crc = 0;
    for (qint64 i = 0; i < usize / mib; ++i) crc = crc32_combine(crc, crcMib, mib);

    QByteArray zip, central;
    const auto le = [](QByteArray& b, quint32 v, int n) {
        for (int i = 0; i < n; ++i) b += char((v >> (8 * i)) & 0xff);
    };
    for (int e = 0; e < entries; ++e) {
        const QByteArray name = "Pelmora_Temp/zero" + QByteArray::number(e) + ".dat";
        const quint32 offset = quint32(zip.size());
        QByteArray common;  // from "version needed" to the name length
        le(common, 20, 2), le(common, 0, 2), le(common, 8, 2), le(common, 0, 2), le(common, 0x5921, 2);
        le(common, quint32(crc), 4), le(common, quint32(data.size()), 4), le(common, quint32(declared), 4);
        le(common, quint32(name.size()), 2);
        le(zip, 0x04034b50, 4), zip += common, le(zip, 0, 2), zip += name, zip += data;
        le(central, 0x02014b50, 4), le(central, 20, 2), central += common;
        le(central, 0, 2), le(central, 0, 2), le(central, 0, 2), le(central, 0, 2), le(central, 0, 4);
        le(central, offset, 4), central += name;
    }
    const quint32 cdOffset = quint32(zip.size());
    zip += central;
    le(zip, 0x06054b50, 4), le(zip, 0, 2), le(zip, 0, 2), le(zip, quint32(entries), 2);
    le(zip, quint32(entries), 2), le(zip, quint32(central.size()), 4), le(zip, cdOffset, 4), le(zip, 0, 2);
    return zip;
}

// UnzipFile in a child whose address space is limited to 512 MiB; its result, or 99 when the child
// did not end normally (killed, aborted on an allocation).
int unzipUnderMemoryLimit(const QString& zip, const QString& target, const TUnzipLimits& limits)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
#if !defined(__SANITIZE_ADDRESS__)
        // The sanitizer reserves terabytes of address space; there the limit cannot be set.
        const rlimit lim{rlim_t(512) << 20, rlim_t(512) << 20};
        ::setrlimit(RLIMIT_AS, &lim);
#endif
        ::_exit(-UnzipFile(zip, target, QString(), limits));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? -WEXITSTATUS(status) : 99;
}

TEST_F(UnzipCheckTest, ABombIsRefusedWithinAMemoryLimit)
{
    const QString zip = dir() + u("bomb.zip"), target = dir() + u("target");
    fillTarget(target);
    const auto before = files(target);
    const qint64 mib = 1 << 20;
    // 4 MB holding 4 × 1000 MiB of zeros, declared as such: past the limit before anything is read.
    WriteAll(zip, zeroBomb(4, 1000 * mib, 1000 * mib));
    EXPECT_LT(ReadAll(zip).size(), 5 * mib);
    EXPECT_EQ(unzipUnderMemoryLimit(zip, target, {}), kZipTooLarge);
    EXPECT_EQ(files(target), before);
    // Declaring 1 MiB each while holding 1000 MiB: stopped when an entry passes its size.
    WriteAll(zip, zeroBomb(4, 1000 * mib, mib));
    EXPECT_EQ(unzipUnderMemoryLimit(zip, target, {}), kZipFailed);
    EXPECT_EQ(files(target), before);
    // Honest entries of 8 MiB, all read, under limits lowered for the test.
    WriteAll(zip, zeroBomb(4, 8 * mib, 8 * mib));
    EXPECT_EQ(unzipUnderMemoryLimit(zip, target, {.maxTotal = 31 * mib, .maxEntry = 8 * mib}), kZipTooLarge);
    EXPECT_EQ(unzipUnderMemoryLimit(zip, target, {.maxTotal = 64 * mib, .maxEntry = 7 * mib}), kZipTooLarge);
    EXPECT_EQ(files(target), before);
    EXPECT_EQ(unzipUnderMemoryLimit(zip, target, {.maxTotal = 32 * mib, .maxEntry = 8 * mib}), kZipOk);
    EXPECT_EQ(ReadAll(target + u("/Pelmora_Temp/zero3.dat")), QByteArray(8 * mib, '\0'));
}

TEST_F(UnzipCheckTest, AFullDiskIsToldAsSuch)
{
    const QString full = dir() + u("full");
    QDir().mkpath(full);
    FullFileSystem disk(full);
    if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
    const QString zip = dir() + u("a.zip");
    makeArchive(zip, kTree, false, "pw");
    disk.fill();
    EXPECT_EQ(UnzipFile(zip, full + u("/target"), u("pw")), kZipDiskFull);
    EXPECT_TRUE(files(full + u("/target")).isEmpty());
    QDir().mkpath(dir() + u("src/Pelmora_Temp"));
    WriteAll(dir() + u("src/Pelmora_Temp/a.dat"), QByteArray(100000, 'a'));
    EXPECT_EQ(ZipFolder(full + u("/b.zip"), dir() + u("src/Pelmora_Temp"), u("pw")), kZipDiskFull);
    EXPECT_FALSE(QFile::exists(full + u("/b.zip")));
}

}  // namespace
