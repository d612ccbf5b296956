// Manage Categories and its colour field. Transactions name their category,
// so renames and deletions go through the store, which rewrites them. The
// row in edit mode is also the one a confirmed delete removes: Delete puts
// that row in edit mode with its own values, so that a cancelled
// confirmation never leaves another row's values in the edit fields.
#include <algorithm>

#include "app/account_state.h"
#include "app/app_text.h"
#include "app/budget_io.h"
#include "app/display_elements.h"
#include "app/form_layout.h"
#include "app/icon_picker.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "core/ascii.h"
#include "model/builtins.h"
#include "model/record_edits.h"
#include "model/reports.h"
#include "pages/editing/dialog_rows.h"
#include "pages/editing/editing.h"
#include "platform/render/primitives.h"
#include "platform/render/renderer.h"
#include "ui/label.h"
#include "ui/layout.h"
#include "ui/text_edit.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

constexpr double kRowDp = 40;
constexpr double kSwatchDp = 22;

std::string proposedColor(const Budget& b) { return std::string(categoryPalette[b.categories.size() % 10]); }

std::string colorOf(const Category& c) { return c.color.empty() ? defaultCategoryColor(c.name, c.id) : c.color; }

const std::unordered_map<std::string, int32_t>& transactionCounts(AppState& state, CategoryDialogState& d)
{
    const LocalStore& store = *state.store;
    if (d.countedStore.lock() != state.store || d.countedAt != store.change_count) {
        d.counts.clear();
        for (const Transaction& t : store.budget->transactions)
            if (!t.category.empty())
                ++d.counts[t.category];
        d.countedStore = state.store;
        d.countedAt = store.change_count;
    }
    return d.counts;
}

int32_t countOf(const std::unordered_map<std::string, int32_t>& counts, const std::string& name)
{
    auto it = counts.find(name);
    return it == counts.end() ? 0 : it->second;
}

std::string countText(int32_t n) { return std::to_string(n) + (n == 1 ? " transaction" : " transactions"); }

void startEditing(AppState& state, const Category& c)
{
    CategoryDialogState& d = editDialogs(state).categories;
    d.selectedId = c.id;
    d.editName = c.name;
    d.editColor = categoryNameColor(*state.store->budget, c.name);
    d.editIconId = c.icon_id;
    state.categoriesError.clear();
}

void askToDelete(AppState& state, const Category& c, int32_t count)
{
    startEditing(state, c);
    showConfirm(state, "Delete category",
        "Delete \"" + c.name + "\"? Its " + std::to_string(count) + " transaction" + (count == 1 ? " keeps" : "s keep")
            + " no category.",
        "delete-category", "Delete", "Cancel", true);
}

void toggleHidden(AppState& state, const Category& c)
{
    EditResult r = updateCategory(*state.store, c.id, c.name, c.color, c.icon_id, !c.hidden);
    if (!r.ok) {
        state.categoriesError = r.error;
        return;
    }
    saveBudget(state);
}

