#include "core/ascii.h"
#include "core/decimal.h"
#include "core/files.h"
#include "core/json.h"
#include "core/large_allocator.h"
#include "core/utf8.h"
#include "model/budget_json.h"
#include "model/money.h"
#include "model/record_fields.h"
#include "model/store_text_internal.h"

// The parser's own vector scans (RAPIDJSON_SSE2) stay off: they start each
// string byte by byte up to an aligned block and measured slower on the
// short strings of a budget.
#include <rapidjson/reader.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace qm {

namespace {

// A number as the parser hands it over, classed as the document parser
// classes it.
StoredScalar numberScalar(std::string_view text)
{
    StoredScalar v;
    bool whole = true;
    for (char c : text)
        whole &= c != '.' && c != 'e' && c != 'E';
    if (whole) {
        const char* end = text.data() + text.size();
        if (std::from_chars(text.data(), end, v.i).ec == std::errc() && !text.empty()) {
            v.type = StoredScalar::integer;
            return v;
        }
        if (text[0] != '-' && std::from_chars(text.data(), end, v.u).ec == std::errc()) {
            v.type = StoredScalar::unsignedInteger;
            return v;
        }
    }
    v.type = StoredScalar::floating;
    v.d = decimalToDouble(text);
    return v;
}

enum RecordKind : uint8_t {
    kindAccount,
    kindCategory,
    kindIcon,
    kindTransaction,
    kindAdjustment,
    kindAnchor,
    kindUser
};
constexpr int kListCount = kindUser;  // the kinds before it come in lists
// data.json names the lists and the preferences in the order of the kinds,
// and "meta" after them.
constexpr int kMetaAt = kindUser + 1;
static_assert(kDataKeys[kindAccount] == "accounts" && kDataKeys[kindCategory] == "categories"
    && kDataKeys[kindIcon] == "icons" && kDataKeys[kindTransaction] == "transactions"
    && kDataKeys[kindAdjustment] == "transaction_adjustments" && kDataKeys[kindAnchor] == "running_total_adjustments"
    && kDataKeys[kindUser] == "user" && kDataKeys[kMetaAt] == "meta");

// What the reader needs of a kind of record, with the record passed untyped:
// its table's names, a reading of each member by its position among them,
// and the last step, which also hands over the members kept unknown.
struct RecordReading {
    std::string_view name;
    std::span<const std::string_view> names;
    const ReadMember* read;  // one for each name
    void (*finish)(void* record, JsonPtr unknown);
    int idAt;  // the position of "id" among the names, or -1
};

template <class R>
constexpr RecordReading readingOf()
{
    static_assert(kFieldCount<R> <= 32, "a record's members are marked seen by the bits of a word");
    int idAt = -1;
    for (size_t k = 0; k < kFieldNames<R>.size(); ++k)
        if (kFieldNames<R>[k] == "id")
            idAt = int(k);
    return {StoredRecord<R>::name, kFieldNames<R>, kMemberReadings<R>.data(),
        [](void* r, JsonPtr unknown) {
            R& record = *static_cast<R*>(r);
            record.unknown_members = std::move(unknown);
            StoredRecord<R>::settle(record);
        },
        idAt};
}

// By RecordKind.
constexpr RecordReading kReadings[] = {readingOf<Account>(), readingOf<Category>(), readingOf<CustomIcon>(),
    readingOf<Transaction>(), readingOf<TransactionAdjustment>(), readingOf<RunningTotalAdjustment>(),
    readingOf<User>()};
static_assert(std::size(kReadings) == kindUser + 1 && kReadings[kindAccount].name == StoredRecord<Account>::name
    && kReadings[kindCategory].name == StoredRecord<Category>::name
    && kReadings[kindIcon].name == StoredRecord<CustomIcon>::name
    && kReadings[kindTransaction].name == StoredRecord<Transaction>::name
    && kReadings[kindAdjustment].name == StoredRecord<TransactionAdjustment>::name
    && kReadings[kindAnchor].name == StoredRecord<RunningTotalAdjustment>::name
    && kReadings[kindUser].name == StoredRecord<User>::name);

// Member names are short: compared a word at a time here rather than by a
// call of memcmp for each.
bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    size_t i = 0;
    for (; i + 8 <= a.size(); i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y)
            return false;
    }
    for (; i < a.size(); ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

// The position of key among names, or -1. Files this program wrote hold the
// members in the writer's order, so the one after the last found is tried
// first.
int keyIndex(std::span<const std::string_view> names, std::string_view key, int after)
{
    const int n = int(names.size());
    if (after + 1 < n && sameName(names[size_t(after + 1)], key))
        return after + 1;
    for (int k = 0; k < n; ++k)
        if (sameName(names[size_t(k)], key))
            return k;
    return -1;
}

struct RecordCounts {
    size_t transactions = 0;
    size_t adjustments = 0;
    size_t anchors = 0;
};

// The records of the three large lists as this program writes them: each
// starts with its id and then the member that tells its kind. In JSON text
// `{"id":` cannot lie inside a string, so only objects are counted; an
// object kept unknown of the same form is counted too, and a text written
// otherwise counts none: the counts only size the lists. Adds those that
// start in the first `scanned` bytes of text; their look ahead may reach on
// to text's end.
void countRecordsIn(std::string_view text, size_t scanned, RecordCounts& counts)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    const char* stop = begin + scanned;
    constexpr std::string_view kStart = "{\"id\":";
    auto look = [&](const char* p) {
        if (end - p <= 32 || std::memcmp(p, kStart.data(), kStart.size()) != 0)
            return;
        const char* q = p + kStart.size();
        q += *q == '-';
        while (q < end && isAsciiDigit(*q))
            ++q;
        if (end - q > 3 && q[0] == ',' && q[1] == '"') {
            counts.transactions += q[2] == 's';
            counts.adjustments += q[2] == 't';
            counts.anchors += q[2] == 'a';
        }
    };
    const char* p = begin;
#if defined(__SSE2__)
    // Sixteen bytes at a time: a call of memchr for each brace costs more
    // than the scan.
    const __m128i brace = _mm_set1_epi8('{');
    for (; stop - p >= 16; p += 16) {
        unsigned mask =
            unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), brace)));
        for (; mask != 0; mask &= mask - 1)
            look(p + __builtin_ctz(mask));
    }
