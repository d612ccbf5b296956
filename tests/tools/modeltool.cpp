// Test-only driver of the budget model for the oracle scripts: one command,
// inputs one per line on standard input, one result line each on standard output.
#include "core/decimal.h"
#include "core/errors.h"
#include "core/json.h"
#include "model/budget.h"
#include "model/budget_json.h"
#include "model/builtins.h"
#include "model/dates.h"
#include "model/money.h"
#include "model/store.h"

#include "../../bench/heavy_budget.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

using namespace qm;

namespace {

int usage()
{
    std::cerr << "usage: modeltool dates FIRST LAST | datearith | parseiso | money | parsemoney |"
                 " budget FILE | json | colors | icons | heavy SCALE FOLDER\n";
    return 2;
}

double readDouble(const std::string& line)
{
    double v = 0;
    std::from_chars(line.data(), line.data() + line.size(), v);
    return v;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    std::string cmd = argv[1];
    std::ios::sync_with_stdio(false);
    std::string out, line;

    if (cmd == "dates" && argc == 4) {
        // Every day between two day numbers: its ISO form read back to a day
        // number, weekday, leap year and month length.
        long first = std::atol(argv[2]), last = std::atol(argv[3]);
        char buf[96];
        for (long n = first; n <= last; ++n) {
            Date d = fromDayNumber(int32_t(n));
            std::string iso = formatIso(d);
            Date back = parseIso(iso);
            std::snprintf(buf, sizeof buf, "%s %d %d %d %d\n", iso.c_str(), dayNumber(back), weekday(d),
                isLeapYear(d.year) ? 1 : 0, daysInMonth(d.year, d.month));
            out += buf;
            if (out.size() > (1 << 20)) {
                std::fwrite(out.data(), 1, out.size(), stdout);
                out.clear();
            }
        }
    } else if (cmd == "datearith") {
        // "ISO N" -> addMonths addYears addDays startOfWeek
        while (std::getline(std::cin, line)) {
            std::istringstream in(line);
            std::string iso;
            long long n;
            in >> iso >> n;
            Date d = parseIso(iso);
            out += formatIso(addMonths(d, n)) + " " + formatIso(addYears(d, n)) + " " + formatIso(addDays(d, n)) + " "
                + formatIso(startOfWeek(d)) + "\n";
        }
    } else if (cmd == "parseiso") {
        while (std::getline(std::cin, line)) {
            try {
                out += "ok " + formatIso(parseIso(line)) + "\n";
            } catch (const ValueError& e) {
                out += std::string("err ") + e.what() + "\n";
            }
        }
    } else if (cmd == "money") {
        while (std::getline(std::cin, line)) {
            double x = readDouble(line);
            out += shortestDouble(roundCents(x)) + "\t" + formatAmount(x) + "\t" + formatAmountPlain(x) + "\t"
                + formatMoney(x) + "\t" + formatMoneySigned(x) + "\t" + formatMoneyCompact(x) + "\n";
        }
    } else if (cmd == "parsemoney") {
        while (std::getline(std::cin, line)) {
            std::optional<double> v = parseMoney(line);
            out += v ? "ok " + shortestDouble(*v) + "\n" : "fail\n";
        }
    } else if (cmd == "budget" && argc == 3) {
        std::ifstream f(argv[2], std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        try {
            out = dumpJson(budgetToJson(*budgetFromJson(parseJson(ss.str())))) + "\n";
        } catch (const NewerFormatError&) {
            out = "newer\n";
        }
    } else if (cmd == "heavy" && argc == 4) {
        // The benchmarks' generated budget as a store folder, for timing the program on it.
        LocalStorePtr store = newLocalStore(argv[3]);
        *store->budget = bench::heavyBudget(std::atoi(argv[2]));
        seedStore(*store);
        saveStore(*store);
    } else if (cmd == "json") {
        // Each line one JSON text (escaped newlines only): its compact form, or "error".
        while (std::getline(std::cin, line)) {
            try {
                out += dumpJson(parseJson(line)) + "\n";
            } catch (const ValueError&) {
                out += "error\n";
            }
        }
    } else if (cmd == "colors") {
        Budget empty;
        while (std::getline(std::cin, line))
            out += categoryNameColor(empty, line) + "\n";
    } else if (cmd == "icons") {
        while (std::getline(std::cin, line))
            out += guessIconKey(line) + "\n";
    } else {
        return usage();
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
