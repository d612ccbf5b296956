// Answers month-grid questions for the oracle scripts: "grid FIRST LAST"
// prints "YEAR MONTH START WEEKS" for every month of those years.
#include "model/ledger.h"

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
        int first = 0, last = 0;
        in >> cmd >> first >> last;
        if (cmd != "grid") {
            std::cerr << "unknown request: " << line << '\n';
            return 2;
        }
        for (int y = first; y <= last; ++y)
            for (int m = 1; m <= 12; ++m) {
                MonthGrid g = monthGrid(y, m);
                std::cout << y << ' ' << m << ' ' << formatIso(g.start) << ' ' << g.weeks << '\n';
            }
    }
    return 0;
}