#endif
    for (; p < stop; ++p)
        if (*p == '{')
            look(p);
}

// A record as this program writes it takes more than 64 bytes: a text made
// to look otherwise reserves no more than a few times its size.
RecordCounts capped(RecordCounts counts, size_t textBytes)
{
    const size_t most = textBytes / 64;
    counts.transactions = std::min(counts.transactions, most);
    counts.adjustments = std::min(counts.adjustments, most);
    counts.anchors = std::min(counts.anchors, most);
    return counts;
}

RecordCounts countRecords(std::string_view text)
{
    RecordCounts counts;
    countRecordsIn(text, text.size(), counts);
    return capped(counts, text.size());
}

// The same over a file's pieces, each read again from a little before the
// previous one's end, so that a record whose start straddles two pieces is
// counted once.
RecordCounts countRecords(FilePieces& file)
{
    constexpr size_t kOverlap = 64;  // more than the look ahead of a start
    RecordCounts counts;
    size_t offset = 0;
    for (;;) {
        const std::string_view piece = file.pieceAt(offset);
        const bool last = piece.size() < file.pieceBytes() || piece.size() <= kOverlap;
        const size_t scanned = last ? piece.size() : piece.size() - kOverlap;
        countRecordsIn(piece, scanned, counts);
        offset += scanned;
        if (last)
            return capped(counts, offset);
    }
}

// Takes the text's events and fills the store. Faults of shape and of newer
// versions are kept, not raised, until the whole text has proved to be JSON,
// and then the first by the order in which a tree would have been checked.
// Anything the quick path must not decide (a repeated member, nesting past
// the parser's limit) makes the handler give up, and the text is read again
// through the document parser.
class DataReader {
public:
    explicit DataReader(LocalStore& store)
        : store_(store)
        , budget_(*store.budget)
    {
    }

