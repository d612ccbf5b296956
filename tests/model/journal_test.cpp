#include "core/json.h"
#include "model/budget_json.h"
#include "model/journal.h"
#include "model/store.h"

#include "core/errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace qm;

namespace {

enum StepKind { Append, Mark, Clear };

struct Step {
    StepKind what;
    OpKind kind = opCreate;
    Entity entity = entTransaction;
    int64_t id = 0;
};

Step ap(OpKind k, Entity e, int64_t id) { return {Append, k, e, id}; }
const Step mark{Mark};
const Step clear{Clear};

// seq, kind, entity, id and the number of the step whose data the op carries
// (0 for none).
struct Expect {
    int32_t seq;
    OpKind kind;
    Entity entity;
    int64_t id;
    int data;
};

struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<Expect> journal;
    int32_t next_seq;
};

// Every append carries its step number as data, so the table shows which
// change an op ended up carrying.
void run(LocalStore& s, const std::vector<Step>& steps)
{
    int n = 0;
    for (const Step& st : steps) {
        ++n;
        if (st.what == Mark)
            markSent(s);
        else if (st.what == Clear)
            clearSentMark(s);
        else
            appendOp(s, st.kind, st.entity, st.id, st.kind == opDelete ? Json(nullptr) : Json(n));
    }
}

// What the sync client does once a reply is applied: drop the ops the
// request carried.
void acknowledge(LocalStore& s)
{
    std::erase_if(s.journal, [&](const JournalOp& op) { return op.seq <= s.sent_up_to; });
    clearSentMark(s);
}

}  // namespace

