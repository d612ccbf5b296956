#pragma once
// Values kept for the whole run under numbers that never change.

#include <atomic>
#include <bit>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace qm {

// Values kept for the program's life, each under a number that never
// changes, so that a result can name one in four bytes whatever becomes of
// the projection it was found in (one made for a single search goes with
// it). A budget has a few dozen colours at most. Numbers are read without
// a lock: a value is in place before its number is handed out, and never
// moves, as the storage grows by new segments of doubling size.
template <class T, class Less = std::less<T>>
class KeptValues {
public:
    uint32_t number(const T& value)
    {
        const std::lock_guard<std::mutex> lock(guard_);
        const auto [it, added] = numbers_.try_emplace(value, uint32_t(numbers_.size()));
        if (added) {
            const auto [segment, offset] = where(it->second);
            T* values = segments_[segment].load(std::memory_order_relaxed);
            if (values == nullptr) {
                values = new T[size_t(1) << segment];
                segments_[segment].store(values, std::memory_order_release);
            }
            values[offset] = value;
        }
        return it->second;
    }
    const T& at(uint32_t number) const
    {
        const auto [segment, offset] = where(number);
        return segments_[segment].load(std::memory_order_acquire)[offset];
    }

private:
    static std::pair<uint32_t, uint32_t> where(uint32_t number)
    {
        const uint32_t segment = uint32_t(std::bit_width(uint64_t(number) + 1)) - 1;
        return {segment, uint32_t(uint64_t(number) + 1 - (uint64_t(1) << segment))};
    }

    std::atomic<T*> segments_[33] = {};
    std::mutex guard_;
    std::map<T, uint32_t, Less> numbers_;
};

// The colours of categories, "" as number 0: what outlives the projection
// it came from (a search hit, a ledger row) names its colour by number or
// points at the kept text.
KeptValues<std::string>& keptColors();

}  // namespace qm
