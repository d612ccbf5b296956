#include "ui/trail.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

int hookCalls = 0;
void countHook() { ++hookCalls; }

struct TrailTest : ::testing::Test {
    void SetUp() override
    {
        freeTrail();
        hookCalls = 0;
        setTrailChangedHook(&countHook);
    }
    void TearDown() override
    {
        setTrailChangedHook(nullptr);
        freeTrail();
    }
};

TEST_F(TrailTest, KeepsTheNewestThirtyOldestFirst)
{
    for (int i = 0; i < 31; ++i)
        addTrail("Button: " + std::to_string(i));
    std::vector<std::string> trail = actionTrail();
    ASSERT_EQ(trail.size(), 30u);
    EXPECT_EQ(trail.front(), "Button: 1");
    EXPECT_EQ(trail.back(), "Button: 30");
    EXPECT_EQ(hookCalls, 31);
}

TEST_F(TrailTest, RecordsARepeatOnceButNotAReturn)
{
    int32_t before = trailVersion();
    addTrail("Button: Save");
    addTrail("Button: Save");
    EXPECT_EQ(actionTrail(), std::vector<std::string>({"Button: Save"}));
    EXPECT_EQ(trailVersion(), before + 1);
    EXPECT_EQ(hookCalls, 1);

    addTrail("Menu: Open");
    addTrail("Button: Save");
    EXPECT_EQ(actionTrail(), std::vector<std::string>({"Button: Save", "Menu: Open", "Button: Save"}));
    EXPECT_EQ(trailVersion(), before + 3);
}

TEST_F(TrailTest, CutsLongTextsAtByteCountAndComparesBeforeTheCut)
{
    // 100 two-byte characters after an odd-length prefix: the cut splits one.
    std::string label = "Button: x";
    for (int i = 0; i < 100; ++i)
        label += "\xc3\xa9";
    int32_t before = trailVersion();
    addTrail(label);
    addTrail(label);
    std::vector<std::string> trail = actionTrail();
    ASSERT_EQ(trail.size(), 2u);
    EXPECT_EQ(trail[0].size(), 120u);
    EXPECT_EQ(trail[0], label.substr(0, 120));
    EXPECT_EQ(static_cast<unsigned char>(trail[0].back()), 0xc3u);
    EXPECT_EQ(trailVersion(), before + 2);
}

TEST_F(TrailTest, EmptyTextChangesNothing)
{
    int32_t before = trailVersion();
    addTrail("");
    EXPECT_TRUE(actionTrail().empty());
    EXPECT_EQ(trailVersion(), before);
    EXPECT_EQ(hookCalls, 0);
}

}  // namespace
}  // namespace qm
