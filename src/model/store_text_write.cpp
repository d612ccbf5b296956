#include "core/decimal.h"
#include "core/json.h"
#include "model/record_fields.h"
#include "model/store_text_internal.h"

#include <charconv>
#include <cmath>
#include <span>
#include <string_view>

namespace qm {

namespace {

// Member names go out with their quotes and colon already in place, and a
// comma before every one but a record's first.
class TextWriter {
public:
    explicit TextWriter(std::string& out)
        : out_(out)
    {
    }
    // Hands the text to `put` whenever it has passed `piece` bytes at the end
    // of a record, and the rest at finish(): `out` is only the buffer.
    TextWriter(std::string& out, size_t piece, const PutBytes& put)
        : out_(out)
        , put_(&put)
        , piece_(piece)
    {
        out_.clear();
    }

    void recordDone()
    {
        if (put_ && out_.size() >= piece_)
            spill();
    }
    void finish()
    {
        if (put_ && !out_.empty())
            spill();
    }

    void open(char c)
    {
        out_ += c;
        first_ = true;
    }
    void close(char c)
    {
        out_ += c;
        first_ = false;
    }
    // The key must need no escape: every name the writers know.
    void key(std::string_view k)
    {
        if (!first_)
            out_ += ',';
        first_ = false;
        out_ += '"';
        out_.append(k);
        out_ += "\":";
    }
    void element()
    {
        if (!first_)
            out_ += ',';
        first_ = false;
    }
    void integer(int64_t v)
    {
        char buf[24];
        auto res = std::to_chars(buf, buf + sizeof buf, v);
        out_.append(buf, res.ptr);
    }
    // A float member: the shortest form that reads back the same, and null
    // where the value has no JSON form.
    void number(double v)
    {
        if (!std::isfinite(v)) {
            out_ += "null";
            return;
        }
        char buf[40];
        auto res = std::to_chars(buf, buf + sizeof buf, v);
        std::string_view text(buf, size_t(res.ptr - buf));
        out_.append(text);
        if (text.find_first_of(".e") == std::string_view::npos)
            out_ += ".0";
    }
    void amount(double v) { number(std::isfinite(v) ? v : 0.0); }
    void boolean(bool v) { out_ += v ? "true" : "false"; }
    void null() { out_ += "null"; }
    void text(std::string_view v) { appendJsonString(out_, v); }
    void date(Date d)
    {
        // formatIso's form, without a string per date.
        if (d.year >= 0 && d.year <= 9999 && d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31) {
            char buf[12] = {'"', char('0' + d.year / 1000), char('0' + d.year / 100 % 10), char('0' + d.year / 10 % 10),
                char('0' + d.year % 10), '-', char('0' + d.month / 10), char('0' + d.month % 10), '-',
                char('0' + d.day / 10), char('0' + d.day % 10), '"'};
            out_.append(buf, sizeof buf);
        } else {
            text(formatIso(d));
        }
    }
    void json(const Json& v) { appendJson(out_, v); }
    // Members kept without being known go after the known ones; a kept one
    // that has since become known is already written.
    void unknown(const JsonPtr& members, std::span<const std::string_view> known)
    {
        if (!members || !members->is_object())
            return;
        for (auto it = members->begin(); it != members->end(); ++it) {
            bool isKnown = false;
            for (std::string_view k : known)
                isKnown = isKnown || it.key() == k;
            if (isKnown)
                continue;
            if (!first_)
                out_ += ',';
            first_ = false;
            text(it.key());
            out_ += ':';
            json(it.value());
        }
    }

private:
    void spill()
    {
        (*put_)(out_);
        out_.clear();
    }

    std::string& out_;
    const PutBytes* put_ = nullptr;
    size_t piece_ = 0;
    bool first_ = true;
};

template <typename Record>
void write(TextWriter& w, const Record& r)
{
    w.open('{');
    forEachField<Record>([&](const auto& field) {
        w.key(field.name);
        field.rule.put(w, r);
    });
    w.unknown(r.unknown_members, kFieldNames<Record>);
    w.close('}');
}

template <typename List>
void writeList(TextWriter& w, std::string_view key, const List& list)
{
    w.key(key);
    w.open('[');
    for (const typename List::value_type& item : list) {
        w.element();
        write(w, item);
        w.recordDone();
    }
    w.close(']');
}

// A frozen list is read in runs, each under its lock; the text made from a
// run goes to the file after it, so the list never waits for the file.
template <typename T>
void writeList(TextWriter& w, std::string_view key, const FrozenList<T>& list)
{
    w.key(key);
    w.open('[');
    list.forEach(
        [&](const T& item) {
            w.element();
            write(w, item);
        },
        [&] { w.recordDone(); });
    w.close(']');
}

// A LocalStore or a FrozenStore, with its lists.
template <typename Store, typename Lists>
void writeData(TextWriter& w, const Store& store, const Lists& b)
{
    w.open('{');
    writeList(w, "accounts", b.accounts);
    writeList(w, "categories", b.categories);
    writeList(w, "icons", b.icons);
    writeList(w, "transactions", b.transactions);
    writeList(w, "transaction_adjustments", b.transaction_adjustments);
    writeList(w, "running_total_adjustments", b.running_total_adjustments);
    w.key("user");
    write(w, b.user);
    // Members this program does not know (a misspelt key, say) go back as
    // they came, so that a save never drops what is under them.
    w.unknown(store.unknown_members, kDataKeys);
    w.key("meta");
    w.open('{');
    w.key(kMetaKeys[metaNextLocal]);
    w.integer(store.next_local);
    w.key(kMetaKeys[metaNextSeq]);
    w.integer(store.next_seq);
    w.key(kMetaKeys[metaLastSync]);
    w.number(store.last_sync);
    w.key(kMetaKeys[metaEtag]);
    w.text(store.etag);
    if (store.sent_up_to > 0) {
        w.key(kMetaKeys[metaSentUpTo]);
        w.integer(store.sent_up_to);
    }
    w.unknown(store.unknown_meta, kMetaKeys);
    w.close('}');
    w.close('}');
    w.finish();
}

void writeJournal(TextWriter& w, const std::vector<JournalOp>& journal)
{
    w.open('[');
    for (const JournalOp& op : journal) {
        w.element();
        w.open('{');
        w.key("seq");
        w.integer(op.seq);
        w.key("op");
        w.text(opKindName(op.op));
        w.key("entity");
        w.text(entityName(op.entity));
        w.key("id");
        w.integer(op.id);
        w.key("data");
        op.data ? w.json(*op.data) : w.null();
        w.key("at");
        w.number(op.at);
        w.unknown(op.unknown_members, kOpKeys);
        w.close('}');
        w.recordDone();
    }
    w.close(']');
    w.finish();
}

}  // namespace

void appendDataText(std::string& out, const LocalStore& store)
{
    TextWriter w(out);
    writeData(w, store, *store.budget);
}

void appendJournalText(std::string& out, const std::vector<JournalOp>& journal)
{
    TextWriter w(out);
    writeJournal(w, journal);
}

void putDataText(const LocalStore& store, std::string& buffer, size_t piece, const PutBytes& put)
{
    TextWriter w(buffer, piece, put);
    writeData(w, store, *store.budget);
}

void putDataText(const FrozenStore& store, std::string& buffer, size_t piece, const PutBytes& put)
{
    TextWriter w(buffer, piece, put);
    writeData(w, store, store.budget);
}

void putJournalText(const std::vector<JournalOp>& journal, std::string& buffer, size_t piece, const PutBytes& put)
{
    TextWriter w(buffer, piece, put);
    writeJournal(w, journal);
}

}  // namespace qm
