// The Calendar Sync card with the feed on, headless: what its two
// destructive actions ask before anything is sent.
#include "app/app_harness.h"
#include "app/navigation.h"
#include "app/page_table.h"
#include "model/store.h"
#include "pages/account/account_page.h"
#include "ui/widget_id.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using testing::AppHarness;

class FeedCard : public ::testing::Test {
protected:
    AppHarness h{1280, 2400};

    void SetUp() override
    {
        PageTable table;
        table.drawAccountPage = drawAccountPage;
        setPageTable(table);
        h.start();
        h->termsDue = false;
        h->session.token = "token";
        h->session.email = "ann@example.test";
        h->store->budget->user.calendar_token = "feedtoken";
        h->ui->recorder = std::make_unique<WidgetRecorder>();
        showPage(*h, pageAccount);
        h.frames(2);
    }
    void TearDown() override { setPageTable({}); }
};

TEST_F(FeedCard, RegeneratingAndTurningOffAskFirstAndSendNothing)
{
    const struct {
        const char* id;
        const char* action;
        const char* title;
        const char* message;
        bool danger;
    } cases[] = {
        {"cs-regen", "regen-token", "Generate a new URL",
            "Calendars subscribed to the old address stop updating. Generate a new feed URL?", false},
        {"chkCalendar feed on", "calsync-off", "Turn off Calendar Sync",
            "The feed address stops working, and calendars subscribed to it stop updating. Turn it off?", true},
    };
    for (const auto& c : cases) {
        // The box of the case before is answered "Cancel".
        h->confirm.window->open = false;
        h->confirm.action.clear();
        h.frames(2);
        ASSERT_TRUE(h.clickWidget(c.id)) << c.id;
        EXPECT_EQ(h->confirm.action, c.action);
        EXPECT_EQ(h->confirm.title, c.title);
        EXPECT_EQ(h->confirm.message, c.message);
        EXPECT_EQ(h->confirm.danger, c.danger) << c.id;
        EXPECT_FALSE(h->request.pending) << c.id;
    }
}

}  // namespace
}  // namespace qm
