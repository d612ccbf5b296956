// The search page's drawing: the criteria form, the results heading and the
// table (columns on the desktop, two-line rows with an icon on the compact
// layout). Only the rows inside the scrolled view are drawn.
#include <algorithm>
#include <cmath>

#include "app/app_text.h"
#include "app/date_field.h"
#include "app/display_elements.h"
#include "app/form_layout.h"
#include "app/icon_picker.h"
#include "app/icon_textures.h"
#include "app/popover.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "core/ascii.h"
#include "model/builtins.h"
#include "model/ledger.h"
#include "model/money.h"
#include "pages/search/search_page.h"
#include "platform/cursor.h"
#include "platform/render/primitives.h"
#include "ui/combo_box.h"
#include "ui/layout.h"
#include "ui/scroll_area.h"
#include "ui/spacing.h"
#include "ui/text_edit.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

// Widths of the desktop table's columns in dp; the description takes the rest.
constexpr double kDateDp = 110, kCategoryDp = 150, kAccountDp = 150, kAmountDp = 120, kStatusDp = 150;
constexpr double kTableMarginDp = 28;
constexpr double kHeaderDp = 32;
// Below this room for the description the columns would run past the table:
// the rows take the two-line form instead.
constexpr double kMinDescriptionDp = 160;

struct Page {
    AppState& state;
    SearchPageState& s;
    double x = 0;  // the content column
    double w = 0;
    double y = 0;
    bool compact = false;
    bool twoLineRows = false;
    bool run = false;  // asked for this frame
};

std::vector<double> columnsIn(double x, double w, int32_t n, double gap, std::vector<double>* widths = nullptr)
{
    std::vector<double> xs;
    double cw = (w - gap * (n - 1)) / n;
    for (int32_t i = 0; i < n; ++i)
        xs.push_back(x + i * (cw + gap));
    if (widths)
        widths->assign(size_t(n), cw);
    return xs;
}

// A label over its field; returns the field's rectangle.
Rect labelled(Page& p, std::string_view label, double x, double w)
{
    beginLayoutInRect(p.state, {x, p.y, w, dp(*p.state.ui, 80)});
    fieldLabel(p.state, label);
    Rect field = nextLayoutRect(*p.state.ui, rowHeight(*p.state.ui), 0);
    endLayoutInRect(p.state);
    return field;
}

double fieldBlock(const Page& p) { return dp(*p.state.ui, 22) + rowHeight(*p.state.ui); }

void boundField(Page& p, const char* label, const char* name, bool to, double x, double w)
{
    SearchPageState& s = p.s;
    Rect field = labelled(p, label, x, w);
    bool& set = to ? s.toSet : s.fromSet;
    Date& date = to ? s.toDate : s.fromDate;
    std::string id(name);
    if (set) {
        Rect box{field.x, field.y, std::max(0.0, field.w - dp(*p.state.ui, 36)), field.h};
        dateField(p.state, id, date, box, false);
        double b = dp(*p.state.ui, 32);
        Rect clear{field.x + field.w - b, field.y + (field.h - b) / 2, b, b};
        if (iconOnlyButton(p.state, id + "-clear", "close", clear, {.tooltip = "Any date"}))
            set = false;
    } else if (button(p.state, id + "-set", "Any date", field)) {
        set = true;
        const YearMonth& m = p.state.shownMonth;
        date = to ? lastDayOfMonth(m.year, m.month) : firstOfMonth(m.year, m.month);
    }
}

void combo(Page& p, const char* label, const char* id, int32_t& index, const std::vector<std::string>& items, double x,
    double w)
{
    Rect field = labelled(p, label, x, w);
    UiContext& ui = *p.state.ui;
    comboBox(ui, widgetId(ui, id), index, items, field, false);
}

void categoryCombo(Page& p, double x, double w)
{
    std::vector<std::string> items{"All categories"};
    int32_t index = 0;
    for (const Category& c : categoriesByName(*p.state.store->budget)) {
        items.push_back(c.name);
        if (c.name == p.s.category && index == 0)
            index = int32_t(items.size() - 1);
    }
    int32_t picked = index;
    combo(p, "Category", "sp-cat", picked, items, x, w);
    if (picked != index)
        p.s.category = picked == 0 ? std::string() : items[size_t(picked)];
}

