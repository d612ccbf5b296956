#include "core/large_allocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
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

// A host that takes back the guest's free memory is told by the features its
// balloon device accepted: one character per bit, bit 5 for free page
// reporting. Other entries of the driver's folder are not devices.
TEST(LargeAllocator, SeesAHostThatTakesBackFreePages)
{
    const struct {
        std::vector<std::pair<std::string, std::string>> devices;  // name, features
        bool reported;
    } cases[] = {
        {{}, false},
        {{{"virtio0", "0110010100000000000000000000000010000000"}}, true},
        {{{"virtio0", "0110000100000000000000000000000010000000"}}, false},
        {{{"virtio0", "01100"}}, false},
        {{{"bind", "0000010000"}}, false},
        {{{"virtio1", "0110000000"}, {"virtio4", "0000010000"}}, true},
    };
    const std::filesystem::path root = std::filesystem::path(testing::TempDir()) / "qm-balloon-driver";
    EXPECT_FALSE(hostTakesBackFreePages((root / "absent").c_str()));
    for (const auto& c : cases) {
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
        for (const auto& [name, features] : c.devices) {
            std::filesystem::create_directories(root / name);
            std::ofstream(root / name / "features") << features << "\n";
        }
        EXPECT_EQ(hostTakesBackFreePages(root.c_str()), c.reported) << c.devices.size();
    }
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace qm
