#include "pages/import/import_page_internal.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "app/app_text.h"
#include "app/display_elements.h"
#include "app/form_layout.h"
#include "app/icon_picker.h"
#include "app/popover.h"
#include "app/select_field.h"
#include "app/styled_buttons.h"
#include "model/builtins.h"
#include "model/ledger.h"
#include "model/money.h"
#include "model/recurrence.h"
#include "model/reports.h"
#include "pages/import/import_commit.h"
#include "pages/import/import_page.h"
#include "platform/render/primitives.h"
#include "ui/checkbox.h"
#include "ui/layout.h"
#include "ui/tooltip.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

using Wiz = ImportWizardFrame;

Color amountSlot(const Wiz& z, double amount) { return z.slot(amount < 0 ? slotDanger : slotSuccess); }

// A box bound to value at the rectangle's top left, without a label unless
// one is given. Its id is scoped to the row so every row's box is its own.
bool rowCheckBox(Wiz& z, size_t index, const Rect& r, std::string_view label, bool& value)
{
    UiContext& ui = *z.state.ui;
    pushId(ui, "ie-row" + std::to_string(index));
    beginLayoutInRect(z.state, r);
    bool changed = checkbox(ui, label, value);
    endLayoutInRect(z.state);
    popId(ui);
    return changed;
}

// A kept recurring choice without a period of its own takes the one found.
void settleRecurringPeriod(ImportRow& row)
{
    ImportRowMore& m = more(row);
    if (m.makeRecurring && m.recurringPeriod.empty())
        m.recurringPeriod = m.suggestedPeriod;
}

struct StatusLook {
    std::string_view label;
    int32_t slot;
};

StatusLook statusLook(ImportStatus status)
{
    switch (status) {
    case importPossibleDuplicate:
        return {"Possible duplicate", slotWarning};
    case importDuplicate:
        return {"Duplicate", slotDanger};
    default:
        return {"New", slotSuccess};
    }
}

std::vector<SelectOption> categoryChoices(const AppState& state, const Budget& b)
{
    return categorySelectOptions(b, "", state.ui->theme.base[slotTextSecondary]);
}

std::vector<SelectOption> accountChoices(const Budget& b)
{
    std::vector<SelectOption> out;
    for (const Account& a : accountsInOrder(b)) {
        SelectOption o;
        o.label = a.name;
        o.value = a.id;
        out.push_back(std::move(o));
    }
    return out;
}

// A select field bound to a name: the first entry with that label is the
// current one, the none entry empties it.
void nameSelect(Wiz& z, const std::string& id, std::string& bound, const std::vector<SelectOption>& options,
    const Rect& r, std::string_view placeholder, std::string_view noneLabel)
{
    int32_t selected = -1;
    for (size_t i = 0; i < options.size(); ++i)
        if (options[i].label == bound) {
            selected = int32_t(i);
            break;
        }
    SelectResult picked = selectField(z.state, id, bound.empty() ? placeholder : std::string_view(bound), options,
        selected, r, noneLabel, "", selected >= 0 ? options[size_t(selected)].color : colorTransparent, false);
    if (!picked.changed)
        return;
    if (picked.index >= 0 && size_t(picked.index) < options.size())
        bound = options[size_t(picked.index)].label;
    else
        bound.clear();
}

void chipRow(Wiz& z)
{
    const ImportCounts& n = z.w.importCounts;
    Rect row{z.x, z.y, z.width, dp(*z.state.ui, 26)};
    double x = row.x;
    AppState& s = z.state;
    // Chips that would pass the card's edge start a new line.
    auto chip = [&](std::string_view id, const std::string& label, std::string_view key, int32_t slot) {
        if (x > row.x && x + importChipWidth(s, label) > row.x + row.w) {
            x = row.x;
            row.y += row.h + dp(*z.state.ui, 6);
        }
        importFilterChip(s, x, id, label, key, z.slot(slot), row);
    };
    chip("ie-b-all", std::to_string(n.total) + " Total", "", slotTextSecondary);
    chip("ie-b-new", std::to_string(n.newCount) + " New", "new", slotSuccess);
    if (n.possibleDuplicates > 0)
        chip("ie-b-pos", std::to_string(n.possibleDuplicates) + " Possible duplicate", "possible_duplicate",
            slotWarning);
    if (n.duplicates > 0)
        chip("ie-b-dup", std::to_string(n.duplicates) + " Duplicate", "duplicate", slotDanger);
    if (n.recurringGroups > 0)
        chip("ie-b-rec", std::to_string(n.recurringGroups) + " Recurring group" + (n.recurringGroups == 1 ? "" : "s"),
            "recurring", slotAccent);
    z.y = row.y + row.h;
}

