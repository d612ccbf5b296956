// The calendar page headless, for the oracle scripts. Reads commands from
// standard input, one a line:
//   tx AMOUNT START ACCOUNT TO RULE DESCRIPTION   ("-" for no TO or RULE)
//   anchor DATE AMOUNT ACCOUNT                     ("-" for all accounts)
//   tiles YEAR MONTH ACCOUNT                       ("-" for all accounts)
//   cells FIRST_YEAR LAST_YEAR
// "tiles" draws the month view and prints "ISO TEXT" for each tile's balance
// as drawn; "cells" prints "YEAR MONTH" and the tiles' ids in drawing order
// for every month of the years.
//   weeks FIRST_YEAR LAST_YEAR
// "weeks" prints "ISO TITLE" for every Sunday of the years: the toolbar's
// title of the week view with that day selected.
#include <iostream>
#include <sstream>
#include <string>

#include "app/navigation.h"
#include "model/record_edits.h"
#include "model/transaction_edits.h"
#include "pages/calendar/calendar_toolbar.h"
#include "pages/page_harness.h"

using namespace qm;

namespace {

int64_t accountId(const Budget& b, const std::string& name)
{
    if (name == "-")
        return 0;
    std::optional<size_t> at = findAccountByName(b, name);
    if (!at)
        throw std::runtime_error("no account " + name);
    return b.accounts[*at].id;
}

void showMonthOf(testing::PageHarness& h, int32_t year, int32_t month)
{
    h->view = viewMonth;
    showMonth(*h, year, month);
    h.frames(2);
}

}  // namespace

int main()
{
    testing::PageHarness h(1280, 820);
    h.frame();
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string what;
        in >> what;
        if (what == "tx") {
            Transaction t;
            std::string start, to, rule;
            in >> t.amount >> start >> t.account >> to >> rule;
            std::getline(in >> std::ws, t.description);
            t.start_date = parseIso(start);
            t.transfer_to_account = to == "-" ? "" : to;
            t.is_recurring = rule != "-";
            t.recurring_period = t.is_recurring ? rule : "";
            EditResult r = addTransaction(h.store(), t);
            if (!r.ok) {
                std::cerr << "refused: " << r.error << "\n";
                return 1;
            }
        } else if (what == "anchor") {
            std::string date, account;
            double amount = 0;
            in >> date >> amount >> account;
            setAnchor(h.store(), parseIso(date), amount, accountId(h.budget(), account));
        } else if (what == "tiles") {
            int32_t year = 0, month = 0;
            std::string account;
            in >> year >> month >> account;
            h.budget().user.selected_account_id = accountId(h.budget(), account);
            showMonthOf(h, year, month);
            for (const WidgetRecord& w : h->ui->recorder->records) {
                if (w.label.rfind("cell-", 0) != 0)
                    continue;
                // The balance is the text on the day number's line.
                for (const testing::DrawnText& t : h.texts)
                    if (t.rect.y == w.rect.y + 5 && t.rect.x > w.rect.x + 20 && t.rect.x < w.rect.x + w.rect.w)
                        std::cout << w.label.substr(5) << " " << t.text << "\n";
            }
        } else if (what == "cells") {
            int32_t first = 0, last = 0;
            in >> first >> last;
            for (int32_t year = first; year <= last; ++year)
                for (int32_t month = 1; month <= 12; ++month) {
                    showMonthOf(h, year, month);
                    std::cout << year << " " << month;
                    for (const WidgetRecord& w : h->ui->recorder->records)
                        if (w.label.rfind("cell-", 0) == 0)
                            std::cout << " " << w.label.substr(5);
                    std::cout << "\n";
                }
        } else if (what == "weeks") {
            int32_t first = 0, last = 0;
            in >> first >> last;
            h->view = viewWeek;
            for (Date d = startOfWeek(firstOfMonth(first, 1)); d.year <= last; d = addDays(d, 7)) {
                if (d.year < first)
                    continue;
                selectDate(*h, d.year, d.month, d.day);
                std::cout << formatIso(d) << " " << calendarTitle(*h) << "\n";
            }
        }
    }
    return 0;
}
