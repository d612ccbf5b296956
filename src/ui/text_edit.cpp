#include "ui/text_edit.h"

#include "core/utf8.h"
#include "platform/keys.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/input.h"
#include "ui/scroll_area.h"
#include "ui/text_edit_internal.h"
#include "ui/text_menu.h"
#include "ui/widget_id.h"

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

bool isContinuation(char c) { return (uint8_t(c) & 0xC0) == 0x80; }

constexpr uint8_t letterKey(char c) { return uint8_t(keyA + (c - 'a')); }

int32_t len(const std::string& s) { return int32_t(s.size()); }

std::string shownText(const std::string& s, bool masked) { return masked ? std::string(s.size(), '*') : s; }

// The caret offset under the pointer. A masked field measures the stars it
// shows and lands on the start of the character the offset falls in.
int32_t caretFromPointer(UiContext& ctx, const TextEditState& st, double textX, bool masked)
{
    double x = ctx.pointerX - textX + st.scroll;
    double size = fontSize(ctx);
    if (!masked)
        return textOffsetAt(*ctx.font, st.buffer, size, x);
    int32_t k = textOffsetAt(*ctx.font, shownText(st.buffer, true), size, x);
    while (k > 0 && k < len(st.buffer) && isContinuation(st.buffer[size_t(k)]))
        --k;
    return k;
}

void copySelection(UiContext& ctx, const TextEditState& st)
{
    int32_t a = std::min(st.caret, st.anchor), b = std::max(st.caret, st.anchor);
    setClipboardText(*ctx.window, st.buffer.substr(size_t(a), size_t(b - a)));
}

void paste(UiContext& ctx, TextEditState& st)
{
    std::string text = getClipboardText(*ctx.window);
    std::erase(text, '\r');
    std::replace(text.begin(), text.end(), '\n', ' ');
    insertText(st, text);
}

bool hasSelection(const TextEditState& st) { return st.caret != st.anchor; }

}  // namespace

bool isWordByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
}

void deleteSelection(TextEditState& st)
{
    if (st.caret == st.anchor)
        return;
    int32_t a = std::min(st.caret, st.anchor), b = std::max(st.caret, st.anchor);
    st.buffer.erase(size_t(a), size_t(b - a));
    st.caret = st.anchor = a;
}

void insertText(TextEditState& st, std::string_view s)
{
    deleteSelection(st);
    st.caret = std::clamp(st.caret, 0, len(st.buffer));
    st.buffer.insert(size_t(st.caret), s);
    st.caret += int32_t(s.size());
    st.anchor = st.caret;
}

int32_t prevRuneStart(const std::string& buffer, int32_t pos)
{
    pos = std::min(pos, len(buffer));
    if (pos <= 0)
        return 0;
    int32_t k = pos - 1;
    while (k > 0 && isContinuation(buffer[size_t(k)]))
        --k;
    return k;
}

int32_t nextRuneStart(const std::string& buffer, int32_t pos)
{
    if (pos >= len(buffer))
        return len(buffer);
    int32_t k = std::max(pos, 0) + 1;
    while (k < len(buffer) && isContinuation(buffer[size_t(k)]))
        ++k;
    return k;
}

int32_t prevWordStart(const std::string& buffer, int32_t pos)
{
    int32_t k = std::clamp(pos, 0, len(buffer));
    while (k > 0 && !isWordByte(buffer[size_t(k - 1)]))
        --k;
    while (k > 0 && isWordByte(buffer[size_t(k - 1)]))
        --k;
    return k;
}

int32_t nextWordStart(const std::string& buffer, int32_t pos)
{
    int32_t k = std::clamp(pos, 0, len(buffer));
    while (k < len(buffer) && isWordByte(buffer[size_t(k)]))
        ++k;
    while (k < len(buffer) && !isWordByte(buffer[size_t(k)]))
        ++k;
    return k;
}