void bulkRow(Wiz& z)
{
    AppState& s = z.state;
    double x = z.x;
    // On a narrow card the buttons that do not fit go on to a new line
    // rather than past the card's edge.
    auto bulk = [&](const char* id, const char* label) {
        double bw = std::min(z.width, measureText(s, label, dp(*z.state.ui, 12), 600) + dp(*z.state.ui, 24));
        if (x > z.x && x + bw > z.x + z.width) {
            x = z.x;
            z.y += dp(*z.state.ui, 30) + dp(*z.state.ui, 8);
        }
        bool clicked = button(s, id, label, {x, z.y, bw, dp(*z.state.ui, 30)}, {.fontSize = dp(*z.state.ui, 12)});
        x += bw + dp(*z.state.ui, 8);
        return clicked;
    };
    std::vector<ImportRow>& rows = z.w.importRows;
    if (bulk("ie-selall", "Select All"))
        for (ImportRow& r : rows)
            r.selected = true;
    if (bulk("ie-deselall", "Deselect All"))
        for (ImportRow& r : rows)
            r.selected = false;
    if (bulk("ie-deseldup", "Deselect Duplicates"))
        for (ImportRow& r : rows)
            if (r.status != importNew)
                r.selected = false;
    if (bulk("ie-newfile", "New File"))
        restartImportWizard(s);
    z.y += dp(*z.state.ui, 30);
}

struct RowChoices {
    std::vector<SelectOption> categories;
    std::vector<SelectOption> accounts;
};

void statusPill(Wiz& z, size_t i, const ImportRow& row, const Rect& r, bool withTooltip)
{
    StatusLook look = statusLook(row.status);
    drawImportChip(z.state, "ie-st-" + std::to_string(i), look.label, r, z.slot(look.slot), false, false);
    const std::string& matched = more(row).matchedDescription;
    if (withTooltip && !matched.empty())
        tooltip(*z.state.ui, "Matches: " + matched, {r.x, r.y, importChipWidth(z.state, look.label), r.h});
}

void tintRow(Wiz& z, const ImportRow& row, const Rect& r)
{
    if (row.status == importNew)
        return;
    fillRect(*z.state.renderer, r, withAlpha(z.slot(row.status == importDuplicate ? slotDanger : slotWarning), 0.06));
}

