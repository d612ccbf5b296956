#include "pages/account/account_cards.h"

#include <gtest/gtest.h>

#include "app/app_harness.h"
#include "app/navigation.h"
#include "app/page_table.h"
#include "pages/account/account_page.h"
#include "pages/import/import_wizard.h"

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

// The line that takes the user back to a review under way answers the
// pointer's ordinary (left) button.
TEST(AccountImportCard, ResumeLineOpensTheReviewOnALeftClick)
{
    PageTable table;
    table.drawAccountPage = drawAccountPage;
    setPageTable(table);
    {
        testing::AppHarness h(1280, 1500);
        h.start();
        h->ui->recorder = std::make_unique<WidgetRecorder>();
        importWizardState(*h).importStep = importReview;
        importWizardState(*h).importFileName = "bank.ofx";
        showPage(*h, pageAccount);
        h.frames(2);
        ASSERT_TRUE(h.clickWidget("ac-import-resume"));
        EXPECT_EQ(h->page, pageImport);
    }
    setPageTable({});
}

}  // namespace
}  // namespace qm
