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

}  // namespace
