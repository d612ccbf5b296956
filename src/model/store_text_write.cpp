#include "core/decimal.h"
#include "core/json.h"
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
    void textOrNull(std::string_view v) { v.empty() ? null() : text(v); }
    void idOrNull(int64_t id) { id == 0 ? null() : integer(id); }
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

void write(TextWriter& w, const Account& a)
{
    w.open('{');
    w.key("id");
    w.integer(a.id);
    w.key("name");
    w.text(a.name);
    w.key("account_type");
    w.textOrNull(a.account_type);
    w.key("color");
    w.textOrNull(a.color);
    w.key("display_order");
    a.display_order < 0 ? w.null() : w.integer(a.display_order);
    w.key("mask");
    w.textOrNull(a.mask);
    w.unknown(a.unknown_members, kAccountKeys);
    w.close('}');
}

void write(TextWriter& w, const Category& c)
{
    w.open('{');
    w.key("id");
    w.integer(c.id);
    w.key("name");
    w.text(c.name);
    w.key("color");
    w.textOrNull(c.color);
    w.key("hidden");
    w.boolean(c.hidden);
    w.key("icon_id");
    w.idOrNull(c.icon_id);
    w.unknown(c.unknown_members, kCategoryKeys);
    w.close('}');
}

void write(TextWriter& w, const CustomIcon& i)
{
    w.open('{');
    w.key("id");
    w.integer(i.id);
    w.key("name");
    w.text(i.name);
    w.key("url");
    w.text(i.url);
    w.key("is_default");
    w.boolean(i.is_default);
    w.unknown(i.unknown_members, kIconKeys);
    w.close('}');
}

void write(TextWriter& w, const Transaction& t)
{
    w.open('{');
    w.key("id");
    w.integer(t.id);
    w.key("start_date");
    w.date(t.start_date);
    w.key("end_date");
    t.has_end_date ? w.date(t.end_date) : w.null();
    w.key("amount");
    w.amount(t.amount);
    w.key("description");
    w.text(t.description);
    w.key("category");
    w.textOrNull(t.category);
    w.key("account");
    w.textOrNull(t.account);
    w.key("transfer_to_account");
    w.textOrNull(t.transfer_to_account);
    w.key("is_recurring");
    w.boolean(t.is_recurring);
    w.key("recurring_period");
    w.textOrNull(t.recurring_period);
    w.key("pay_on_business_day");
    w.boolean(t.pay_on_business_day);
    w.key("pay_early");
    w.boolean(t.pay_early);
    w.key("icon_id");
    w.idOrNull(t.icon_id);
    w.key("is_adjustment");
    w.boolean(t.is_adjustment);
    w.key("is_demo");
    w.boolean(t.is_demo);
    w.unknown(t.unknown_members, kTransactionKeys);
    w.close('}');
}

void write(TextWriter& w, const TransactionAdjustment& a)
{
    w.open('{');
    w.key("id");
    w.integer(a.id);
    w.key("transaction_id");
    w.integer(a.transaction_id);
    w.key("original_date");
    w.date(a.original_date);
    w.key("new_date");
    w.date(a.new_date);
    w.key("amount");
    a.has_amount ? w.amount(a.amount) : w.null();
    w.key("is_paid");
    w.boolean(a.is_paid);
    w.key("is_deleted");
    w.boolean(a.is_deleted);
    w.key("is_demo");
    w.boolean(a.is_demo);
    w.unknown(a.unknown_members, kAdjustmentKeys);
    w.close('}');
}

void write(TextWriter& w, const RunningTotalAdjustment& r)
{
    w.open('{');
    w.key("id");
    w.integer(r.id);
    w.key("account_id");
    w.idOrNull(r.account_id);
    w.key("date");
    w.date(r.date);
    w.key("amount");
    w.amount(r.amount);
    w.key("is_demo");
    w.boolean(r.is_demo);
    w.unknown(r.unknown_members, kAnchorKeys);
    w.close('}');
}

void write(TextWriter& w, const User& u)
{
    w.open('{');
    w.key("selected_account_id");
    w.idOrNull(u.selected_account_id);
    w.key("default_account_id");
    w.idOrNull(u.default_account_id);
    w.key("theme_preference");
    w.text(u.theme_preference);
    w.key("has_completed_tour");
    w.boolean(u.has_completed_tour);
    w.key("first_name");
    w.textOrNull(u.first_name);
    w.key("last_name");
    w.textOrNull(u.last_name);
    w.key("email");
    w.text(u.email);
    w.key("calendar_token");
    w.textOrNull(u.calendar_token);
    w.key("two_factor_enabled");
    w.boolean(u.two_factor_enabled);
    w.key("pending_email");
    w.textOrNull(u.pending_email);
    w.key("is_verified");
    w.boolean(u.is_verified);
    w.key("avatar");
    w.textOrNull(u.avatar);
    w.key("gravatar_hash");
    w.textOrNull(u.gravatar_hash);
    w.unknown(u.unknown_members, kUserKeys);
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
    w.key("next_local");
    w.integer(store.next_local);
    w.key("next_seq");
    w.integer(store.next_seq);
    w.key("last_sync");
    w.number(store.last_sync);
    w.key("etag");
    w.text(store.etag);
    if (store.sent_up_to > 0) {
        w.key("sent_up_to");
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
