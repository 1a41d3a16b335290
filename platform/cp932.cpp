// Code page 932 through glibc iconv; conversion errors are reported, never replaced.
#include "platform/cp932.h"

#include <errno.h>
#include <iconv.h>

#include <QList>
#include <algorithm>
#include <vector>

#include "platform/errors.h"

namespace cp932 {
namespace {

// Runs iconv over the whole input; returns false at the first byte it cannot convert.
bool convert(const char* to, const char* from, const char* in, size_t inSize, std::string& out,
             size_t& failedAt)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw EncodingError(QStringLiteral("文字コード変換(CP932)が使えません。"));
    out.clear();
    std::vector<char> buf(inSize * 2 + 16);
    char* src = const_cast<char*>(in);
    size_t srcLeft = inSize;
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = buf.data();
        size_t dstLeft = buf.size();
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf.data(), dst - buf.data());
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    if (ok) {
        char* dst = buf.data();
        size_t dstLeft = buf.size();
        iconv(cd, nullptr, nullptr, &dst, &dstLeft);
        out.append(buf.data(), dst - buf.data());
    }
    failedAt = inSize - srcLeft;
    iconv_close(cd);
    return ok;
}

}  // namespace

QByteArray encode(const QString& text)
{
    if (text.isEmpty()) return {};
    const QByteArray utf8 = text.toUtf8();
    std::string out;
    size_t failedAt = 0;
    if (!convert("CP932", "UTF-8", utf8.constData(), utf8.size(), out, failedAt)) {
        // The whole character, both halves of a surrogate pair.
        const QString rest = QString::fromUtf8(utf8.mid(static_cast<int>(failedAt)));
        const QString bad =
            rest.left(rest.size() > 1 && rest[0].isHighSurrogate() && rest[1].isLowSurrogate() ? 2 : 1);
        throw EncodingError(QStringLiteral("「%1」はこのプログラムで扱えない文字です。").arg(bad));
    }
    return QByteArray(out.data(), static_cast<int>(out.size()));
}

QString decode(const char* data, int size)
{
    if (size <= 0) return {};
    std::string out;
    size_t failedAt = 0;
    if (!convert("UTF-8", "CP932", data, size, out, failedAt))
        throw EncodingError(QStringLiteral("文字コード(シフトJIS)として読めないデータがあります。"));
    return QString::fromUtf8(out.data(), static_cast<int>(out.size()));
}

QString decode(const QByteArray& bytes)
{
    return decode(bytes.constData(), bytes.size());
}

QString decodeShown(const QByteArray& bytes, QChar replacement)
{
    QString text;
    qsizetype at = 0;
    while (at < bytes.size()) {
        std::string out;
        size_t failedAt = 0;
        const bool ok =
            convert("UTF-8", "CP932", bytes.constData() + at, size_t(bytes.size() - at), out, failedAt);
        text += QString::fromUtf8(out.data(), qsizetype(out.size()));
        if (ok) break;
        // One byte is replaced; the conversion goes on behind it (a bad lead byte's partner may
        // be a character of its own).
        text += replacement;
        at += qsizetype(failedAt) + 1;
    }
    return text;
}

bool canEncode(const QString& text)
{
    try {
        encode(text);
        return true;
    } catch (const EncodingError&) {
        return false;
    }
}

QString refusal(const QString& text)
{
    try {
        encode(text);
        return {};
    } catch (const EncodingError& e) {
        return e.message();
    }
}

int byteLength(const QString& text)
{
    int n = 0;
    for (QChar c : text) {
        const ushort u = c.unicode();
        // ASCII, half-width katakana, and the yen sign and overline, which CP932 stores as its
        // single bytes 0x5C and 0x7E.
        if (u < 0x80 || (u >= 0xFF61 && u <= 0xFF9F) || u == 0xA5 || u == 0x203E)
            n += 1;
        else if (c.isLowSurrogate())
            continue;
        else
            n += 2;
    }
    return n;
}

QByteArray cutBytes(const QByteArray& bytes, int maxBytes)
{
    if (maxBytes <= 0) return {};
    if (bytes.size() <= maxBytes) return bytes;
    int i = 0;
    while (i < maxBytes) {
        const int w = isLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
        if (i + w > maxBytes) break;
        i += w;
    }
    return bytes.left(i);
}

QString cut(const QString& text, int maxBytes)
{
    QString out;
    int n = 0;
    for (int i = 0; i < text.size(); ++i) {
        const int w = byteLength(text.mid(i, text[i].isHighSurrogate() ? 2 : 1));
        if (n + w > maxBytes) break;
        n += w;
        out += text[i];
        if (text[i].isHighSurrogate() && i + 1 < text.size()) out += text[++i];
    }
    return out;
}

QString padRight(const QString& text, int width)
{
    QString t = cut(text, width);
    return t + QString(width - byteLength(t), QLatin1Char(' '));
}

QString padRightWhole(const QString& text, int width)
{
    return text + QString(std::max(0, width - byteLength(text)), QLatin1Char(' '));
}

QString padLeft(const QString& text, int width)
{
    QString t = cut(text, width);
    return QString(width - byteLength(t), QLatin1Char(' ')) + t;
}

QString keepEncodable(const QString& text)
{
    if (canEncode(text)) return text;
    QString kept;
    for (char32_t c : text.toUcs4()) {
        const QString ch = QString::fromUcs4(&c, 1);
        if (canEncode(ch)) kept += ch;
    }
    return kept;
}

}  // namespace cp932
