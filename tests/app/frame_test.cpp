// The frame's order and dispatch, the message and confirmation boxes, the
// toasts, the loop's event dispatch and its pacing rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>

#include "app/account_state.h"
#include "app/app_harness.h"
#include "app/app_text_internal.h"
#include "app/budget_io.h"
#include "app/frame.h"
#include "app/main_loop.h"
#include "app/main_loop_internal.h"
#include "app/navigation.h"
#include "app/page_table.h"
#include "app/theme_apply.h"
#include "app/toasts_internal.h"
#include "app/widget_list.h"
#include "core/errors.h"
#include "core/files.h"
#include "model/record_edits.h"
#include "platform/keys.h"
#include "ui/hit_test.h"
#include "ui/menu.h"
#include "ui/theme.h"
#include "ui/widget_state.h"

namespace qm {
namespace {

using testing::AppHarness;

// A page table that logs each call by name.
struct CallLog {
    std::vector<std::string> calls;
    std::vector<std::string> confirmed;
    std::string imported;

    PageTable table()
    {
        PageTable t;
        auto note = [this](const char* name) { return [this, name](AppState&) { calls.push_back(name); }; };
        auto page = [this](
                        const char* name) { return [this, name](AppState&, const Rect&) { calls.push_back(name); }; };
        t.drawHeaderBar = [this](AppState& s) {
            calls.push_back("header");
            return Rect{0, 40, s.ui->viewWidth, s.ui->viewHeight - 40};
        };
        t.drawCalendarPage = page("calendar");
        t.drawImportPage = page("import");
        t.drawWelcomePage = page("welcome");
        t.drawLegalPage = page("legal");
        t.drawTour = note("tour");
        t.drawTransactionForm = note("form");
        t.drawDialogs = note("dialogs");
        t.pumpNetwork = note("pump");
        t.pollUpdater = note("updater");
        t.drawUpdateDialog = [this](AppState&) {
            calls.push_back("update");
            return std::string();
        };
        t.runConfirmedAction = [this](AppState& s) {
            confirmed.push_back(s.confirm.confirmed);
            calls.push_back("confirmed");
        };
        t.loadImportFile = [this](AppState&, const std::string& path) { imported = path; };
        return t;
    }
};

struct FrameTest : ::testing::Test {
    CallLog log;
    AppHarness h;
    void SetUp() override
    {
        setPageTable(log.table());
        h.start();
        h->ui->recorder = std::make_unique<WidgetRecorder>();
        h->toasts.clear();
    }
    void TearDown() override { setPageTable({}); }
    const WidgetRecord* widget(const std::string& label)
    {
        const WidgetRecord* found = nullptr;
        for (const WidgetRecord& w : h->ui->recorder->records)
            if (w.label == label)
                found = &w;
        return found;
    }
    void clickWidget(const std::string& label)
    {
        const WidgetRecord* w = widget(label);
        ASSERT_NE(w, nullptr) << label;
        h.click(w->rect.x + w->rect.w / 2, w->rect.y + w->rect.h / 2);
    }
};

TEST_F(FrameTest, OrderOfAFrame)
{
    showPage(*h, pageCalendar);
    log.calls.clear();
    h.frame();
    std::vector<std::string> expected{"pump", "updater", "header", "calendar", "tour", "form", "dialogs", "update"};
    EXPECT_EQ(log.calls, expected);
    EXPECT_EQ(h->framesOnPage, 1);

    showPage(*h, pageWelcome);
    log.calls.clear();
    h.frame();
    EXPECT_EQ(std::count(log.calls.begin(), log.calls.end(), "header"), 0);
    EXPECT_EQ(std::count(log.calls.begin(), log.calls.end(), "welcome"), 1);
}

TEST_F(FrameTest, WhileTermsAreDueOnlyOverlaysAreDrawn)
{
    h->termsDue = true;
    showMessage(*h, "Title", "Text");
    showToast(*h, "note", toastInfo, 5);
    log.calls.clear();
    h.frame();
    std::vector<std::string> expected{"pump", "updater", "legal"};
    EXPECT_EQ(log.calls, expected);
    EXPECT_NE(widget("qmmsg-ok"), nullptr);
    EXPECT_FALSE(h->ui->overlays.empty());  // the toast card among them
}

TEST_F(FrameTest, ConfirmedActionRunsAtTheStartOfTheNextFrame)
{
    showConfirm(*h, "Delete?", "Really?", "delete-tx", "Delete", "Cancel", true);
    h.frame();
    clickWidget("qmconfirm-yes");
    h.frame();
    EXPECT_FALSE(h->confirm.window->open);
    EXPECT_EQ(h->confirm.confirmed, "delete-tx");
    EXPECT_TRUE(log.confirmed.empty());
    log.calls.clear();
    h.frame();
    ASSERT_EQ(log.confirmed, std::vector<std::string>{"delete-tx"});
    EXPECT_EQ(log.calls[2], "confirmed");  // after the pumps, before any page
    EXPECT_EQ(h->confirm.confirmed, "");
    h.frame();
    EXPECT_EQ(log.confirmed.size(), 1u);
}

TEST_F(FrameTest, EscapeCancelAndCloseNeverConfirm)
{
    for (int way = 0; way < 3; ++way) {
        showConfirm(*h, "Delete?", "Really?", "delete-tx", "Delete", "Cancel", true);
        h.frames(2);
        if (way == 0) {
            h.key(keyEscape);
        } else if (way == 1) {
            clickWidget("qmconfirm-no");
        } else {
            const WidgetRecord* close = nullptr;
            for (const WidgetRecord& w : h->ui->recorder->records)
                if (w.label.rfind("winclose", 0) == 0)
                    close = &w;
            ASSERT_NE(close, nullptr);
            h.click(close->rect.x + close->rect.w / 2, close->rect.y + close->rect.h / 2);
        }
        h.frames(2);
        EXPECT_FALSE(h->confirm.window->open) << way;
        EXPECT_TRUE(log.confirmed.empty()) << way;
        EXPECT_EQ(h->confirm.confirmed, "") << way;
    }
}

TEST_F(FrameTest, BothBoxesAtOnceMessageFirst)
{
    showMessage(*h, "Saved", "All done.");
    showConfirm(*h, "Delete?", "Really?", "delete-account", "Delete account", "Keep", false);
    h.frames(2);
    const WidgetRecord* ok = widget("qmmsg-ok");
    const WidgetRecord* yes = widget("qmconfirm-yes");
    const WidgetRecord* no = widget("qmconfirm-no");
    ASSERT_TRUE(ok && yes && no);
    EXPECT_LT(ok->layer, yes->layer);
    EXPECT_GE(no->rect.w, dp(*h->ui, 90) - 0.5);
    EXPECT_GE(yes->rect.w, dp(*h->ui, 100) - 0.5);
    clickWidget("qmmsg-ok");
    h.frame();
    EXPECT_TRUE(h->message.window->open);  // the confirmation box on top takes the click
    clickWidget("qmconfirm-no");
    h.frames(2);
    clickWidget("qmmsg-ok");
    h.frames(2);
    EXPECT_FALSE(h->message.window->open);
}

// A menu opened in the bottom-right corner lies partly under a toast card:
// the entries it shows there are drawn above the card and take the click.
TEST_F(FrameTest, AnOpenMenuIsAboveTheToasts)
{
    int picked = -1;
    PageTable t = log.table();
    t.drawCalendarPage = [&](AppState& s, const Rect&) {
        UiContext& ui = *s.ui;
        if (!contextMenu(ui, "corner", 0))
            return;
        for (int i = 0; i < 6; ++i)
            if (menuEntry(ui, "entry " + std::to_string(i), "", true, icNone))
                picked = i;
        endPopup(ui);
    };
    setPageTable(t);
    showPage(*h, pageCalendar);
    showToast(*h, "note", toastInfo, 60);
    h.frame();
    openContextMenu(*h->ui, "corner", h->ui->viewWidth - 4, h->ui->viewHeight - 4);
    h.frames(3);
    const WidgetRecord* last = widget("mientry 5");
    ASSERT_NE(last, nullptr);
    ASSERT_FALSE(h->ui->overlays.empty());
    const OverlayRect& card = h->ui->overlays.back();
    double x = last->rect.x + last->rect.w / 2, y = last->rect.y + last->rect.h / 2;
    ASSERT_TRUE(rectContains(card.rect, x, y)) << "the entry is not under the toast";
    EXPECT_GT(h->ui->popupLayer, card.layer);
    h.click(x, y);
    h.frames(2);
    EXPECT_EQ(picked, 5);
}

TEST_F(FrameTest, ToastsStackNewestLowestAndExpireWithoutInput)
{
    showToast(*h, "older", toastInfo, 1.0);
    showToast(*h, "newer", toastSuccess, 2.0);
    showToast(*h, "never seen", toastError, 0.0);
    h.frame(0.1);
    ASSERT_EQ(h->toasts.size(), 2u);
    const std::vector<OverlayRect>& cards = h->ui->overlays;
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_GT(cards[0].rect.y, cards[1].rect.y);  // newest drawn first, lowest
    EXPECT_DOUBLE_EQ(cards[0].rect.h, dp(*h->ui, 44));
    EXPECT_DOUBLE_EQ(cards[0].rect.x + cards[0].rect.w, h->ui->viewWidth - dp(*h->ui, 20));
    EXPECT_TRUE(h->ui->redrawRequested || h->window->redrawCounter >= 0);
    h.frames(10, 0.1);
    EXPECT_EQ(h->toasts.size(), 1u);
    h.frames(10, 0.1);
    EXPECT_TRUE(h->toasts.empty());
    EXPECT_TRUE(h->ui->overlays.empty());

    showToast(*h, std::string(300, 'w') + " long words wrap onto several lines here", toastInfo, 5);
    h.frame();
    EXPECT_GT(h->ui->overlays.at(0).rect.h, dp(*h->ui, 44));
}

TEST(ToastStyles, UnknownKindsLookLikeInfo)
{
    EXPECT_EQ(toastStyle(7).slot, slotAccent);
    EXPECT_STREQ(toastStyle(7).icon, "info");
    EXPECT_EQ(toastStyle(toastInfo).slot, slotAccent);
    EXPECT_EQ(toastStyle(toastSuccess).slot, slotSuccess);
    EXPECT_STREQ(toastStyle(toastError).icon, "warning");
}

TEST_F(FrameTest, DroppedStatementsStartAnImportOthersDoNothing)
{
    WindowEvent drop;
    drop.kind = weFileDrop;
    drop.text = "/tmp/notes.txt";
    dispatchEvent(*h, drop);
    h.frame();
    EXPECT_FALSE(h->fileDialogPurpose.take);
    EXPECT_EQ(log.imported, "");
    drop.text = "/tmp/STATEMENT.QFX";
    dispatchEvent(*h, drop);
    EXPECT_EQ(h->fileDialogResult, "/tmp/STATEMENT.QFX");
    h.frame();
    EXPECT_EQ(log.imported, "/tmp/STATEMENT.QFX");
    EXPECT_EQ(h->page, pageImport);
    EXPECT_EQ(h->framesOnPage, 1);  // restarted in the frame, which then counts itself
}

// A handler that raises must not end the program before its shutdown save.
TEST_F(FrameTest, RaisingFileHandlersBecomeErrorToasts)
{
    PageTable t = log.table();
    auto raise = [](bool io) {
        if (io)
            throw IOError("disk went away");
        throw ValueError("bad statement");
    };
    t.loadImportFile = [&](AppState&, const std::string&) { raise(false); };
    t.exportOfxFile = [&](AppState&, const std::string&) -> ExportOutcome {
        raise(true);
        return {};
    };
    t.exportCalendarFile = [&](AppState&, const std::string&) -> ExportOutcome {
        raise(false);
        return {};
    };
    t.handleAccountPhoto = [&](AppState&, const std::string&) { raise(true); };
    setPageTable(t);
    // A purpose of a page and the shell's own for dropped statements.
    using Take = decltype(FileDialogPurpose::take);
    for (const Take& take : std::initializer_list<Take>{
             t.loadImportFile, t.exportOfxFile, t.exportCalendarFile, t.handleAccountPhoto, importDroppedStatement}) {
        h->toasts.clear();
        h->fileDialogPurpose.take = take;
        h->fileDialogResult = "/tmp/some.file";
        h.frame();
        ASSERT_EQ(h->toasts.size(), 1u);
        EXPECT_EQ(h->toasts[0].kind, toastError);
        EXPECT_TRUE(h->toasts[0].text == "disk went away" || h->toasts[0].text == "bad statement");
        h.frame();
    }
}

TEST_F(FrameTest, SplashDropsPressesButNotMoves)
{
    h->splashActive = true;
    WindowEvent e;
    e.kind = weMouseMove;
    e.x = 33;
    e.y = 44;
    dispatchEvent(*h, e);
    e.kind = weMouseDown;
    e.button = 1;
    dispatchEvent(*h, e);
    e.kind = weKeyDown;
    e.key = keyEscape;
    dispatchEvent(*h, e);
    EXPECT_EQ(h->ui->pointerX, 33);
    EXPECT_FALSE(h->ui->buttonsPressed[1]);
    EXPECT_TRUE(h->ui->keyPresses.empty());
    h->splashActive = false;
    e.kind = weMouseDown;
    dispatchEvent(*h, e);
    EXPECT_TRUE(h->ui->buttonsPressed[1]);
}

TEST_F(FrameTest, SaveRequestSavesAndAsksForASync)
{
    ASSERT_TRUE(addAccount(*h->store, "Saved on request", "checking").ok);
    const std::string folder = h.budgetDir("local");
    ASSERT_EQ(readFile(folder + "/data.json").find("Saved on request"), std::string::npos);
    WindowEvent e;
    e.kind = weSaveRequest;
    dispatchEvent(*h, e);
    EXPECT_TRUE(h->syncNowRequested);
    EXPECT_NE(readFile(folder + "/data.json").find("Saved on request"), std::string::npos);
    EXPECT_NE(readFile(folder + "/journal.json").find("Saved on request"), std::string::npos);
    EXPECT_TRUE(h->hasUnsentChanges);
    EXPECT_TRUE(h->toasts.empty());
}

TEST(Pacing, WhenATurnDraws)
{
    struct Case {
        PacingInput in;
        bool draws;
    };
    auto at = [](int64_t ms) {
        PacingInput in;
        in.nowNs = ms * 1'000'000;
        return in;
    };
    auto with = [&](int64_t ms, auto set) {
        PacingInput in = at(ms);
        set(in);
        return in;
    };
    const Case cases[] = {
        {at(0), false},
        {at(65), false},
        {at(66), true},
        {with(1, [](PacingInput& p) { p.dirtyFrames = 1; }), true},
        {with(1, [](PacingInput& p) { p.redrawRequested = true; }), true},
        {with(1, [](PacingInput& p) { p.dragInProgress = true; }), true},
        {with(1, [](PacingInput& p) { p.widgetHeld = true; }), true},
        {with(1, [](PacingInput& p) { p.toastsShown = true; }), true},
        {with(1, [](PacingInput& p) { p.syncing = true; }), true},
        {with(1, [](PacingInput& p) { p.shotPending = true; }), true},
        {with(1, [](PacingInput& p) { p.splashActive = true; }), true},
        {with(100, [](PacingInput& p) { p.lastFrameNs = 50'000'000; }), false},
        {with(116, [](PacingInput& p) { p.lastFrameNs = 50'000'000; }), true},
    };
    int i = 0;
    for (const Case& c : cases)
        EXPECT_EQ(shouldDraw(c.in), c.draws) << i++;
}

TEST(Layout, CompactAndPhoneLandscape)
{
    EXPECT_TRUE(layoutFlags(639, 800, false).compact);
    EXPECT_FALSE(layoutFlags(640, 800, false).compact);
    EXPECT_FALSE(layoutFlags(900, 600, false).phoneLandscape);
    EXPECT_TRUE(layoutFlags(900, 600, true).phoneLandscape);
    EXPECT_FALSE(layoutFlags(900, 640, true).phoneLandscape);
    EXPECT_TRUE(layoutFlags(2000, 600, true).compact);
}

TEST_F(FrameTest, WidgetListNamesIndexedIdsAndWindows)
{
    showMessage(*h, "Title", "Text");
    h.frames(2);
    Json list = widgetListJson(*h->ui, h->framesOnPage);
    EXPECT_EQ(list["framesOnPage"], h->framesOnPage);
    bool ok = false, window = false;
    for (const Json& w : list["widgets"]) {
        ok = ok || w["id"] == "qmmsg-ok";
        window = window || (w["id"] == "winqmmsg" && w["window"] == true);
    }
    EXPECT_TRUE(ok);
    EXPECT_TRUE(window);
}

TEST_F(FrameTest, WidgetListNamesTheFocusedWidgetAndHowMuchItsFieldHolds)
{
    showMessage(*h, "Title", "Text");
    h.frames(2);
    h->ui->focusId = 0;
    EXPECT_FALSE(widgetListJson(*h->ui, h->framesOnPage).contains("focused"));
    const WidgetRecord* ok = widget("qmmsg-ok");
    ASSERT_NE(ok, nullptr);
    h->ui->focusId = ok->id;
    Json list = widgetListJson(*h->ui, h->framesOnPage);
    EXPECT_EQ(list.value("focused", ""), "qmmsg-ok");
    EXPECT_FALSE(list.contains("focusedTextBytes"));
    // A field being edited tells how much it holds, never what.
    std::shared_ptr<TextEditState> edit = textEditState(*h->ui, ok->id);
    edit->buffer = "pässword";
    edit->editing = true;
    list = widgetListJson(*h->ui, h->framesOnPage);
    EXPECT_EQ(list.value("focusedTextBytes", -1), 9);
    EXPECT_EQ(list.dump().find("ssword"), std::string::npos);
}

TEST_F(FrameTest, WidgetListCarriesEachFramesTextsOnceToastsIncluded)
{
    listDrawnTexts();
    showError(*h, "A toast to read back");
    h.frames(1);
    const std::string path = h.dir / "widget-texts.json";
    auto texts = [&] {
        writeWidgetList(path, *h->ui, h->framesOnPage);
        std::vector<std::string> out;
        const Json list = parseJson(readFile(path));
        for (const Json& t : list["texts"]) {
            EXPECT_EQ(t["rect"].size(), 4u);
            out.push_back(t["text"].get<std::string>());
        }
        return out;
    };
    std::vector<std::string> first = texts();
    EXPECT_NE(std::find(first.begin(), first.end(), "A toast to read back"), first.end());
    EXPECT_TRUE(texts().empty());  // each list holds what was drawn since the one before
    setTextDrawLog({});
}

}  // namespace
}  // namespace qm
