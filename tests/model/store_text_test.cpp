// The store's text made straight from the records must be, byte for byte,
// what the record writers' documents give, and reading it back must give what
// the document readers give, faults included.
#include "../../bench/heavy_budget.h"
#include "core/json.h"
#include "model/budget_json.h"
#include "model/store.h"
#include "model/store_text_internal.h"
#include "store_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace qm;

namespace {

// data.json as the document writers make it: the reference for the bytes.
std::string treeDataJson(const LocalStore& store)
{
    Json doc = budgetToJson(*store.budget);
    Json meta = Json::object();
    meta["next_local"] = store.next_local;
    meta["next_seq"] = store.next_seq;
    meta["last_sync"] = store.last_sync;
    meta["etag"] = store.etag;
    if (store.unknown_meta)
        for (auto it = store.unknown_meta->begin(); it != store.unknown_meta->end(); ++it)
            if (!meta.contains(it.key()))
                meta[it.key()] = it.value();
    if (store.unknown_members)
        for (auto it = store.unknown_members->begin(); it != store.unknown_members->end(); ++it)
            if (!doc.contains(it.key()) && it.key() != "meta")
                doc[it.key()] = it.value();
    doc["meta"] = std::move(meta);
    return dumpJson(doc);
}

JsonPtr members(const char* text) { return std::make_shared<const Json>(parseJson(text)); }

// The two ways a text is read: from a string the reader may not change, and
// as a budget folder's data.json, whose buffer the reader decodes in place.
enum class Source { text, file };

LocalStorePtr readFrom(Source source, const std::string& text)
{
    if (source == Source::text) {
        LocalStorePtr s = newLocalStore("");
        readDataText(*s, text);
        return s;
    }
    test::TempFolder dir;
    test::writeText(dir.file("data.json"), text);
    return openStore(dir.path);
}

// The heavy budget with every kind of text, number and kept member the
// writers must reproduce.
LocalStorePtr oddHeavyStore()
{
    LocalStorePtr s = newLocalStore("");
    *s->budget = bench::heavyBudget(1);
    Budget& b = *s->budget;
    const std::string texts[] = {"quote \" backslash \\ slash /", "tab\tnew\nline\rcr\b\f", std::string("nul\0x", 5),
        "\x01\x1f control", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x92\xB8", "bad \xFF utf \xC3", "\xED\xA0\x80 surrogate",
        ""};
    const double amounts[] = {-0.0, 0.1, 1e21, 1e-7, 5e-324, 1.7976931348623157e308, 123456789.125, -42,
        std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
    for (size_t i = 0; i < std::size(texts); ++i) {
        Transaction& t = b.transactions[i * 7];
        t.description = texts[i];
        t.category = texts[(i + 1) % std::size(texts)];
        b.accounts[i % b.accounts.size()].mask = texts[i];
    }
    b.transactions[3].description = std::string("nul\0inside", 10);
    for (size_t i = 0; i < std::size(amounts); ++i) {
        b.transactions[i * 11 + 1].amount = amounts[i];
        b.transaction_adjustments[i * 5].amount = amounts[i];
        b.transaction_adjustments[i * 5].has_amount = true;
        b.running_total_adjustments[i].amount = amounts[i];
    }
    b.transactions[5].unknown_members = members(R"({"tags":["a",{"b":null}],"weight":1.5,"big":18446744073709551615})");
    b.transaction_adjustments[2].unknown_members = members(R"({"note":"x\u00e9"})");
    b.running_total_adjustments[1].unknown_members = members(R"({"source":{"bank":"y"}})");
    b.accounts[0].unknown_members = members(R"({"iban":"DE00","mask":"kept aside"})");
    b.categories.push_back(Category{-3, "Odd \"one\"", "", true, 0, members(R"({"emoji":"\ud83d\ude00"})")});
    b.icons.push_back(CustomIcon{-4, "pic", "https://example.test/a.png", false, members(R"({"size":[1,2]})")});
    b.user.first_name = texts[4];
    b.user.unknown_members = members(R"({"locale":"de-DE","id":9})");
    s->unknown_members = members(R"({"version":3,"extra":{"nested":[true,false,null]}})");
    s->unknown_meta = members(R"({"device":"laptop","etag":"shadowed"})");
    s->next_local = -12345;
    s->next_seq = 77;
    s->last_sync = 1733792400.125;
    s->etag = "W/\"abc\"";
    return s;
}

TEST(StoreText, WritesTheDocumentWritersBytes)
{
    LocalStorePtr s = oddHeavyStore();
    const std::string text = storeDataJson(*s);
    ASSERT_GT(text.size(), 1000000u);
    EXPECT_EQ(text, treeDataJson(*s));

    // Non-finite meta clock and empty lists too.
    LocalStorePtr empty = newLocalStore("");
    empty->last_sync = std::numeric_limits<double>::infinity();
    EXPECT_EQ(storeDataJson(*empty), treeDataJson(*empty));

    // The journal: every op kind, data of every shape, kept members.
    s->journal = {JournalOp{1, opCreate, entTransaction, -5, members(R"({"id":-5,"d":"\n"})"), 1.5, nullptr},
        JournalOp{2, opDelete, entAccount, 7, nullptr, 1e21, members(R"({"origin":"phone","seq":99})")},
        JournalOp{3, opUpdate, entPrefs, 0, members("[1,2]"), std::numeric_limits<double>::quiet_NaN(), nullptr}};
    Json ops = Json::array();
    for (const JournalOp& op : s->journal)
        ops.push_back(opToJson(op));
    EXPECT_EQ(storeJournalJson(*s), dumpJson(ops));
}

// A save hands the text out in pieces made in one reused buffer; together
// they are the very bytes of the whole text, and the files a save leaves
// hold them.
TEST(StoreText, SavesTheSameBytesInPieces)
{
    LocalStorePtr s = oddHeavyStore();
    s->journal = {JournalOp{1, opCreate, entTransaction, -5, members(R"({"id":-5,"d":"\n"})"), 1.5, nullptr},
        JournalOp{2, opDelete, entAccount, 7, nullptr, 1e21, members(R"({"origin":"phone"})")}};
    const std::string data = storeDataJson(*s), journal = storeJournalJson(*s);
    for (size_t piece : {size_t(1), size_t(4096), size_t(1) << 20, size_t(1) << 30}) {
        SCOPED_TRACE(piece);
        std::string buffer = "left over";
        std::vector<std::string> pieces;
        auto put = [&](std::string_view p) { pieces.emplace_back(p); };
        putDataText(*s, buffer, piece, put);
        EXPECT_TRUE(buffer.empty());
        std::string joined;
        for (size_t i = 0; i < pieces.size(); ++i) {
            joined += pieces[i];
            // Every piece but the last is full and ends with a whole record.
            if (i + 1 < pieces.size()) {
                EXPECT_GE(pieces[i].size(), piece);
                EXPECT_EQ(pieces[i].back(), '}');
            }
        }
        EXPECT_EQ(joined, data);
        EXPECT_EQ(pieces.size() > 1, piece < data.size() / 2);
        pieces.clear();
        putJournalText(s->journal, buffer, piece, put);
        joined.clear();
        for (const std::string& p : pieces)
            joined += p;
        EXPECT_EQ(joined, journal);
    }
    test::TempFolder dir;
    s->folder = dir.path;
    saveStore(*s);
    EXPECT_EQ(test::readText(dir.file("data.json")), data);
    EXPECT_EQ(test::readText(dir.file("journal.json")), journal);
}

TEST(StoreText, ReadsWhatTheDocumentReadersRead)
{
    LocalStorePtr s = oddHeavyStore();
    const std::string text = storeDataJson(*s);
    const std::string expected = dumpJson(budgetToJson(*budgetFromJson(parseJson(text))));
    for (Source source : {Source::text, Source::file}) {
        LocalStorePtr back = readFrom(source, text);
        EXPECT_EQ(dumpJson(budgetToJson(*back->budget)), expected);
        EXPECT_EQ(storeDataJson(*back), text);
        EXPECT_EQ(back->next_local, -12345);
        EXPECT_EQ(back->next_seq, 77);
        EXPECT_EQ(back->etag, "W/\"abc\"");
        ASSERT_TRUE(back->unknown_meta);
        EXPECT_EQ(dumpJson(*back->unknown_meta), R"({"device":"laptop"})");
    }
}

// A budget just opened takes the records a session adds without moving the
// ones it holds: moving a large budget's lists would stall that edit.
TEST(StoreText, OpenedListsTakeNewRecordsInPlace)
{
    LocalStorePtr s = newLocalStore("");
    *s->budget = bench::heavyBudget(1);
    const std::string text = storeDataJson(*s);
    for (Source source : {Source::text, Source::file}) {
        LocalStorePtr back = readFrom(source, text);
        Budget& b = *back->budget;
        const void* transactions = b.transactions.storage();
        const void* adjustments = b.transaction_adjustments.storage();
        for (int i = 0; i < 500; ++i) {
            b.transactions.push_back(b.transactions[size_t(i)]);
            b.transaction_adjustments.push_back(b.transaction_adjustments[size_t(i)]);
        }
        EXPECT_EQ(b.transactions.storage(), transactions);
        EXPECT_EQ(b.transaction_adjustments.storage(), adjustments);
    }
}

// Texts the quick parser leaves to the document parser, and faults that
// must come out in the order a document's checks find them.
TEST(StoreText, LenientReadingAndFaultOrder)
{
    struct Case {
        const char* name;
        std::string text;
        std::string budget;  // budgetToJson's text of the result, or "" when it raises
        std::string fault;   // the message, when it raises
    };
    const std::string emptyUser = dumpJson(userToJson(User{}));
    auto budgetWith = [&](const char* member) {
        return std::string("{\"accounts\":[],\"categories\":[],\"icons\":[],\"transactions\":[") + member
            + "],\"transaction_adjustments\":[],\"running_total_adjustments\":[],\"user\":" + emptyUser + "}";
    };
    auto tx = [](const char* inner) {
        Transaction t;
        Json j = parseJson(inner);
        t = transactionFromJson(j);
        return dumpJson(transactionToJson(t));
    };
    // Dates of a saved file, and every other form the document reader
    // reads or refuses.
    const char* dateTexts[] = {"2024-01-02", "2024-02-29", "2023-02-29", "2024-13-01", "0000-01-01", "9999-12-31",
        " 2024-01-02", "2024-01-02T10:00", "2024-1-2", "+024-01-02", "-001-01-01", "2024-01-0x", "20240102", ""};
    std::string dates = R"({"transactions":[)", datesRead;
    for (size_t i = 0; i < std::size(dateTexts); ++i) {
        const std::string record = "{\"id\":" + std::to_string(i + 10) + ",\"start_date\":\"" + dateTexts[i]
            + "\",\"end_date\":\"" + dateTexts[(i + 3) % std::size(dateTexts)] + "\"}";
        dates += (i ? "," : "") + record;
        datesRead += (i ? "," : "") + tx(record.c_str());
    }
    dates += "]}";
    // Counted as a transaction by the sizing of the lists, read as a member.
    const std::string kept = R"({"transactions":[{"id":1,"x":{"id":2,"start_date":"2024-01-01"}}]})";
    const Case cases[] = {
        {"repeated member keeps its last value", R"({"transactions":[{"id":1,"amount":{"x":1},"amount":5}]})",
            budgetWith(tx(R"({"id":1,"amount":5})").c_str()), ""},
        {"ill-formed UTF-8", "{\"transactions\":[{\"id\":2,\"description\":\"a\xFF\"}]}",
            budgetWith(tx("{\"id\":2,\"description\":\"a\xEF\xBF\xBD\"}").c_str()), ""},
        {"lone surrogate", R"({"transactions":[{"id":3,"description":"\ud800x"}]})",
            budgetWith(tx("{\"id\":3,\"description\":\"\xEF\xBF\xBDx\"}").c_str()), ""},
        {"amount too large", R"({"transactions":[{"id":4,"amount":1e999}]})", budgetWith(tx(R"({"id":4})").c_str()),
            ""},
        {"dates in every form", dates, budgetWith(datesRead.c_str()), ""},
        {"escapes decoded",
            R"({"transactions":[{"id":5,"description":"a\"b\\c\u00e9\ud83d\ude00\n","category":"\u0000"}]})",
            budgetWith(tx(R"({"id":5,"description":"a\"b\\c\u00e9\ud83d\ude00\n","category":"\u0000"})").c_str()), ""},
        {"kept member shaped as a record", kept, budgetWith(tx(kept.substr(17, kept.size() - 19).c_str()).c_str()), ""},
        {"zero byte after the document", std::string("{}\0", 3), "", "invalid JSON at offset 2"},
        {"nesting past the limit", "{\"x\":" + std::string(600, '[') + std::string(600, ']') + "}", "",
            "nested too deeply"},
        {"not JSON", R"({"transactions":[{"id":1,}]})", "", "invalid JSON"},
        {"shape before newer", R"({"accounts":[{"id":1,"name":[]}],"icons":{}})", "", "\"icons\" is not a list"},
        {"list order before text order", R"({"transactions":[{"amount":{},"id":8}],"accounts":[{"id":1,"name":[]}]})",
            "", "\"name\" of account 1 holds a list"},
        {"record id read after the member", R"({"transactions":[{"amount":{},"id":8}]})", "",
            "\"amount\" of transaction 8 holds an object"},
        {"element not a record", R"({"categories":[{"id":1},3]})", "", "an element of \"categories\" is not an object"},
        {"preferences with a kept id", R"({"user":{"id":9,"email":{}}})", "",
            "\"email\" of the preferences 9 holds an object"},
        {"meta after the records", R"({"meta":{"etag":[]},"user":{"email":[]}})", "",
            "\"email\" of the preferences holds a list"},
        {"top level", "[1]", "", "its top level is not an object"},
    };
    for (Source source : {Source::text, Source::file}) {
        for (const Case& c : cases) {
            const std::string name = std::string(c.name) + (source == Source::file ? " (file)" : "");
            if (c.fault.empty()) {
                LocalStorePtr s;
                ASSERT_NO_THROW(s = readFrom(source, c.text)) << name;
                EXPECT_EQ(dumpJson(budgetToJson(*s->budget)), c.budget) << name;
            } else {
                try {
                    readFrom(source, c.text);
                    ADD_FAILURE() << name << ": no fault";
                } catch (const ValueError& e) {
                    EXPECT_NE(std::string(e.what()).find(c.fault), std::string::npos) << name << ": " << e.what();
                }
            }
        }
    }
}

}  // namespace
