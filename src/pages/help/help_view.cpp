#include "pages/help/help_view.h"

#include <algorithm>
#include <cmath>

#include "app/app_text.h"
#include "app/budget_io.h"
#include "app/icon_textures.h"
#include "app/theme_apply.h"
#include "core/unicode.h"
#include "core/utf8.h"
#include "pages/help/help_view_internal.h"
#include "platform/keys.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/input.h"
#include "ui/text_measure.h"
#include "ui/tooltip.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

const GlyphAtlasRef& faceForStyle(const AppState& state, uint8_t style)
{
    if (style == fsMono && state.fonts.mono0)
        return state.fonts.mono0;
    return atlasForWeight(state, style == fsBold || style == fsBoldItalic ? 600 : 400);
}

GlyphAtlas& atlasForStyle(const AppState& state, uint8_t style) { return *faceForStyle(state, style); }

double helpBaseSize(const AppState& state) { return std::round(fontSize(*state.ui) * 1.08); }

std::u32string lowerCodePoints(std::string_view text)
{
    std::u32string out;
    forEachLenientCodePoint(text, [&](uint32_t cp) { out.push_back(char32_t(simpleLowerCase(cp))); });
    return out;
}

// The scroll offset that shows a section: its page from the top when it is
// the page's first, else its heading a little below the top edge.
double scrollForSection(
    const AppState& state, const HelpBook& book, int32_t page, const DocLayout& layout, int32_t section, double margin)
{
    const HelpPage& p = book.pages[size_t(page)];
    if (section == p.firstSection || section < 0 || size_t(section) >= book.sections.size()
        || book.sections[size_t(section)].page != page)
        return 0;
    return laidOutBlockY(layout, book.sections[size_t(section)].headingBlock) + margin - dp(*state.ui, 12);
}

}  // namespace

HelpViewState& helpView(AppState& state)
{
    if (!state.helpView)
        state.helpView = std::make_shared<HelpViewState>();
    return *state.helpView;
}

std::shared_ptr<HelpBook> sharedHelpBook(AppState& state)
{
    HelpViewState& view = helpView(state);
    if (!view.book) {
        std::shared_ptr<HelpBook> book = loadHelp();
        view.book = std::move(book);
        view.pendingSection = -1;
    }
    return view.book;
}

void openHelpSection(AppState& state, int32_t section, bool remember)
{
    std::shared_ptr<HelpBook> book = sharedHelpBook(state);
    if (section < 0 || size_t(section) >= book->sections.size())
        return;
    HelpViewState& view = helpView(state);
    if (remember && section != view.currentSection) {
        view.backStack.push_back(view.currentSection);
        view.forwardStack.clear();
    }
    view.currentSection = section;
    view.pendingSection = section;
    view.contentsOpen = false;
    requestAppRedraw(state);
}

LayoutMetrics newHelpLayoutMetrics(AppState& state)
{
    const AppState* s = &state;
    LayoutMetrics m;
    m.measureText = [s](std::string_view text, uint8_t style, double size) {
        return textWidth(atlasForStyle(*s, style), text, size);
    };
    m.ascent = [s](uint8_t style, double size) { return ascent(atlasForStyle(*s, style), size); };
    m.descent = [s](uint8_t style, double size) { return -descent(atlasForStyle(*s, style), size); };
    m.imageSize = [](std::string_view) { return ImageSize{}; };
    // One walk over the text instead of a measurement per prefix; the
    // running total adds exactly what textWidth adds.
    m.prefixWidths = [s](std::string_view text, const std::vector<size_t>& ends, uint8_t style, double size,
                         std::vector<double>& widths) {
        widths.clear();
        RunningWidth running(atlasForStyle(*s, style), size);
        size_t at = 0;
        for (size_t end : ends) {
            while (at < end && at < text.size()) {
                Utf8Step step = decodeUtf8(text, at);
                at += step.length;
                running.add(step.codePoint);
            }
            widths.push_back(running.total);
        }
    };
    m.baseSize = helpBaseSize(state);
    m.scale = 1.0;
    return m;
}

double helpMargin(const AppState& state) { return dp(*state.ui, state.compact ? 16 : 32); }

double helpColumnWidth(const AppState& state, double rectWidth)
{
    // Never wider than the view, or a narrow window cuts every line's end.
    return std::max(dp(*state.ui, 40), std::min(dp(*state.ui, 760), rectWidth - 2 * helpMargin(state)));
}

