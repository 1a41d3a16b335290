// The maker's web host of the update tests (tests/services/updatesite.py on 127.0.0.1), the
// archives it publishes with their checksums, and program folders with the built installer.
#pragma once
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <utility>

#include "payroll/taxtable.h"
#include "tests/services/ftpserver.h"
#include "tests/testutil.h"

inline QString UpdateSiteScript()
{
    return QStringLiteral(TEST_SOURCE_DIR "/services/updatesite.py");
}

// Serves folder; a file with "<file>.cut" beside it holding N stops after N bytes, and the other
// files beside one (".slow", ".redirect", ".hold") as updatesite.py says. With log, every request's
// path, User-Agent and Accept are appended to it, a line each, tab between.
struct UpdateSite : PythonServer {
    explicit UpdateSite(const QString& folder, const QString& log = {})
        : PythonServer(QStringList{UpdateSiteScript(), u("serve"), folder} +
                           (log.isEmpty() ? QStringList() : QStringList{log}),
                       u("port (\\d+)"))
    {
    }
    QString url() const { return u("http://127.0.0.1:%1/").arg(port()); }
};

// The sha256sum line of file written beside it as file + ".sha256".
inline void WriteChecksum(const QString& file)
{
    const QByteArray sum = QCryptographicHash::hash(ReadAll(file), QCryptographicHash::Sha256).toHex();
    WriteAll(file + u(".sha256"), sum + "  " + QFileInfo(file).fileName().toUtf8() + "\n");
}

// Writes archive with exactly these entries (entry name, file whose bytes it holds) and its
// checksum beside it.
inline void MakeArchive(const QString& archive, const QList<std::pair<QString, QString>>& entries)
{
    QDir().mkpath(QFileInfo(archive).path());
    QStringList args{UpdateSiteScript(), u("zip"), archive};
    for (const auto& [name, file] : entries) args << name + u'=' + file;
    QProcess p;
    p.start(u("/usr/bin/python3"), args);
    ASSERT_TRUE(p.waitForFinished(20000) && p.exitCode() == 0) << p.readAllStandardError().toStdString();
    WriteChecksum(archive);
}

// The version file: latest program version and its archive, the table files' date and the lowest
// version that may use them.
inline QByteArray UpdateVersionFile(const QString& latest, const QString& programUrl,
                                    const char* dataMinVersion = "1.00")
{
    return (u("[PelmoraS]\r\nVersion=%1\r\nUpd=%2\r\nInfo=https://example.jp/changes.html\r\n"
              "[Pelmora_Data]\r\n2026/12/01\r\nRequiredVer=%3\r\n")
                .arg(latest, programUrl, QString::fromLatin1(dataMinVersion)))
        .toLatin1();
}

// Makes folder a program folder: the built installer and table files copied into it.
inline QString MakeProgramFolder(const QString& folder)
{
    QDir().mkpath(folder);
    const QFileInfo exe(QStringLiteral(PELMORAS_UPDATER_EXE));
    QFile::copy(exe.filePath(), folder + exe.fileName());
    for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName, KenRituName})
        QFile::copy(BuiltTables() + name, folder + name);
    return folder;
}

// The built table files with one amount of the monthly table changed (still a valid table), in
// folder: the tax of 甲 with no dependant in row 5 becomes kChangedTax.
constexpr int32_t kChangedTax = 12345;
inline void MakeChangedTables(const QString& folder)
{
    QDir().mkpath(folder);
    for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName, KenRituName}) {
        QFile::remove(folder + name);
        QFile::copy(BuiltTables() + name, folder + name);
    }
    WriteAt(folder + TaxTableKyuyoName, qint64(offsetof(TTaxTableKyuyo, Rows) + 4 * sizeof(TTaxRow) + 8),
            kChangedTax);
}

// The table archive of changed tables (entries at the top level) at archive, with its checksum.
inline void MakeTablesArchive(const QString& archive, const QString& work)
{
    MakeChangedTables(work);
    QList<std::pair<QString, QString>> entries;
    for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName, KenRituName})
        entries.push_back({name, work + name});
    MakeArchive(archive, entries);
}
