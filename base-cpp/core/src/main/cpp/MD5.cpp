#include "base/core/MD5.h"

#include <cstring>

namespace base::core {

namespace {

constexpr uint32_t rotateLeft(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

// Per-step additive constants: floor(abs(sin(i + 1)) * 2^32).
constexpr uint32_t SINE_TABLE[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int SHIFTS[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

} // namespace

MD5::MD5() : state{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, buffer{} {}

void MD5::transform(const uint8_t block[64]) {
    uint32_t words[16];
    for (int i = 0; i < 16; ++i)
        words[i] = uint32_t(block[i * 4]) | (uint32_t(block[i * 4 + 1]) << 8) |
                   (uint32_t(block[i * 4 + 2]) << 16) | (uint32_t(block[i * 4 + 3]) << 24);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        const int round = i / 16;
        uint32_t f;
        int wordIndex;
        switch (round) {
        case 0:
            f = (b & c) | (~b & d);
            wordIndex = i;
            break;
        case 1:
            f = (b & d) | (c & ~d);
            wordIndex = (5 * i + 1) % 16;
            break;
        case 2:
            f = b ^ c ^ d;
            wordIndex = (3 * i + 5) % 16;
            break;
        default:
            f = c ^ (b | ~d);
            wordIndex = (7 * i) % 16;
            break;
        }
        const uint32_t rotated = rotateLeft(a + f + SINE_TABLE[i] + words[wordIndex], SHIFTS[round][i % 4]);
        a = d;
        d = c;
        c = b;
        b = b + rotated;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

void MD5::update(const void* data, size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t used = static_cast<size_t>((bitCount / 8) % 64);
    bitCount += static_cast<uint64_t>(length) * 8;
    if (used > 0) {
        const size_t take = length < 64 - used ? length : 64 - used;
        std::memcpy(buffer + used, bytes, take);
        used += take;
        bytes += take;
        length -= take;
        if (used < 64)
            return;
        transform(buffer);
    }
    for (; length >= 64; bytes += 64, length -= 64)
        transform(bytes);
    std::memcpy(buffer, bytes, length);
}

MD5::Digest MD5::finish() {
    const uint64_t messageBits = bitCount;
    // A single 1 bit, zeros up to 56 bytes modulo 64, then the message length in bits, little endian.
    static const uint8_t padding[64] = {0x80};
    const size_t used = static_cast<size_t>((bitCount / 8) % 64);
    update(padding, used < 56 ? 56 - used : 120 - used);
    uint8_t length[8];
    for (int i = 0; i < 8; ++i)
        length[i] = static_cast<uint8_t>(messageBits >> (8 * i));
    update(length, 8);
    Digest digest;
    for (int i = 0; i < 16; ++i)
        digest[i] = static_cast<uint8_t>(state[i / 4] >> (8 * (i % 4)));
    return digest;
}

MD5::Digest MD5::compute(const void* data, size_t length) {
    MD5 md5;
    md5.update(data, length);
    return md5.finish();
}

} // namespace base::core