const DocLayout& helpPageLayout(AppState& state, int32_t page, double width)
{
    HelpViewState& view = helpView(state);
    const double base = helpBaseSize(state);
    if (!view.layoutValid || view.layoutPage != page || view.layoutWidth != width || view.layoutBaseSize != base) {
        const HelpPage& p = view.book->pages[size_t(page)];
        view.layout = layoutDocument(*p.doc, newHelpLayoutMetrics(state), width, p.boxes);
        view.layoutValid = true;
        view.layoutPage = page;
        view.layoutWidth = width;
        view.layoutBaseSize = base;
        ++view.layoutsMade;
    }
    return view.layout;
}

double laidOutBlockY(const DocLayout& layout, int32_t blockIndex)
{
    for (const LaidOutBlock& block : layout.blocks)
        if (block.blockIndex == blockIndex)
            return block.y;
    return 0;
}

int32_t helpLinkAtPoint(const RichDoc& doc, const std::vector<LaidOutBlock>& blocks, double x, double y)
{
    for (const LaidOutBlock& block : blocks) {
        if (y < block.y || y > block.y + block.height)
            continue;
        const double ly = y - block.y;
        for (const LaidOutLine& line : block.lines) {
            const std::vector<double>& xs = line.xPositions;
            if (xs.size() < 2 || x < xs.front() || x > xs.back() || ly < line.top || ly > line.bottom)
                continue;
            size_t i = 0;
            while (i + 2 < xs.size() && x > xs[i + 1])
                ++i;
            const CellPosition& at = line.position;
            if (!richCellValid(doc, size_t(at.block), at.row, at.column))
                continue;
            const RichCells& cells = richCells(doc, size_t(at.block), at.row, at.column);
            const size_t cell = size_t(at.firstCell) + i;
            if (at.firstCell < 0 || cell >= cells.size())
                continue;
            const int32_t link = cells[cell].link;
            if (link >= 1 && size_t(link) <= doc.links.size())
                return link;
        }
    }
    return 0;
}

void highlightHelpMatches(AppState& state, const RichDoc& doc, const LaidOutBlock& block, double originX,
    double originY, const std::vector<std::u32string>& words)
{
    static const Color kMatch = rgba(1.0, 0.82, 0.2, 0.45);
    Renderer& r = *state.renderer;
    std::u32string text;
    for (const LaidOutLine& line : block.lines) {
        const CellPosition& at = line.position;
        if (line.xPositions.empty() || at.firstCell < 0 || !richCellValid(doc, size_t(at.block), at.row, at.column))
            continue;
        const RichCells& cells = richCells(doc, size_t(at.block), at.row, at.column);
        const size_t first = size_t(at.firstCell);
        const size_t count = first >= cells.size() ? 0 : std::min(line.xPositions.size() - 1, cells.size() - first);
        text.clear();
        for (size_t k = 0; k < count; ++k)
            text.push_back(char32_t(simpleLowerCase(uint32_t(cells[first + k].codePoint))));
        const size_t last = line.xPositions.size() - 1;
        for (const std::u32string& word : words) {
            if (word.empty())
                continue;
            for (size_t i = 0; i + word.size() <= count;) {
                if (text.compare(i, word.size(), word) != 0) {
                    ++i;
                    continue;
                }
                const double x0 = originX + line.xPositions[i] - 1;
                const double x1 = originX + line.xPositions[std::min(i + word.size(), last)] + 1;
                const double y0 = originY + block.y + line.top;
                fillRoundRect(r, {x0, y0, x1 - x0, line.bottom - line.top}, 2, kMatch);
                i += word.size();
            }
        }
    }
}

Color helpRunColour(const AppState& state, uint8_t code)
{
    const Theme& t = state.ui->theme;
    switch (code) {
    case 0:
    case 3:
        return t.base[slotText];
    case 2:
        return t.base[slotLink];
    case 4:
        return withAlpha(t.base[slotText], 0.06);
    case 5:
        return t.base[slotAccent];
    case 6:
    case 7:
        return t.base[slotShadeStrong];
    case 8:
        return t.base[slotBackgroundDeep];
    case 11:
        return t.base[slotDanger];
    case 12:
        return withAlpha(t.base[slotAccentBackground], 0.5);
    case 13:
        return t.base[slotSuccess];
    case 14:
    case 16:
        return t.base[slotWarning];
    case 15:
        return withAlpha(t.base[slotWarning], 0.1);
    case 17:
        return withAlpha(t.base[slotDanger], 0.1);
    default:
        return t.base[slotTextSecondary];
    }
}