void displayRow(AppState& state, const Category& c, int32_t count, const Rect& row)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    const Budget& b = *state.store->budget;
    std::optional<size_t> icon = findIcon(b, c.icon_id);
    iconBadge(state, icon ? c.icon_id : 0, icon ? builtinIconName(b.icons[*icon]) : guessIconKey(c.name),
        parseHexColor(colorOf(c), t.base[slotTextTertiary]),
        centredInRow(row, row.x + dp(ui, 2), dp(ui, 28), dp(ui, 28)));

    // The name stops short of the count, whose box it would otherwise
    // reach with a long name.
    std::string counted = countText(count);
    double countRight = row.x + row.w - dp(ui, 190);
    double countWidth = measureText(state, counted, dp(ui, 11.5), 400);
    double nameX = row.x + dp(ui, 40);
    double nameWidth = std::max(0.0, std::min(row.w - dp(ui, 260), countRight - countWidth - dp(ui, 8) - nameX));
    std::string name = elideText(state, c.name, nameWidth, dp(ui, 13), 500);
    if (c.hidden)
        name += "  (hidden)";
    drawText(state, name, {nameX, row.y, nameWidth, row.h}, dp(ui, 13), t.base[c.hidden ? slotTextTertiary : slotText],
        0, 500);
    drawText(state, counted, {row.x + row.w - dp(ui, 300), row.y, dp(ui, 110), row.h}, dp(ui, 11.5),
        t.base[slotTextTertiary], 1, 400);

    std::string id = std::to_string(c.id);
    double bh = dp(ui, 28), right = row.x + row.w;
    if (button(state, "cat-edit-" + id, "Edit", centredInRow(row, right - dp(ui, 180), dp(ui, 54), bh),
            {.style = buttonQuiet}))
        startEditing(state, c);
    if (button(state, "cat-hide-" + id, c.hidden ? "Show" : "Hide",
            centredInRow(row, right - dp(ui, 122), dp(ui, 54), bh), {.style = buttonQuiet}))
        toggleHidden(state, c);
    if (button(state, "cat-del-" + id, "Delete", centredInRow(row, right - dp(ui, 64), dp(ui, 64), bh),
            {.style = buttonQuietDanger}))
        askToDelete(state, c, count);
}

void editRow(AppState& state, const Rect& row)
{
    UiContext& ui = *state.ui;
    CategoryDialogState& d = editDialogs(state).categories;
    double h = rowHeight(ui), right = row.x + row.w;
    Rect name = centredInRow(row, row.x + dp(ui, 4), 0.4 * row.w, h);
    bool enter = textEdit(ui, widgetId(ui, "cat-edit-name"), d.editName, name, {.placeholder = "Name"}) == editEnter;
    // The picker stops short of Save, which a narrow row would put over it.
    double pickerX = name.x + name.w + dp(ui, 8);
    double pickerWidth = std::max(0.0, std::min(dp(ui, 150), right - dp(ui, 150) - dp(ui, 8) - pickerX));
    iconPicker(state, "cat-edit-icon", d.editIconId, d.selectedId, centredInRow(row, pickerX, pickerWidth, h));
    bool save = button(state, "cat-edit-save", "Save", centredInRow(row, right - dp(ui, 150), dp(ui, 70), h),
        {.style = buttonPrimary});
    if (button(state, "cat-edit-cancel", "Cancel", centredInRow(row, right - dp(ui, 74), dp(ui, 74), h)))
        d.selectedId = 0;
    drawColorField(state, "cat-edit-color", d.editColor, nextLayoutRect(ui, h, 0));
    addSpace(ui, dp(ui, 6));
    if (enter || save)
        updateCategoryFromDialog(state);
}

bool visible(AppState& state, const Rect& r)
{
    Rect clip = currentClip(*state.renderer);
    return r.y + r.h >= clip.y && r.y <= clip.y + clip.h;
}

}  // namespace

bool drawColorField(AppState& state, std::string_view id, std::string& color, const Rect& rect)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    Renderer& r = *state.renderer;
    double s = dp(*state.ui, kSwatchDp), x = rect.x;
    std::string lower = asciiLower(color);
    std::string prefix(id);
    bool changed = false;
    for (size_t c = 0; c < categoryPalette.size(); ++c) {
        Rect swatch{x, rect.y + (rect.h - s) * 0.5, s, s};
        InteractResult res = interact(ui, widgetId(ui, prefix + "-c" + std::to_string(c)), swatch, 1);
        double cx = swatch.x + s / 2, cy = swatch.y + s / 2;
        fillCircle(r, cx, cy, s / 2 - dp(*state.ui, 3), parseHexColor(categoryPalette[c], t.base[slotText]));
        if (lower == categoryPalette[c])
            strokeCircle(r, cx, cy, s / 2 - dp(*state.ui, 1), dp(*state.ui, 2), t.base[slotText]);
        else if (res.hovered)
            strokeCircle(r, cx, cy, s / 2 - dp(*state.ui, 1), dp(*state.ui, 1.5), t.base[slotTextTertiary]);
        if (res.clicked) {
            color = std::string(categoryPalette[c]);
            changed = true;
        }
        x += s + dp(*state.ui, 2);
    }
    double boxX = x + dp(*state.ui, 6);
    double boxWidth = std::min(dp(*state.ui, 70), rect.x + rect.w - boxX);
    // Compared with a little slack, so that a width of exactly 306 dp keeps
    // its box whatever the scale's rounding.
    if (boxWidth >= dp(*state.ui, 60) - 1e-6) {
        TextEditResult res = textEdit(ui, widgetId(ui, prefix + "-hex"), color, {boxX, rect.y, boxWidth, rect.h},
            {.placeholder = "#RRGGBB", .selectAllOnClick = true});
        changed = changed || res == editFocusLost || res == editEnter;
    }
    return changed;
}

