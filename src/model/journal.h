#pragma once
// The change journal: every change made on this device, kept until the web
// service acknowledges it. Coalescing keeps it short, but never touches an
// operation that a request in flight has already carried.
#include "core/json_fwd.h"

#include <cstdint>
#include <memory>
#include <string>

namespace qm {

struct LocalStore;

enum OpKind : uint8_t {
    opCreate = 0,
    opUpdate = 1,
    opDelete = 2,
};

enum Entity : uint8_t {
    entTransaction = 0,
    entAdjustment = 1,  // a TransactionAdjustment
    entAnchor = 2,      // a RunningTotalAdjustment
    entAccount = 3,
    entCategory = 4,
    entPrefs = 5,  // the User record; icons are never journaled
};

struct JournalOp {
    int32_t seq = 0;
    OpKind op = opDelete;
    Entity entity = entPrefs;
    int64_t id = 0;
    JsonPtr data;   // the record after the change; none for a delete
    double at = 0;  // Unix seconds when recorded or last rewritten
    // Members of the stored change this version does not know, written back
    // as they came; none when there were none.
    JsonPtr unknown_members = nullptr;
};

std::string opKindName(OpKind kind);
std::string entityName(Entity entity);

// Missing, null and mistyped members take their defaults. Raises ValueError
// for a "seq" outside int32, and NewerFormatError for an "op" or "entity"
// this version does not know or a member holding an object or a list.
JournalOp opFromJson(const Json& node);
// The stored form: "seq", "op", "entity", "id", "data", "at".
Json opToJson(const JournalOp& op);

// Records a change and marks the store changed. data is the record's JSON
// after the change; a null document, or none (for a delete), means no data.
void appendOp(LocalStore& store, OpKind kind, Entity entity, int64_t id);
void appendOp(LocalStore& store, OpKind kind, Entity entity, int64_t id, Json data);

// Unix time in seconds, with fraction, from the real-time clock.
double unixNow();

}  // namespace qm