void drawFieldFrame(UiContext& ctx, const Rect& rect, const FieldLook& look)
{
    const Theme& t = ctx.theme;
    double radius = cornerRadius(ctx);
    fillRoundRect(
        *ctx.renderer, rect, radius, look.disabled ? t.derived[derivedBackground] : t.derived[derivedFieldFill]);
    if (look.focused)
        strokeRoundRect(*ctx.renderer, rect, radius, 1.5 * ctx.scale, t.derived[derivedFieldFocus]);
    else
        strokeRoundRect(*ctx.renderer, rect, radius, 1,
            look.hovered ? t.derived[derivedFieldBorderHover] : t.derived[derivedFieldBorder]);
}

TextEditResult textEdit(UiContext& ctx, int64_t id, std::string& text, const Rect& rect, const TextEditOptions& options)
{
    const std::string_view placeholder = options.placeholder;
    const bool disabled = options.disabled, selectAllOnClick = options.selectAllOnClick, masked = options.masked;
    const bool selectOnClickFocus = options.selectOnClickFocus;
    const double trailing = options.trailing;
    std::shared_ptr<TextEditState> state = textEditState(ctx, id);
    TextEditState& st = *state;
    const Theme& t = ctx.theme;
    double size = fontSize(ctx);
    TextEditResult result = editNone;

    // An edit left open by a field that was not drawn last frame (its dialog
    // closed by Escape, its popup dismissed) is dropped, not written later.
    // A second drawing in the same frame is no such gap.
    if (st.editing && st.lastDrawnFrame != ctx.frame - 1 && st.lastDrawnFrame != ctx.frame)
        st.editing = false;
    st.lastDrawnFrame = ctx.frame;

    bool focused = isFocused(ctx, id);
    bool hovered = mouseIn(ctx, rect);
    bool live = hovered && !disabled;
    if (live) {
        setHot(ctx, id);
        ctx.cursorShape = curIBeam;
    }
    ctx.lastWidgetRect = rect;
    ctx.lastWidgetId = id;
    addFocusable(ctx, id);  // in the Tab order even when disabled
    if (focused && ctx.focusVisibleFrames > 0)
        revealInScrollArea(ctx, rect);

    double pad = dp(ctx, 6);
    Rect area{rect.x + pad, rect.y, std::max(0.0, rect.w - 2 * pad - trailing), rect.h};

    if (!focused && st.editing) {
        st.editing = false;
        if (st.buffer != text) {
            text = st.buffer;
            result = editFocusLost;
        }
    }

    bool click = live && ctx.buttonsPressed[1] && ctx.activeId == 0;
    if (click) {
        setActive(ctx, id);
        requestUiRedraw(ctx);
        bool gainsFocus = !focused;
        if (gainsFocus) {
            setFocus(ctx, id);
            st.buffer = text;
            st.editing = true;
            st.caret = st.anchor = len(st.buffer);
            st.scroll = 0;
        }
        focused = true;
        int32_t pos = caretFromPointer(ctx, st, area.x, masked);
        if (gainsFocus && selectOnClickFocus) {
            st.anchor = 0;
            st.caret = len(st.buffer);
            st.selecting = false;
        } else if (!ctx.doubleClicked[1]) {
            st.caret = pos;
            if (!shiftDown(ctx))
                st.anchor = pos;
            st.selecting = true;
        } else {
            if (selectAllOnClick) {
                st.anchor = 0;
                st.caret = len(st.buffer);
            } else {
                st.anchor = prevWordStart(st.buffer, std::min(pos + 1, len(st.buffer)));
                st.caret = nextWordStart(st.buffer, pos);
            }
            st.selecting = false;
        }
    } else if (focused && !st.editing) {
        st.buffer = text;
        st.editing = true;
        st.caret = len(st.buffer);
        st.anchor = 0;
        st.scroll = 0;
    }

    if (st.selecting) {
        if (ctx.buttonsDown[1] && ctx.activeId == id)
            st.caret = caretFromPointer(ctx, st, area.x, masked);
        else
            st.selecting = false;
    }

    if (focused && st.editing) {
        ctx.textEditing = true;
        for (const KeyPress& k : ctx.keyPresses) {
            bool ctrl = (k.modifiers & (modControl | modSuper)) != 0;
            bool shift = (k.modifiers & modShift) != 0;
            switch (k.key) {
            case letterKey('a'):
                if (ctrl) {
                    st.anchor = 0;
                    st.caret = len(st.buffer);
                }
                break;
            case letterKey('c'):
                if (ctrl && hasSelection(st) && !masked)
                    copySelection(ctx, st);
                break;
            case letterKey('x'):
                if (ctrl && hasSelection(st) && !masked) {
                    copySelection(ctx, st);
                    deleteSelection(st);
                }
                break;
            case letterKey('v'):
                if (ctrl)
                    paste(ctx, st);
                break;
            case keyInsert:
                if (ctrl) {
                    if (hasSelection(st) && !masked)
                        copySelection(ctx, st);
                } else if (shift) {
                    paste(ctx, st);
                }
                break;
            case keyEscape:
                // Enter and Escape end the edit once: the first of them wins.
                if (st.editing) {
                    st.editing = false;
                    setFocus(ctx, 0);
                    result = editEscape;
                }
                break;
            case keyEnter:
            case keyKpEnter:
                if (st.editing) {
                    if (st.buffer != text)
                        text = st.buffer;
                    st.editing = false;
                    setFocus(ctx, 0);
                    result = editEnter;
                }
                break;
            case keyBackspace:
                if (hasSelection(st)) {
                    deleteSelection(st);
                } else if (st.caret >= 1) {
                    int32_t start = ctrl ? prevWordStart(st.buffer, st.caret) : prevRuneStart(st.buffer, st.caret);
                    st.buffer.erase(size_t(start), size_t(st.caret - start));
                    st.caret = st.anchor = start;
                }
                break;
            case keyDelete:
                if (shift && hasSelection(st) && !masked) {
                    copySelection(ctx, st);
                    deleteSelection(st);
                } else if (shift && hasSelection(st)) {
                    deleteSelection(st);  // a password is removed, not copied
                } else if (hasSelection(st)) {
                    deleteSelection(st);
                } else if (st.caret < len(st.buffer)) {
                    int32_t end = ctrl ? nextWordStart(st.buffer, st.caret) : nextRuneStart(st.buffer, st.caret);
                    st.buffer.erase(size_t(st.caret), size_t(end - st.caret));
                }
                break;
            case keyHome:
                st.caret = 0;
                if (!shift)
                    st.anchor = 0;
                break;
            case keyEnd:
                st.caret = len(st.buffer);
                if (!shift)
                    st.anchor = st.caret;
                break;
            case keyLeft:
            case keyRight: {
                bool left = k.key == keyLeft;
                int32_t target;
                if (ctrl)
                    target = left ? prevWordStart(st.buffer, st.caret) : nextWordStart(st.buffer, st.caret);
                else if (!shift && hasSelection(st))
                    target = left ? std::min(st.caret, st.anchor) : std::max(st.caret, st.anchor);
                else
                    target = left ? prevRuneStart(st.buffer, st.caret) : nextRuneStart(st.buffer, st.caret);
                st.caret = target;
                if (!shift)
                    st.anchor = target;
                break;
            }
            default:
                break;
            }
        }
        if (st.editing) {
            for (int32_t cp : ctx.typedRunes) {
                if (cp == 9)
                    continue;
                std::string s;
                appendUtf8(s, uint32_t(cp));
                insertText(st, s);
            }
        }
        ctx.keyPresses.clear();
        ctx.typedRunes.clear();
    }

    if (!disabled && ctx.buttonsPressed[3] && ctx.popupId == 0 && mouseIn(ctx, rect)) {
        int32_t pos;
        if (isFocused(ctx, id) && st.editing) {
            pos = caretFromPointer(ctx, st, area.x, masked);
            int32_t a = std::min(st.caret, st.anchor), b = std::max(st.caret, st.anchor);
            if (!(hasSelection(st) && a <= pos && pos <= b))
                st.caret = st.anchor = pos;
        } else {
            setFocus(ctx, id);
            st.buffer = text;
            st.editing = true;
            st.scroll = 0;
            pos = caretFromPointer(ctx, st, area.x, masked);
            if (selectAllOnClick) {
                st.anchor = 0;
                st.caret = len(st.buffer);
            } else {
                st.caret = st.anchor = pos;
            }
        }
        openTextMenu(ctx, id);
    }

    uint8_t choice = textContextMenu(ctx, id, hasSelection(st), !st.buffer.empty(), true, !masked);
    if (st.editing) {
        switch (choice) {
        case 3:
            if (hasSelection(st) && !masked) {
                copySelection(ctx, st);
                deleteSelection(st);
            }
            break;
        case 4:
            if (hasSelection(st) && !masked)
                copySelection(ctx, st);
            break;
        case 5:
            paste(ctx, st);
            break;
        case 6:
            deleteSelection(st);
            break;
        case 7:
            st.anchor = 0;
            st.caret = len(st.buffer);
            break;
        default:
            break;
        }
    }
    st.caret = std::clamp(st.caret, 0, len(st.buffer));
    st.anchor = std::clamp(st.anchor, 0, len(st.buffer));

    std::string shown = shownText(st.editing ? st.buffer : text, masked);
    GlyphAtlas& atlas = *ctx.font;
    auto widthTo = [&](int32_t n) { return textWidth(atlas, std::string_view(shown).substr(0, size_t(n)), size); };
    if (st.editing) {
        double caretX = widthTo(std::min(st.caret, len(shown)));
        double full = textWidth(atlas, shown, size);
        if (caretX - st.scroll > area.w - 2)
            st.scroll = caretX - area.w + 2;
        if (area.w >= full || st.scroll > caretX)
            st.scroll = full <= area.w ? 0 : caretX;
    }

    drawFieldFrame(ctx, rect, {.hovered = live, .focused = isFocused(ctx, id), .disabled = disabled});
    Renderer& r = *ctx.renderer;
    double drawX = area.x - st.scroll;
    double a = ascent(atlas, size), d = descent(atlas, size);
    double baseline = rect.y + (rect.h - (a - d)) * 0.5 + a;
    pushClip(r, {area.x - 1, rect.y, area.w + 2, rect.h});
    if (st.editing && hasSelection(st)) {
        int32_t lo = std::min(st.caret, st.anchor), hi = std::max(st.caret, st.anchor);
        double x0 = widthTo(lo);
        fillRect(
            r, {drawX + x0, rect.y + dp(ctx, 3), widthTo(hi) - x0, rect.h - dp(ctx, 6)}, t.derived[derivedSelection]);
    }
    if (shown.empty() && !placeholder.empty() && !st.editing)
        renderText(r, ctx.font, placeholder, drawX, baseline, size, t.derived[derivedTextTertiary]);
    else
        renderText(r, ctx.font, shown, drawX, baseline, size,
            disabled ? t.derived[derivedTextTertiary] : t.derived[derivedText]);
    bool blinkOn = int64_t(std::trunc(2 * ctx.time)) % 2 == 0;
    if (st.editing && (blinkOn || !ctx.keyPresses.empty())) {
        double cx = std::round(drawX + widthTo(std::min(st.caret, len(shown))));
        fillRect(r, {cx, rect.y + dp(ctx, 4), std::max(1.0, ctx.scale), rect.h - dp(ctx, 8)}, t.derived[derivedText]);
    }
    if (st.editing && isFocused(ctx, id))
        ctx.keepAnimating = true;
    popClip(r);
    return result;
}

}  // namespace qm