    bool startObject()
    {
        if (!enter())
            return false;
        switch (top()) {
        case atStart:
            frames_.push_back(inData);
            return true;
        case inData:
            return dataMember(nullptr, StoredScalar::null, true);
        case inList:
            beginRecord(RecordKind(listKind_));
            return true;
        case inRecord:
            return recordStructured(true);
        case inMeta:
            return metaStructured(true);
        case inCapture:
            return captureStart(Json::object());
        case inSkip:
            frames_.push_back(inSkip);
            return true;
        }
        return true;
    }

    bool startArray()
    {
        if (!enter())
            return false;
        switch (top()) {
        case atStart:
            shapeTop_ = true;
            frames_.push_back(inSkip);
            return true;
        case inData:
            return dataMember(nullptr, StoredScalar::null, false);
        case inList:
            listFault();
            frames_.push_back(inSkip);
            return true;
        case inRecord:
            return recordStructured(false);
        case inMeta:
            return metaStructured(false);
        case inCapture:
            return captureStart(Json::array());
        case inSkip:
            frames_.push_back(inSkip);
            return true;
        }
        return true;
    }

    bool end()
    {
        --depth_;
        Frame f = top();
        frames_.pop_back();
        if (f == inRecord)
            endRecord();
        else if (f == inCapture)
            captureEnd();
        else if (f == inList)
            listKind_ = -1;
        return true;
    }

    bool key(std::string_view k)
    {
        // Known names are kept as their index, and need no check of their
        // text; the parser may reuse the key's bytes for the value that
        // follows, so others are copied.
        if (top() == inRecord) {
            recordKey_ = keyIndex(kReadings[kind_].names, k, lastKey_);
            if (recordKey_ >= 0)
                return true;
        }
        if (!checkText(k))
            return false;
        switch (top()) {
        case inRecord:
        case inData:
        case inMeta:
            key_.assign(k);
            return true;
        case inCapture: {
            Json& obj = *captures_.back();
            if (obj.contains(k))
                return false;
            captureKey_ = std::string(k);
            return true;
        }
        default:
            return true;
        }
    }

    bool scalar(const StoredScalar& v)
    {
        if (depth_ > kMaxDepth)
            return false;
        if (v.type == StoredScalar::text && !checkText(v.s))
            return false;
        switch (top()) {
        case atStart:
            shapeTop_ = true;
            frames_.push_back(inSkip);  // nothing follows a scalar document
            return true;
        case inData:
            return dataMember(&v, v.type, false);
        case inList:
            listFault();
            return true;
        case inRecord:
            return recordScalar(v);
        case inMeta:
            return metaScalar(v);
        case inCapture:
            return captureValue(v.toJson());
        case inSkip:
            return true;
        }
        return true;
    }

    // Room for the records the text is likely to hold, so that the large
    // lists are neither moved while they grow nor trimmed at the end, and
    // for those the session adds: a full list grows by moving every record,
    // which in a large budget would stall the first edit that adds one for
    // as long as copying the list takes. Room never written holds address
    // space, not memory, beyond the page a list ends in.
    void reserve(const RecordCounts& counts)
    {
        budget_.transactions.reserve(withRoom(counts.transactions));
        budget_.transaction_adjustments.reserve(withRoom(counts.adjustments));
        budget_.running_total_adjustments.reserve(withRoom(counts.anchors));
        pages_ = FreshPagesAhead({pagesOf(budget_.transactions, counts.transactions),
            pagesOf(budget_.transaction_adjustments, counts.adjustments)});
    }

    static size_t withRoom(size_t n) { return n + n / 8 + 64; }

    // A large list keeps the room it was given, unless the text held far
    // fewer records than it seemed to.
    template <class List>
    static void keepRoom(List& list)
    {
        if (list.capacity() > 2 * withRoom(list.size()))
            list.shrink_to_fit();
    }

