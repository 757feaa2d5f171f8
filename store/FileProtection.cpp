#include "FileProtection.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace store::detail {

namespace {

// RC4 as Jet uses it to hide part of its first page.
void rc4(const unsigned char* key, std::size_t keyLength, unsigned char* data, std::size_t length)
{
    unsigned char state[256];
    for (int i = 0; i < 256; ++i)
        state[i] = static_cast<unsigned char>(i);
    for (unsigned i = 0, j = 0; i < 256; ++i) {
        j = (j + state[i] + key[i % keyLength]) & 0xff;
        std::swap(state[i], state[j]);
    }
    for (std::size_t k = 0, i = 0, j = 0; k < length; ++k) {
        i = (i + 1) & 0xff;
        j = (j + state[i]) & 0xff;
        std::swap(state[i], state[j]);
        data[k] ^= state[(state[i] + state[j]) & 0xff];
    }
}

} // namespace

const char* protectionOf(const unsigned char* page, bool jet3, bool ace)
{
    static constexpr unsigned char key[] = {0xc7, 0xda, 0x39, 0x6b};
    unsigned char header[128];
    const std::size_t hidden = jet3 ? 126 : 128;
    std::memcpy(header, page + 0x18, hidden);
    rc4(key, sizeof key, header, hidden);
    auto h = [&header](std::size_t offset) { return header[offset - 0x18]; }; // page offsets

    if (h(0x3e) | h(0x3f) | h(0x40) | h(0x41))
        return ace ? " is protected by a password and encrypted; only a database without a "
                     "password can be read."
                   : " is encrypted; only a database that is not encrypted can be read.";
    unsigned char mask[4]{};
    if (!jet3) {
        double created = 0;
        std::memcpy(&created, header + (0x72 - 0x18), sizeof created);
        if (std::isfinite(created) && created > -2147483648.0 && created < 2147483648.0) {
            const auto days =
                static_cast<std::uint32_t>(static_cast<std::int32_t>(std::floor(created)));
            for (int i = 0; i < 4; ++i)
                mask[i] = static_cast<unsigned char>(days >> (8 * i));
        }
    }
    const std::size_t length = jet3 ? 20 : 40;
    for (std::size_t i = 0; i < length; ++i)
        if ((h(0x42 + i) ^ mask[i % 4]) != 0)
            return " is protected by a password; only a database without a password can be "
                   "read.";
    return nullptr;
}

} // namespace store::detail
