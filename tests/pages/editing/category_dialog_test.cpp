// Manage Categories changes the category the user acted on and no other,
// through the store, which renames or clears the category of transactions;
// its colour field marks the palette entry the colour text names.
#include <gtest/gtest.h>

#include "app/account_state.h"
#include "app/page_table.h"
#include "app/theme_apply.h"
#include "model/builtins.h"
#include "model/record_edits.h"
#include "model/transaction_edits.h"
#include "pages/dialog_driving.h"
#include "pages/editing/editing.h"
#include "pages/sample_budget.h"
#include "ui/theme.h"

namespace qm {
namespace {

using testing::PageHarness;
using testing::SampleBudget;

int64_t categoryId(const Budget& b, const char* name) { return b.categories[*findCategoryByName(b, name)].id; }

const Category& category(const Budget& b, int64_t id) { return b.categories[*findCategory(b, id)]; }

void setCategory(PageHarness& h, int64_t transactionId, const char* name)
{
    Transaction t = h.budget().transactions[*findTransaction(h.budget(), transactionId)];
    t.category = name;
    ASSERT_TRUE(updateTransaction(h.store(), t.id, t, false, t.start_date, false).ok);
}

void openCategories(PageHarness& h)
{
    openManageCategories(*h);
    h.frames(3);
}

TEST(CategoryDialog, ProposesTheNextPaletteColour)
{
    PageHarness h;
    while (!h.budget().categories.empty())
        deleteCategory(h.store(), h.budget().categories.front().id);
    openCategories(h);
    EXPECT_EQ(editDialogs(*h).categories.newColor, categoryPalette[0]);
    for (int added = 1; added <= 10; ++added) {
        SCOPED_TRACE(added);
        testing::typeInto(h, "cat-new", "Category " + std::to_string(added), keyEnter);
        ASSERT_EQ(h.budget().categories.size(), size_t(added));
        EXPECT_EQ(h.budget().categories.back().color, categoryPalette[size_t(added - 1)]);
        EXPECT_EQ(editDialogs(*h).categories.newColor, categoryPalette[size_t(added % 10)]);
        EXPECT_EQ(editDialogs(*h).categories.newName, "");
    }
    EXPECT_EQ(h.toasts().back(), "Category added");
}

TEST(CategoryDialog, EnterOnSpacesNamesTheProblemInTheFooter)
{
    PageHarness h;
    size_t before = h.budget().categories.size();
    openCategories(h);
    testing::typeInto(h, "cat-new", "   ", keyEnter);
    h.frame();
    EXPECT_EQ(h->categoriesError, "A category needs a name");
    EXPECT_TRUE(h.drewText("A category needs a name"));
    EXPECT_EQ(h.budget().categories.size(), before);
    EXPECT_TRUE(h.toasts().empty());
}

struct ColorFieldTest : ::testing::Test {
    PageHarness h;
    std::string color;
    double widthDp = 320;
    bool changed = false;

    void SetUp() override
    {
        PageTable table = pageTable();
        table.drawDialogs = [this](AppState& state) {
            changed = drawColorField(state, "probe", color, {200, 300, dp(*state.ui, widthDp), dp(*state.ui, 34)});
        };
        setPageTable(std::move(table));
    }

