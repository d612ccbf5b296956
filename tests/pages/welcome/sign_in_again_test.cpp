// A sign-in the service ended during a sync lands on the welcome page, whose
// password field then takes what the user types.
#include <gtest/gtest.h>

#include "app/page_table.h"
#include "net/sync_helpers.h"
#include "pages/welcome/welcome_page.h"
#include "platform/keys.h"

namespace qm::test {
namespace {

class SignInAgain : public SyncTest {
protected:
    SignInAgain()
    {
        PageTable table = pageTable();
        table.drawWelcomePage = drawWelcomePage;
        setPageTable(table);
    }
};

TEST_F(SignInAgain, AfterAnEndedSignInThePasswordTypedSignsIn)
{
    begin();
    service.control("revoke", {{"email", "ann@example.test"}});
    ASSERT_TRUE(syncNow());
    ASSERT_EQ(h->page, pageWelcome);
    // The password field holds the keyboard: what is typed there signs in.
    WindowEvent typed;
    typed.kind = weText;
    typed.codepoint = 'x';
    h.feed(typed);
    h.frame();
    h.key(keyEnter);
    h.frame();
    EXPECT_EQ(h->request.kind, akLogin);
    EXPECT_EQ(h->request.fields.email, "ann@example.test");
    EXPECT_EQ(h->request.fields.password, "x");
}

}  // namespace
}  // namespace qm::test