void drawLaidOutBlock(AppState& state, const PlacedItem& item, double originX, double originY)
{
    Renderer& r = *state.renderer;
    const Theme& t = state.ui->theme;
    const double x = originX + item.x, y = originY + item.y;
    const double hairline = std::max(1.0, dp(*state.ui, 1));
    const Color colour = helpRunColour(state, item.colour);
    switch (item.kind) {
    case piText:
        drawTextAtIn(state, faceForStyle(state, item.style), item.text, x, y, item.size, colour);
        break;
    case piRect: {
        const bool small = item.colour == 4 && item.h < dp(*state.ui, 40);
        fillRoundRect(r, {x, y, item.w, item.h}, dp(*state.ui, small ? 3 : 6), colour);
        break;
    }
    case piLine:
        if (item.h == 0)
            fillRect(r, {x, std::round(y), item.w, hairline}, colour);
        else
            fillRect(r, {std::round(x), y, hairline, item.h}, colour);
        break;
    case piTaskBox: {
        const Rect box{x, y, item.w, item.h};
        if (item.checked) {
            fillRoundRect(r, box, dp(*state.ui, 3), t.base[slotAccent]);
            drawAppIcon(r, "check", box, t.base[slotContrastLight]);
        } else {
            fillRoundRect(r, box, dp(*state.ui, 3), t.base[slotSurface]);
            strokeRoundRect(r, box, dp(*state.ui, 3), 1, t.base[slotShadeStrong]);
        }
        break;
    }
    case piBullet:
        if (item.tag == 2)
            fillRect(r, {x + 0.1 * item.w, y + 0.1 * item.h, 0.8 * item.w, 0.8 * item.h}, colour);
        else if (item.tag == 1)
            strokeCircle(r, x + item.w / 2, y + item.h / 2, 0.45 * item.w, hairline, colour);
        else
            fillCircle(r, x + item.w / 2, y + item.h / 2, 0.5 * item.w, colour);
        break;
    case piImage:
        break;  // the help view shows no pictures
    }
}

bool helpTargetLeavesBook(const std::string& target)
{
    return !target.empty() && target.front() != '#' && target.rfind("help:", 0) != 0;
}

void followHelpLink(AppState& state, const std::string& target)
{
    HelpViewState& view = helpView(state);
    if (view.book) {
        const int32_t section = resolveHelpTarget(*view.book, target);
        if (section >= 0) {
            view.highlightWords.clear();
            openHelpSection(state, section, true);
            return;
        }
    }
    // A target meant for the book that leads nowhere is left alone: the
    // desktop's opener would only fail on it.
    if (!helpTargetLeavesBook(target))
        return;
    if (!openUrl(target))
        showError(state, "Could not open " + target);
}

HelpScrollBar helpScrollBar(
    const AppState& state, const Rect& rect, double scroll, double maxScroll, double contentHeight)
{
    HelpScrollBar bar;
    bar.track = {
        rect.x + rect.w - dp(*state.ui, 10), rect.y + dp(*state.ui, 4), dp(*state.ui, 8), rect.h - dp(*state.ui, 8)};
    const double thumbH = std::max(dp(*state.ui, 24), rect.h * bar.track.h / contentHeight);
    const double travel = bar.track.h - thumbH;
    bar.thumb = {bar.track.x + dp(*state.ui, 2), bar.track.y + (maxScroll > 0 ? travel * scroll / maxScroll : 0),
        dp(*state.ui, 4), thumbH};
    return bar;
}