    // Raises the first fault found, by the order of the checks of a tree.
    void finish()
    {
        pages_.stop();  // before a list may move
        if (shapeTop_)
            throw StoreShapeError("data.json", "its top level is not an object");
        for (const std::string& fault : shapeFaults_)
            if (!fault.empty())
                throw StoreShapeError("data.json", fault);
        if (!userShape_.empty())
            throw StoreShapeError("data.json", userShape_);
        for (const std::string& fault : newerFaults_)
            if (!fault.empty())
                throw NewerFormatError(fault);
        if (!metaNewer_.empty())
            throw NewerFormatError(metaNewer_);
        if (seqOutOfRange_)
            throw ValueError("\"next_seq\" of \"meta\" is out of range");
        // A list grows by doubling while it is read; what it holds is kept
        // for as long as the budget is open.
        budget_.accounts.shrink_to_fit();
        budget_.categories.shrink_to_fit();
        budget_.icons.shrink_to_fit();
        keepRoom(budget_.transactions);
        keepRoom(budget_.transaction_adjustments);
        keepRoom(budget_.running_total_adjustments);
        if (unknownTop_)
            store_.unknown_members = std::make_shared<const Json>(std::move(*unknownTop_));
        if (unknownMeta_)
            store_.unknown_meta = std::make_shared<const Json>(std::move(*unknownMeta_));
    }

private:
    static constexpr int kMaxDepth = 512;  // the document parser's limit

    // The pages of a large list that the counted records will fill, never
    // the room after them.
    template <class List>
    static FreshPagesAhead::Range pagesOf(List& list, size_t count)
    {
        char* begin = static_cast<char*>(const_cast<void*>(list.storage()));
        return {begin, begin + std::min(count, list.capacity()) * sizeof(typename List::value_type)};
    }

    // The list (range `range` of pages_) is about to take its next record.
    // One that is full moves as it grows: its pages are no longer the ones
    // being readied, so the readying stops before it moves.
    template <class List>
    void readyFor(size_t range, const List& list)
    {
        if (list.size() == list.capacity()) {
            pages_ = FreshPagesAhead();
            return;
        }
        using T = typename List::value_type;
        pages_.writing(range, static_cast<const char*>(list.storage()) + list.size() * sizeof(T), sizeof(T));
    }

    enum Frame : uint8_t { atStart, inData, inList, inRecord, inMeta, inCapture, inSkip };

    Frame top() const { return frames_.empty() ? atStart : frames_.back(); }

    // A value inside more containers than the parser's limit is refused.
    bool enter() { return ++depth_ <= kMaxDepth + 1; }

    // Texts the quick parser let through that the document parser would
    // repair: those go the slow way.
    static bool checkText(std::string_view s)
    {
        uint64_t high = 0;
        size_t i = 0;
        for (; i + 8 <= s.size(); i += 8) {
            uint64_t word;
            std::memcpy(&word, s.data() + i, 8);
            high |= word;
        }
        for (; i < s.size(); ++i)
            high |= uint8_t(s[i]);
        return (high & 0x8080808080808080ull) == 0 || isValidUtf8(s);
    }

    // A member of the document: a list, the preferences, meta, or one kept
    // unknown. v is null for an object or list, whose kind `object` says.
    bool dataMember(const StoredScalar* v, StoredScalar::Type type, bool object)
    {
        const int k = keyIndex(kDataKeys, key_, -1);
        if (k >= 0) {
            if (seenData_ & (1u << k))
                return false;
            seenData_ |= 1u << k;
        } else if (unknownTop_ && unknownTop_->contains(key_)) {
            return false;
        }
        const bool structured = v == nullptr;
        if (k >= 0 && k < kListCount) {
            if (structured && !object) {
                frames_.push_back(inList);
                listKind_ = k;
            } else if (type != StoredScalar::null || structured) {
                shapeFaults_[size_t(k)] = "\"" + std::string(kDataKeys[size_t(k)]) + "\" is not a list";
                if (structured)
                    frames_.push_back(inSkip);
            }
            return true;
        }
        if (k == kindUser) {
            if (structured && object)
                beginRecord(kindUser);
            else if (type != StoredScalar::null || structured) {
                userShape_ = "\"user\" is not an object";
                if (structured)
                    frames_.push_back(inSkip);
            }
            return true;
        }
        if (k == kMetaAt) {  // only an object is read
            if (structured)
                frames_.push_back(object ? inMeta : inSkip);
            return true;
        }
        if (!unknownTop_)
            unknownTop_ = Json::object();
        if (!structured)
            (*unknownTop_)[std::string(key_)] = v->toJson();
        else
            startCapture(&*unknownTop_, object);
        return true;
    }

