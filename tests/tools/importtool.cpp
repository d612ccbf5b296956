// Test-only driver of the statement import for the oracle scripts.
//   importtool parse FILE     one JSON object per row of the statement; a
//                             statement past the reader's bounds: its
//                             message on stderr and status 1
//   importtool similarity     stdin: lines "HEX HEX" (two byte strings);
//                             stdout: the similarity of each, 17 digits
#include "core/files.h"
#include "core/json.h"
#include "formats/ofx/ofx_import.h"
#include "hex_text.h"
#include "model/dates.h"
#include "pages/import/import_detect.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

using namespace qm;
using testing_hex::fromHex;

int main(int argc, char** argv)
{
    std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "parse" && argc == 3) {
        std::vector<ImportRow> rows;
        try {
            rows = parseOfx(readFile(argv[2]));
        } catch (const StatementTooLarge& e) {
            std::cerr << e.what() << "\n";
            return 1;
        }
        for (const ImportRow& row : rows) {
            Json j = Json::object();
            j["date"] = formatIso(row.date);
            j["amount"] = row.amount;
            j["fitid"] = row.fitId;
            j["description"] = row.description;
            std::cout << dumpJson(j) << "\n";
        }
        return 0;
    }
    if (cmd == "similarity") {
        std::string line;
        char buf[64];
        while (std::getline(std::cin, line)) {
            size_t space = line.find(' ');
            std::string a = fromHex(line.substr(0, space));
            std::string b = space == std::string::npos ? "" : fromHex(line.substr(space + 1));
            std::snprintf(buf, sizeof buf, "%.17g\n", descriptionSimilarity(a, b));
            std::cout << buf;
        }
        return 0;
    }
    std::cerr << "usage: importtool parse FILE | similarity\n";
    return 2;
}
