#pragma once
// The row sets behind the search and reports pages: occurrences matching a
// filter, a report range's rows with a running balance, their totals by
// category or account, and what is left of each recurring transaction.
// Account scopes and signs follow the balances; results are plain values.
#include "model/budget.h"
#include "model/dates.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm {

struct BudgetProjection;

struct SearchFilter {
    std::string text;
    int64_t accountId = 0;  // 0 (or no such account) = all accounts
    std::string category;   // exact name; empty = any
    bool hasMin = false;
    bool hasMax = false;
    double minAmount = 0;  // inclusive bounds on the hit's amount
    double maxAmount = 0;
    enum class Paid : uint8_t { any, paidOnly, unpaidOnly };
    // changedOnly: the hit's amount differs from its transaction's.
    enum class Changed : uint8_t { any, changedOnly, unchangedOnly };
    Paid paid = Paid::any;
    Changed changed = Changed::any;
    Date from;
    Date to;
};

// A date held in four bytes, read as the Date it was made from: a large
// budget's search or report holds hundreds of thousands of them, and their
// size is what writing them costs. Fields of the sizes any real day has
// are packed in place; a date beyond them is kept for the program's life
// and named by its number.
struct CompactDate {
    uint32_t bits = 0;  // as Date{}

    CompactDate() = default;
    CompactDate(Date d);
    operator Date() const
    {
        if (bits & 1)
            return keptDate(bits >> 1);
        return Date{int32_t(bits) >> 12, int32_t(bits >> 7 & 31), int32_t(bits >> 1 & 63)};
    }

private:
    static Date keptDate(uint32_t number);
};

// A large budget's search gives hundreds of thousands of hits, so a hit is
// small and owns nothing: its records are read in place, and only for the
// few hits a page shows.
struct SearchHit {
    // Into the budget searched: valid while it is unchanged.
    const Transaction* transaction = nullptr;
    const TransactionAdjustment* adjustment = nullptr;  // the one that shows it; none for a date of the rule
    double amount = 0;                                  // negated on a transfer's receiving side
    CompactDate date;
    // The colour's number among those kept for the program's life, then
    // whether this is the receiving side of a transfer (the lowest bit).
    uint32_t look = 0;

    int64_t adjustmentId() const { return adjustment ? adjustment->id : 0; }
    bool isPaid() const { return adjustment && adjustment->is_paid; }
    bool negated() const { return (look & 1) != 0; }
    // The transaction's amount, negated as the hit's is.
    double baseAmount() const { return negated() ? -transaction->amount : transaction->amount; }
    // The category's colour, "" when it has none.
    std::string_view color() const;
};

// The hits of a search, held small and made whole only when read. A large
// budget's search finds hundreds of thousands of hits, and writing them
// whole to their places in the order costs more the larger the budget,
// while a page shows a few dozen at a time: in the order, each hit is only
// its place among those gathered; what its transaction's hits share is kept
// once, in a source. Like a hit, valid while the budget searched is
// unchanged (nothing points into a projection).
struct SearchHits {
    struct Source {
        const Transaction* transaction = nullptr;
        double amount = 0;   // the transaction's, as its hits show it
        uint32_t look = 0;   // as SearchHit::look
        uint32_t first = 0;  // the index of its first hit among the gathered; its hits follow it
    };
    // A gathered hit that an adjustment shows or that has an amount of its
    // own, about a tenth of them: the others are found by not being noted.
    struct Mark {
        uint32_t hit = 0;   // its index among the gathered
        uint32_t slot = 0;  // 1 + the list index of the adjustment (0: none), or with kOwnAmount into own
    };
    static constexpr uint32_t kOwnAmount = uint32_t(1) << 31;
    // A hit whose amount differs from its transaction's.
    struct Own {
        double amount = 0;
        uint32_t adjustment = 0;  // as a slot without kOwnAmount
    };

    std::vector<uint32_t> order;  // per hit, nearest the reference first: its index among the gathered
    std::vector<int32_t> days;    // per gathered hit, its day number
    std::vector<Date> dates;      // per gathered hit, only when the budget holds dates of no real day
    std::vector<Source> sources;  // in the order gathered
    std::vector<Mark> marks;      // in the order gathered
    std::vector<Own> own;
    const AdjustmentList* adjustments = nullptr;  // the budget's list

    size_t size() const { return order.size(); }
    bool empty() const { return order.empty(); }
    SearchHit operator[](size_t i) const;
    SearchHit front() const { return (*this)[0]; }
    // Every hit, in order: quicker than reading them one by one, for a
    // sort that compares them all.
    std::vector<SearchHit> whole() const;
    void clear();

private:
    SearchHit made(uint32_t hit, const Source& from, uint32_t slot) const;

public:
    // Reads hits as values; a hit read is made anew.
    struct const_iterator {
        using iterator_category = std::random_access_iterator_tag;
        using value_type = SearchHit;
        using difference_type = std::ptrdiff_t;
        using reference = const SearchHit;
        struct pointer {
            SearchHit hit;
            const SearchHit* operator->() const { return &hit; }
        };

        const SearchHits* hits = nullptr;
        size_t at = 0;