    void listFault()
    {
        std::string& fault = shapeFaults_[size_t(listKind_)];
        if (fault.empty())
            fault = "an element of \"" + std::string(kDataKeys[size_t(listKind_)]) + "\" is not an object";
    }

    void beginRecord(RecordKind kind)
    {
        frames_.push_back(inRecord);
        kind_ = kind;
        lastKey_ = -1;
        seen_ = 0;
        recordId_ = 0;
        newer_.clear();
        unknown_.reset();
        switch (kind) {
        case kindAccount:
            record_ = &budget_.accounts.emplace_back();
            break;
        case kindCategory:
            record_ = &budget_.categories.emplace_back();
            break;
        case kindIcon:
            record_ = &budget_.icons.emplace_back();
            break;
        case kindTransaction:
            readyFor(0, budget_.transactions);
            record_ = &budget_.transactions.emplace_back();
            break;
        case kindAdjustment:
            readyFor(1, budget_.transaction_adjustments);
            record_ = &budget_.transaction_adjustments.emplace_back();
            break;
        case kindAnchor:
            record_ = &budget_.running_total_adjustments.emplace_back();
            break;
        case kindUser:
            user_ = User{};
            record_ = &user_;
            break;
        }
    }

    // Gives the known member's index, -1 for an unknown one, or -2 when the
    // member repeats.
    int recordKey()
    {
        const int k = recordKey_;
        if (k >= 0) {
            if (seen_ & (1u << k))
                return -2;
            seen_ |= 1u << k;
            lastKey_ = k;
        } else if (unknown_ && unknown_->contains(key_)) {
            return -2;
        }
        return k;
    }

    bool recordStructured(bool object)
    {
        const int k = recordKey();
        if (k == -2)
            return false;
        if (k >= 0) {
            if (newer_.empty())
                newer_ = "\"" + std::string(kReadings[kind_].names[size_t(k)]) + "\" of %s holds "
                    + (object ? "an object" : "a list");
            frames_.push_back(inSkip);
            return true;
        }
        if (!unknown_)
            unknown_ = Json::object();
        startCapture(&*unknown_, object);
        return true;
    }

    bool recordScalar(const StoredScalar& v)
    {
        const int k = recordKey();
        if (k == -2)
            return false;
        if (k >= 0 ? k == kReadings[kind_].idAt : key_ == "id")
            recordId_ = v.asInt();
        if (k < 0) {
            if (!unknown_)
                unknown_ = Json::object();
            (*unknown_)[std::string(key_)] = v.toJson();
            return true;
        }
        if (v.type != StoredScalar::null)
            kReadings[kind_].read[k](record_, v);
        return true;
    }

    void endRecord()
    {
        JsonPtr unknown = unknown_ ? std::make_shared<const Json>(std::move(*unknown_)) : nullptr;
        unknown_.reset();
        if (!newer_.empty()) {
            std::string& fault = kind_ == kindUser ? newerFaults_[kListCount] : newerFaults_[kind_];
            if (fault.empty()) {
                std::string whose(kReadings[kind_].name);
                if (recordId_ != 0)
                    whose += " " + std::to_string(recordId_);
                const size_t at = newer_.find("%s");
                fault = newer_.substr(0, at) + whose + newer_.substr(at + 2);
            }
        }
        kReadings[kind_].finish(record_, std::move(unknown));
        if (kind_ == kindUser)
            budget_.user = std::move(user_);
    }

    int metaKey()
    {
        const int k = keyIndex(kMetaKeys, key_, -1);
        if (k >= 0) {
            if (seenMeta_ & (1u << k))
                return -2;
            seenMeta_ |= 1u << k;
        } else if (unknownMeta_ && unknownMeta_->contains(key_)) {
            return -2;
        }
        return k;
    }

