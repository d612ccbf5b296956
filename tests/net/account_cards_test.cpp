#include "net/account_cards.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

// Entries: 75 90 100 110 125 150 175 200.
TEST(AccountScale, NearestEntryWithinTwoPercentElseHundred)
{
    const struct {
        double uiScale;
        int32_t entry;
    } cases[] = {{1.01, 2}, {1.03, 2}, {0.76, 0}, {0.92, 1}, {1.11, 3}, {2.0, 7}, {3.0, 2}, {0.0, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(scaleChoiceFor(c.uiScale), c.entry) << c.uiScale;
}

}  // namespace
}  // namespace qm
