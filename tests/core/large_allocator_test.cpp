#include "core/large_allocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qm {
namespace {

// A list grown from a few entries past several large blocks and shrunk back
// keeps its contents through every move between small and large blocks, and
// each block goes back the way it came (the sanitizer tree reports a block
// released by the wrong call).
TEST(LargeAllocator, ListKeepsItsContentsAcrossTheBlockSizes)
{
    struct alignas(64) Record {
        int64_t id = 0;
        char rest[56] = {};
    };
    std::vector<Record, LargeAllocator<Record>> list;
    const size_t many = 3 * kLargeBlockBytes / sizeof(Record) + 7;
    for (size_t i = 0; i < many; ++i) {
        list.push_back({int64_t(i), {}});
        ASSERT_EQ(reinterpret_cast<uintptr_t>(list.data()) % alignof(Record), 0u);
    }
    EXPECT_EQ(reinterpret_cast<uintptr_t>(list.data()) % kLargeBlockBytes, 0u);
    for (size_t i = 0; i < many; i += 4099)
        EXPECT_EQ(list[i].id, int64_t(i));
    EXPECT_EQ(list.back().id, int64_t(many - 1));

    list.resize(10);
    list.shrink_to_fit();
    for (size_t i = 0; i < list.size(); ++i)
        EXPECT_EQ(list[i].id, int64_t(i));

    // Copies of one list share no memory.
    std::vector<Record, LargeAllocator<Record>> copy = list;
    copy[0].id = -1;
    EXPECT_EQ(list[0].id, 0);
}

// Blocks that fill most of a huge page start on one, so that the kernel can
// back them with huge pages. Every block, on either side of that line, is
// written end to end and given back the way it came.
TEST(LargeAllocator, BlocksStartOnAHugePageWhenTheyFillMostOfOne)
{
    constexpr size_t kMiB = size_t(1) << 20;
    const struct {
        size_t bytes;
        bool huge;
    } cases[] = {{4096, false}, {kMiB, false}, {kMiB + kMiB / 2 - 1, false}, {kMiB + kMiB / 2, true}, {2 * kMiB, true},
        {2 * kMiB + 1, true}, {5 * kMiB + kMiB / 3, true}};
    LargeAllocator<char> allocator;
    for (const auto& c : cases) {
        char* block = allocator.allocate(c.bytes);
        const bool aligned = reinterpret_cast<uintptr_t>(block) % kLargeBlockBytes == 0;
        if (c.huge) {
            EXPECT_TRUE(aligned) << c.bytes;
        }
        std::fill_n(block, c.bytes, char(1));
        EXPECT_EQ(block[c.bytes - 1], 1);
        allocator.deallocate(block, c.bytes);
    }
}

}  // namespace
}  // namespace qm
