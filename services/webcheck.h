// The maker's version file over HTTP: where it is ([Web] BaseURL of the program-wide settings),
// which addresses may be used, its fetching through libcurl and its reading.
#pragma once
#include <QByteArray>
#include <QString>
#include <functional>

// The base address of the version file, the downloads and the pages, ending with "/"; empty while
// [Web] BaseURL of the program-wide settings file is unset.
QString WebBaseUrl();
// Only https addresses are fetched or opened; plain http only on the loopback host.
bool IsAllowedUrl(const QString& url);
// A redirect from one address to another is followed only to an allowed address, and never from
// https to plain http.
bool IsAllowedRedirect(const QString& from, const QString& to);

struct THttpResult {
    bool Ok = false;  // a 2xx answer read whole
    long Status = 0;  // the HTTP status, 0 when no answer came
    QByteArray Body;  // what was read (empty when not Ok)
    QString Error;    // why not, for the user
};
// How long a fetch may wait and how much it may read.
struct THttpLimits {
    long connectSeconds = 10;
    long totalSeconds = 300;
    long lowSpeedBytes = 512;            // slower than this many bytes a second ...
    long lowSpeedSeconds = 30;           // ... for this long is a stalled transfer, given up
    qint64 maxBytes = qint64(64) << 20;  // no version file or page is that large
};
// The notice check at start runs before the password window: a few seconds in all.
inline constexpr THttpLimits kStartupHttpLimits{2, 5, 512, 3, qint64(1) << 20};

// Where a GET's bytes go: take gets each block as it arrives (false stops the transfer as a
// failure); progress, when set, sees the expected byte count (-1 while unknown) and the bytes so far,
// keeps the windows alive itself and returns false to stop the transfer (the user's 中止); without
// it pending events other than the user's input run while the transfer waits.
struct THttpSink {
    std::function<bool(const char* data, qint64 size)> take;
    std::function<bool(qint64 total, qint64 now)> progress;
};
// One GET of url within limits (totalSeconds 0: no overall limit), with the program's User-Agent
// and Accept headers: allowed addresses only, redirects followed only where IsAllowedRedirect lets
// them go; HTTP errors (404 ...), a stall, a timeout and a
// body past maxBytes are failures. Returns an empty text when every byte arrived with a 2xx
// answer, else why not, for the user; *status is the HTTP status (0 when no answer came).
QString HttpTransfer(const QString& url, const THttpLimits& limits, const THttpSink& sink,
                     long* status = nullptr);

// GET of url into memory within limits: HTTP errors (404 ...), a stall, a timeout and a body past
// maxBytes are failures with nothing kept; redirects followed only to allowed addresses; pending
// events other than the user's input run while it waits.
THttpResult HttpGet(const QString& url, const THttpLimits& limits = {});

// The version file "version_info.dat" as the program reads it (CP932 lines, sections by their
// exact header line, lines after it by position, values after the first "=", cut at 99).
struct TVersionInfo {
    QString Latest, UpdaterUrl, ChangesUrl;           // [PelmoraS]
    QString DataDate, DataMinVersion;                 // [Pelmora_Data]: line 1, characters 13..16 of line 2
    QString NoticeDate, Notice1, Notice2, NoticeUrl;  // [Pelmora_Notice]
};
TVersionInfo ParseVersionFile(const QByteArray& bytes);

enum class VersionFetch { NoAddress, NoConnection, Read };
// Fetches "version_info.dat" from the base address within limits and reads it into info.
VersionFetch FetchVersionInfo(TVersionInfo& info, const THttpLimits& limits = {});
// Versions are compared as texts in byte order, as the file keeps them at a fixed width ("3.48").
bool VersionBefore(const QString& version, const QString& other);

enum class VersionCheck { NoAddress, NoConnection, NoInfo, UpToDate, Newer };
// Fetches the version file from the base address and compares its latest version with current
// (as texts, as the file keeps a fixed width). info is filled when the file was read.
VersionCheck CheckProgramVersion(const QString& current, TVersionInfo& info);
// The notice text to show ("line 2\r[line 3\r]\rこのお知らせを次回以降も表示しますか？"), empty
// when the notice is not later than storedDate ("Option"/"NoticeDate", default "1965/04/10").
QString NoticeText(const TVersionInfo& info, const QString& storedDate);
