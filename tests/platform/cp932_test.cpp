// CP932 texts: conversion both ways, refusal of characters it lacks, byte-counted cuts.
#include "platform/cp932.h"

#include "platform/errors.h"
#include "tests/testutil.h"

namespace {

TEST(Cp932, ConvertsTheCharactersOfPayrollTexts)
{
    struct Case {
        const char* utf8;
        QByteArray cp932;
    };
    const Case cases[] = {
        {"ABC", QByteArray("ABC")},          {"給与", QByteArray("\x8B\x8B\x97\x5E")},
        {"～", QByteArray("\x81\x60")},       // full-width tilde, as CP932 maps it
        {"･｢｣", QByteArray("\xA5\xA2\xA3")},  // half-width katakana punctuation
        {"①", QByteArray("\x87\x40")},        // NEC special character
        {"髙", QByteArray("\xFB\xFC")},       // IBM extension
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.utf8);
        EXPECT_EQ(cp932::encode(text), c.cp932) << c.utf8;
        EXPECT_EQ(cp932::decode(c.cp932), text) << c.utf8;
        EXPECT_EQ(cp932::byteLength(text), c.cp932.size()) << c.utf8;
    }
}

TEST(Cp932, ReportsWhatItCannotConvert)
{
    EXPECT_THROW(cp932::encode(QStringLiteral("a😀b")), EncodingError);
    EXPECT_THROW(cp932::encode(QStringLiteral("한")), EncodingError);
    EXPECT_FALSE(cp932::canEncode(QStringLiteral("한")));
    EXPECT_THROW(cp932::decode(QByteArray("\x82")), EncodingError) << "a lead byte without its trail";
    // The refusal quotes the whole character, a character beyond the 16-bit range too.
    const struct {
        const char* text;
        const char* quoted;
    } cases[] = {{"Co😀", "😀"}, {"𠮷野家", "𠮷"}, {"株式会社한", "한"}, {"😀", "😀"}, {"Café😀株式会社", "é"}};
    for (const auto& c : cases) {
        try {
            cp932::encode(QString::fromUtf8(c.text));
            ADD_FAILURE() << c.text;
        } catch (const EncodingError& e) {
            EXPECT_EQ(e.message(), QString::fromUtf8("「%1」はこのプログラムで扱えない文字です。")
                                       .arg(QString::fromUtf8(c.quoted)));
        }
    }
}

TEST(Cp932, CutsNeverSplitADoubleByteCharacter)
{
    const QByteArray b = cp932::encode(QStringLiteral("aテスト"));  // 1 + 6 bytes
    EXPECT_EQ(cp932::cutBytes(b, 7), b);
    EXPECT_EQ(cp932::cutBytes(b, 6), cp932::encode(QStringLiteral("aテス")).left(5));
    EXPECT_EQ(cp932::cutBytes(b, 2), QByteArray("a"));
    EXPECT_EQ(cp932::cut(QStringLiteral("テスト株式会社"), 5), QStringLiteral("テス"));
    EXPECT_EQ(cp932::padRight(QStringLiteral("ｱ山"), 6), QStringLiteral("ｱ山   "));
    EXPECT_EQ(cp932::padLeft(QStringLiteral("山田"), 5), QStringLiteral(" 山田"));
    EXPECT_EQ(cp932::padLeft(QStringLiteral("山田"), 3), QStringLiteral(" 山"));
}

// Each range at its edges, through the count, the cut at N bytes and the padding. Bytes empty: a
// character CP932 lacks, which still counts two bytes. "back" is what the bytes read back as.
TEST(Cp932, EveryRangeCountsCutsAndPadsAtItsEdges)
{
    struct Case {
        char32_t c;
        QByteArray bytes;
        int width;
        char32_t back = 0;
    };
    const Case cases[] = {
        {U'\x7F', "\x7F", 1},        {U'\x80', "", 2},              // last ASCII, first after it
        {U'\xA5', "\x5C", 1, U'\\'}, {U'\u203E', "\x7E", 1, U'~'},  // yen sign and overline: one byte
        {U'\uFF60', "", 2},          {U'\uFF61', "\xA1", 1},        // half-width katakana U+FF61..U+FF9F
        {U'\uFF9F', "\xDF", 1},      {U'\uFFA0', "", 2},
        {U'\u3000', "\x81\x40", 2},  {U'\u2460', "\x87\x40", 2},  // first double byte, NEC row 13
        {U'\u6ECC', "\x9F\xFC", 2},  {U'\u6F3E', "\xE0\x40", 2},  // ends of lead bytes 0x9F and 0xE0
        {U'\u7199', "\xEA\xA4", 2},                               // last of JIS level 2
        {U'\uE000', "\xF0\x40", 2},  {U'\uE757', "\xF9\xFC", 2},  // user-defined area
        {U'\uE758', "", 2},                                       // past it
        {U'\u2170', "\xFA\x40", 2},  {U'\u9ED1', "\xFC\x4B", 2},  // IBM extension, first and last
        {U'\uD55C', "", 2},          {U'\U0001F600', "", 2},      // Hangul, beyond the BMP
    };
    for (const Case& c : cases) {
        const QString ch = QString::fromUcs4(&c.c, 1);
        SCOPED_TRACE(QStringLiteral("U+%1").arg(uint(c.c), 4, 16, QLatin1Char('0')).toStdString());
        const QString text = QStringLiteral("a") + ch + QStringLiteral("b");
        EXPECT_EQ(cp932::byteLength(ch), c.width);
        EXPECT_EQ(cp932::byteLength(text), c.width + 2);
        EXPECT_EQ(cp932::cut(text, c.width), QStringLiteral("a"));
        EXPECT_EQ(cp932::cut(text, c.width + 1), QStringLiteral("a") + ch);
        EXPECT_EQ(cp932::padRight(ch, 4), ch + QString(4 - c.width, QLatin1Char(' ')));
        EXPECT_EQ(cp932::padLeft(ch, 4), QString(4 - c.width, QLatin1Char(' ')) + ch);
        EXPECT_EQ(cp932::padRight(text, c.width),
                  QStringLiteral("a") + QString(c.width - 1, QLatin1Char(' ')));
        EXPECT_EQ(cp932::canEncode(ch), !c.bytes.isEmpty());
        if (c.bytes.isEmpty()) {
            EXPECT_THROW(cp932::encode(ch), EncodingError);
            continue;
        }
        const QByteArray b = cp932::encode(text);
        EXPECT_EQ(b, "a" + c.bytes + "b");
        EXPECT_EQ(cp932::decode(c.bytes), QString::fromUcs4(c.back ? &c.back : &c.c, 1));
        EXPECT_EQ(cp932::cutBytes(b, c.width), QByteArray("a"));
        EXPECT_EQ(cp932::cutBytes(b, c.width + 1), "a" + c.bytes);
    }
    // Single bytes around the lead-byte ranges 0x81..0x9F and 0xE0..0xFC.
    for (auto [byte, lead] : {std::pair{0x80, false},
                              {0x81, true},
                              {0x9F, true},
                              {0xA0, false},
                              {0xDF, false},
                              {0xE0, true},
                              {0xFC, true},
                              {0xFD, false}}) {
        const QByteArray b = QByteArray(1, char(byte)) + "@";
        EXPECT_EQ(cp932::isLeadByte(uchar(byte)), lead) << byte;
        EXPECT_EQ(cp932::cutBytes(b, 1).size(), lead ? 0 : 1) << byte;
        EXPECT_EQ(cp932::cutBytes(b, 2), b) << byte;
    }
}

}  // namespace
