#pragma once
// A stable sort of records by a 64-bit key, in passes over the bytes in
// which the keys differ: for the large, mostly unordered lists the budget
// keeps (records by transaction id, by day), it costs a few sequential
// passes where a comparison sort would cost many scattered ones.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qm {

// Signed keys in the order of their values.
constexpr uint64_t orderedKey(int64_t value) { return uint64_t(value) ^ (uint64_t(1) << 63); }

// Sorts items by key(item) (a uint64_t), keeping the order of equal keys.
template <class T, class Alloc, class Key>
void radixSortBy(std::vector<T, Alloc>& items, Key&& key)
{
    if (items.size() < 64) {
        std::stable_sort(items.begin(), items.end(), [&](const T& a, const T& b) { return key(a) < key(b); });
        return;
    }
    uint64_t low = key(items[0]), high = low;
    for (const T& item : items) {
        low = std::min(low, key(item));
        high = std::max(high, key(item));
    }
    const uint64_t spread = high - low;
    std::vector<T, Alloc> other(items.size());
    for (int shift = 0; shift < 64 && (spread >> shift) != 0; shift += 8) {
        size_t starts[257] = {};
        for (const T& item : items)
            ++starts[((key(item) - low) >> shift & 0xff) + 1];
        for (int i = 1; i < 257; ++i)
            starts[i] += starts[i - 1];
        for (const T& item : items)
            other[starts[(key(item) - low) >> shift & 0xff]++] = item;
        items.swap(other);
    }
}

}  // namespace qm