void accountCombo(Page& p, double x, double w)
{
    std::vector<std::string> items{"All accounts"};
    std::vector<int64_t> ids{0};
    int32_t index = 0;
    for (const Account& a : accountsInOrder(*p.state.store->budget)) {
        items.push_back(a.name);
        ids.push_back(a.id);
        if (a.id == p.s.accountId && a.id != 0)
            index = int32_t(items.size() - 1);
    }
    int32_t picked = index;
    combo(p, "Account", "sp-acc", picked, items, x, w);
    if (picked != index)
        p.s.accountId = ids[size_t(picked)];
}

void amountFields(Page& p, double x, double w)
{
    Rect field = labelled(p, "Amount", x, w);
    UiContext& ui = *p.state.ui;
    double gap = dp(*p.state.ui, 8), half = (field.w - gap) / 2;
    TextEditResult a =
        textEdit(ui, widgetId(ui, "sp-min"), p.s.minText, {field.x, field.y, half, field.h}, {.placeholder = "Min"});
    TextEditResult b = textEdit(ui, widgetId(ui, "sp-max"), p.s.maxText, {field.x + half + gap, field.y, half, field.h},
        {.placeholder = "Max"});
    p.run = p.run || a == editEnter || b == editEnter;
}

void drawForm(Page& p)
{
    SearchPageState& s = p.s;
    UiContext& ui = *p.state.ui;
    double gap = dp(ui, kSpaceLarge);
    if (p.compact) {
        Rect field = labelled(p, "Description / category", p.x, p.w);
        p.run = p.run
            || textEdit(ui, widgetId(ui, "sp-query"), s.query, field, {.placeholder = "e.g. Groceries, Rent\u2026"})
                == editEnter;
        p.y += fieldBlock(p) + dp(ui, 8);
        std::vector<double> xs = columnsIn(p.x, p.w, 2, dp(ui, 8)), ws;
        columnsIn(p.x, p.w, 2, dp(ui, 8), &ws);
        categoryCombo(p, xs[0], ws[0]);
        accountCombo(p, xs[1], ws[1]);
        p.y += fieldBlock(p) + dp(ui, 8);
        boundField(p, "From", "sp-from", false, xs[0], ws[0]);
        boundField(p, "To", "sp-to", true, xs[1], ws[1]);
        p.y += fieldBlock(p) + dp(ui, 8);
        amountFields(p, p.x, p.w);
        p.y += fieldBlock(p) + dp(ui, 8);
        combo(p, "Paid", "sp-paid", s.paidMode, {"Any", "Paid", "Unpaid"}, xs[0], ws[0]);
        combo(p, "Adjusted", "sp-adj", s.adjustedMode, {"Any", "Adjusted", "Unadjusted"}, xs[1], ws[1]);
        p.y += fieldBlock(p);
        return;
    }
    std::vector<double> ws;
    std::vector<double> xs = columnsIn(p.x, p.w, 3, gap, &ws);
    Rect field = labelled(p, "Description / category", xs[0], ws[0]);
    p.run = p.run
        || textEdit(ui, widgetId(ui, "sp-query"), s.query, field, {.placeholder = "e.g. Groceries, Rent\u2026"})
            == editEnter;
    boundField(p, "From", "sp-from", false, xs[1], ws[1]);
    boundField(p, "To", "sp-to", true, xs[2], ws[2]);
    p.y += fieldBlock(p) + dp(ui, 8);
    xs = columnsIn(p.x, p.w, 5, gap, &ws);
    categoryCombo(p, xs[0], ws[0]);
    accountCombo(p, xs[1], ws[1]);
    amountFields(p, xs[2], ws[2]);
    combo(p, "Paid", "sp-paid", s.paidMode, {"Any", "Paid", "Unpaid"}, xs[3], ws[3]);
    combo(p, "Adjusted", "sp-adj", s.adjustedMode, {"Any", "Adjusted", "Unadjusted"}, xs[4], ws[4]);
    p.y += fieldBlock(p);
}

void drawButtons(Page& p)
{
    p.y += dp(*p.state.ui, 12);
    double h = dp(*p.state.ui, 34);
    if (button(p.state, "sp-go", "Search", {p.x, p.y, dp(*p.state.ui, 110), h}, {.style = buttonPrimary}))
        p.run = true;
    if (button(p.state, "sp-clear", "Clear", {p.x + dp(*p.state.ui, 118), p.y, dp(*p.state.ui, 90), h})) {
        clearSearch(p.state);
        p.run = true;
    }
    p.y += h;
}

