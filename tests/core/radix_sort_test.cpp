#include "core/radix_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

using namespace qm;

// Against std::stable_sort: keys of every sign and spread, many equal keys
// (whose order must hold), and lists on both sides of the small-list path.
TEST(RadixSort, SortsStablyLikeTheStandardSort)
{
    struct Item {
        int64_t key;
        size_t position;
    };
    struct Case {
        const char* name;
        int64_t low, high;
        size_t count;
    };
    const Case cases[] = {
        {"few", -5, 5, 40},
        {"narrow with repeats", 100, 120, 5000},
        {"negative and positive", -1000000, 1000000, 5000},
        {"the whole range", std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(), 5000},
        {"all equal", 7, 7, 300},
    };
    std::mt19937_64 rng(5);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::uniform_int_distribution<int64_t> pick(c.low, c.high);
        std::vector<Item> items(c.count);
        for (size_t i = 0; i < items.size(); ++i)
            items[i] = {i % 3 == 0 && i > 0 ? items[i - 1].key : pick(rng), i};
        std::vector<Item> want = items;
        std::stable_sort(want.begin(), want.end(), [](const Item& a, const Item& b) { return a.key < b.key; });
        radixSortBy(items, [](const Item& item) { return orderedKey(item.key); });
        for (size_t i = 0; i < items.size(); ++i) {
            ASSERT_EQ(items[i].key, want[i].key) << i;
            ASSERT_EQ(items[i].position, want[i].position) << i;
        }
    }
}
