#include "app/widget_list.h"

#include "core/files.h"

namespace qm {

namespace {

Json rectJson(const Rect& r) { return Json::array({r.x, r.y, r.w, r.h}); }

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
    return {{"framesOnPage", framesOnPage}, {"widgets", std::move(widgets)}};
}

void writeWidgetList(const std::string& path, const UiContext& ui, int32_t framesOnPage)
{
    try {
        writeFileAtomic(path, dumpJson(widgetListJson(ui, framesOnPage)));
    } catch (const std::exception&) {
        // Automation only: a list that cannot be written changes nothing.
    }
}

}  // namespace qm