void drawHeading(Page& p)
{
    const Theme& t = p.state.ui->theme;
    p.y += dp(*p.state.ui, 24);
    drawText(p.state, "Results", {p.x, p.y, dp(*p.state.ui, 120), dp(*p.state.ui, 30)}, dp(*p.state.ui, 18),
        t.base[slotText], 0, 700);
    std::string count = searchCountLine(p.s);
    double size = dp(*p.state.ui, 12.5);
    if (!count.empty() && measureText(p.state, count, size, 400) > p.w - dp(*p.state.ui, 90)) {
        // Too long beside the heading: on a line of its own below it.
        p.y += dp(*p.state.ui, 30);
        drawText(p.state, count, {p.x, p.y, p.w, dp(*p.state.ui, 20)}, size, t.base[slotTextSecondary], 0, 400);
        p.y += dp(*p.state.ui, 20) + dp(*p.state.ui, 6);
        return;
    }
    if (!count.empty())
        drawText(p.state, count, {p.x + dp(*p.state.ui, 90), p.y, p.w - dp(*p.state.ui, 90), dp(*p.state.ui, 30)}, size,
            t.base[slotTextSecondary], 0, 400);
    p.y += dp(*p.state.ui, 30) + dp(*p.state.ui, 6);
}

void drawEmpty(Page& p)
{
    const Theme& t = p.state.ui->theme;
    Rect box{p.x, p.y, p.w, dp(*p.state.ui, 80)};
    strokeRoundRect(
        *p.state.renderer, box, dp(*p.state.ui, 12), std::max(1.0, dp(*p.state.ui, 1)), t.base[slotShadeStrong]);
    drawText(p.state, "No matching transactions", {box.x, box.y + dp(*p.state.ui, 16), box.w, dp(*p.state.ui, 18)},
        dp(*p.state.ui, 14), t.base[slotText], 0.5, 600);
    drawText(p.state, "Try widening the date range or clearing a filter.",
        {box.x, box.y + dp(*p.state.ui, 42), box.w, dp(*p.state.ui, 16)}, dp(*p.state.ui, 12),
        t.base[slotTextSecondary], 0.5, 400);
    p.y += box.h;
}

struct Columns {
    double date, description, category, account, amount, status;
    double descriptionW;
};

Columns tableColumns(const Page& p, const Rect& box)
{
    Columns c;
    double inner = dp(*p.state.ui, kTableMarginDp);
    double fixed = dp(*p.state.ui, kDateDp + kCategoryDp + kAccountDp + kAmountDp + kStatusDp);
    c.descriptionW = std::max(dp(*p.state.ui, 60), box.w - inner - fixed);
    c.date = box.x + inner / 2;
    c.description = c.date + dp(*p.state.ui, kDateDp);
    c.category = c.description + c.descriptionW;
    c.account = c.category + dp(*p.state.ui, kCategoryDp);
    c.amount = c.account + dp(*p.state.ui, kAccountDp);
    c.status = c.amount + dp(*p.state.ui, kAmountDp);
    return c;
}

void drawSortHeader(Page& p, const Columns& c, double y)
{
    UiContext& ui = *p.state.ui;
    const Theme& t = ui.theme;
    const double lefts[] = {c.date, c.description, c.category, c.account, c.amount};
    const double widths[] = {
        dp(ui, kDateDp), c.descriptionW, dp(ui, kCategoryDp), dp(ui, kAccountDp), dp(ui, kAmountDp)};
    static const char* const names[] = {"Date", "Description", "Category", "Account", "Amount"};
    double h = dp(ui, kHeaderDp), icon = dp(ui, 12);
    for (int32_t col = 0; col < 5; ++col) {
        bool right = col == searchByAmount;
        Rect cell{lefts[col], y, widths[col] - (right ? dp(ui, 10) : 0), h};
        InteractResult res = interact(ui, widgetIdIndexed(ui, "sp-sort", col), cell, 1);
        sectionCaption(p.state, names[col], cell, right ? 1 : 0);
        if (res.hovered)
            ui.cursorShape = curHand;
        if (p.s.sortColumn == col) {
            // As sectionCaption draws it.
            double textW = measureText(p.state, asciiUpper(names[col]), dp(ui, 10.5), 600);
            double ix = right ? cell.x + cell.w - textW - dp(ui, 4) - icon : cell.x + textW + dp(ui, 4);
            drawAppIcon(*p.state.renderer, p.s.sortDirection == 1 ? "arrow_up" : "arrow_down",
                {ix, y + (h - icon) / 2, icon, icon}, t.base[slotTextSecondary]);
        }
        if (res.clicked) {
            clickSortColumn(p.s, col);
            p.state.redrawRequested = true;
        }
    }
    sectionCaption(p.state, "Status", {c.status, y, dp(ui, kStatusDp), h}, 0);
}

