#include "pages/page_harness.h"

#include "app/app_text_internal.h"
#include "app/env_helpers.h"
#include "app/navigation.h"
#include "app/page_table.h"
#include "app/stand_in_pages.h"
#include "app/today.h"
#include "pages/page_entries.h"

namespace qm::testing {

PageHarness::PageHarness(
    int32_t width, int32_t height, const std::string& sessionJson, const std::function<void(PageTable&)>& moreEntries)
    : app(width, height)
{
    if (!sessionJson.empty())
        writeText(app.configDir() + "/session.json", sessionJson);
    setTodaySource([] { return kPinnedToday; });
    PageTable table = standInPageTable();
    fillCalendarPageTable(table);
    if (moreEntries)
        moreEntries(table);
    setPageTable(std::move(table));
    setTextDrawLog([this](std::string_view text, const Rect& rect, double size, Color color) {
        texts.push_back({std::string(text), rect, size, color});
    });
    app.start();
    app.state->ui->recorder = std::make_unique<WidgetRecorder>();
    showPage(*app.state, pageCalendar);
}

PageHarness::~PageHarness()
{
    app.state.reset();
    setTextDrawLog({});
    setPageTable({});
    setTodaySource({});
}

void PageHarness::frame()
{
    texts.clear();
    app.frame();
}

void PageHarness::resize(int32_t width, int32_t height)
{
    app.fake->width = width;
    app.fake->height = height;
    app.window->width = width;
    app.window->height = height;
}

void PageHarness::frames(int n)
{
    for (int i = 0; i < n; ++i)
        frame();
}

const WidgetRecord* PageHarness::widget(const std::string& label) const
{
    const UiContext& ui = *app.state->ui;
    if (!ui.recorder)
        return nullptr;
    // The topmost of several, as a click would reach it.
    const WidgetRecord* found = nullptr;
    for (const WidgetRecord& w : ui.recorder->records)
        if (w.label == label && (!found || w.layer >= found->layer))
            found = &w;
    return found;
}

Rect PageHarness::rectOf(const std::string& label) const
{
    const WidgetRecord* w = widget(label);
    return w ? w->rect : Rect{-1e6, -1e6, 0, 0};
}

void PageHarness::clickWidget(const std::string& label)
{
    Rect r = rectOf(label);
    click(r.x + r.w / 2, r.y + r.h / 2);
}

std::vector<Shape> PageHarness::shapes() const { return shapesOf(*app.state->renderer); }

bool PageHarness::drewText(const std::string& text) const
{
    for (const DrawnText& t : texts)
        if (t.text == text)
            return true;
    return false;
}

std::vector<std::string> PageHarness::toasts() const
{
    std::vector<std::string> out;
    for (const Toast& t : app.state->toasts)
        out.push_back(t.text);
    return out;
}

}  // namespace qm::testing
