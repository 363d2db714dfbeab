#pragma once

#include <QByteArray>
#include <array>
#include <cstdint>

// The one scrambling key of the signature files. The program scrambles a signature bitmap
// with it before storing it, the tester (and v740sim) unscrambles what it receives with
// it. A real tester prints the signatures correctly only when this key is its own key;
// nothing else in the system may define another.
namespace SignatureKey {

// Four bytes: byte i of a signature file is byte i of the bitmap XOR kKey[i % 4].
inline constexpr std::array<std::uint8_t, 4> kKey = {0x56, 0x37, 0x34, 0xA5};

// Scrambles (or, applied again, unscrambles) a whole file held in memory; the result has
// the same length.
inline QByteArray Scramble(const QByteArray& bytes) {
    QByteArray out(bytes.size(), Qt::Uninitialized);
    const char* in = bytes.constData();
    char* o = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        o[i] = char(std::uint8_t(in[i]) ^ kKey[std::size_t(i % 4)]);
    return out;
}

inline QByteArray Unscramble(const QByteArray& bytes) {
    return Scramble(bytes);
}

} // namespace SignatureKey
