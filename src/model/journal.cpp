#include "model/journal.h"

#include "core/errors.h"
#include "model/budget.h"
#include "model/budget_json.h"
#include "model/projection.h"
#include "model/store.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace qm {

namespace {

constexpr const char* opKindNames[] = {"create", "update", "delete"};
constexpr const char* entityNames[] = {"transaction", "adjustment", "anchor", "account", "category", "prefs"};

bool sameRecord(const JournalOp& op, Entity entity, int64_t id) { return op.entity == entity && op.id == id; }

// Where the member's text stands among the names this version knows. A
// missing or mistyped member keeps its default, as it always has; a name
// that is there but unknown is a newer version's.
template <size_t N>
uint8_t nameIndex(const Json& node, const char* key, const char* const (&names)[N], uint8_t fallback, const char* what)
{
    auto it = node.find(key);
    if (it == node.end() || !it->is_string())
        return fallback;
    const std::string& name = it->get_ref<const std::string&>();
    auto known = std::find(std::begin(names), std::end(names), name);
    if (known == std::end(names))
        throw NewerFormatError(std::string("a change of the unknown ") + what + " \"" + name + "\"");
    return uint8_t(known - std::begin(names));
}

}  // namespace

double unixNow()
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::string opKindName(OpKind kind) { return kind <= opDelete ? opKindNames[kind] : ""; }

std::string entityName(Entity entity) { return entity <= entPrefs ? entityNames[entity] : ""; }

JournalOp opFromJson(const Json& node)
{
    JournalOp op;
    if (!node.is_object())
        return op;
    // Read as defaults, these would turn a newer version's change into a
    // different one that the next sync sends.
    for (auto it = node.begin(); it != node.end(); ++it) {
        const std::string& key = it.key();
        if (key == "data")
            continue;
        bool known = key == "seq" || key == "op" || key == "entity" || key == "id" || key == "at";
        if (!known) {
            Json unknown = op.unknown_members ? *op.unknown_members : Json::object();
            unknown[key] = it.value();
            op.unknown_members = std::make_shared<const Json>(std::move(unknown));
        } else if (it->is_structured()) {
            throw NewerFormatError("\"" + key + "\" of a change holds " + (it->is_object() ? "an object" : "a list"));
        }
    }
    auto seq = node.find("seq");
    if (seq != node.end() && seq->is_number_integer()) {
        bool fits = seq->is_number_unsigned() ? seq->get<uint64_t>() <= uint64_t(std::numeric_limits<int32_t>::max())
                                              : seq->get<int64_t>() >= std::numeric_limits<int32_t>::min()
                && seq->get<int64_t>() <= std::numeric_limits<int32_t>::max();
        if (!fits)
            throw ValueError("journal op seq out of range");
        op.seq = int32_t(seq->get<int64_t>());
    }
    op.id = jsonInt(node, "id");
    auto at = node.find("at");
    if (at != node.end() && at->is_number())
        op.at = jsonFloat(node, "at");
    auto data = node.find("data");
    if (data != node.end() && !data->is_null())
        op.data = std::make_shared<const Json>(*data);
    op.op = OpKind(nameIndex(node, "op", opKindNames, opDelete, "kind"));
    op.entity = Entity(nameIndex(node, "entity", entityNames, entPrefs, "record kind"));
    return op;
}

Json opToJson(const JournalOp& op)
{
    Json j = Json::object();
    j["seq"] = op.seq;
    j["op"] = opKindName(op.op);
    j["entity"] = entityName(op.entity);
    j["id"] = op.id;
    j["data"] = op.data ? *op.data : Json(nullptr);
    j["at"] = op.at;
    if (op.unknown_members)
        for (auto it = op.unknown_members->begin(); it != op.unknown_members->end(); ++it)
            if (!j.contains(it.key()))
                j[it.key()] = it.value();
    return j;
}

void appendOp(LocalStore& store, OpKind kind, Entity entity, int64_t id)
{
    appendOp(store, kind, entity, id, Json(nullptr));
}

void appendOp(LocalStore& store, OpKind kind, Entity entity, int64_t id, Json json)
{
    JsonPtr data = json.is_null() ? nullptr : std::make_shared<const Json>(std::move(json));
    // The projection follows the change from the note.
    auto changed = [&] {
        markDirty(store);
        noteChange(store, kind, entity, id);
    };
    auto& journal = store.journal;
    // Ops up to this seq belong to a request in flight: the service will apply
    // them as sent, so they are neither rewritten nor dropped.
    auto unsent = [&](const JournalOp& op) { return store.sent_up_to == 0 || op.seq > store.sent_up_to; };

    if (kind == opDelete && id < 0) {
        auto create = std::find_if(journal.begin(), journal.end(),
            [&](const JournalOp& op) { return sameRecord(op, entity, id) && op.op == opCreate; });
        if (create != journal.end()) {
            bool createSent = !unsent(*create);
            std::erase_if(journal, [&](const JournalOp& op) { return sameRecord(op, entity, id) && unsent(op); });
            if (!createSent) {
                // The service never heard of the record: nothing to send.
                changed();
                return;
            }
        }
    } else if (kind == opUpdate) {
        auto pending = std::find_if(journal.begin(), journal.end(), [&](const JournalOp& op) {
            return sameRecord(op, entity, id) && (op.op == opCreate || op.op == opUpdate) && unsent(op);
        });
        if (pending != journal.end()) {
            pending->data = std::move(data);
            pending->at = unixNow();
            changed();
            return;
        }
    }
    if (store.next_seq == std::numeric_limits<int32_t>::max())
        throw ValueError("journal seq overflow");
    journal.push_back(JournalOp{store.next_seq, kind, entity, id, std::move(data), unixNow()});
    ++store.next_seq;
    changed();
}
}  // namespace qm