void openManageCategories(AppState& state)
{
    CategoryDialogState& d = editDialogs(state).categories;
    d.newName.clear();
    d.newColor = proposedColor(*state.store->budget);
    d.selectedId = 0;
    state.categoriesError.clear();
    state.categoriesWindow->focusOnOpen.clear();
    state.categoriesWindow->open = true;
    state.redrawRequested = true;
}

void addCategoryFromDialog(AppState& state)
{
    CategoryDialogState& d = editDialogs(state).categories;
    EditResult r = addCategory(*state.store, trimAsciiBlanks(d.newName), d.newColor, 0);
    if (!r.ok) {
        state.categoriesError = r.error;
        return;
    }
    state.categoriesError.clear();
    d.newName.clear();
    d.newColor = proposedColor(*state.store->budget);
    saveBudget(state);
    showSuccess(state, "Category added");
}

void updateCategoryFromDialog(AppState& state)
{
    CategoryDialogState& d = editDialogs(state).categories;
    const Budget& b = *state.store->budget;
    std::optional<size_t> at = findCategory(b, d.selectedId);
    bool hidden = at && b.categories[*at].hidden;
    EditResult r =
        updateCategory(*state.store, d.selectedId, trimAsciiBlanks(d.editName), d.editColor, d.editIconId, hidden);
    if (!r.ok) {
        state.categoriesError = r.error;
        return;
    }
    state.categoriesError.clear();
    d.selectedId = 0;
    saveBudget(state);
    showSuccess(state, "Category updated");
}

void drawManageCategoriesDialog(AppState& state)
{
    WindowState& window = *state.categoriesWindow;
    if (!beginEditDialog(state, "cated", "Manage Categories", window, 520, 560))
        return;
    UiContext& ui = *state.ui;
    CategoryDialogState& d = editDialogs(state).categories;
    double h = rowHeight(ui);

    bool add = addByNameRow(state, "New category", "cat-new", d.newName, "Category name", "cat-add");
    addSpace(ui, dp(ui, 4));
    drawColorField(state, "cat-newcolor", d.newColor, nextLayoutRect(ui, h, 0));
    addSpace(ui, dp(ui, 10));
    layoutCaption(state, "Your categories");
    addSpace(ui, dp(ui, 4));

    const std::unordered_map<std::string, int32_t>& counts = transactionCounts(state, d);
    // Copies: a row's action may change the budget's list mid-walk.
    for (const Category& c : categoriesByName(*state.store->budget)) {
        Rect row = nextLayoutRect(ui, dp(ui, kRowDp), 0);
        if (c.id == d.selectedId)
            editRow(state, row);
        else if (visible(state, row))
            displayRow(state, c, countOf(counts, c.name), row);
    }

    footerNote(state, state.categoriesError, ui.theme.base[slotDanger], 0, dp(ui, 108));
    beginRow(ui, h, {-1, dp(ui, 96)});
    textBlock(ui, "", 0, 0, 0, 0);
    if (flowButton(state, "cat-done", "Done", {.style = buttonPrimary}))
        window.open = false;
    endRow(ui);
    endEditDialog(state);
    if (add)
        addCategoryFromDialog(state);
}

}  // namespace qm