    bool metaStructured(bool object)
    {
        const int k = metaKey();
        if (k == -2)
            return false;
        if (k >= 0) {
            if (metaNewer_.empty())
                metaNewer_ = "\"" + std::string(key_) + "\" of \"meta\" holds " + (object ? "an object" : "a list");
            frames_.push_back(inSkip);
            return true;
        }
        if (!unknownMeta_)
            unknownMeta_ = Json::object();
        startCapture(&*unknownMeta_, object);
        return true;
    }

    bool metaScalar(const StoredScalar& v)
    {
        const int k = metaKey();
        if (k == -2)
            return false;
        switch (k) {
        case -1:
            if (!unknownMeta_)
                unknownMeta_ = Json::object();
            (*unknownMeta_)[std::string(key_)] = v.toJson();
            break;
        case metaNextLocal:
            if (v.isInteger())
                store_.next_local = v.asInt();
            break;
        case metaNextSeq:
            if (v.type == StoredScalar::unsignedInteger ? v.u > uint64_t(std::numeric_limits<int32_t>::max())
                    : v.type == StoredScalar::integer
                    ? v.i < std::numeric_limits<int32_t>::min() || v.i > std::numeric_limits<int32_t>::max()
                    : false)
                seqOutOfRange_ = true;
            else if (v.isInteger())
                store_.next_seq = int32_t(v.asInt());
            break;
        case metaLastSync:
            if (v.isNumber())
                store_.last_sync = v.asFloat();
            break;
        case metaEtag:
            v.textInto(store_.etag);
            break;
        case metaSentUpTo:
            // Only a mark of ops actually sent counts; anything else reads as none.
            if (v.isInteger() && v.asInt() > 0 && v.asInt() <= std::numeric_limits<int32_t>::max())
                store_.sent_up_to = int32_t(v.asInt());
        }
        return true;
    }

    // A member kept unknown that holds an object or a list is built as a
    // document into its owner.
    void startCapture(Json* owner, bool object)
    {
        frames_.push_back(inCapture);
        captures_.clear();
        captureOwner_ = owner;
        captureOwnerKey_ = std::string(key_);
        captureRoot_ = object ? Json::object() : Json::array();
        captures_.push_back(&captureRoot_);
    }

    Json* captureSlot(Json value)
    {
        Json& parent = *captures_.back();
        if (parent.is_array()) {
            parent.push_back(std::move(value));
            return &parent.back();
        }
        Json& slot = parent[captureKey_];
        slot = std::move(value);
        return &slot;
    }

    bool captureStart(Json value)
    {
        Json* child = captureSlot(std::move(value));
        frames_.push_back(inCapture);
        captures_.push_back(child);
        return true;
    }

    bool captureValue(Json value)
    {
        captureSlot(std::move(value));
        return true;
    }

    void captureEnd()
    {
        captures_.pop_back();
        if (captures_.empty())
            (*captureOwner_)[captureOwnerKey_] = std::move(captureRoot_);
    }

    LocalStore& store_;
    Budget& budget_;
    FreshPagesAhead pages_;  // of the transactions, then of the adjustments
    std::vector<Frame> frames_;
    int depth_ = 0;
    std::string key_;
    uint32_t seenData_ = 0;
    int listKind_ = -1;

    RecordKind kind_ = kindAccount;
    int lastKey_ = -1;
    int recordKey_ = -1;  // the index of the record member being read
    uint32_t seen_ = 0;
    int64_t recordId_ = 0;
    std::string newer_;
    std::optional<Json> unknown_;
    void* record_ = nullptr;  // the record being read, of kind_
    User user_;               // the lists' records are read in place at their ends

    uint32_t seenMeta_ = 0;
    std::optional<Json> unknownTop_;
    std::optional<Json> unknownMeta_;

    Json* captureOwner_ = nullptr;
    std::string captureOwnerKey_;
    std::string captureKey_;
    Json captureRoot_;
    std::vector<Json*> captures_;

    bool shapeTop_ = false;
    std::string shapeFaults_[kListCount];
    std::string userShape_;
    std::string newerFaults_[kListCount + 1];
    std::string metaNewer_;
    bool seqOutOfRange_ = false;
};

