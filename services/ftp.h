// The backup server over FTP (libcurl): one folder holding an installation's files, uploaded under
// a temporary name and renamed at the end, so that a broken or cancelled upload leaves the
// previous file in place. TLS is used whenever the server offers it.
#pragma once
#include <QString>
#include <functional>

struct TFtpServer {
    QString Host;
    int Port = 21;
    QString User, Password;
    QString Folder;  // the folder on the server, "/" first and last
    // A transfer slower than LowSpeedBytes a second for StallSeconds, or a server that does not
    // answer a command for that long, is given up.
    long StallSeconds = 60;
    long LowSpeedBytes = 512;
};

// No file the program keeps on the server is larger than the archive it may unpack.
constexpr qint64 kFtpMaxDownload = qint64(1) << 30;

// Called with the bytes moved so far and the total (0 when unknown); false cancels the transfer.
using FtpProgress = std::function<bool(qint64 done, qint64 total)>;

// What went wrong, as far as the caller words it differently.
enum class FtpFailure {
    None,
    Connect,   // the server was not reached, did not answer as an FTP server, or refused the login
    NoFolder,  // the server refused the change to (or the making of) the folder
    NoFile,    // the server answered that the file is not there
    Other,     // a transfer that broke, a local file, a cancel
};

struct TFtpResult {
    bool Ok = false;
    bool Cancelled = false;
    QString Error;  // the reason, for the message that names the step
    FtpFailure Failure = FtpFailure::None;
    qint64 Size = -1;  // FtpSize: the size the server reported
};

// Puts localFile as name into the folder (made when missing): sent as name + ".part", then
// renamed over name. The progress shows the bytes the server says it holds (asked on a second
// connection while the data goes) and reaches the file's size only once the file is in place. A
// cancel is taken until the rename is sent; once sent, its answer decides (a lost answer is settled
// by looking at the server's folder). The ".part" of an upload that failed or was cancelled is
// deleted from the server.
TFtpResult FtpUpload(const TFtpServer& server, const QString& localFile, const QString& name,
                     const FtpProgress& progress = {});
// Gets name into localFile, whole or not at all (an earlier localFile stays on failure); a file
// past maxBytes is stopped there and counts as a failure.
TFtpResult FtpDownload(const TFtpServer& server, const QString& name, const QString& localFile,
                       const FtpProgress& progress = {}, qint64 maxBytes = kFtpMaxDownload);
// The size of name on the server in Size (-1 when the server does not tell); a file that is not
// there fails with NoFile, a connection that fails with Connect.
TFtpResult FtpSize(const TFtpServer& server, const QString& name);
// Deletes name from the folder.
TFtpResult FtpDelete(const TFtpServer& server, const QString& name);
