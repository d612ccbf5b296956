#include "store_helpers.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qm::test {

TempFolder::TempFolder()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "qm-store-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    path = tmpl;
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

std::vector<std::string> journalSummary(const LocalStore& store)
{
    const Budget& b = *store.budget;
    std::vector<std::string> out;
    for (const JournalOp& op : store.journal) {
        out.push_back(opKindName(op.op) + " " + entityName(op.entity) + " " + std::to_string(op.id));
        if (op.op == opDelete)
            continue;
        Json now;
        int i = -1;
        switch (op.entity) {
        case entTransaction:
            if ((i = findTransaction(b, op.id)) >= 0)
                now = transactionToJson(b.transactions[size_t(i)]);
            break;
        case entAdjustment:
            if ((i = findAdjustment(b, op.id)) >= 0)
                now = adjustmentToJson(b.transaction_adjustments[size_t(i)]);
            break;
        case entAnchor:
            for (const auto& r : b.running_total_adjustments)
                if (r.id == op.id)
                    now = anchorToJson(r);
            break;
        case entAccount:
            if ((i = findAccount(b, op.id)) >= 0)
                now = accountToJson(b.accounts[size_t(i)]);
            break;
        case entCategory:
            if ((i = findCategory(b, op.id)) >= 0)
                now = categoryToJson(b.categories[size_t(i)]);
            break;
        case entPrefs:
            now = userToJson(b.user);
            break;
        }
        if (!now.is_null() && (!op.data || *op.data != now))
            out.back() += " (stale data)";
    }
    return out;
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace qm::test
