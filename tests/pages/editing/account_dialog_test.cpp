// Manage Accounts: the balances typed become anchors at the end of today
// only when every one is a number, the star moves the default, and a row's
// Save changes only the account the user acted on.
#include <gtest/gtest.h>

#include "model/balances.h"
#include "model/record_edits.h"
#include "pages/dialog_driving.h"
#include "pages/editing/editing.h"
#include "pages/sample_budget.h"

namespace qm {
namespace {

using testing::kPinnedToday;
using testing::PageHarness;
using testing::SampleBudget;

std::string bal(int64_t id) { return "acc-bal-" + std::to_string(id); }

const Account& account(const Budget& b, int64_t id) { return b.accounts[*findAccount(b, id)]; }

std::vector<std::pair<int64_t, double>> anchorsToday(const Budget& b)
{
    std::vector<std::pair<int64_t, double>> out;
    for (const RunningTotalAdjustment& r : b.running_total_adjustments)
        if (r.date == kPinnedToday)
            out.push_back({r.account_id, r.amount});
    return out;
}

struct AccountDialogTest : ::testing::Test {
    PageHarness h;
    SampleBudget s;

    void SetUp() override { s = testing::addSampleBudget(*h); }

    void open()
    {
        openManageAccounts(*h);
        h.frames(3);
    }
    void click(const std::string& label, int frames = 2)
    {
        h.clickWidget(label);
        h.frames(frames);
    }
};

TEST_F(AccountDialogTest, SaveBalancesWaitsForACommittedField)
{
    for (uint8_t commit : {keyTab, keyEnter}) {
        SCOPED_TRACE(int(commit));
        open();
        click("acc-savebal");
        EXPECT_TRUE(h.toasts().empty());
        testing::typeInto(h, bal(s.savings), "1,000", commit);
        click("acc-savebal");
        EXPECT_EQ(h.toasts(), std::vector<std::string>{"Balances saved"});
        EXPECT_FALSE(editDialogs(*h).accounts.balancesEdited);
        EXPECT_EQ(anchorsToday(testing::savedBudget(h)), (std::vector<std::pair<int64_t, double>>{{s.savings, 1000}}));
        h->toasts.clear();
    }
}

TEST_F(AccountDialogTest, OneBadRowRefusesTheWholeSave)
{
    open();
    testing::typeInto(h, bal(s.checking), "abc", keyTab);
    testing::typeInto(h, bal(s.savings), "200", keyTab);
    size_t ops = h.store().journal.size();
    click("acc-savebal");
    EXPECT_EQ(h.toasts(), std::vector<std::string>{"A balance is not a number."});
    EXPECT_EQ(h.store().journal.size(), ops);
    EXPECT_TRUE(editDialogs(*h).accounts.balancesEdited);
    // Emptied, the row is skipped and the rest is saved.
    testing::typeInto(h, bal(s.checking), " ", keyTab);
    click("acc-savebal");
    EXPECT_EQ(anchorsToday(h.budget()), (std::vector<std::pair<int64_t, double>>{{s.savings, 200}}));
}

TEST_F(AccountDialogTest, BalancesOpenAsTheyStandAndRoundTrip)
{
    setAnchor(h.store(), {2025, 3, 1}, -250, s.savings);
    open();
    const std::vector<IdLabel>& rows = editDialogs(*h).accounts.balanceRows;
    for (const IdLabel& row : rows)
        EXPECT_EQ(row.text, row.id == s.savings ? "-250.00" : "") << row.id;
    // Enter in the field as it opened: saved back as it stands.
    click(bal(s.savings), 1);
    h.key(keyEnter);
    h.frame();
    click("acc-savebal");
    Budget saved = testing::savedBudget(h);
    EXPECT_EQ(anchorsToday(saved), (std::vector<std::pair<int64_t, double>>{{s.savings, -250}}));
    EXPECT_DOUBLE_EQ(balanceAt(saved, {2025, 3, 13}, s.savings), -250);
}

TEST_F(AccountDialogTest, TheStarSetsAndClearsTheDefault)
{
    open();
    click("acc-star-" + std::to_string(s.savings));
    EXPECT_EQ(testing::savedBudget(h).user.default_account_id, s.savings);
    click("acc-star-" + std::to_string(s.checking));
    EXPECT_EQ(h.budget().user.default_account_id, s.checking);
    click("acc-star-" + std::to_string(s.checking));
    EXPECT_EQ(testing::savedBudget(h).user.default_account_id, 0);
    EXPECT_TRUE(h.toasts().empty());
}

TEST_F(AccountDialogTest, AnUnknownTypeShowsADashAndEditsAsChecking)
{
    h.budget().accounts[*findAccount(h.budget(), s.savings)].account_type = "piggy";
    open();
    EXPECT_TRUE(h.drewText("\u2014"));
    click("acc-edit-" + std::to_string(s.savings));
    EXPECT_EQ(editDialogs(*h).accounts.editTypeIndex, 0);
    testing::typeInto(h, "acc-edit-name", "Rainy day", keyEnter);
    EXPECT_EQ(h.toasts(), std::vector<std::string>{"Account updated"});
    Budget saved = testing::savedBudget(h);
    EXPECT_EQ(account(saved, s.savings).name, "Rainy day");
    EXPECT_EQ(account(saved, s.savings).account_type, "checking");
    EXPECT_EQ(saved.transactions[*findTransaction(saved, s.transfer)].transfer_to_account, "Rainy day");
}

TEST_F(AccountDialogTest, DeleteCancelSaveRetypesNothing)
{
    Budget before = h.budget();
    open();
    click("acc-edit-" + std::to_string(s.checking));
    editDialogs(*h).accounts.editTypeIndex = 3;
    click("acc-del-" + std::to_string(s.savings), 1);
    EXPECT_EQ(h->confirm.message,
        "Delete \"Savings\"? Its transactions are kept without an account, and its balances "
        "are removed. This cannot be undone.");
    click("qmconfirm-no");
    click("acc-edit-save");
    EXPECT_EQ(editDialogs(*h).accounts.selectedId, 0);
    for (const Account& a : before.accounts) {
        EXPECT_EQ(account(h.budget(), a.id).account_type, a.account_type) << a.name;
        EXPECT_EQ(account(h.budget(), a.id).name, a.name);
    }
}

TEST_F(AccountDialogTest, AConfirmedDeleteKeepsTheTransactions)
{
    setAnchor(h.store(), {2025, 3, 1}, 50, s.savings);
    open();
    click("acc-del-" + std::to_string(s.savings), 1);
    click("qmconfirm-yes", 3);
    EXPECT_EQ(h.toasts(), std::vector<std::string>{"Account deleted"});
    Budget saved = testing::savedBudget(h);
    EXPECT_FALSE(findAccount(saved, s.savings));
    EXPECT_EQ(saved.transactions[*findTransaction(saved, s.transfer)].transfer_to_account, "");
    EXPECT_TRUE(saved.running_total_adjustments.empty());
    // The rows come back for the accounts left.
    EXPECT_EQ(editDialogs(*h).accounts.balanceRows.size(), saved.accounts.size());
}

TEST_F(AccountDialogTest, AddNamesTheProblemInTheFooter)
{
    open();
    testing::typeInto(h, "acc-new", "Savings", keyEnter);
    EXPECT_EQ(editDialogs(*h).accounts.errorText, "You already have an account with that name");
    h.frame();
    EXPECT_TRUE(h.drewText("You already have an account with that name"));
    testing::typeInto(h, "acc-new", " Travel fund ", keyEnter);
    EXPECT_EQ(editDialogs(*h).accounts.errorText, "");
    EXPECT_TRUE(findAccountByName(testing::savedBudget(h), "Travel fund"));
    EXPECT_EQ(editDialogs(*h).accounts.balanceRows.back().text, "");
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

bool overlap(const Rect& a, const Rect& b)
{
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

// The rows keep their controls apart and inside the window on the compact
// layout too, where the type column gives way.
TEST(AccountDialogLayout, ControlsStayApartInEveryWidth)
{
    for (int32_t width : {1280, 400}) {
        SCOPED_TRACE(width);
        PageHarness h(width, 820);
        SampleBudget s = testing::addSampleBudget(*h);
        openManageAccounts(*h);
        h.frames(3);
        h.clickWidget("acc-edit-" + std::to_string(s.savings));
        h.frames(2);
        const Rect window = h->accountsWindow->rect;
        auto check = [&](std::vector<std::string> labels) {
            std::vector<Rect> rects;
            for (const std::string& label : labels) {
                Rect r = h.rectOf(label);
                EXPECT_TRUE(r.x >= window.x && r.x + r.w <= window.x + window.w) << label;
                for (size_t i = 0; i < rects.size(); ++i)
                    EXPECT_FALSE(overlap(r, rects[i])) << label << " over " << labels[i];
                rects.push_back(r);
            }
        };
        std::string c = std::to_string(s.checking);
        check({"acc-star-" + c, "acc-bal-" + c, "acc-edit-" + c, "acc-del-" + c});
        check({"acc-edit-name", "acc-edit-type", "acc-edit-save", "acc-edit-cancel"});
    }
}

}  // namespace
}  // namespace qm
