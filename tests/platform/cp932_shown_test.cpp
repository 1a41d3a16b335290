// Names with a byte that is not CP932, as lists, exports and file names show and write them.
#include "platform/cp932.h"
#include "tests/testutil.h"

namespace {

// A bad byte shows as "?" alone: the good characters before and after it stay.
TEST(Cp932Shown, ShownTextReplacesOnlyTheBadByte)
{
    const QByteArray name = cp932::encode(QStringLiteral("山田山田花子あA"));
    const struct {
        const char* what;
        QByteArray bytes;
        const char* shown;
    } cases[] = {
        {"good", name, "山田山田花子あA"},
        {"dangling lead byte at the end", name + "\x81", "山田山田花子あA?"},
        {"lead byte before a blank",
         cp932::encode(QStringLiteral("山")) + "\x81 " + cp932::encode(QStringLiteral("田")), "山? 田"},
        {"pair CP932 lacks", cp932::encode(QStringLiteral("山")) + "\x85\x40" + "x", "山?@x"},
        {"half-width katakana", QByteArray("\xB1\xB2\x82"), "ｱｲ?"},
        {"empty", QByteArray(), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cp932::decodeShown(c.bytes), QString::fromUtf8(c.shown)) << c.what;
        EXPECT_NO_THROW(cp932::encode(cp932::decodeShown(c.bytes))) << c.what << ": written to a CP932 file";
    }
    EXPECT_EQ(cp932::decodeShown(name + "\x81", QChar(0xFFFD)), QStringLiteral("山田山田花子あA\uFFFD"));
}

}  // namespace
