#include "ui/widget_state.h"

#include "ui_harness.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(WidgetState, CreatedZeroedKeptAndReplacedByKind)
{
    testing::UiHarness h;
    UiContext& c = *h.ctx;
    {
        auto s = scrollState(c, 7);
        EXPECT_EQ(s->offset, 0);
        s->offset = 42;
    }
    EXPECT_EQ(scrollState(c, 7)->offset, 42);  // the table kept it
    {
        auto e = textEditState(c, 7);
        EXPECT_TRUE(e->buffer.empty());
        e->buffer = "typed";
    }
    EXPECT_EQ(scrollState(c, 7)->offset, 0);  // another kind replaced it
    EXPECT_TRUE(textEditState(c, 7)->buffer.empty());

    // A reference held across a replacement stays valid.
    auto held = windowState(c, 8);
    held->open = true;
    popupState(c, 8);
    EXPECT_TRUE(held->open);
    EXPECT_FALSE(windowState(c, 8)->open);
}

}  // namespace
}  // namespace qm
