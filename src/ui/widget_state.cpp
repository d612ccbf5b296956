#include "ui/widget_state.h"

#include "ui/context.h"

namespace qm {

namespace {

template <typename K>
std::shared_ptr<K> getOrCreate(UiContext& ctx, int64_t id)
{
    WidgetStateRef& slot = ctx.states[id];
    if (!slot || !std::holds_alternative<K>(slot->data)) {
        // A record of another kind is dropped: one id never has two.
        slot = std::make_shared<WidgetState>();
        slot->data.template emplace<K>();
    }
    return std::shared_ptr<K>(slot, &std::get<K>(slot->data));
}

}  // namespace

std::shared_ptr<PopupState> popupState(UiContext& ctx, int64_t id) { return getOrCreate<PopupState>(ctx, id); }

std::shared_ptr<ScrollState> scrollState(UiContext& ctx, int64_t id) { return getOrCreate<ScrollState>(ctx, id); }

std::shared_ptr<TextEditState> textEditState(UiContext& ctx, int64_t id) { return getOrCreate<TextEditState>(ctx, id); }

std::shared_ptr<WindowState> windowState(UiContext& ctx, int64_t id) { return getOrCreate<WindowState>(ctx, id); }

}  // namespace qm