TEST(Journal, AppendCoalescesUnlessTheOpIsInFlight)
{
    const Case cases[] = {
        {"update rewrites pending create", {ap(opCreate, entAccount, -5), ap(opUpdate, entAccount, -5)},
            {{1, opCreate, entAccount, -5, 2}}, 2},
        {"local create, update, delete leave nothing",
            {ap(opCreate, entTransaction, -2), ap(opUpdate, entTransaction, -2), ap(opDelete, entTransaction, -2)}, {},
            2},
        {"delete of server record is appended", {ap(opUpdate, entCategory, 42), ap(opDelete, entCategory, 42)},
            {{1, opUpdate, entCategory, 42, 1}, {2, opDelete, entCategory, 42, 0}}, 3},
        {"delete of acknowledged local create is appended",
            {ap(opUpdate, entTransaction, -9), ap(opDelete, entTransaction, -9)},
            {{1, opUpdate, entTransaction, -9, 1}, {2, opDelete, entTransaction, -9, 0}}, 3},
        {"prefs updates merge", {ap(opUpdate, entPrefs, 0), ap(opUpdate, entPrefs, 0)}, {{1, opUpdate, entPrefs, 0, 2}},
            2},
        {"only the deleted record's ops go",
            {ap(opCreate, entTransaction, -1), ap(opCreate, entTransaction, -2), ap(opUpdate, entTransaction, -1),
                ap(opDelete, entTransaction, -1)},
            {{2, opCreate, entTransaction, -2, 2}}, 3},
        {"same id of another entity is another record",
            {ap(opCreate, entAccount, -1), ap(opUpdate, entCategory, -1), ap(opDelete, entCategory, -1)},
            {{1, opCreate, entAccount, -1, 1}, {2, opUpdate, entCategory, -1, 2}, {3, opDelete, entCategory, -1, 0}},
            4},
        {"create then delete of server id keeps both", {ap(opCreate, entAnchor, 7), ap(opDelete, entAnchor, 7)},
            {{1, opCreate, entAnchor, 7, 1}, {2, opDelete, entAnchor, 7, 0}}, 3},
        // A request in flight carries every op up to the mark.
        {"update after sent create is appended",
            {ap(opCreate, entTransaction, -1), mark, ap(opUpdate, entTransaction, -1)},
            {{1, opCreate, entTransaction, -1, 1}, {2, opUpdate, entTransaction, -1, 3}}, 3},
        {"unsent update is still rewritten",
            {ap(opCreate, entTransaction, -1), mark, ap(opUpdate, entTransaction, -1),
                ap(opUpdate, entTransaction, -1)},
            {{1, opCreate, entTransaction, -1, 1}, {2, opUpdate, entTransaction, -1, 4}}, 3},
        {"delete after sent create is appended",
            {ap(opCreate, entTransaction, -1), ap(opUpdate, entTransaction, -1), mark,
                ap(opDelete, entTransaction, -1)},
            {{1, opCreate, entTransaction, -1, 2}, {2, opDelete, entTransaction, -1, 0}}, 3},
        {"delete drops only unsent ops of a sent record",
            {ap(opCreate, entTransaction, -1), mark, ap(opUpdate, entTransaction, -1),
                ap(opDelete, entTransaction, -1)},
            {{1, opCreate, entTransaction, -1, 1}, {3, opDelete, entTransaction, -1, 0}}, 4},
        {"record created after the mark still vanishes",
            {ap(opCreate, entTransaction, -1), mark, ap(opCreate, entTransaction, -2),
                ap(opDelete, entTransaction, -2)},
            {{1, opCreate, entTransaction, -1, 1}}, 3},
        {"sent prefs update is not rewritten", {ap(opUpdate, entPrefs, 0), mark, ap(opUpdate, entPrefs, 0)},
            {{1, opUpdate, entPrefs, 0, 1}, {2, opUpdate, entPrefs, 0, 3}}, 3},
        {"cleared mark coalesces again",
            {ap(opCreate, entTransaction, -1), mark, clear, ap(opUpdate, entTransaction, -1)},
            {{1, opCreate, entTransaction, -1, 4}}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalStorePtr s = newLocalStore("");
        run(*s, c.steps);
        ASSERT_EQ(s->journal.size(), c.journal.size());
        for (size_t i = 0; i < c.journal.size(); ++i) {
            const JournalOp& op = s->journal[i];
            const Expect& e = c.journal[i];
            EXPECT_EQ(op.seq, e.seq) << i;
            EXPECT_EQ(op.op, e.kind) << i;
            EXPECT_EQ(op.entity, e.entity) << i;
            EXPECT_EQ(op.id, e.id) << i;
            if (e.data)
                EXPECT_TRUE(op.data && *op.data == Json(e.data)) << i;
            else
                EXPECT_FALSE(op.data) << i;
            EXPECT_GT(op.at, 1.6e9) << i;
        }
        EXPECT_EQ(s->next_seq, c.next_seq);
        auto appends = std::count_if(c.steps.begin(), c.steps.end(), [](const Step& st) { return st.what == Append; });
        EXPECT_EQ(s->change_count, appends);
        EXPECT_TRUE(s->dirty || appends == 0);
    }
}

TEST(Journal, EditsMadeInFlightSurviveTheAcknowledgement)
{
    LocalStorePtr s = newLocalStore("");
    appendOp(*s, opCreate, entTransaction, -1, Json("first"));
    appendOp(*s, opCreate, entTransaction, -2, Json("second"));
    ASSERT_EQ(markSent(*s), 2);
    appendOp(*s, opUpdate, entTransaction, -1, Json("edited"));
    appendOp(*s, opDelete, entTransaction, -2);
    acknowledge(*s);
    ASSERT_EQ(s->journal.size(), 2u);
    EXPECT_EQ(s->journal[0].op, opUpdate);
    EXPECT_EQ(s->journal[0].id, -1);
    EXPECT_EQ(*s->journal[0].data, Json("edited"));
    EXPECT_EQ(s->journal[1].op, opDelete);
    EXPECT_EQ(s->journal[1].id, -2);
    // With nothing in flight the survivors coalesce as usual.
    appendOp(*s, opUpdate, entTransaction, -1, Json("again"));
    EXPECT_EQ(s->journal.size(), 2u);
    EXPECT_EQ(*s->journal[0].data, Json("again"));
}

TEST(Journal, TextForms)
{
    const char* kinds[] = {"create", "update", "delete", ""};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(opKindName(OpKind(k)), kinds[k]);
    const char* entities[] = {"transaction", "adjustment", "anchor", "account", "category", "prefs", ""};
    for (int e = 0; e < 7; ++e)
        EXPECT_EQ(entityName(Entity(e)), entities[e]);
}

TEST(Journal, ReadsStoredOpsWithDefaults)
{
    struct Row {
        const char* text;
        int32_t seq;
        OpKind op;
        Entity entity;
        int64_t id;
        double at;
        const char* data;  // nullptr: none
    };
    const Row rows[] = {
        {R"({"seq":3,"op":"create","entity":"account","id":-5,"data":{"a":1},"at":12.5})", 3, opCreate, entAccount, -5,
            12.5, R"({"a":1})"},
        {R"({"op":"update","entity":"adjustment","at":7,"data":[1]})", 0, opUpdate, entAdjustment, 0, 7, "[1]"},
        {R"({"op":7,"entity":false,"id":"4","seq":1.0,"data":null,"at":"1"})", 0, opDelete, entPrefs, 0, 0, nullptr},
        {R"({"seq":-2147483648,"id":9223372036854775807,"entity":"category","data":false})", INT32_MIN, opDelete,
            entCategory, INT64_MAX, 0, "false"},
        {R"({"entity":"anchor","op":"delete","id":18446744073709551615})", 0, opDelete, entAnchor, 0, 0, nullptr},
        {"[1,2]", 0, opDelete, entPrefs, 0, 0, nullptr},
        {"null", 0, opDelete, entPrefs, 0, 0, nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        JournalOp op = opFromJson(parseJson(r.text));
        EXPECT_EQ(op.seq, r.seq);
        EXPECT_EQ(op.op, r.op);
        EXPECT_EQ(op.entity, r.entity);
        EXPECT_EQ(op.id, r.id);
        EXPECT_EQ(op.at, r.at);
        if (r.data)
            EXPECT_TRUE(op.data && *op.data == parseJson(r.data));
        else
            EXPECT_FALSE(op.data);
    }
    for (const char* bad : {R"({"seq":2147483648})", R"({"seq":-2147483649})", R"({"seq":18446744073709551615})"})
        EXPECT_THROW(opFromJson(parseJson(bad)), ValueError) << bad;
    // A newer version's change is refused, never read as some other change.
    for (const char* newer : {R"({"op":"archive","entity":"goal"})", R"({"op":"archive","entity":"transaction"})",
             R"({"op":"create","entity":"goal"})", R"({"op":"Create","entity":"transaction"})",
             R"({"op":"create","entity":"Transaction"})", R"({"op":"","entity":"account"})", R"({"seq":{"n":1}})",
             R"({"id":[4]})", R"({"at":{}})", R"({"op":["create"]})", R"({"entity":{"name":"goal"}})"})
        EXPECT_THROW(opFromJson(parseJson(newer)), NewerFormatError) << newer;
}

TEST(Journal, StoredFormKeepsKeyOrderAndRoundTrips)
{
    for (const char* text : {R"({"seq":3,"op":"create","entity":"account","id":-5,"data":{"z":1,"a":2},"at":12.5})",
             R"({"seq":4,"op":"delete","entity":"prefs","id":0,"data":null,"at":0.0})",
             R"({"seq":5,"op":"update","entity":"category","id":2,"data":{},"at":1.0,"device":{"n":[1]},"v":2})"}) {
        EXPECT_EQ(dumpJson(opToJson(opFromJson(parseJson(text)))), text);
    }
}

TEST(Journal, SeqOverflowRaisesWithoutAppending)
{
    LocalStorePtr s = newLocalStore("");
    s->next_seq = INT32_MAX;
    EXPECT_THROW(appendOp(*s, opCreate, entAccount, -1, Json(1)), ValueError);
    EXPECT_TRUE(s->journal.empty());
    s->next_seq = INT32_MAX - 1;
    appendOp(*s, opCreate, entAccount, -1, Json(1));
    EXPECT_EQ(s->journal.back().seq, INT32_MAX - 1);
}