void drawWideRow(Page& p, const Columns& c, const SearchHit& hit, const Rect& row)
{
    const Theme& t = p.state.ui->theme;
    const Transaction& tx = *hit.transaction;
    double pad = dp(*p.state.ui, kSpaceRoomy);
    auto cell = [&](double x, double w) { return Rect{x, row.y, std::max(0.0, w - pad), row.h}; };
    drawText(p.state, shortDate(hit.date), cell(c.date, dp(*p.state.ui, kDateDp)), dp(*p.state.ui, 12.5),
        t.base[slotTextSecondary], 0, 400);
    drawText(p.state, elideText(p.state, tx.description, c.descriptionW - pad, dp(*p.state.ui, 13), 500),
        cell(c.description, c.descriptionW), dp(*p.state.ui, 13), t.base[slotText], 0, 500);
    drawText(p.state, elideText(p.state, tx.category, dp(*p.state.ui, kCategoryDp) - pad, dp(*p.state.ui, 12.5), 400),
        cell(c.category, dp(*p.state.ui, kCategoryDp)), dp(*p.state.ui, 12.5), t.base[slotText], 0, 400);
    drawText(p.state,
        elideText(p.state, searchAccountText(hit), dp(*p.state.ui, kAccountDp) - pad, dp(*p.state.ui, 12.5), 400),
        cell(c.account, dp(*p.state.ui, kAccountDp)), dp(*p.state.ui, 12.5), t.base[slotText], 0, 400);
    drawTextWith(p.state, formatMoney(hit.amount), cell(c.amount, dp(*p.state.ui, kAmountDp)), dp(*p.state.ui, 12.5),
        hit.amount < 0 ? t.base[slotDanger] : t.base[slotText], 1, 1);
    double x = c.status, pillH = dp(*p.state.ui, 22), pillY = row.y + (row.h - pillH) / 2;
    bool adjusted = std::abs(hit.amount - hit.baseAmount()) > 0.004;
    if (hit.isPaid())
        x += statusPill(p.state, "\u2713 Paid", "paid", {x, pillY, dp(*p.state.ui, 70), pillH}) + dp(*p.state.ui, 6);
    if (adjusted)
        statusPill(p.state, "Adjusted", "adjusted", {x, pillY, dp(*p.state.ui, 70), pillH});
    if (!hit.isPaid() && !adjusted)
        drawText(p.state, "\u2014", cell(c.status, dp(*p.state.ui, kStatusDp)), dp(*p.state.ui, 12.5),
            t.base[slotTextTertiary], 0, 400);
}

void drawCompactRow(Page& p, const SearchHit& hit, const Rect& row)
{
    AppState& state = p.state;
    const Theme& t = state.ui->theme;
    const Transaction& tx = *hit.transaction;
    Rect badge{row.x + dp(*p.state.ui, 8), row.y + dp(*p.state.ui, 12), dp(*p.state.ui, 32), dp(*p.state.ui, 32)};
    Color tint = tx.is_adjustment ? t.base[slotChart10] : categoryColor(state, tx.category);
    iconBadge(state, tx.icon_id, transactionIconKey(*state.store->budget, tx), tint, badge);
    double tx0 = badge.x + badge.w + dp(*p.state.ui, 10);
    drawText(state, elideText(state, tx.description, row.w - dp(*p.state.ui, 220), dp(*p.state.ui, 13), 600),
        {tx0, row.y + dp(*p.state.ui, 9), row.w, dp(*p.state.ui, 20)}, dp(*p.state.ui, 13), t.base[slotText], 0, 600);
    std::string line = shortDate(hit.date);
    if (!tx.category.empty())
        line += " \u00b7 " + tx.category;
    drawText(state, elideText(state, line, row.w - dp(*p.state.ui, 170), dp(*p.state.ui, 11.5), 400),
        {tx0, row.y + dp(*p.state.ui, 29), row.w, dp(*p.state.ui, 18)}, dp(*p.state.ui, 11.5),
        t.base[slotTextSecondary], 0, 400);
    Rect amount{row.x + row.w - dp(*p.state.ui, 110), row.y, dp(*p.state.ui, 110) - dp(*p.state.ui, 8), row.h};
    drawTextWith(state, formatMoney(hit.amount), amount, dp(*p.state.ui, 13),
        hit.amount < 0 ? t.base[slotDanger] : t.base[slotText], 1, 1);
}

