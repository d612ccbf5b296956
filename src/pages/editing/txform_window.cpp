// The transaction form's window: every control bound straight to a field of
// the form's state, so that closing and reopening by the same opener shows
// what was left; the buttons hand over to saving and deleting.
#include <algorithm>

#include "app/account_state.h"
#include "app/app_text.h"
#include "app/date_field.h"
#include "app/form_layout.h"
#include "app/icon_picker.h"
#include "app/money_field.h"
#include "app/select_field.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "model/builtins.h"
#include "model/reports.h"
#include "model/store_lookup.h"
#include "pages/calendar/calendar_state.h"
#include "pages/editing/editing.h"
#include "pages/editing/txform.h"
#include "platform/render/primitives.h"
#include "ui/combo_box.h"
#include "ui/label.h"
#include "ui/layout.h"
#include "ui/spacing.h"
#include "ui/text_edit.h"
#include "ui/widget_id.h"
#include "ui/window.h"

namespace qm {

namespace {

const std::vector<std::string> kKinds = {"Expense", "Income", "Transfer"};
const std::vector<std::string> kRepeatModes = {
    "Does not repeat", "Every N days / weeks / months\u2026", "Day of the month", "Day of the week"};
const std::vector<std::string> kPeriods = {"Day(s)", "Week(s)", "Month(s)", "Year(s)"};
const std::vector<std::string> kWeeks = {"First", "Second", "Third", "Fourth", "Last"};
const std::vector<std::string> kWeekdays = {
    "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

int32_t indexOfLabel(const std::vector<SelectOption>& options, const std::string& label)
{
    for (size_t i = 0; i < options.size(); ++i)
        if (options[i].label == label)
            return int32_t(i);
    return -1;
}

// A label over a control in a column of its own.
Rect labelled(AppState& state, const Rect& column, std::string_view label)
{
    return labelledField(state, column, label);
}

Rect narrowed(const Rect& r, double by) { return {r.x, r.y, std::max(0.0, r.w - by), r.h}; }

void chooseName(std::string& bound, const std::vector<SelectOption>& options, const SelectResult& picked, bool* gone)
{
    if (!picked.changed)
        return;
    if (gone)
        *gone = false;  // chosen again, even if as none
    bound = picked.index >= 0 && size_t(picked.index) < options.size() ? options[size_t(picked.index)].label
                                                                       : std::string();
}

void accountField(AppState& state, std::string_view id, std::string& bound, const std::vector<SelectOption>& accounts,
    const Rect& rect, std::string_view noneLabel, bool* gone = nullptr)
{
    SelectResult picked = selectField(state, id, bound.empty() ? std::string("Select account") : bound, accounts,
        indexOfLabel(accounts, bound), rect, noneLabel, "Manage accounts\u2026", colorTransparent, false);
    chooseName(bound, accounts, picked, gone);
    if (picked.action)
        openManageAccounts(state);
}

// The repeat controls inside their outlined box. Stacked on the compact
// layout, every column keeps the box's right padding, as the combo above.
void repeatSection(AppState& state, TxFormState& f)
{
    UiContext& ui = *state.ui;
    bool desktop = !state.compact;
    double pad = dp(*state.ui, kSpaceLarge);
    auto columns = [&](int32_t n, double height) {
        std::vector<Rect> c = formColumns(state, n, height, 12, true);
        if (!desktop)
            for (Rect& r : c)
                r = narrowed(r, pad);
        return c;
    };
    addSpace(ui, pad);
    double top = layoutCursor(ui);
    Rect probe = nextLayoutRect(ui, dp(*state.ui, 8), 0);
    setLayoutCursor(ui, top + pad);
    indent(ui, pad);
    fieldLabel(state, "Repeat");
    comboBox(ui, widgetId(ui, "tx-repeat"), f.repeatMode, kRepeatModes,
        nextLayoutRect(ui, rowHeight(ui), std::max(1.0, availableWidth(ui) - pad)), false);
    if (f.repeatMode == repeatEvery) {
        addSpace(ui, dp(*state.ui, 8));
        std::vector<Rect> c = columns(2, 0);
        Rect every = c[0], period = c[1];
        if (desktop) {
            every = {c[0].x, c[0].y, dp(*state.ui, 90), c[0].h};
            double x = c[0].x + dp(*state.ui, 102);
            period = {x, c[1].y, std::max(0.0, c[1].x + c[1].w - pad - x), c[1].h};
        }
        textEdit(ui, widgetId(ui, "tx-nth"), f.everyText, labelled(state, every, "Every"), {.placeholder = "1"});
        comboBox(ui, widgetId(ui, "tx-period"), f.periodIndex, kPeriods, labelled(state, period, "Period"), false);
    } else if (f.repeatMode == repeatMonthDay) {
        addSpace(ui, dp(*state.ui, 8));
        std::vector<Rect> c = columns(2, 0);
        comboBox(ui, widgetId(ui, "tx-dom-day"), f.monthDayIndex, dayOfMonthChoices(), labelled(state, c[0], "On day"),
            false);
        comboBox(ui, widgetId(ui, "tx-dom-month"), f.monthDayMonth, monthChoices(),
            labelled(state, desktop ? narrowed(c[1], pad) : c[1], "Of"), false);
    } else if (f.repeatMode == repeatWeekday) {
        addSpace(ui, dp(*state.ui, 8));
        std::vector<Rect> c = columns(3, 0);
        comboBox(ui, widgetId(ui, "tx-spec-week"), f.weekIndex, kWeeks, labelled(state, c[0], "Week"), false);
        comboBox(ui, widgetId(ui, "tx-spec-day"), f.weekdayIndex, kWeekdays, labelled(state, c[1], "Day"), false);
        comboBox(ui, widgetId(ui, "tx-spec-month"), f.weekdayMonth, monthChoices(),
            labelled(state, desktop ? narrowed(c[2], pad) : c[2], "Month"), false);
    }
    if (f.repeatMode != repeatNone) {
        addSpace(ui, dp(*state.ui, 10));
        std::vector<Rect> c = columns(2, 2 * rowHeight(ui) + dp(*state.ui, 30));
        beginLayoutInRect(state, c[0]);
        if (checkField(state, "Business days only", f.businessDaysOnly, false) && !f.businessDaysOnly)
            f.payEarly = false;
        addSpace(ui, dp(*state.ui, 4));
        checkField(state, "Pay early (Friday before)", f.payEarly, !f.businessDaysOnly);
        endLayoutInRect(state);
        optionalDateField(state, "tx-end", f.endDate, f.hasEndDate,
            labelled(state, desktop ? narrowed(c[1], pad) : c[1], "End date (optional)"), "No end date", false);
    }
    unindent(ui, pad);
    addSpace(ui, pad);
    Rect box{probe.x, top, probe.w, layoutCursor(ui) - top};
    strokeRoundRect(*state.renderer, box, pad, std::max(1.0, dp(*state.ui, 1)), ui.theme.base[slotShadeStrong]);
}

// Delete hands the edited occurrence to Delete Recurring or to the
// "delete-tx" confirmation, and closes the form.
void deleteFromForm(AppState& state, const TxFormState& f)
{
    const Budget& b = *state.store->budget;
    OccurrenceRef target{f.editedId, f.occurrenceAdjustmentId, f.occurrenceDate, true};
    calendarState(state).menuTarget = target;
    std::optional<size_t> at = findStoreTransaction(*state.store, f.editedId);
    if (at && b.transactions[*at].is_recurring)
        openDeleteRecurring(state, target);
    else
        showConfirm(state, "Delete Transaction", "Are you sure you want to delete this transaction?", "delete-tx",
            "Yes, Delete", "Cancel", true);
    state.txFormWindow->open = false;
}

}  // namespace

std::vector<SelectOption> categoryOptions(const Budget& b, const std::string& current)
{
    return categorySelectOptions(b, current, colorTransparent);
}

std::vector<SelectOption> accountOptions(const Budget& b)
{
    std::vector<SelectOption> out;
    for (const Account& a : accountsInOrder(b)) {
        SelectOption o;
        o.label = a.name;
        o.detail = a.account_type;
        if (!o.detail.empty() && o.detail[0] >= 'a' && o.detail[0] <= 'z')
            o.detail[0] = char(o.detail[0] - 'a' + 'A');
        o.value = a.id;
        out.push_back(std::move(o));
    }
    return out;
}

void drawTransactionFormWindow(AppState& state)
{
    UiContext& ui = *state.ui;
    WindowState& window = *state.txFormWindow;
    TxFormState& f = txFormState(state);
    const Budget& b = *state.store->budget;
    DialogSize size = dialogSize(state, 580, 640);
    double height = fitWindowHeight(ui, window, size.height);
    if (!beginWindow(ui, "txform", f.editing ? "Edit Transaction" : "Add Transaction", window, size.width, height))
        return;
    const double R = rowHeight(ui);
    bool submit = false;

    Rect band = nextLayoutRect(ui, dp(*state.ui, 42), 0);
    double kindWidth = state.compact ? band.w : std::min(band.w, dp(*state.ui, 380));
    int32_t kind = f.kind;
    if (segmentedControl(
            state, "tx-kind", kind, kKinds, {band.x + (band.w - kindWidth) / 2, band.y, kindWidth, band.h})) {
        f.kind = kind;
        state.txFormError.clear();
    }
    addSpace(ui, dp(*state.ui, 10));

    fieldLabel(state, "Description");
    submit = textEdit(ui, widgetId(ui, "tx-desc"), f.description, nextLayoutRect(ui, R, 0),
                 {.placeholder = "e.g. Greenleaf Grocers"})
        == editEnter;
    addSpace(ui, dp(*state.ui, 8));

    std::vector<Rect> c = formColumns(state, 2, 0, 12, true);
    submit = amountField(state, "tx-amount", f.amountText, labelled(state, c[0], "Amount"), "0.00", false) == editEnter
        || submit;
    dateField(state, "tx-date", f.date, labelled(state, c[1], "Date"), false);
    addSpace(ui, dp(*state.ui, 8));

    std::vector<SelectOption> accounts = accountOptions(b);
    int64_t categoryId = 0;
    if (f.kind != txTransfer) {
        std::vector<SelectOption> categories = categoryOptions(b, f.category);
        int32_t selected = indexOfLabel(categories, f.category);
        if (selected >= 0)
            categoryId = categories[size_t(selected)].value;
        c = formColumns(state, 3, 0, 12, true);
        SelectResult picked =
            selectField(state, "tx-cat", f.category.empty() ? std::string("Select category") : f.category, categories,
                selected, labelled(state, c[0], "Category"), "No category", "Manage categories\u2026",
                selected >= 0 ? categories[size_t(selected)].color : colorTransparent, false);
        chooseName(f.category, categories, picked, &f.categoryGone);
        if (picked.action)
            openManageCategories(state);
        Rect account = labelled(state, c[1], "Account");
        double side = dp(*state.ui, 38);
        accountField(state, "tx-acc", f.account, accounts, narrowed(account, side), "No account", &f.accountGone);
        if (iconOnlyButton(state, "tx-acc-manage", "add",
                {account.x + account.w - dp(*state.ui, 32), account.y, dp(*state.ui, 32), account.h},
                {.tooltip = "Manage accounts"}))
            openManageAccounts(state);
        iconPicker(state, "tx-icon", f.iconId, categoryId, labelled(state, c[2], "Icon"));
    } else {
        c = formColumns(state, 2, 0, 12, true);
        accountField(state, "tx-acc", f.account, accounts, labelled(state, c[0], "From account"), "", &f.accountGone);
        accountField(state, "tx-to", f.toAccount, accounts, labelled(state, c[1], "To account"), "");
        addSpace(ui, dp(*state.ui, 8));
        c = formColumns(state, 2, 0, 12, true);
        iconPicker(state, "tx-icon", f.iconId, 0, labelled(state, c[0], "Icon"));
    }

    repeatSection(state, f);

    double deleteWidth = f.editing ? measureText(state, "Delete", dp(*state.ui, 13), 600) + dp(*state.ui, 28) : 0;
    double buttonWidth = dp(*state.ui, 96);
    footerNote(state, state.txFormError, ui.theme.base[slotDanger], deleteWidth, 2 * buttonWidth + dp(*state.ui, 12));
    std::vector<double> columns = {-1, buttonWidth, buttonWidth};
    if (f.editing)
        columns.insert(columns.begin(), deleteWidth);
    beginRow(ui, R, columns);
    bool remove = f.editing && flowButton(state, "tx-delete", "Delete", {.style = buttonQuietDanger});
    textBlock(ui, "", 0, 0, 0, 0);
    bool cancel = flowButton(state, "tx-cancel", "Cancel");
    submit = flowButton(state, "tx-save", f.editing ? "Save" : "Add", {.style = buttonPrimary}) || submit;
    endRow(ui);
    endWindow(ui);

    if (cancel)
        window.open = false;
    else if (remove)
        deleteFromForm(state, f);
    else if (submit)
        submitTransactionForm(state);
}

}  // namespace qm