void wideRow(Wiz& z, size_t i, ImportRow& row, const std::vector<double>& xs, const Rect& r, const RowChoices& c)
{
    AppState& s = z.state;
    const double h = rowHeight(*s.ui);
    auto cell = [&](size_t k) { return Rect{xs[k], r.y, xs[k + 1] - xs[k] - dp(*z.state.ui, 10), r.h}; };
    tintRow(z, row, r);
    const double boxH = smallRowHeight(*s.ui);
    rowCheckBox(z, i, {xs[0], r.y + (r.h - boxH) / 2, dp(*z.state.ui, 30), boxH}, "", row.selected);
    drawText(s, shortDate(row.date), cell(1), dp(*z.state.ui, 12), z.slot(slotTextSecondary), 0, 400);
    Rect d = cell(2);
    drawText(s, elideText(s, row.description, d.w, dp(*z.state.ui, 12.5), 500), d, dp(*z.state.ui, 12.5),
        z.slot(slotText), 0, 500);
    drawTextWith(s, formatMoney(row.amount), cell(3), dp(*z.state.ui, 12), amountSlot(z, row.amount), 1, 1);
    statusPill(z, i, row, {xs[4], r.y + (r.h - dp(*z.state.ui, 22)) / 2, 0, dp(*z.state.ui, 22)}, true);
    Rect rec = cell(5);
    if (row.isRecurring) {
        ImportRowMore& m = more(row);
        std::string label = elideText(s, m.suggestedLabel, rec.w - dp(*z.state.ui, 20), dp(*z.state.ui, 12), 400);
        rowCheckBox(z, i, {rec.x, r.y + (r.h - boxH) / 2, rec.w + dp(*z.state.ui, 10), boxH}, label, m.makeRecurring);
        settleRecurringPeriod(row);
    } else {
        drawText(s, "\u2014", rec, dp(*z.state.ui, 12), z.slot(slotTextTertiary), 0, 400);
    }
    const double fy = r.y + (r.h - h) / 2;
    Rect cat = cell(6), acc = cell(7);
    ImportRowMore& m = more(row);
    nameSelect(
        z, "ie-cat-" + std::to_string(i), m.category, c.categories, {cat.x, fy, cat.w, h}, "Category", "No category");
    nameSelect(z, "ie-acc-" + std::to_string(i), m.account, c.accounts, {acc.x, fy, acc.w, h}, "Account", "No account");
    if (iconOnlyButton(s, "ie-edit-" + std::to_string(i), "edit", {xs[8], fy, std::min(h, dp(*z.state.ui, 40)), h},
            {.tooltip = "Icon and recurring details"}))
        z.w.importEditRow = z.w.importEditRow == int32_t(i) ? -1 : int32_t(i);
}

void compactRow(Wiz& z, size_t i, ImportRow& row, const Rect& r, const RowChoices& c)
{
    AppState& s = z.state;
    const double h = rowHeight(*s.ui), W = r.w, x = r.x, y = r.y;
    tintRow(z, row, r);
    rowCheckBox(z, i, {x + dp(*z.state.ui, 6), y + dp(*z.state.ui, 6), dp(*z.state.ui, 30), h}, "", row.selected);
    drawText(s, elideText(s, row.description, W - dp(*z.state.ui, 150), dp(*z.state.ui, 13), 600),
        {x + dp(*z.state.ui, 40), y + dp(*z.state.ui, 6), W, dp(*z.state.ui, 20)}, dp(*z.state.ui, 13),
        z.slot(slotText), 0, 600);
    drawTextWith(s, formatMoney(row.amount),
        {x + W - dp(*z.state.ui, 108), y + dp(*z.state.ui, 6), dp(*z.state.ui, 100), dp(*z.state.ui, 20)},
        dp(*z.state.ui, 12.5), amountSlot(z, row.amount), 1, 1);
    const std::string date = shortDate(row.date);
    const double dateW = measureText(s, date, dp(*z.state.ui, 12), 400);
    drawText(s, date, {x + dp(*z.state.ui, 40), y + dp(*z.state.ui, 28), dateW, dp(*z.state.ui, 20)},
        dp(*z.state.ui, 12), z.slot(slotTextSecondary), 0, 400);
    // Right after the date, so that a narrow row still shows it.
    statusPill(
        z, i, row, {x + dp(*z.state.ui, 40 + 10) + dateW, y + dp(*z.state.ui, 27), 0, dp(*z.state.ui, 22)}, false);
    const double half = (W - dp(*z.state.ui, 20)) / 2;
    ImportRowMore& m = more(row);
    nameSelect(z, "ie-cat-" + std::to_string(i), m.category, c.categories,
        {x + dp(*z.state.ui, 8), y + dp(*z.state.ui, 56), half, h}, "Category", "No category");
    nameSelect(z, "ie-acc-" + std::to_string(i), m.account, c.accounts,
        {x + dp(*z.state.ui, 12) + half, y + dp(*z.state.ui, 56), half, h}, "Account", "No account");
    if (row.isRecurring) {
        rowCheckBox(z, i,
            {x + dp(*z.state.ui, 8), y + dp(*z.state.ui, 90), W - dp(*z.state.ui, 16), dp(*z.state.ui, 20)},
            "Recurring: " + m.suggestedLabel, m.makeRecurring);
        settleRecurringPeriod(row);
    }
}

