// Code page 932 texts: conversion through glibc iconv "CP932", and byte-counting helpers that
// never split a double-byte character.
#pragma once
#include <QByteArray>
#include <QString>

namespace cp932 {

// Unicode to CP932; throws EncodingError naming the first character CP932 lacks.
QByteArray encode(const QString& text);
// CP932 to Unicode; throws EncodingError on bytes that are not CP932.
QString decode(const QByteArray& bytes);
QString decode(const char* data, int size);
// CP932 to Unicode for showing and writing names: a byte that is not CP932 (a lead byte without
// its trail byte at the end, a pair CP932 lacks) becomes replacement, and every good character
// around it is kept.
QString decodeShown(const QByteArray& bytes, QChar replacement = QLatin1Char('?'));
// True when every character of text exists in CP932.
bool canEncode(const QString& text);
// The refusal encode() gives for text, naming its first character CP932 lacks ("「😀」はこのプログラ
// ムで扱えない文字です。"); empty when every character exists in CP932.
QString refusal(const QString& text);
// text without the characters CP932 lacks (what an entry field of a CP932 record keeps).
QString keepEncodable(const QString& text);

// A lead byte of a double-byte character: 0x81..0x9F or 0xE0..0xFC.
inline bool isLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Bytes of text in CP932, as encode() writes them (characters CP932 lacks count as 2).
int byteLength(const QString& text);
// The longest head of bytes that is at most maxBytes long and ends on a character boundary.
QByteArray cutBytes(const QByteArray& bytes, int maxBytes);
// The same for a Unicode text measured in CP932 bytes.
QString cut(const QString& text, int maxBytes);
// Pads with half-width blanks to width bytes (left: text first) or cuts it to width.
QString padRight(const QString& text, int width);
QString padLeft(const QString& text, int width);
// Pads with half-width blanks to at least width bytes; a longer text stays whole, as Format's
// "%-16s" leaves it, and what follows it moves right.
QString padRightWhole(const QString& text, int width);

}  // namespace cp932
