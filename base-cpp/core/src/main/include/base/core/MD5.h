#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace base::core {

// The MD5 message digest of RFC 1321.
class MD5 {
public:
    using Digest = std::array<uint8_t, 16>;

    MD5();

    void update(const void* data, size_t length);
    // Pads the message and returns its digest; the object must not be updated afterwards.
    Digest finish();

    static Digest compute(const void* data, size_t length);

private:
    void transform(const uint8_t block[64]);

    uint32_t state[4];
    uint64_t bitCount = 0;
    uint8_t buffer[64];
};

} // namespace base::core
