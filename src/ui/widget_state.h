#pragma once
// Memory a widget keeps between frames, by widget id: a scroll offset, an
// edit buffer, a popup's measured size, a window's placement. One id holds at
// most one record; asking for another kind replaces it.
#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "platform/render/rect.h"

namespace qm {

struct UiContext;

struct PopupState {
    double contentHeight = 0;
    double contentWidth = 0;
    uint8_t clipboardHasText = 0;  // sampled when a text menu opens
    int32_t shownMonth = 0;        // a month picker's year * 12 + month - 1; 0 or less: not chosen yet
};

struct ScrollState {
    double offset = 0;
    double contentHeight = 0;
    Rect rect;
    bool dragging = false;
    double dragStartY = 0;
    double dragStartOffset = 0;
};

struct TextEditState {
    std::string buffer;
    int32_t caret = 0;
    int32_t anchor = 0;
    double scroll = 0;
    bool editing = false;
    bool selecting = false;
    // The frame the field was last drawn in: an edit left open by a field that
    // vanished for a frame is dropped when it comes back.
    int32_t lastDrawnFrame = 0;
};

struct WindowState {
    Rect rect;
    bool open = false;
    bool dragging = false;
    double dragOffsetX = 0;
    double dragOffsetY = 0;
    bool moved = false;
    bool squeezed = false;
    Rect savedRect;
    int32_t recentreFrames = 0;
    double footerMeasured = 0;
    int32_t footerRowMark = 0;
    bool positioned = false;
    double contentHeight = 0;
    double footerHeight = 0;
    std::string focusOnOpen;
    int32_t lastFrame = 0;
    uint8_t dragKind = 0;  // 1 title bar, 2 grip
};

struct WidgetState {
    std::variant<PopupState, ScrollState, TextEditState, WindowState> data;
};

using WidgetStateRef = std::shared_ptr<WidgetState>;

// Get-or-create: the record of that kind for the id, zeroed when new. The
// table keeps its own reference; the caller's may be dropped at any time.
std::shared_ptr<PopupState> popupState(UiContext& ctx, int64_t id);
std::shared_ptr<ScrollState> scrollState(UiContext& ctx, int64_t id);
std::shared_ptr<TextEditState> textEditState(UiContext& ctx, int64_t id);
std::shared_ptr<WindowState> windowState(UiContext& ctx, int64_t id);

}  // namespace qm
