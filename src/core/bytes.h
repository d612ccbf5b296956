#pragma once
// Loads and stores of fixed-width integers at any address, each named by its
// byte order: file formats mix big-endian (fonts, PNG, SHA-2) and
// little-endian (zip, deflate, Ed25519) fields, and a load whose name leaves
// the order out invites reading one as the other.
#include <bit>
#include <cstdint>
#include <cstring>

namespace qm {

namespace bytes_detail {

template <typename T>
inline T loadNative(const void* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
inline T swapBytes(T v)
{
    if constexpr (sizeof(T) == 2)
        return T(__builtin_bswap16(uint16_t(v)));
    else if constexpr (sizeof(T) == 4)
        return T(__builtin_bswap32(uint32_t(v)));
    else
        return T(__builtin_bswap64(uint64_t(v)));
}

template <typename T>
inline T fromLe(T v)
{
    if constexpr (std::endian::native == std::endian::little)
        return v;
    else
        return swapBytes(v);
}

template <typename T>
inline T fromBe(T v)
{
    if constexpr (std::endian::native == std::endian::big)
        return v;
    else
        return swapBytes(v);
}

}  // namespace bytes_detail

inline uint16_t loadLe16(const void* p) { return bytes_detail::fromLe(bytes_detail::loadNative<uint16_t>(p)); }
inline uint32_t loadLe32(const void* p) { return bytes_detail::fromLe(bytes_detail::loadNative<uint32_t>(p)); }
inline uint64_t loadLe64(const void* p) { return bytes_detail::fromLe(bytes_detail::loadNative<uint64_t>(p)); }
inline uint16_t loadBe16(const void* p) { return bytes_detail::fromBe(bytes_detail::loadNative<uint16_t>(p)); }
inline uint32_t loadBe32(const void* p) { return bytes_detail::fromBe(bytes_detail::loadNative<uint32_t>(p)); }
inline uint64_t loadBe64(const void* p) { return bytes_detail::fromBe(bytes_detail::loadNative<uint64_t>(p)); }

inline void storeLe16(void* p, uint16_t v)
{
    v = bytes_detail::fromLe(v);
    std::memcpy(p, &v, sizeof v);
}
inline void storeLe32(void* p, uint32_t v)
{
    v = bytes_detail::fromLe(v);
    std::memcpy(p, &v, sizeof v);
}
inline void storeLe64(void* p, uint64_t v)
{
    v = bytes_detail::fromLe(v);
    std::memcpy(p, &v, sizeof v);
}
inline void storeBe16(void* p, uint16_t v)
{
    v = bytes_detail::fromBe(v);
    std::memcpy(p, &v, sizeof v);
}
inline void storeBe32(void* p, uint32_t v)
{
    v = bytes_detail::fromBe(v);
    std::memcpy(p, &v, sizeof v);
}
inline void storeBe64(void* p, uint64_t v)
{
    v = bytes_detail::fromBe(v);
    std::memcpy(p, &v, sizeof v);
}

}  // namespace qm
