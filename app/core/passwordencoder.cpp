#include "core/passwordencoder.h"

#include <QByteArray>

namespace
{

constexpr unsigned char kSeed = 0xA7;
// Texts with characters beyond U+00FF cannot be stored one byte per character; they are stored
// as scrambled UTF-8 behind this marker (never part of the Base64 alphabet) so they survive.
const char* const kUtf8Marker = "u8:";

unsigned char keyByte(int i)
{
    return static_cast<unsigned char>((kSeed - i) & 0xFF);
}

QByteArray scramble(QByteArray bytes)
{
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(static_cast<unsigned char>(bytes[i]) ^ keyByte(i));
    return bytes;
}

} // namespace

PasswordEncoder* PasswordEncoder::instance_ = nullptr;

PasswordEncoder* PasswordEncoder::instance()
{
    if (!instance_)
        instance_ = new PasswordEncoder();
    return instance_;
}

void PasswordEncoder::cleanUp()
{
    delete instance_;
    instance_ = nullptr;
}

QString PasswordEncoder::encode(const QString& text) const
{
    bool latin1 = true;
    for (QChar c : text) {
        if (c.unicode() > 255) {
            latin1 = false;
            break;
        }
    }
    if (!latin1)
        return QString::fromLatin1(kUtf8Marker) + QString::fromLatin1(scramble(text.toUtf8()).toBase64());

    QByteArray bytes;
    bytes.reserve(text.size());
    for (int i = 0; i < text.size(); ++i)
        bytes.append(static_cast<char>((text.at(i).unicode() ^ keyByte(i)) & 0xFF));
    return QString::fromLatin1(bytes.toBase64());
}

QString PasswordEncoder::decode(const QString& text) const
{
    if (text.isEmpty())
        return QString();
    if (text.startsWith(QLatin1String(kUtf8Marker)))
        return QString::fromUtf8(scramble(QByteArray::fromBase64(text.mid(3).toUtf8())));

    const QByteArray bytes = scramble(QByteArray::fromBase64(text.toUtf8()));
    QString out;
    out.reserve(bytes.size());
    for (char b : bytes)
        out.append(QChar(static_cast<ushort>(static_cast<unsigned char>(b))));
    return out;
}