    // Whether a shape in the swatch's square is drawn in the text colour.
    bool ringed(int swatch)
    {
        Rect r = h.rectOf("probe-c" + std::to_string(swatch));
        for (const testing::Shape& s : h.shapes()) {
            double cx = s.bounds.x + s.bounds.w / 2, cy = s.bounds.y + s.bounds.h / 2;
            if (cx > r.x && cx < r.x + r.w && cy > r.y && cy < r.y + r.h
                && testing::sameColor(s.color, h->ui->theme.base[slotText]))
                return true;
        }
        return false;
    }
};

TEST_F(ColorFieldTest, MarksThePaletteEntryWhateverItsCase)
{
    color = "#AD6351";
    h.frames(2);
    EXPECT_TRUE(ringed(1));
    EXPECT_FALSE(ringed(0));
    EXPECT_FALSE(ringed(2));
    h.clickWidget("probe-c3");
    EXPECT_EQ(color, "#AD6351");
    h.frame();
    EXPECT_TRUE(changed);
    EXPECT_EQ(color, "#4378ad");
}

TEST_F(ColorFieldTest, TheHexBoxNeeds306Dp)
{
    for (double scale : {1.0, 2.0}) {
        h->ui->zoom = scale;
        h->ui->scale = scale;
        widthDp = 306;
        h.frames(2);
        EXPECT_TRUE(h.widget("probe-hex")) << scale;
        widthDp = 305;
        h.frames(2);
        EXPECT_FALSE(h.widget("probe-hex")) << scale;
    }
}

TEST(CategoryDialog, HideFlipsTheRowWithoutAToast)
{
    PageHarness h;
    int64_t id = categoryId(h.budget(), "Groceries");
    openCategories(h);
    std::string button = "cat-hide-" + std::to_string(id);
    h.clickWidget(button);
    h.frame();
    h.frame();
    EXPECT_TRUE(category(h.budget(), id).hidden);
    EXPECT_TRUE(category(testing::savedBudget(h), id).hidden);
    EXPECT_TRUE(h.drewText("Groceries  (hidden)"));
    EXPECT_TRUE(h.drewText("Show"));
    EXPECT_TRUE(h.toasts().empty());
    h.clickWidget(button);
    h.frame();
    EXPECT_FALSE(category(h.budget(), id).hidden);
}

TEST(CategoryDialog, DeleteAsksWithTheCount)
{
    PageHarness h;
    SampleBudget s = testing::addSampleBudget(*h);
    setCategory(h, s.coffee, "Groceries");
    setCategory(h, s.rent, "Healthcare");
    setCategory(h, s.lunch, "Healthcare");
    // Rows near the top, in view.
    const std::pair<const char*, const char*> cases[] = {
        {"Groceries", "Delete \"Groceries\"? Its 1 transaction keeps no category."},
        {"Healthcare", "Delete \"Healthcare\"? Its 2 transactions keep no category."},
        {"Entertainment", "Delete \"Entertainment\"? Its 1 transaction keeps no category."},
    };
    openCategories(h);
    EXPECT_TRUE(h.drewText("1 transaction"));
    EXPECT_TRUE(h.drewText("2 transactions"));
    EXPECT_TRUE(h.drewText("0 transactions"));
    // Counted again once the budget changed under the open dialog.
    setCategory(h, s.transfer, "Entertainment");
    h.frame();
    for (const auto& [name, message] : cases) {
        h.clickWidget("cat-del-" + std::to_string(categoryId(h.budget(), name)));
        h.frame();
        EXPECT_EQ(h->confirm.message, message);
        EXPECT_EQ(h->confirm.action, "delete-category");
        h.clickWidget("qmconfirm-no");
        h.frames(2);
    }
}

TEST(CategoryDialog, DeleteCancelSaveTouchesNoOtherCategory)
{
    PageHarness h;
    testing::addSampleBudget(*h);
    Budget before = h.budget();
    int64_t edited = categoryId(before, "Groceries"), deleted = categoryId(before, "Income");
    openCategories(h);
    h.clickWidget("cat-edit-" + std::to_string(edited));
    h.frames(2);
    testing::typeInto(h, "cat-edit-name", "Food", keyTab);
    h.clickWidget("cat-del-" + std::to_string(deleted));
    h.frame();
    h.clickWidget("qmconfirm-no");
    h.frames(2);
    h.clickWidget("cat-edit-save");
    h.frames(2);
    const Budget& after = h.budget();
    EXPECT_EQ(category(after, edited).name, "Groceries");
    EXPECT_EQ(category(after, deleted).name, "Income");
    EXPECT_EQ(category(after, deleted).color, category(before, deleted).color);
    for (const Category& c : before.categories)
        EXPECT_EQ(category(after, c.id).name, c.name);
    EXPECT_EQ(editDialogs(*h).categories.selectedId, 0);
}

TEST(CategoryDialog, EditRenamesAndAConfirmedDeleteUncategorizes)
{
    PageHarness h;
    SampleBudget s = testing::addSampleBudget(*h);
    setCategory(h, s.coffee, "Groceries");
    int64_t id = categoryId(h.budget(), "Groceries");
    openCategories(h);
    h.clickWidget("cat-edit-" + std::to_string(id));
    h.frames(2);
    testing::typeInto(h, "cat-edit-name", "Food", keyEnter);
    EXPECT_EQ(category(h.budget(), id).name, "Food");
    EXPECT_EQ(h.toasts(), std::vector<std::string>{"Category updated"});
    EXPECT_EQ(testing::savedBudget(h).transactions[*findTransaction(h.budget(), s.coffee)].category, "Food");
    h.frame();

    h.clickWidget("cat-del-" + std::to_string(id));
    h.frame();
    h.clickWidget("qmconfirm-yes");
    h.frames(2);
    Budget saved = testing::savedBudget(h);
    EXPECT_FALSE(findCategory(saved, id));
    EXPECT_EQ(saved.transactions[*findTransaction(saved, s.coffee)].category, "");
    EXPECT_EQ(saved.categories.size(), 10u);
}

}  // namespace
}  // namespace qm
