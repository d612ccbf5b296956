#include "app/widget_list.h"

#include "app/app_text_internal.h"
#include "core/files.h"
#include "ui/widget_state.h"

#include <utility>
#include <vector>

namespace qm {

namespace {

Json rectJson(const Rect& r) { return Json::array({r.x, r.y, r.w, r.h}); }

struct DrawnTexts {
    bool on = false;
    std::vector<std::pair<std::string, Rect>> texts;
};

DrawnTexts& drawnTexts()
{
    static DrawnTexts drawn;
    return drawn;
}

}  // namespace

Json widgetListJson(const UiContext& ui, int32_t framesOnPage)
{
    Json widgets = Json::array();
    if (ui.recorder) {
        for (const WidgetRecord& w : ui.recorder->records)
            widgets.push_back({{"id", w.label}, {"rect", rectJson(w.rect)}, {"layer", w.layer}, {"window", false}});
        for (const WindowRect& w : ui.windowRects)
            widgets.push_back({{"id", recordedLabel(*ui.recorder, w.windowId)}, {"rect", rectJson(w.rect)},
                {"layer", w.layer}, {"window", true}});
    }
    Json list = {{"framesOnPage", framesOnPage}, {"widgets", std::move(widgets)}};
    // A test types only once the field it means holds the keyboard (keys
    // sent before that land elsewhere or nowhere), and reads back how much
    // arrived: the length alone, as the field may hold a password.
    if (ui.recorder && ui.focusId != 0) {
        list["focused"] = recordedLabel(*ui.recorder, ui.focusId);
        auto it = ui.states.find(ui.focusId);
        const TextEditState* edit =
            it != ui.states.end() && it->second ? std::get_if<TextEditState>(&it->second->data) : nullptr;
        if (edit && edit->editing)
            list["focusedTextBytes"] = edit->buffer.size();
    }
    return list;
}

void writeWidgetList(const std::string& path, const UiContext& ui, int32_t framesOnPage)
{
    try {
        Json list = widgetListJson(ui, framesOnPage);
        DrawnTexts& drawn = drawnTexts();
        if (drawn.on) {
            Json texts = Json::array();
            for (const auto& [text, rect] : drawn.texts)
                texts.push_back({{"text", text}, {"rect", rectJson(rect)}});
            drawn.texts.clear();
            list["texts"] = std::move(texts);
        }
        // Rewritten after every frame: waiting for the disk each time would
        // add to the very frames the tests time.
        AtomicWriteOptions options;
        options.durable = false;
        writeFileAtomic(path, dumpJson(list), options);
    } catch (const std::exception&) {
        // Automation only: a list that cannot be written changes nothing.
    }
}

void listDrawnTexts()
{
    drawnTexts().on = true;
    setTextDrawLog([](std::string_view text, const Rect& rect, double, Color) {
        drawnTexts().texts.emplace_back(std::string(text), rect);
    });
}

}  // namespace qm
