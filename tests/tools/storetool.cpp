// Test-only editor of a closed budget folder, for the sync drivers: it
// changes the budget through the same edits the program makes, so each
// change is journaled as the program would journal it, then saves.
//
//     storetool FOLDER COMMAND ARG...    one command
//     storetool FOLDER -                 commands from standard input, one a
//                                        line, the words separated by tabs
//
// Commands: add DESCRIPTION AMOUNT [DATE] (prints the new id),
// amount DESCRIPTION AMOUNT, delete DESCRIPTION, anchor DATE AMOUNT.
// A transaction is named by its description (the first that has it).
#include "core/errors.h"
#include "model/budget.h"
#include "model/dates.h"
#include "model/record_edits.h"
#include "model/store.h"
#include "model/transaction_edits.h"

#include <charconv>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

using namespace qm;

namespace {

double number(const std::string& text)
{
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size())
        throw ValueError("not a number: " + text);
    return v;
}

Date date(const std::string& text)
{
    std::optional<Date> d = tryParseIso(text);
    if (!d)
        throw ValueError("not a date: " + text);
    return *d;
}

int64_t named(const LocalStore& store, const std::string& description)
{
    for (const Transaction& t : store.budget->transactions)
        if (t.description == description)
            return t.id;
    throw ValueError("no transaction " + description);
}

void run(LocalStore& store, const std::vector<std::string>& words)
{
    auto arg = [&](size_t i) -> const std::string& {
        if (i >= words.size())
            throw ValueError("missing argument of " + words[0]);
        return words[i];
    };
    const std::string& command = arg(0);
    if (command == "add") {
        Transaction t;
        t.description = arg(1);
        t.amount = number(arg(2));
        t.start_date = words.size() > 3 ? date(words[3]) : Date{2025, 3, 12};
        t.account = store.budget->accounts.front().name;
        EditResult r = addTransaction(store, t);
        if (!r.ok)
            throw ValueError(r.error);
        std::cout << r.id << "\n";
    } else if (command == "amount") {
        int64_t id = named(store, arg(1));
        Transaction t = store.budget->transactions[*findTransaction(*store.budget, id)];
        t.amount = number(arg(2));
        EditResult r = updateTransaction(store, id, t, false, t.start_date, false);
        if (!r.ok)
            throw ValueError(r.error);
    } else if (command == "delete") {
        if (!deleteTransaction(store, named(store, arg(1))))
            throw ValueError("could not delete " + arg(1));
    } else if (command == "anchor") {
        setAnchor(store, date(arg(1)), number(arg(2)), 0);
    } else {
        throw ValueError("unknown command " + command);
    }
}

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        out.push_back(line.substr(start, tab - start));
    out.push_back(line.substr(start));
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: storetool FOLDER COMMAND ARG... | storetool FOLDER -\n";
        return 2;
    }
    try {
        LocalStorePtr store = openStore(argv[1]);
        if (store->budget->accounts.empty())
            seedStore(*store);
        if (std::string(argv[2]) == "-") {
            for (std::string line; std::getline(std::cin, line);)
                if (!line.empty())
                    run(*store, split(line));
        } else {
            run(*store, std::vector<std::string>(argv + 2, argv + argc));
        }
        saveStore(*store);
    } catch (const std::exception& e) {
        std::cerr << "storetool: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
