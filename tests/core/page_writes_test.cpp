// Pages made writable ahead of a large write, while a forked child still
// shares them and after it ended: neither side sees the other's writes, and
// nothing under the range or beside it changes by the call.
#include "core/page_writes.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

namespace {

uint8_t patternAt(size_t i) { return uint8_t(i * 131 + 7); }

}  // namespace

TEST(PageWrites, KeepWhatTheRangeHoldsOnEitherSideOfAFork)
{
    std::vector<uint8_t> data(size_t(3) << 20);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = patternAt(i);
    qm::notePagesShared();
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Checks its own copy once the parent has written over its pages.
        char c;
        if (read(go[0], &c, 1) != 1)
            _exit(2);
        for (size_t i = 0; i < data.size(); ++i)
            if (data[i] != patternAt(i))
                _exit(1);
        _exit(0);
    }
    // Odd bounds: the pages around them hold bytes outside the range.
    const size_t from = 4097 * 3 + 5, to = data.size() - 12345;
    for (int round = 0; round < 2; ++round) {
        qm::prepareWrites(data.data() + from, to - from);
        for (size_t i = 0; i < data.size(); ++i)
            ASSERT_EQ(data[i], patternAt(i)) << i;
        for (size_t i = from; i < to; ++i)
            data[i] = uint8_t(~patternAt(i));
        for (size_t i = from; i < to; ++i)
            data[i] = patternAt(i);
        if (round == 0) {
            ASSERT_EQ(write(go[1], "x", 1), 1);
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        }
    }
    for (int fd : {go[0], go[1]})
        close(fd);
}