// The quick parser's events, handed on.
struct RapidEvents : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, RapidEvents> {
    explicit RapidEvents(DataReader& reader)
        : r(reader)
    {
    }
    bool Null() { return r.scalar(StoredScalar{}); }
    bool Bool(bool b)
    {
        StoredScalar v;
        v.type = StoredScalar::boolean;
        v.b = b;
        return r.scalar(v);
    }
    bool RawNumber(const char* s, rapidjson::SizeType n, bool) { return r.scalar(numberScalar({s, n})); }
    bool String(const char* s, rapidjson::SizeType n, bool)
    {
        StoredScalar v;
        v.type = StoredScalar::text;
        v.s = {s, n};
        return r.scalar(v);
    }
    bool Key(const char* s, rapidjson::SizeType n, bool) { return r.key({s, n}); }
    bool StartObject() { return r.startObject(); }
    bool EndObject(rapidjson::SizeType) { return r.end(); }
    bool StartArray() { return r.startArray(); }
    bool EndArray(rapidjson::SizeType) { return r.end(); }
    DataReader& r;
};

// The same events from a document the slow path parsed.
void replay(const Json& node, DataReader& r)
{
    switch (node.type()) {
    case Json::value_t::object:
        r.startObject();
        for (auto it = node.begin(); it != node.end(); ++it) {
            r.key(it.key());
            replay(it.value(), r);
        }
        r.end();
        return;
    case Json::value_t::array:
        r.startArray();
        for (const Json& item : node)
            replay(item, r);
        r.end();
        return;
    default:
        r.scalar(storedScalar(node));
    }
}

// What a reading sets in the store, so that a second reading starts where the
// first did.
struct StoreStart {
    int64_t nextLocal;
    int32_t nextSeq;
    double lastSync;
    int32_t sentUpTo;

    explicit StoreStart(const LocalStore& store)
        : nextLocal(store.next_local)
        , nextSeq(store.next_seq)
        , lastSync(store.last_sync)
        , sentUpTo(store.sent_up_to)
    {
    }

    void reset(LocalStore& store) const
    {
        store.budget = newBudget();
        store.next_local = nextLocal;
        store.next_seq = nextSeq;
        store.last_sync = lastSync;
        store.sent_up_to = sentUpTo;
        store.etag.clear();
        store.unknown_members = nullptr;
        store.unknown_meta = nullptr;
    }
};

// A file's text as the parser takes it, one piece at a time. The parser
// copies every text it hands on, so a piece may go once it has been read.
class PieceStream {
public:
    using Ch = char;

    explicit PieceStream(FilePieces& file)
        : file_(file)
    {
        load(0);
    }

    [[gnu::always_inline]] Ch Peek() const { return *at_; }
    [[gnu::always_inline]] Ch Take()
    {
        const Ch c = *at_;
        if (at_ + 1 < end_)
            ++at_;
        else if (at_ != end_)
            load(start_ + size_t(end_ - begin_));
        return c;
    }
    size_t Tell() const { return start_ + size_t(at_ - begin_); }

    // The run of plain text characters from here on within the piece (none
    // a quote, a backslash or a control character), short of the piece's
    // last byte, which Take() must pass itself; handed over and passed.
    std::string_view takePlainRun()
    {
        const char* p = at_;
        const char* last = end_ - 1;
#if defined(__SSE2__)
        const __m128i quote = _mm_set1_epi8('"');
        const __m128i backslash = _mm_set1_epi8('\\');
        const __m128i control = _mm_set1_epi8(0x1f);
        for (; last - p >= 16; p += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i stops = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, quote), _mm_cmpeq_epi8(x, backslash)),
                _mm_cmpeq_epi8(_mm_max_epu8(x, control), control));
            if (const unsigned mask = unsigned(_mm_movemask_epi8(stops))) {
                p += __builtin_ctz(mask);
                return pass(p);
            }
        }
#endif
        while (p < last && *p != '"' && *p != '\\' && static_cast<unsigned char>(*p) >= 0x20)
            ++p;
        return pass(p);
    }

    // Whether every byte of the file was taken: the zero the parser stopped
    // at is the one after the file, not one inside it.
    bool atEnd() const { return at_ == end_; }

    // Only a parser that writes into its text calls these.
    Ch* PutBegin()
    {
        RAPIDJSON_ASSERT(false);
        return nullptr;
    }
    void Put(Ch) { RAPIDJSON_ASSERT(false); }
    void Flush() { RAPIDJSON_ASSERT(false); }
    size_t PutEnd(Ch*)
    {
        RAPIDJSON_ASSERT(false);
        return 0;
    }