// Returns the hit clicked, if any.
const SearchHit* drawTable(Page& p, const Rect& visible)
{
    UiContext& ui = *p.state.ui;
    const Theme& t = ui.theme;
    const std::vector<SearchHit>& rows = shownResults(p.s);
    size_t total = p.s.results.size();
    size_t shown = std::min(size_t(std::max(0, p.s.shownCount)), total);
    double rowH = dp(ui, p.twoLineRows ? 56 : 40), header = p.twoLineRows ? 0 : dp(ui, kHeaderDp);
    Rect box{p.x, p.y, p.w, double(shown) * rowH + dp(ui, 32 + 8)};
    strokeRoundRect(*p.state.renderer, box, dp(ui, 12), std::max(1.0, dp(ui, 1)), t.base[slotShadeStrong]);
    Columns c = tableColumns(p, box);
    double top = box.y + (p.twoLineRows ? dp(ui, 4) : 0);
    if (!p.twoLineRows) {
        drawSortHeader(p, c, box.y);
        drawDivider(p.state, box.x, box.x + box.w, box.y + header - 1, t.base[slotShadeStrong]);
        top = box.y + header + dp(ui, 4);
    }
    const SearchHit* clicked = nullptr;
    // Rows outside the view are neither drawn nor reachable.
    size_t first = size_t(std::clamp(std::floor((visible.y - top) / rowH), 0.0, double(shown)));
    size_t last = size_t(std::clamp(std::ceil((visible.y + visible.h - top) / rowH), 0.0, double(shown)));
    double inset = dp(ui, kSpaceTight);
    for (size_t i = first; i < last; ++i) {
        Rect row{box.x + inset, top + double(i) * rowH, box.w - 2 * inset, rowH};
        InteractResult res = interact(ui, widgetIdIndexed(ui, "sp-row", int64_t(i)), row, 1);
        if (res.hovered) {
            fillRoundRect(*p.state.renderer, row, dp(ui, 8), t.base[slotHover]);
            ui.cursorShape = curHand;
        }
        if (i > 0)
            drawDivider(p.state, row.x, row.x + row.w, row.y, t.base[slotShadeStrong]);
        if (p.twoLineRows)
            drawCompactRow(p, rows[i], row);
        else
            drawWideRow(p, c, rows[i], row);
        if (res.clicked)
            clicked = &rows[i];
    }
    p.y += box.h;
    if (shown < total) {
        p.y += dp(ui, 10);
        std::string label = "Load more (" + std::to_string(total - shown) + " more)";
        if (button(p.state, "sp-more", label, {p.x, p.y, std::min(p.w, dp(*p.state.ui, 220)), dp(*p.state.ui, 34)})) {
            p.s.shownCount += kSearchPageRows;
            p.state.redrawRequested = true;
        }
        p.y += dp(ui, 34);
    }
    return clicked;
}

}  // namespace

void drawSearchPage(AppState& state, const Rect& rect)
{
    refreshSearch(state);
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    Page p{state, searchState(state)};
    p.compact = state.compact;
    Rect visible = beginScrollArea(ui, "searchpage", rect, colorTransparent, false);
    double margin = dp(ui, p.compact ? 12 : 28);
    p.w = std::min(dp(ui, 1180), visible.w - 2 * margin);
    p.x = visible.x + std::round((visible.w - p.w) / 2);
    p.twoLineRows = p.compact
        || p.w
            < dp(ui, kTableMarginDp + kDateDp + kCategoryDp + kAccountDp + kAmountDp + kStatusDp + kMinDescriptionDp);
    p.y = layoutCursor(ui) + dp(ui, p.compact ? 14 : 24);
    double titleH = dp(ui, p.compact ? 30 : 36);
    drawText(
        state, "Search Transactions", {p.x, p.y, p.w, titleH}, dp(ui, p.compact ? 20 : 24), t.base[slotText], 0, 700);
    p.y += titleH + dp(ui, p.compact ? 6 : 10);
    drawForm(p);
    drawButtons(p);
    if (p.run) {
        runSearch(state);
        p.run = false;
    }
    drawHeading(p);
    const SearchHit* clicked = nullptr;
    if (p.s.results.empty())
        drawEmpty(p);
    else
        clicked = drawTable(p, visible);
    p.y += dp(ui, 40);
    extendLayout(ui, p.y);
    endScrollArea(ui, "searchpage");
    if (clicked) {
        SearchHit hit = *clicked;
        openSearchHit(state, hit);
    }
}

}  // namespace qm
