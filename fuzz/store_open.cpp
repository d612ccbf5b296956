// Opens a budget folder whose data.json is the input up to its first NUL
// byte and whose journal.json is the rest, then saves it elsewhere and opens
// that again: the second opening must give exactly the files it was saved
// from, so nothing drifts from one save to the next. What opened must also
// be what the document readers read from the same text: the quick reader
// never takes a text the document parser refuses, nor reads it otherwise.
#include "core/errors.h"
#include "core/json.h"
#include "model/budget_json.h"
#include "model/store.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string makeFolder()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "qm-fuzz-store-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        std::abort();
    return tmpl;
}

void put(const std::string& path, const uint8_t* data, size_t size)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string in = makeFolder();
    static const std::string out = makeFolder();
    const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    size_t first = nul ? size_t(nul - data) : size;
    put(in + "/data.json", data, first);
    if (nul)
        put(in + "/journal.json", nul + 1, size - first - 1);
    else
        std::filesystem::remove(in + "/journal.json");

    qm::LocalStorePtr store;
    try {
        store = qm::openStore(in);
    } catch (const qm::ValueError&) {
        return 0;
    }
    std::string document;
    try {
        document = qm::dumpJson(qm::budgetToJson(
            *qm::budgetFromJson(qm::parseJson(std::string_view(reinterpret_cast<const char*>(data), first)))));
    } catch (const qm::ValueError&) {
        std::abort();
    }
    if (qm::dumpJson(qm::budgetToJson(*store->budget)) != document)
        std::abort();
    store->folder = out;
    qm::saveStore(*store);
    qm::LocalStorePtr back = qm::openStore(out);
    if (qm::storeDataJson(*back) != qm::storeDataJson(*store)
        || qm::storeJournalJson(*back) != qm::storeJournalJson(*store))
        std::abort();
    return 0;
}