        const SearchHit operator*() const { return (*hits)[at]; }
        pointer operator->() const { return {(*hits)[at]}; }
        const SearchHit operator[](difference_type n) const { return (*hits)[size_t(difference_type(at) + n)]; }
        const_iterator& operator++() { return ++at, *this; }
        const_iterator operator++(int) { return {hits, at++}; }
        const_iterator& operator--() { return --at, *this; }
        const_iterator operator--(int) { return {hits, at--}; }
        const_iterator& operator+=(difference_type n) { return at = size_t(difference_type(at) + n), *this; }
        const_iterator& operator-=(difference_type n) { return at = size_t(difference_type(at) - n), *this; }
        friend const_iterator operator+(const_iterator i, difference_type n) { return i += n; }
        friend const_iterator operator+(difference_type n, const_iterator i) { return i += n; }
        friend const_iterator operator-(const_iterator i, difference_type n) { return i -= n; }
        friend difference_type operator-(const const_iterator& a, const const_iterator& b)
        {
            return difference_type(a.at) - difference_type(b.at);
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.at == b.at; }
        friend auto operator<=>(const const_iterator& a, const const_iterator& b) { return a.at <=> b.at; }
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }
};

inline constexpr const char* kStartingBalance = "Starting Balance";
inline constexpr const char* kBalanceAdjustment = "Balance Adjustment";
inline constexpr const char* kClosingBalance = "Closing Balance";

// The texts of a report row: a balance row's label, or a transaction's texts
// kept apart from the budget.
struct ReportRowTexts {
    std::string_view description;  // the label of a balance row
    std::string_view category;
    std::string_view account;
    std::string_view transferTo;
};

inline constexpr ReportRowTexts kNoRowTexts{};
inline constexpr ReportRowTexts kStartingBalanceTexts{kStartingBalance, {}, {}, {}};
inline constexpr ReportRowTexts kBalanceAdjustmentTexts{kBalanceAdjustment, {}, {}, {}};
inline constexpr ReportRowTexts kClosingBalanceTexts{kClosingBalance, {}, {}, {}};

// What every row of one transaction shares, or a balance row's own. A
// transaction's texts are read in place, and only when asked: a large range
// has hundreds of thousands of sources, and reading the texts of each would
// reach into every transaction. They hold while the budget the rows were
// made from is unchanged, as a search hit's do.
struct ReportRowSource {
    const Transaction* transaction = nullptr;    // none for a balance row
    const ReportRowTexts* texts = &kNoRowTexts;  // read when there is no transaction
    double baseAmount = 0;                       // the transaction's amount, signed as its rows are
    double anchorAmount = 0;                     // a balance adjustment's balance
    bool counted = false;
    bool isBalanceRow = false;
    // Order within a date: 0 the starting row, 1 transactions, 2 balance
    // adjustments and the closing row. An anchor is the balance at the end
    // of its day, so its row follows the day's transactions.
    int32_t rowOrder = 0;

    std::string_view description() const { return transaction ? transaction->description : texts->description; }
    std::string_view category() const { return transaction ? transaction->category : texts->category; }
    std::string_view account() const { return transaction ? transaction->account : texts->account; }
    std::string_view transferTo() const { return transaction ? transaction->transfer_to_account : texts->transferTo; }
};

// A large range has hundreds of thousands of rows: each is small and plain,
// and what a transaction's rows have in common is kept once, in a source.
struct ReportRow {
    CompactDate date;
    uint32_t source = 0;  // into ReportRows::sources
    double amount = 0;
    double runningBalance = 0;  // after this row, in cents
};

struct ReportRows {
    std::vector<ReportRow> rows;
    std::vector<ReportRowSource> sources;

    const ReportRowSource& source(const ReportRow& r) const { return sources[r.source]; }
    // Whether an adjustment gave the row an amount other than its transaction's.
    bool changed(const ReportRow& r) const { return !source(r).isBalanceRow && r.amount != source(r).baseAmount; }

    size_t size() const { return rows.size(); }
    bool empty() const { return rows.empty(); }
    const ReportRow& operator[](size_t i) const { return rows[i]; }
    const ReportRow& front() const { return rows.front(); }
    const ReportRow& back() const { return rows.back(); }
    std::vector<ReportRow>::const_iterator begin() const { return rows.begin(); }
    std::vector<ReportRow>::const_iterator end() const { return rows.end(); }
};

struct GroupTotal {
    double income = 0;
    double expense = 0;  // positive
    int32_t count = 0;
};

// Groups in the order their names first appear.
using GroupTotals = std::vector<std::pair<std::string, GroupTotal>>;

struct RecurringRow {
    Transaction transaction;
    std::optional<int32_t> remaining;  // occurrences left through the end date; none without one
    double remainingTotal = 0;
};

// Nearest to the reference date first; equally near, earlier first.
SearchHits searchOccurrences(const Budget& b, const SearchFilter& filter, Date reference);
SearchHits searchOccurrences(const BudgetProjection& p, const SearchFilter& filter, Date reference);
ReportRows reportRows(const Budget& b, Date from, Date to, int64_t accountId);
ReportRows reportRows(const BudgetProjection& p, Date from, Date to, int64_t accountId);
// The same into a list the caller keeps (its contents replaced): a page
// that searches at every key or refreshes its report after every edit
// reuses the room of the last results, which a large budget's results
// would otherwise ask of the system afresh each time.
void searchOccurrences(const BudgetProjection& p, const SearchFilter& filter, Date reference, SearchHits& out);
void reportRows(const BudgetProjection& p, Date from, Date to, int64_t accountId, ReportRows& out);
GroupTotals groupTotals(const ReportRows& rows, bool byAccount);
std::vector<RecurringRow> recurringRows(const Budget& b, Date from);
std::vector<RecurringRow> recurringRows(const BudgetProjection& p, Date from);
std::vector<Category> categoriesByName(const Budget& b);

}  // namespace qm
