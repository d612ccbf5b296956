// The stored form of every member, written out by hand: the text writer and
// the document writer both follow one table per record, so comparing the two
// no longer shows a member given the wrong name or rule. Each case is read by
// both readers and must be written back byte for byte.
#include "core/json.h"
#include "model/budget_json.h"
#include "model/store.h"
#include "model/store_text_internal.h"

#include <gtest/gtest.h>

using namespace qm;

namespace {

TEST(RecordFields, EveryMemberKeepsItsNameAndForm)
{
    struct Case {
        const char* name;
        std::string budget;  // data.json without its meta
    };
    // clang-format off
    const Case cases[] = {
        {"every member set",
            R"({"accounts":[{"id":1,"name":"Checking","account_type":"checking","color":"#112233",)"
            R"("display_order":2,"mask":"1234"}],)"
            R"("categories":[{"id":2,"name":"Food","color":"#445566","hidden":true,"icon_id":3}],)"
            R"("icons":[{"id":3,"name":"Cart","url":"builtin:cart","is_default":true}],)"
            R"("transactions":[{"id":4,"start_date":"2024-01-05","end_date":"2024-12-05","amount":-12.5,)"
            R"("description":"Rent","category":"Food","account":"Checking","transfer_to_account":"Savings",)"
            R"("is_recurring":true,"recurring_period":"nth_1_months","pay_on_business_day":true,"pay_early":true,)"
            R"("icon_id":3,"is_adjustment":true,"is_demo":true}],)"
            R"("transaction_adjustments":[{"id":5,"transaction_id":4,"original_date":"2024-02-05",)"
            R"("new_date":"2024-02-06","amount":-13.0,"is_paid":true,"is_deleted":true,"is_demo":true}],)"
            R"("running_total_adjustments":[{"id":6,"account_id":1,"date":"2024-03-01","amount":100.25,)"
            R"("is_demo":true}],)"
            R"("user":{"selected_account_id":1,"default_account_id":7,"theme_preference":"dark",)"
            R"("has_completed_tour":true,"first_name":"Ada","last_name":"Byron","email":"ada@example.test",)"
            R"("calendar_token":"tok","two_factor_enabled":true,"pending_email":"new@example.test",)"
            R"("is_verified":true,"avatar":"data:x","gravatar_hash":"abc"})"},
        {"every member at its default",
            R"({"accounts":[{"id":0,"name":"","account_type":null,"color":null,"display_order":null,"mask":null}],)"
            R"("categories":[{"id":0,"name":"","color":null,"hidden":false,"icon_id":null}],)"
            R"("icons":[{"id":0,"name":"","url":"","is_default":false}],)"
            R"("transactions":[{"id":0,"start_date":"0000-00-00","end_date":null,"amount":0.0,"description":"",)"
            R"("category":null,"account":null,"transfer_to_account":null,"is_recurring":false,)"
            R"("recurring_period":null,"pay_on_business_day":false,"pay_early":false,"icon_id":null,)"
            R"("is_adjustment":false,"is_demo":false}],)"
            R"("transaction_adjustments":[{"id":0,"transaction_id":0,"original_date":"0000-00-00",)"
            R"("new_date":"0000-00-00","amount":null,"is_paid":false,"is_deleted":false,"is_demo":false}],)"
            R"("running_total_adjustments":[{"id":0,"account_id":null,"date":"0000-00-00","amount":0.0,)"
            R"("is_demo":false}],)"
            R"("user":{"selected_account_id":null,"default_account_id":null,"theme_preference":"system",)"
            R"("has_completed_tour":false,"first_name":null,"last_name":null,"email":"","calendar_token":null,)"
            R"("two_factor_enabled":false,"pending_email":null,"is_verified":false,"avatar":null,)"
            R"("gravatar_hash":null})"},
    };
    // clang-format on
    const std::string meta = R"(,"meta":{"next_local":-8,"next_seq":9,"last_sync":0.5,"etag":"e"}})";
    for (const Case& c : cases) {
        const std::string data = c.budget + meta;
        LocalStorePtr store = newLocalStore("");
        readDataText(*store, data);
        std::string written;
        appendDataText(written, *store);
        EXPECT_EQ(written, data) << c.name;
        EXPECT_EQ(dumpJson(budgetToJson(*budgetFromJson(parseJson(c.budget + "}")))), c.budget + "}") << c.name;
    }
}

}  // namespace
