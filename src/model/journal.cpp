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
    std::string kind = jsonStr(node, "op");
    op.op = kind == "create" ? opCreate : kind == "update" ? opUpdate : opDelete;
    std::string entity = jsonStr(node, "entity");
    op.entity = entPrefs;
    for (uint8_t e = entTransaction; e < entPrefs; ++e)
        if (entity == entityNames[e])
            op.entity = Entity(e);
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