void helpDocumentView(AppState& state, const Rect& rect)
{
    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    std::shared_ptr<HelpBook> book = sharedHelpBook(state);
    if (book->pages.empty())
        return;
    HelpViewState& view = helpView(state);
    int32_t page = helpSectionPage(*book, view.currentSection).value_or(0);
    if (size_t(page) >= book->pages.size())
        page = 0;
    const HelpPage& hp = book->pages[size_t(page)];
    const RichDoc& doc = *hp.doc;

    const double m = helpMargin(state);
    const double w = helpColumnWidth(state, rect.w);
    const DocLayout& layout = helpPageLayout(state, page, w);
    const double contentHeight = layout.height + 2 * m;
    const double maxScroll = contentHeight - rect.h;

    if (view.pendingSection >= 0) {
        view.scroll = scrollForSection(state, *book, page, layout, view.pendingSection, m);
        view.pendingSection = -1;
    }

    const bool hovered = mouseIn(ui, rect);
    const int64_t pageId = widgetId(ui, "helppage");
    if (maxScroll > 0)
        view.scroll -= wheelScroll(ui, pageId, rect, dp(*state.ui, 48), dp(*state.ui, 8));
    if (hovered && ui.focusId == 0) {
        const struct {
            uint8_t key;
            double delta;
        } steps[] = {{keyPageDown, 0.9 * rect.h}, {keyPageUp, -0.9 * rect.h}, {keyDown, dp(*state.ui, 40)},
            {keyUp, -dp(*state.ui, 40)}};
        for (const auto& step : steps)
            if (keyPressed(ui, step.key, 0, false)) {
                view.scroll += step.delta;
                consumeKey(ui, step.key);
            }
        if (keyPressed(ui, keyHome, 0, false)) {
            view.scroll = 0;
            consumeKey(ui, keyHome);
        }
        if (keyPressed(ui, keyEnd, 0, false)) {
            view.scroll = maxScroll;
            consumeKey(ui, keyEnd);
        }
    }
    view.scroll = std::clamp(view.scroll, 0.0, std::max(0.0, maxScroll));

    const double left = rect.x + std::max(m, (rect.w - w) / 2);
    const double top = rect.y + m - view.scroll;

    const Theme& t = ui.theme;
    fillRoundRect(r, rect, dp(*state.ui, 14), t.base[slotSurface]);
    strokeRoundRect(r, rect, dp(*state.ui, 14), dp(*state.ui, 1), t.base[slotShadeStrong]);

    std::string hoveredTarget, clickedTarget;
    if (hovered) {
        const int32_t k = helpLinkAtPoint(doc, layout.blocks, ui.pointerX - left, ui.pointerY - top);
        if (k > 0 && !doc.links[size_t(k - 1)].isImage) {
            hoveredTarget = doc.links[size_t(k - 1)].destination;
            ui.cursorShape = curHand;
            if (ui.buttonsPressed[1] && ui.activeId == 0)
                setActive(ui, pageId);
            if (ui.buttonsReleased[1] && ui.activeId == pageId) {
                ui.activeId = 0;
                clickedTarget = hoveredTarget;
            }
        }
    }

    std::vector<std::u32string> words;
    for (const std::string& word : view.highlightWords)
        words.push_back(lowerCodePoints(word));

    pushClip(r, {rect.x + 1, rect.y + 1, rect.w - 2, rect.h - 2});
    for (const LaidOutBlock& block : layout.blocks) {
        const double by = top + block.y;
        if (by + block.height < rect.y || by > rect.y + rect.h)
            continue;
        if (!words.empty())
            highlightHelpMatches(state, doc, block, left, top, words);
        for (const PlacedItem& item : block.items)
            drawLaidOutBlock(state, item, left, by);
    }
    popClip(r);

    if (helpTargetLeavesBook(hoveredTarget))
        tooltip(ui, hoveredTarget, rect);

    if (maxScroll > 0) {
        HelpScrollBar bar = helpScrollBar(state, rect, view.scroll, maxScroll, contentHeight);
        InteractResult res = interact(ui, widgetId(ui, "helpscroll"), bar.track, 1);
        if (res.held) {
            const double travel = std::max(1.0, bar.track.h - bar.thumb.h);
            view.scroll =
                std::clamp((ui.pointerY - bar.track.y - bar.thumb.h / 2) / travel * maxScroll, 0.0, maxScroll);
            requestAppRedraw(state);
        }
        fillRoundRect(r, bar.thumb, dp(*state.ui, 3),
            res.hovered || res.held ? t.derived[derivedScrollThumbHover] : t.derived[derivedScrollThumb]);
    }

    // Last, so this frame drew one page throughout.
    if (!clickedTarget.empty())
        followHelpLink(state, clickedTarget);
}

}  // namespace qm
