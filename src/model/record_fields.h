#pragma once
// Each stored record's members, written once: the name the files give a
// member, the record's member behind it and the rule between the two (what
// an empty text or a zero id is written as, how a value of another type
// reads). The text writer and the quick reader of data.json, and the
// document form of model/budget_json.h, all go through these tables, so a
// member added to a record is added here and nowhere else; the check after
// each table fails to compile when a record gains a member the table lacks.
//
// A table is a tuple rather than an array so that writing a record unrolls
// into straight code, member pointers and names folded in, as a writer by
// hand would be.
#include "model/budget.h"
#include "model/stored_scalar.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

namespace qm {

// The rules. `read` takes a value that is not null: a null, like a missing
// member, leaves the member as a new record has it. `put` hands the member
// to a writer of the stored forms (integer, amount, boolean, null, text,
// date). `covers` is how many of the record's members the rule fills.
template <class R>
struct WholeRule {  // an id or count, always written
    int64_t R::*member;
    static constexpr int covers = 1;
    void read(R& r, const StoredScalar& v) const { r.*member = v.asInt(); }
    template <class Out>
    void put(Out& out, const R& r) const
    {
        out.integer(r.*member);
    }
};

template <class R>
struct IdOrNullRule {  // an id where 0 is none
    int64_t R::*member;
    static constexpr int covers = 1;
    void read(R& r, const StoredScalar& v) const { r.*member = v.asInt(); }
    template <class Out>
    void put(Out& out, const R& r) const
    {
        r.*member == 0 ? out.null() : out.integer(r.*member);
    }
};

template <class R>
struct OrderRule {  // a list position where a negative one is none
    int32_t R::*member;
    static constexpr int covers = 1;
    void read(R& r, const StoredScalar& v) const
    {
        // An order outside int32 cannot be a list position.
        const bool fits =
            v.isInteger() && (v.type == StoredScalar::integer || v.u <= uint64_t(std::numeric_limits<int64_t>::max()));
        const int64_t order = v.asInt();
        r.*member = fits && order >= std::numeric_limits<int32_t>::min() && order <= std::numeric_limits<int32_t>::max()
            ? int32_t(order)
            : -1;
    }
    template <class Out>
    void put(Out& out, const R& r) const
    {
        r.*member < 0 ? out.null() : out.integer(r.*member);
    }
};

template <class R>
struct TextRule {  // always written, empty as ""
    std::string R::*member;
    static constexpr int covers = 1;
    void read(R& r, const StoredScalar& v) const { v.textInto(r.*member); }
    template <class Out>
    void put(Out& out, const R& r) const
    {
        out.text(r.*member);
    }
};

template <class R>
struct TextOrNullRule {  // empty written as null
    std::string R::*member;
    static constexpr int covers = 1;
    void read(R& r, const StoredScalar& v) const { v.textInto(r.*member); }
    template <class Out>
    void put(Out& out, const R& r) const
    {
        (r.*member).empty() ? out.null() : out.text(r.*member);
    }
};

template <class R>
struct FlagRule {
    bool R::*member;
    static constexpr int covers = 1;
    void read(R& r, const StoredScalar& v) const { r.*member = v.asBool(); }
    template <class Out>
    void put(Out& out, const R& r) const
    {
        out.boolean(r.*member);
    }
};

template <class R>
struct AmountRule {  // always finite
    double R::*member;
    static constexpr int covers = 1;
    void read(R& r, const StoredScalar& v) const { r.*member = v.asFloat(); }
    template <class Out>
    void put(Out& out, const R& r) const
    {
        out.amount(r.*member);
    }
};

template <class R>
struct DateRule {  // a date that does not read is the zero date
    Date R::*member;
    static constexpr int covers = 1;
    void read(R& r, const StoredScalar& v) const { r.*member = v.asDate().value_or(Date{}); }
    template <class Out>
    void put(Out& out, const R& r) const
    {
        out.date(r.*member);
    }
};

template <class R>
struct OptionalDateRule {  // null, or a date that does not read, is none
    bool R::*has;
    Date R::*member;
    static constexpr int covers = 2;
    void read(R& r, const StoredScalar& v) const
    {
        const std::optional<Date> d = v.asDate();
        r.*has = d.has_value();
        r.*member = d.value_or(Date{});
    }
    template <class Out>
    void put(Out& out, const R& r) const
    {
        r.*has ? out.date(r.*member) : out.null();
    }
};

template <class R>
struct OptionalAmountRule {  // only null is none; any other value is an amount
    bool R::*has;
    double R::*member;
    static constexpr int covers = 2;
    void read(R& r, const StoredScalar& v) const
    {
        r.*has = true;
        r.*member = v.asFloat();
    }
    template <class Out>
    void put(Out& out, const R& r) const
    {
        r.*has ? out.amount(r.*member) : out.null();
    }
};

template <class Rule>
struct StoredField {
    std::string_view name;
    Rule rule;
};

// What the tables are written with: each gives a member's name, its rule
// and the record's member (or members) behind it.
struct FieldMakers {
    template <class R>
    static constexpr StoredField<WholeRule<R>> whole(std::string_view name, int64_t R::*m)
    {
        return {name, {m}};
    }
    template <class R>
    static constexpr StoredField<IdOrNullRule<R>> idOrNull(std::string_view name, int64_t R::*m)
    {
        return {name, {m}};
    }
    template <class R>
    static constexpr StoredField<OrderRule<R>> order(std::string_view name, int32_t R::*m)
    {
        return {name, {m}};
    }
    template <class R>
    static constexpr StoredField<TextRule<R>> text(std::string_view name, std::string R::*m)
    {
        return {name, {m}};
    }
    template <class R>
    static constexpr StoredField<TextOrNullRule<R>> textOrNull(std::string_view name, std::string R::*m)
    {
        return {name, {m}};
    }
    template <class R>
    static constexpr StoredField<FlagRule<R>> flag(std::string_view name, bool R::*m)
    {
        return {name, {m}};
    }
    template <class R>
    static constexpr StoredField<AmountRule<R>> amount(std::string_view name, double R::*m)
    {
        return {name, {m}};
    }
    template <class R>
    static constexpr StoredField<DateRule<R>> date(std::string_view name, Date R::*m)
    {
        return {name, {m}};
    }
    template <class R>
    static constexpr StoredField<OptionalDateRule<R>> optionalDate(std::string_view name, bool R::*has, Date R::*m)
    {
        return {name, {has, m}};
    }
    template <class R>
    static constexpr StoredField<OptionalAmountRule<R>> optionalAmount(
        std::string_view name, bool R::*has, double R::*m)
    {
        return {name, {has, m}};
    }
};

// One specialisation per record: `name` is how a fault names the record,
// `fields` its members in the order they are written, and `settle` the
// rules between members, applied once a record has been read.
template <class R>
struct StoredRecord;

// clang-format off
template <>
struct StoredRecord<Account> : FieldMakers {
    static constexpr std::string_view name = "account";
    static constexpr std::tuple fields{
        whole("id", &Account::id),
        text("name", &Account::name),
        textOrNull("account_type", &Account::account_type),
        textOrNull("color", &Account::color),
        order("display_order", &Account::display_order),
        textOrNull("mask", &Account::mask)};
    static void settle(Account&) {}
};

template <>
struct StoredRecord<Category> : FieldMakers {
    static constexpr std::string_view name = "category";
    static constexpr std::tuple fields{
        whole("id", &Category::id),
        text("name", &Category::name),
        textOrNull("color", &Category::color),
        flag("hidden", &Category::hidden),
        idOrNull("icon_id", &Category::icon_id)};
    static void settle(Category&) {}
};

template <>
struct StoredRecord<CustomIcon> : FieldMakers {
    static constexpr std::string_view name = "icon";
    static constexpr std::tuple fields{
        whole("id", &CustomIcon::id),
        text("name", &CustomIcon::name),
        text("url", &CustomIcon::url),
        flag("is_default", &CustomIcon::is_default)};
    static void settle(CustomIcon&) {}
};

template <>
struct StoredRecord<Transaction> : FieldMakers {
    static constexpr std::string_view name = "transaction";
    static constexpr std::tuple fields{
        whole("id", &Transaction::id),
        date("start_date", &Transaction::start_date),
        optionalDate("end_date", &Transaction::has_end_date, &Transaction::end_date),
        amount("amount", &Transaction::amount),
        text("description", &Transaction::description),
        textOrNull("category", &Transaction::category),
        textOrNull("account", &Transaction::account),
        textOrNull("transfer_to_account", &Transaction::transfer_to_account),
        flag("is_recurring", &Transaction::is_recurring),
        textOrNull("recurring_period", &Transaction::recurring_period),
        flag("pay_on_business_day", &Transaction::pay_on_business_day),
        flag("pay_early", &Transaction::pay_early),
        idOrNull("icon_id", &Transaction::icon_id),
        flag("is_adjustment", &Transaction::is_adjustment),
        flag("is_demo", &Transaction::is_demo)};
    // Only a rule makes a transaction repeat.
    static void settle(Transaction& t)
    {
        if (t.recurring_period.empty())
            t.is_recurring = false;
    }
};

template <>
struct StoredRecord<TransactionAdjustment> : FieldMakers {
    static constexpr std::string_view name = "adjustment";
    static constexpr std::tuple fields{
        whole("id", &TransactionAdjustment::id),
        whole("transaction_id", &TransactionAdjustment::transaction_id),
        date("original_date", &TransactionAdjustment::original_date),
        date("new_date", &TransactionAdjustment::new_date),
        optionalAmount("amount", &TransactionAdjustment::has_amount, &TransactionAdjustment::amount),
        flag("is_paid", &TransactionAdjustment::is_paid),
        flag("is_deleted", &TransactionAdjustment::is_deleted),
        flag("is_demo", &TransactionAdjustment::is_demo)};
    // An occurrence without a date of its own, or with one that does not
    // read, stays on its series date. No date that reads is the zero date.
    static void settle(TransactionAdjustment& a)
    {
        if (a.new_date == Date{})
            a.new_date = a.original_date;
    }
};

template <>
struct StoredRecord<RunningTotalAdjustment> : FieldMakers {
    static constexpr std::string_view name = "anchor";
    static constexpr std::tuple fields{
        whole("id", &RunningTotalAdjustment::id),
        idOrNull("account_id", &RunningTotalAdjustment::account_id),
        date("date", &RunningTotalAdjustment::date),
        amount("amount", &RunningTotalAdjustment::amount),
        flag("is_demo", &RunningTotalAdjustment::is_demo)};
    static void settle(RunningTotalAdjustment&) {}
};

template <>
struct StoredRecord<User> : FieldMakers {
    static constexpr std::string_view name = "the preferences";
    static constexpr std::tuple fields{
        idOrNull("selected_account_id", &User::selected_account_id),
        idOrNull("default_account_id", &User::default_account_id),
        text("theme_preference", &User::theme_preference),
        flag("has_completed_tour", &User::has_completed_tour),
        textOrNull("first_name", &User::first_name),
        textOrNull("last_name", &User::last_name),
        text("email", &User::email),
        textOrNull("calendar_token", &User::calendar_token),
        flag("two_factor_enabled", &User::two_factor_enabled),
        textOrNull("pending_email", &User::pending_email),
        flag("is_verified", &User::is_verified),
        textOrNull("avatar", &User::avatar),
        textOrNull("gravatar_hash", &User::gravatar_hash)};
    // A theme this version does not know follows the system's.
    static void settle(User& u)
    {
        if (u.theme_preference != "light" && u.theme_preference != "dark")
            u.theme_preference = "system";
    }
};
// clang-format on

// Calls visit(field) for each member of R, in the order they are written.
template <class R, class Visit>
constexpr void forEachField(Visit&& visit)
{
    std::apply([&](const auto&... field) { (visit(field), ...); }, StoredRecord<R>::fields);
}

template <class R>
inline constexpr size_t kFieldCount = std::tuple_size_v<std::remove_const_t<decltype(StoredRecord<R>::fields)>>;

// The names of R's members, in the order they are written.
template <class R>
inline constexpr std::array<std::string_view, kFieldCount<R>> kFieldNames = std::apply(
    [](const auto&... field) { return std::array<std::string_view, kFieldCount<R>>{field.name...}; },
    StoredRecord<R>::fields);

// A reading of each member of R by its position in the table, for readers
// that find a member by its name as it comes. The record goes untyped so
// that one reader can hold the readings of every kind.
using ReadMember = void (*)(void* record, const StoredScalar& v);

template <class R, size_t... I>
constexpr std::array<ReadMember, sizeof...(I)> memberReadings(std::index_sequence<I...>)
{
    return {[](void* r, const StoredScalar& v) {
        std::get<I>(StoredRecord<R>::fields).rule.read(*static_cast<R*>(r), v);
    }...};
}

template <class R>
inline constexpr std::array<ReadMember, kFieldCount<R>> kMemberReadings = memberReadings<R>(
    std::make_index_sequence<kFieldCount<R>>());

namespace record_check {

// Converts to any member's type: an aggregate takes as many of these in its
// braces as it has members.
struct AnyMember {
    template <class T>
    operator T() const;
};

template <class R, class... Taken>
constexpr size_t memberCount()
{
    if constexpr (requires { R{Taken{}..., AnyMember{}}; })
        return memberCount<R, Taken..., AnyMember>();
    else
        return sizeof...(Taken);
}

// Every member of the record is in its table, unknown_members aside (it
// holds what no table knows), and no name is there twice.
template <class R>
constexpr bool tableCoversRecord()
{
    size_t covered = 0;
    forEachField<R>([&](const auto& field) { covered += size_t(field.rule.covers); });
    for (size_t i = 0; i < kFieldNames<R>.size(); ++i)
        for (size_t j = i + 1; j < kFieldNames<R>.size(); ++j)
            if (kFieldNames<R>[i] == kFieldNames<R>[j])
                return false;
    return covered + 1 == memberCount<R>();
}

static_assert(tableCoversRecord<Account>());
static_assert(tableCoversRecord<Category>());
static_assert(tableCoversRecord<CustomIcon>());
static_assert(tableCoversRecord<Transaction>());
static_assert(tableCoversRecord<TransactionAdjustment>());
static_assert(tableCoversRecord<RunningTotalAdjustment>());
static_assert(tableCoversRecord<User>());

}  // namespace record_check

}  // namespace qm