void rowList(Wiz& z, bool compact)
{
    AppState& s = z.state;
    std::vector<ImportRow>& rows = z.w.importRows;
    std::vector<size_t> shown;
    shown.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        if (importRowVisible(rows[i], z.w.importFilter))
            shown.push_back(i);
    const double rowH = dp(*z.state.ui, compact ? 112 : 44);
    Rect box{z.x, z.y, z.width, double(shown.size()) * rowH + dp(*z.state.ui, 28) + dp(*z.state.ui, 4)};
    z.y += box.h;
    if (box.y > z.view.y + z.view.h || box.y + box.h < z.view.y)
        return;
    fillRoundRect(*s.renderer, box, dp(*z.state.ui, 10), z.slot(slotBackground));
    strokeRoundRect(*s.renderer, box, dp(*z.state.ui, 10), 1, z.slot(slotShadeStrong));
    const Budget& budget = *s.store->budget;
    RowChoices choices{categoryChoices(s, budget), accountChoices(budget)};
    std::vector<double> xs;
    double top = box.y + dp(*z.state.ui, 4);
    if (!compact) {
        const double widths[] = {
            30, 96, std::max(120.0, box.w / dp(*z.state.ui, 1) - 876), 100, 140, 150, 150, 150, 40};
        static constexpr std::string_view captions[] = {
            "", "Date", "Description", "Amount", "Status", "Recurring", "Category", "Account", ""};
        double x = box.x + dp(*z.state.ui, 10);
        for (size_t k = 0; k < std::size(widths); ++k) {
            xs.push_back(x);
            if (!captions[k].empty())
                sectionCaption(s, captions[k],
                    {x, box.y, dp(*z.state.ui, widths[k]) - dp(*z.state.ui, 10), dp(*z.state.ui, 28)}, k == 3 ? 1 : 0);
            x += dp(*z.state.ui, widths[k]);
        }
        xs.push_back(x);
        top = box.y + dp(*z.state.ui, 28);
        drawDivider(s, box.x, box.x + box.w, top, z.slot(slotShadeStrong));
    }
    double a = std::floor((z.view.y - top) / rowH), b = std::ceil((z.view.y + z.view.h - top) / rowH);
    size_t first = size_t(std::clamp(a, 0.0, double(shown.size())));
    size_t last = size_t(std::clamp(b, 0.0, double(shown.size())));
    for (size_t k = first; k < last; ++k) {
        const size_t i = shown[k];
        Rect r = compact ? Rect{box.x + dp(*z.state.ui, 2), top + double(k) * rowH, box.w - dp(*z.state.ui, 4), rowH}
                         : Rect{box.x + dp(*z.state.ui, 1), top + double(k) * rowH, box.w - dp(*z.state.ui, 2), rowH};
        if (compact)
            compactRow(z, i, rows[i], r, choices);
        else
            wideRow(z, i, rows[i], xs, r, choices);
        if (k + 1 < shown.size())
            drawDivider(s, box.x, box.x + box.w, r.y + r.h, z.slot(slotShadeStrong));
    }
}

