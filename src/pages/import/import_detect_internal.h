#pragma once
// Steps of import detection that tests and benchmarks reach on their own.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qm {

// The Ratcliff/Obershelp count of matching bytes: the longest common block
// (the one ending first in a, then first in b, among equal lengths), plus the
// same count on each side of it. Runs on a work list, never on the call
// stack, and keeps its buffers between calls.
class BlockMatcher {
public:
    size_t matchingBytes(std::string_view a, std::string_view b);

private:
    struct Ranges {
        size_t alo, ahi, blo, bhi;
    };
    struct Block {
        size_t a, b, size;
    };
    Block longestBlock(const Ranges& r);

    std::string_view m_a, m_b;
    // b's positions of each byte, ascending, as chains: m_first[c] starts the
    // chain of byte c when m_firstCall[c] is this call's number.
    uint32_t m_first[256] = {};
    uint64_t m_firstCall[256] = {};
    uint64_t m_call = 0;
    std::vector<uint32_t> m_next;          // the next position of the same byte, or kNone
    std::vector<uint32_t> m_runLength[2];  // by parity of row: run ending at b position j, at index j + 1
    std::vector<uint64_t> m_runRow[2];     // the row that wrote that entry
    uint64_t m_row = 0;
    std::vector<Ranges> m_work;
};

// 2.0 * matches / total, the same double operations as Python's difflib;
// 1.0 for total 0.
double similarityRatio(size_t matches, size_t total);

}  // namespace qm
