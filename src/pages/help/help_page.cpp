#include "pages/help/help_page.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/app_text.h"
#include "app/icon_textures.h"
#include "app/navigation.h"
#include "app/page_table.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "core/ascii.h"
#include "pages/help/help_page_internal.h"
#include "pages/help/help_view.h"
#include "pages/help/help_view_internal.h"
#include "platform/keys.h"
#include "platform/render/primitives.h"
#include "ui/input.h"
#include "ui/label.h"
#include "ui/layout.h"
#include "ui/scroll_area.h"
#include "ui/text_edit.h"
#include "ui/widget_id.h"
#include "ui/wrap.h"

namespace qm {

namespace {

constexpr int32_t kMaxHits = 60;

void rowBackground(AppState& state, const Rect& row, bool marked, bool hovered)
{
    const Theme& t = state.ui->theme;
    if (marked)
        fillRoundRect(*state.renderer, row, dp(*state.ui, 8), t.base[slotAccentBackground]);
    else if (hovered)
        fillRoundRect(*state.renderer, row, dp(*state.ui, 8), t.base[slotHover]);
}

// Back and Forward move one section between the stacks; neither empties the other.
void stepHistory(AppState& state, std::vector<int32_t>& from, std::vector<int32_t>& to)
{
    HelpViewState& view = helpView(state);
    if (from.empty())
        return;
    to.push_back(view.currentSection);
    view.currentSection = from.back();
    from.pop_back();
    view.pendingSection = view.currentSection;
    view.contentsOpen = false;
    requestAppRedraw(state);
}

const std::vector<HelpSearchHit>& resultsFor(AppState& state, const std::string& query)
{
    HelpViewState& view = helpView(state);
    if (query != view.resultsQuery) {
        view.results = searchHelpBook(view.book.get(), query, kMaxHits);
        view.resultsQuery = query;
        ++view.searchesRun;
    }
    return view.results;
}

}  // namespace

int32_t currentHelpHeading(AppState& state, const DocLayout& layout, double scroll)
{
    HelpViewState& view = helpView(state);
    const HelpBook& book = *view.book;
    const std::optional<int32_t> page = helpSectionPage(book, view.currentSection);
    if (!page)
        return view.currentSection;
    const HelpPage& p = book.pages[size_t(*page)];
    const double line = scroll + dp(*state.ui, 24);
    int32_t found = p.firstSection;
    for (int32_t s = p.firstSection; s <= p.lastSection; ++s)
        if (laidOutBlockY(layout, book.sections[size_t(s)].headingBlock) <= line)
            found = s;
    return found;
}

void helpContentsList(AppState& state, const Rect& rect, int32_t currentHeading)
{
    UiContext& ui = *state.ui;
    HelpViewState& view = helpView(state);
    std::shared_ptr<HelpBook> book = view.book;
    const Theme& t = ui.theme;
    beginScrollArea(ui, "helptoc", rect, colorTransparent, false);
    addSpace(ui, dp(*state.ui, 6));
    const int32_t currentPage = helpSectionPage(*book, view.currentSection).value_or(-1);
    const int32_t sections = int32_t(book->sections.size());
    // The level-1 topic being read: the last one at or above the heading.
    int32_t currentTopic = -1;
    if (currentPage >= 0) {
        const HelpPage& page = book->pages[size_t(currentPage)];
        currentTopic = page.firstSection;
        for (int32_t s = page.firstSection; s <= std::min(currentHeading, page.lastSection); ++s)
            if (s >= 0 && s < sections && book->sections[size_t(s)].level <= 1)
                currentTopic = s;
    }
    int32_t open = -1;
    for (size_t c = 0; c < book->pages.size(); ++c) {
        const HelpPage& page = book->pages[c];
        const bool hasSections = page.lastSection >= page.firstSection;
        // Every level-1 heading of a file is a topic of its own; the first
        // one (or the page's title, when it has no sections) keeps the
        // page's row.
        for (int32_t topic = page.firstSection; topic <= std::max(page.firstSection, page.lastSection); ++topic) {
            const bool first = topic == page.firstSection;
            if (!first && (topic >= sections || book->sections[size_t(topic)].level > 1))
                continue;
            const Rect row = nextLayoutRect(ui, dp(*state.ui, 30), 0);
            std::string id = "htc" + std::to_string(c);
            if (!first)
                id.append(1, '-').append(std::to_string(topic));
            InteractResult res = interact(ui, widgetId(ui, id), row, 1);
            const bool isCurrent = hasSections && topic == currentTopic;
            rowBackground(state, row, isCurrent && currentHeading == topic, res.hovered);
            const std::string& title = first || !hasSections ? page.title : book->sections[size_t(topic)].title;
            const double size = dp(*state.ui, 13);
            drawText(state, elideText(state, title, row.w - dp(*state.ui, 20), size, 600),
                {row.x + dp(*state.ui, 10), row.y, row.w - dp(*state.ui, 12), row.h}, size,
                isCurrent ? t.base[slotLink] : t.base[slotText], 0, 600);
            if (res.clicked && hasSections)
                open = topic;
            if (!isCurrent)
                continue;
            for (int32_t s = topic + 1; s <= page.lastSection; ++s) {
                const HelpSection& section = book->sections[size_t(s)];
                if (section.level <= 1)
                    break;  // the next topic
                if (section.level != 2)
                    continue;
                indent(ui, dp(*state.ui, 14));
                const Rect sub = nextLayoutRect(ui, dp(*state.ui, 26), 0);
                unindent(ui, dp(*state.ui, 14));
                InteractResult sr = interact(ui, widgetId(ui, "hts" + std::to_string(s)), sub, 1);
                // A deeper heading being read marks the level-2 section above it.
                int32_t k = currentHeading;
                while (k > s && k < sections && book->sections[size_t(k)].level >= 3)
                    --k;
                const bool marked = k == s;
                rowBackground(state, sub, marked, sr.hovered);
                const double subSize = dp(*state.ui, 12.5);
                const int32_t weight = marked ? 600 : 400;
                drawText(state, elideText(state, section.title, sub.w - dp(*state.ui, 20), subSize, weight),
                    {sub.x + dp(*state.ui, 10), sub.y, sub.w - dp(*state.ui, 12), sub.h}, subSize,
                    marked ? t.base[slotText] : t.base[slotTextSecondary], 0, weight);
                if (sr.clicked)
                    open = s;
            }
        }
    }
    addSpace(ui, dp(*state.ui, 6));
    endScrollArea(ui, "helptoc");
    if (open >= 0) {
        view.highlightWords.clear();
        openHelpSection(state, open, true);
    }
}

namespace {

// Wrapping every snippet is most of what a frame of results costs, so the
// lines are kept until the query, the width or the text size changes.
const std::vector<std::vector<std::string>>& wrappedSnippets(AppState& state, double width, double size)
{
    HelpViewState& view = helpView(state);
    if (view.snippetQuery != view.resultsQuery || view.snippetWidth != width || view.snippetSize != size
        || view.snippetLines.size() != view.results.size()) {
        view.snippetLines.clear();
        for (const HelpSearchHit& hit : view.results)
            view.snippetLines.push_back(
                hit.snippet.empty() ? std::vector<std::string>{} : wrapText(*state.ui, hit.snippet, width, size));
        view.snippetQuery = view.resultsQuery;
        view.snippetWidth = width;
        view.snippetSize = size;
    }
    return view.snippetLines;
}

}  // namespace

void helpSearchResults(AppState& state, const Rect& rect, const std::string& query)
{
    UiContext& ui = *state.ui;
    HelpViewState& view = helpView(state);
    std::shared_ptr<HelpBook> book = view.book;
    const std::vector<HelpSearchHit>& hits = resultsFor(state, query);
    const Theme& t = ui.theme;
    const Rect visible = beginScrollArea(ui, "helpresults", rect, colorTransparent, false);
    addSpace(ui, dp(*state.ui, 6));
    if (hits.empty()) {
        indent(ui, dp(*state.ui, 10));
        wrappedLabel(ui, "Nothing found for \"" + query + "\".", 1, 0);
        unindent(ui, dp(*state.ui, 10));
    }
    int32_t open = -1;
    const double snippetSize = dp(*state.ui, 11.5);
    const auto& snippets = wrappedSnippets(state, rect.w - dp(*state.ui, 30), snippetSize);
    for (size_t i = 0; i < hits.size(); ++i) {
        const HelpSearchHit& hit = hits[i];
        if (hit.section < 0 || size_t(hit.section) >= book->sections.size())
            continue;
        const HelpSection& section = book->sections[size_t(hit.section)];
        const std::vector<std::string>& lines = snippets[i];
        const size_t n = std::min<size_t>(lines.size(), 2);
        const Rect row = nextLayoutRect(ui, dp(*state.ui, 40) + double(n) * dp(*state.ui, 16), 0);
        InteractResult res = interact(ui, widgetIdIndexed(ui, "hres", int64_t(i)), row, 1);
        if (res.clicked)
            open = hit.section;
        if (row.y > visible.y + visible.h || row.y + row.h < visible.y)
            continue;  // scrolled out of sight
        rowBackground(state, row, hit.section == view.currentSection, res.hovered);
        const double x = row.x + dp(*state.ui, 10), textW = row.w - dp(*state.ui, 20);
        drawText(state, elideText(state, section.title, textW, dp(*state.ui, 13), 600),
            {x, row.y + dp(*state.ui, 4), textW, dp(*state.ui, 18)}, dp(*state.ui, 13), t.base[slotText], 0, 600);
        drawText(state, elideText(state, book->pages[size_t(section.page)].title, textW, dp(*state.ui, 11), 400),
            {x, row.y + dp(*state.ui, 21), textW, dp(*state.ui, 14)}, dp(*state.ui, 11), t.base[slotLink], 0, 400);
        for (size_t k = 0; k < n; ++k) {
            std::string text = lines[k];
            if (k == 1 && lines.size() > 2)
                text = elideText(state, text + " \u2026", textW, snippetSize, 400);
            drawText(state, text,
                {x, row.y + dp(*state.ui, 36) + double(k) * dp(*state.ui, 16), textW, dp(*state.ui, 16)}, snippetSize,
                t.base[slotTextSecondary], 0, 400);
        }
    }
    addSpace(ui, dp(*state.ui, 6));
    endScrollArea(ui, "helpresults");
    if (open >= 0) {
        view.highlightWords = splitSearchWords(query);
        openHelpSection(state, open, true);
        view.searchText.clear();
    }
}

void helpPage(AppState& state, const Rect& rect)
{
    UiContext& ui = *state.ui;
    std::shared_ptr<HelpBook> book = sharedHelpBook(state);
    HelpViewState& view = helpView(state);
    const Theme& t = ui.theme;
    if (book->sections.empty()) {
        drawText(state, "The help is not available in this build.", rect, dp(*state.ui, 13), t.base[slotTextSecondary],
            0.5, 400);
        return;
    }
    if (view.currentSection < 0 || size_t(view.currentSection) >= book->sections.size())
        view.currentSection = 0;

    const double p = dp(*state.ui, state.compact ? 10 : 24);
    const double top = rect.y + dp(*state.ui, state.compact ? 10 : 18);
    const double h = rowHeight(ui);
    const bool narrow = state.compact || rect.w < dp(*state.ui, 760);

    const Rect back{rect.x + p, top, h, h};
    if (iconOnlyButton(
            state, "help-back", "chevron_left", back, {.tooltip = "Back", .disabled = view.backStack.empty()}))
        stepHistory(state, view.backStack, view.forwardStack);
    const Rect forward{back.x + h + dp(*state.ui, 2), top, h, h};
    if (iconOnlyButton(
            state, "help-fwd", "chevron_right", forward, {.tooltip = "Forward", .disabled = view.forwardStack.empty()}))
        stepHistory(state, view.forwardStack, view.backStack);

    const double searchX = forward.x + h + dp(*state.ui, 8);
    double right = rect.x + rect.w - p;
    if (narrow) {
        if (iconOnlyButton(state, "help-toc", "list", {right - h, top, h, h},
                {.tooltip = "Contents", .accent = view.contentsOpen})) {
            view.searchText.clear();
            view.highlightWords.clear();
            view.contentsOpen = !view.contentsOpen;
        }
        right -= h + dp(*state.ui, 8);
    }
    if (!state.compact) {
        const double width = measureText(state, "Start tour", dp(*state.ui, 12.5), 600) + dp(*state.ui, 40);
        if (button(state, "help-tour", "Start tour", {right - width, top, width, h}, {.icon = "tour"}))
            startTour(state);
        right -= width + dp(*state.ui, 8);
    }

    const int64_t fieldId = widgetId(ui, "help-search");
    const Rect field{searchX, top, std::max(dp(*state.ui, 80), right - searchX), h};
    const TextEditResult edit = textEdit(ui, fieldId, view.searchText, field, {.placeholder = "Search the help"});
    // The field keeps what is typed to itself until Enter; the results follow
    // every keystroke.
    const std::shared_ptr<TextEditState> typing = textEditState(ui, fieldId);
    if (typing->editing && isFocused(ui, fieldId))
        view.searchText = typing->buffer;
    if (edit == editEscape)
        view.searchText.clear();
    if (view.searchText.empty())
        drawAppIcon(*state.renderer, "search",
            {field.x + field.w - dp(*state.ui, 26), top + dp(*state.ui, 9), dp(*state.ui, 16), dp(*state.ui, 16)},
            t.base[slotTextTertiary]);

    const std::string query(trimAsciiBlanks(view.searchText));
    if (edit == editEnter && !query.empty()) {
        const std::vector<HelpSearchHit>& hits = resultsFor(state, query);
        if (!hits.empty()) {
            view.highlightWords = splitSearchWords(query);
            openHelpSection(state, hits.front().section, true);
            view.searchText.clear();
        }
    }
    // "?" shows the keyboard shortcuts, as the tour's last card promises;
    // typed into a field (the search, a dialog's over the page) it is text.
    auto question = std::find(ui.typedRunes.begin(), ui.typedRunes.end(), int32_t('?'));
    if (question != ui.typedRunes.end() && !ui.textEditing && !ui.textEditingLast && ui.focusId != fieldId
        && ui.popupId == 0 && !ui.modalActive && ui.modalWindowIdLast == 0) {
        ui.typedRunes.erase(question);
        openHelpAnchor(state, "shortcuts");
    }
    if (keyPressed(ui, uint8_t(keyA + ('f' - 'a')), modControl, false)) {
        setFocus(ui, fieldId);
        consumeKey(ui, uint8_t(keyA + ('f' - 'a')));
        requestAppRedraw(state);
    }

    const double y0 = top + h + dp(*state.ui, 10);
    const double height = std::max(dp(*state.ui, 60), rect.y + rect.h - y0 - dp(*state.ui, 10));
    const std::string shown(trimAsciiBlanks(view.searchText));

    int32_t heading = view.currentSection;
    const std::optional<int32_t> page = helpSectionPage(*book, view.currentSection);
    if (view.layoutValid && page && view.layoutPage == *page) {
        heading = currentHelpHeading(state, view.layout, view.scroll);
        // The last headings of a page never reach the top of the view: the
        // one opened counts as read while it is in sight.
        const HelpSection& opened = book->sections[size_t(view.currentSection)];
        if (view.currentSection > heading && laidOutBlockY(view.layout, opened.headingBlock) < view.scroll + height)
            heading = view.currentSection;
    }

    if (narrow) {
        const Rect panel{rect.x + p, y0, rect.w - 2 * p, height};
        if (!shown.empty())
            helpSearchResults(state, panel, shown);
        else if (view.contentsOpen)
            helpContentsList(state, panel, heading);
        else
            helpDocumentView(state, panel);
        return;
    }
    const double side = std::clamp(0.26 * rect.w, dp(*state.ui, 200), dp(*state.ui, 290));
    const Rect sidePanel{rect.x + p, y0, side, height};
    if (shown.empty())
        helpContentsList(state, sidePanel, heading);
    else
        helpSearchResults(state, sidePanel, shown);
    const double readX = rect.x + p + side + dp(*state.ui, 14);
    helpDocumentView(state, {readX, y0, rect.x + rect.w - p - readX, height});
}

void openHelpAnchor(AppState& state, std::string_view id)
{
    std::shared_ptr<HelpBook> book = sharedHelpBook(state);
    const int32_t section = findHelpAnchor(*book, id);
    if (state.page != pageHelp) {
        state.previousPage = state.page;
        showPage(state, pageHelp);
    }
    openHelpSection(state, section >= 0 ? section : 0, true);
}

void fillHelpPageTable(PageTable& table)
{
    table.drawHelpPage = [](AppState& state, const Rect& rect) { helpPage(state, rect); };
}

}  // namespace qm