void detailsPanel(Wiz& z)
{
    ImportWizardState& w = z.w;
    if (w.importEditRow < 0 || size_t(w.importEditRow) >= w.importRows.size())
        return;
    AppState& s = z.state;
    UiContext& ui = *s.ui;
    const size_t i = size_t(w.importEditRow);
    ImportRow& row = w.importRows[i];
    ImportRowMore& m = more(row);
    z.y += dp(ui, 12);
    const double top = z.y;
    const double x = z.x + dp(ui, 14), width = z.width - dp(ui, 28);
    z.y += dp(ui, 12);
    drawText(s, elideText(s, "Details: " + row.description, width, dp(ui, 13), 600), {x, z.y, width, dp(ui, 20)},
        dp(ui, 13), z.slot(slotText), 0, 600);
    z.y += dp(ui, 20) + dp(ui, 6);
    pushLayout(ui, {x, z.y, width, 0});
    std::vector<Rect> c = formColumns(s, 3, 0, 12, true);
    int64_t categoryId = 0;
    if (std::optional<size_t> at = findCategoryByName(*s.store->budget, m.category))
        categoryId = s.store->budget->categories[*at].id;
    iconPicker(s, "ie-icon-" + std::to_string(i), m.iconId, categoryId, labelledField(s, c[0], "Icon"));
    double bottom = c[0].y + c[0].h;
    if (row.isRecurring && m.makeRecurring) {
        if (s.compact) {
            Rect box{x, bottom + dp(ui, 6), width, smallRowHeight(ui)};
            rowCheckBox(z, i, box, "Business days only", m.payOnBusinessDay);
            bottom = box.y + box.h;
        } else {
            Rect repeats = labelledField(s, c[1], "Repeats");
            drawText(s, describeRule(m.recurringPeriod), repeats, dp(ui, 13), z.slot(slotTextSecondary), 0, 400);
            Rect box = labelledField(s, c[2], "");
            rowCheckBox(z, i, box, "Business days only", m.payOnBusinessDay);
        }
    }
    popLayout(ui);
    z.y = bottom + dp(*z.state.ui, 6);
    if (button(s, "ie-edit-done", "Done", {x, z.y, dp(*z.state.ui, 80), dp(*z.state.ui, 30)},
            {.fontSize = dp(*z.state.ui, 12)}))
        w.importEditRow = -1;
    z.y += dp(ui, 30) + dp(ui, 12);
    strokeRoundRect(*s.renderer, {z.x, top, z.width, z.y - top}, dp(ui, 10), 1, withAlpha(z.slot(slotAccent), 0.5));
}

void footer(Wiz& z)
{
    AppState& s = z.state;
    z.y += dp(*z.state.ui, 12);
    const double h = rowHeight(*s.ui);
    size_t count = 0;
    for (const ImportRow& r : z.w.importRows)
        count += r.selected ? 1 : 0;
    const std::string selected = std::to_string(count) + " selected";
    drawText(s, selected, {z.x, z.y, z.width, h}, dp(*z.state.ui, 12.5), z.slot(slotTextSecondary), 0, 500);
    const double bw =
        std::min(z.width, measureText(s, "Confirm Import", dp(*z.state.ui, 13), 600) + dp(*z.state.ui, 44));
    // Under the count when the line has no room for both.
    if (measureText(s, selected, dp(*z.state.ui, 12.5), 500) + dp(*z.state.ui, 12) + bw > z.width)
        z.y += h + dp(*z.state.ui, 8);
    if (button(s, "ie-confirm", "Confirm Import", {z.x + z.width - bw, z.y, bw, h},
            {.style = buttonPrimary, .icon = "check", .disabled = count == 0}))
        commitImport(s);
    z.y += h + dp(*z.state.ui, 20);
}

}  // namespace

void drawImportReview(ImportWizardFrame& z)
{
    AppState& s = z.state;
    drawText(s, "Review Transactions", {z.x, z.y, z.width, dp(*z.state.ui, 26)}, dp(*z.state.ui, 18), z.slot(slotText),
        0, 700);
    // The file's name at the heading's end while both fit, else under it.
    const double titleW = measureText(s, "Review Transactions", dp(*z.state.ui, 18), 700);
    if (titleW + dp(*z.state.ui, 16) + measureText(s, z.w.importFileName, dp(*z.state.ui, 12), 400) > z.width) {
        z.y += dp(*z.state.ui, 26);
        drawText(s, z.w.importFileName, {z.x, z.y, z.width, dp(*z.state.ui, 20)}, dp(*z.state.ui, 12),
            z.slot(slotTextTertiary), 0, 400);
        z.y += dp(*z.state.ui, 20) + dp(*z.state.ui, 8);
    } else {
        drawText(s, z.w.importFileName, {z.x, z.y, z.width, dp(*z.state.ui, 26)}, dp(*z.state.ui, 12),
            z.slot(slotTextTertiary), 1, 400);
        z.y += dp(*z.state.ui, 26) + dp(*z.state.ui, 8);
    }
    chipRow(z);
    z.y += dp(*z.state.ui, 10);
    bulkRow(z);
    if (z.w.importStep != importReview)
        return;
    z.y += dp(*z.state.ui, 10);
    rowList(z, s.compact || z.width < dp(*z.state.ui, kImportWideListMin));
    detailsPanel(z);
    footer(z);
}

}  // namespace qm
