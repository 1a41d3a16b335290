// Why a transfer through libcurl failed, in the program's words, for the cloud and the update
// messages alike.
#pragma once
#include <QString>

// The reason for the user of libcurl's result code (CURLcode): a Japanese sentence for the common
// failures (timeout, refused, name not found, certificate, connection lost, disk full ...); for the
// rarer ones a general sentence with libcurl's own words (detail, else its text of the code) in
// parentheses. localErrno, when not 0, is why this computer could not keep the bytes received.
QString CurlReason(int code, const char* detail = nullptr, int localErrno = 0);
