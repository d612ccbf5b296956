#include "store_helpers.h"
#include "model/budget_json.h"

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
        std::optional<size_t> i;
        switch (op.entity) {
        case entTransaction:
            if ((i = findTransaction(b, op.id)))
                now = transactionToJson(b.transactions[*i]);
            break;
        case entAdjustment:
            if ((i = findAdjustment(b, op.id)))
                now = adjustmentToJson(b.transaction_adjustments[*i]);
            break;
        case entAnchor:
            for (const auto& r : b.running_total_adjustments)
                if (r.id == op.id)
                    now = anchorToJson(r);
            break;
        case entAccount:
            if ((i = findAccount(b, op.id)))
                now = accountToJson(b.accounts[*i]);
            break;
        case entCategory:
            if ((i = findCategory(b, op.id)))
                now = categoryToJson(b.categories[*i]);
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

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

}  // namespace qm::test
