#include "core/large_allocator.h"

#include <gtest/gtest.h>

#include <sched.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
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

// Pages readied beside the filler keep what they hold and take every write
// of the filler, whether the thread runs ahead, is overtaken, or is stopped
// half way; where the process may use one CPU only, no thread starts.
TEST(LargeAllocator, PagesReadiedAheadKeepEveryWrite)
{
    constexpr size_t kMiB = size_t(1) << 20;
    const struct {
        std::vector<size_t> ranges;  // bytes of each
        size_t stopAfter;            // records written before stop(); ~0: never
        bool oneCpu = false;
    } cases[] = {{{3 * kMiB + 100, 5 * kMiB}, ~size_t(0)}, {{1, 4096, 0, 2 * kMiB}, ~size_t(0)},
        {{6 * kMiB, 2 * kMiB}, 1000}, {{8 * kMiB}, 0}, {{3 * kMiB}, ~size_t(0), true}};
    for (const auto& c : cases) {
        std::vector<std::unique_ptr<unsigned char[]>> blocks;
        std::vector<FreshPagesAhead::Range> ranges;
        for (size_t bytes : c.ranges) {
            blocks.emplace_back(std::make_unique_for_overwrite<unsigned char[]>(bytes + 64));
            char* begin = reinterpret_cast<char*>(blocks.back().get());
            begin[0] = 'x';  // written before the readying: kept
            ranges.push_back({begin, begin + bytes});
        }
        cpu_set_t all;
        ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
        if (c.oneCpu) {
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(sched_getcpu(), &one);
            ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
        }
        FreshPagesAhead pages(ranges);
        if (c.oneCpu) {
            EXPECT_FALSE(pages.beside());
            sched_setaffinity(0, sizeof all, &all);
        }
        size_t written = 0;
        for (size_t r = 0; r < ranges.size(); ++r) {
            char* begin = ranges[r].begin;
            const size_t bytes = size_t(ranges[r].end - begin);
            // Past the range's end: room the filler may take, never readied.
            for (size_t at = 1; at < bytes + 64; at += 48, ++written) {
                if (written == c.stopAfter)
                    pages.stop();
                const size_t n = std::min<size_t>(48, bytes + 64 - at);
                pages.writing(r, begin + at, n);
                std::memset(begin + at, int('a' + r % 26), n);
            }
        }
        pages.stop();
        for (size_t r = 0; r < ranges.size(); ++r) {
            const char* begin = ranges[r].begin;
            const size_t bytes = size_t(ranges[r].end - begin);
            EXPECT_EQ(begin[0], 'x') << r;
            EXPECT_EQ(std::count(begin + 1, begin + bytes + 64, char('a' + r % 26)), std::ptrdiff_t(bytes + 63)) << r;
        }
    }
}

}  // namespace
}  // namespace qm
