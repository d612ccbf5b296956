// Answers recurrence questions for the oracle scripts, one request a line on
// standard input, one answer a line on standard output:
//   expand RULE START END|- BUSINESSDAY EARLY FROM TO -> the dates, or "-"
//   shift FROM TO -> per day: "DATE EARLIER LATER" under businessDayShift
#include "model/occurrences.h"
#include "model/recurrence.h"

#include <iostream>
#include <sstream>
#include <string>

using namespace qm;

int main()
{
    std::ios::sync_with_stdio(false);
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string cmd;
        in >> cmd;
        if (cmd == "expand") {
            std::string rule, start, end, from, to;
            int business = 0, early = 0;
            in >> rule >> start >> end >> business >> early >> from >> to;
            Transaction t;
            t.id = 1;
            t.is_recurring = true;
            t.recurring_period = rule;
            t.start_date = parseIso(start);
            t.has_end_date = end != "-";
            if (t.has_end_date)
                t.end_date = parseIso(end);
            t.pay_on_business_day = business != 0;
            t.pay_early = early != 0;
            std::string out;
            for (const Occurrence& o : expandOccurrences(t, {}, parseIso(from), parseIso(to)))
                out += (out.empty() ? "" : " ") + formatIso(o.date);
            std::cout << (out.empty() ? "-" : out) << '\n';
        } else if (cmd == "shift") {
            std::string from, to;
            in >> from >> to;
            Transaction early, later;
            early.pay_on_business_day = later.pay_on_business_day = true;
            early.pay_early = true;
            for (Date d = parseIso(from); dateLessEq(d, parseIso(to)); d = addDays(d, 1))
                std::cout << formatIso(d) << ' ' << formatIso(businessDayShift(early, d)) << ' '
                          << formatIso(businessDayShift(later, d)) << '\n';
        } else {
            std::cerr << "unknown request: " << line << '\n';
            return 2;
        }
    }
    return 0;
}