private:
    std::string_view pass(const char* to)
    {
        const std::string_view run(at_, size_t(to - at_));
        at_ = to;
        return run;
    }

    void load(size_t offset)
    {
        const std::string_view piece = file_.pieceAt(offset);
        start_ = offset;
        begin_ = at_ = piece.data();
        end_ = piece.data() + piece.size();
    }

    FilePieces& file_;
    size_t start_ = 0;  // the file offset of begin_
    const char* begin_ = nullptr;
    const char* at_ = nullptr;
    const char* end_ = nullptr;  // the piece's end, where a zero follows
};

}  // namespace
}  // namespace qm

// The parser copies a text character by character, with several tests for
// each: the plain run of a piece is found sixteen bytes at a time and copied
// at once instead (a budget's texts are mostly short and plain).
template <>
template <>
inline void
rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, rapidjson::CrtAllocator>::ScanCopyUnescapedString(
    qm::PieceStream& is, StackStream<char>& os)
{
    const std::string_view run = is.takePlainRun();
    if (!run.empty())
        std::memcpy(os.Push(rapidjson::SizeType(run.size())), run.data(), run.size());
}

namespace qm {
namespace {

// Gives false when the quick parser refused the text or left it undecided:
// `tookAll` tells whether it stopped at the text's end.
template <unsigned kFlags, typename Stream, typename TookAll>
bool readQuickly(
    LocalStore& store, const StoreStart& start, Stream& stream, const RecordCounts& counts, TookAll tookAll)
{
    start.reset(store);
    DataReader reader(store);
    reader.reserve(counts);
    RapidEvents events(reader);
    rapidjson::Reader parser;
    // Texts are checked by the handler, which sends what the parser's own
    // check would refuse, and more, the slow way. The parser recurses no
    // deeper than the handler's nesting limit, which stops it.
    // It stops at the first zero byte, which must be the text's end.
    if (parser.Parse<kFlags | rapidjson::kParseNumbersAsStringsFlag>(stream, events).IsError() || !tookAll())
        return false;
    reader.finish();
    return true;
}

// Whatever the quick parser refused or left undecided: the document parser
// names a fault of syntax, or reads the text leniently.
void readThroughDocument(LocalStore& store, const StoreStart& start, std::string_view text)
{
    Json doc = parseJson(text);
    start.reset(store);
    DataReader reader(store);
    replay(doc, reader);
    reader.finish();
}

// The text must be followed by a zero byte. It is only read, never changed.
void readZeroEnded(LocalStore& store, std::string_view text)
{
    const StoreStart start(store);
    rapidjson::StringStream stream(text.data());
    if (!readQuickly<rapidjson::kParseDefaultFlags>(
            store, start, stream, countRecords(text), [&] { return stream.Tell() == text.size(); }))
        readThroughDocument(store, start, text);
}

// A piece of 128 KB is read out of the page cache about as fast as a larger
// one, and stays in the cache while the parser goes through it.
constexpr size_t kReadPiece = size_t(128) << 10;

}  // namespace

void readDataText(LocalStore& store, const std::string& text) { readZeroEnded(store, text); }

void readDataFile(LocalStore& store, const std::string& path)
{
    FilePieces file(path, kReadPiece);
    const RecordCounts counts = countRecords(file);
    const StoreStart start(store);
    PieceStream stream(file);
    if (readQuickly<rapidjson::kParseDefaultFlags>(store, start, stream, counts, [&] { return stream.atEnd(); }))
        return;
    // Only a text the quick parser would not decide is held whole, and read
    // from the file already open, so that both readings see the same text.
    std::string text;
    for (std::string_view piece; !(piece = file.pieceAt(text.size())).empty();)
        text.append(piece);
    readThroughDocument(store, start, text);
}

}  // namespace qm
