// The terms page over the headless AppState: when it is due, what it says,
// its tabs and "I agree", a help book without the texts, and the line the
// account page shows after acceptance.
#include <gtest/gtest.h>

#include <ctime>

#include "app/app_harness.h"
#include "app/app_text_internal.h"
#include "app/page_table.h"
#include "core/files.h"
#include "pages/help/help_view.h"
#include "pages/welcome/terms.h"

namespace qm {
namespace {

using testing::AppHarness;
using testing::writeText;

class TermsPage : public ::testing::Test {
protected:
    AppHarness h;
    std::vector<std::string> texts;

    TermsPage()
    {
        for (const char* name : {"QUENMRK_DEMO", "QUENMRK_SHOT", "QUENMRK_EXPORT", "QUENMRK_TEST_AUTH",
                 "QUENMRK_TEST_FRAMES", "QUENMRK_PAGE", "QUENMRK_HELP"})
            h.env.set(name, std::nullopt);
        PageTable table;
        table.decideLegalPage = decideLegalPage;
        table.drawLegalPage = drawLegalPage;
        setPageTable(table);
        setTextDrawLog([this](std::string_view text, const Rect&, double, Color) { texts.emplace_back(text); });
    }
    ~TermsPage() override
    {
        setTextDrawLog({});
        h.state.reset();
        setPageTable({});
    }

    void settings(const std::string& stamp)
    {
        writeText(h.configDir() + "/settings.json", "{\"legalAccepted\": \"" + stamp + "\", \"legalAcceptedAt\": 5.0}");
    }
    bool drew(const std::string& text) { return std::find(texts.begin(), texts.end(), text) != texts.end(); }
    const WidgetRecord* find(const std::string& id) { return h.widget(id); }
    void click(const std::string& id) { ASSERT_TRUE(h.clickWidget(id)) << id; }
    void begin()
    {
        h.start();
        h->ui->recorder = std::make_unique<WidgetRecorder>();
        h.frames(2);
    }
    int32_t page() { return helpSectionPage(*sharedHelpBook(*h), helpView(*h).currentSection).value_or(-1); }
};

TEST_F(TermsPage, WhenDue)
{
    struct Case {
        const char* name;
        const char* stamp;
        const char* variable;
        const char* value;
        bool due;
        const char* title;
    };
    const Case cases[] = {
        {"no stamp", nullptr, nullptr, nullptr, true, "Welcome to Quenmark"},
        {"this stamp", "1.1.0|2026-11-03", nullptr, nullptr, false, nullptr},
        {"a day older", "1.1.0|2026-11-02", nullptr, nullptr, true, "Updated to version 1.1.0"},
        {"demo without a stamp", nullptr, "QUENMRK_DEMO", "1", false, nullptr},
        {"export without a stamp", nullptr, "QUENMRK_EXPORT", "pdf:/x", false, nullptr},
        {"empty demo switch", nullptr, "QUENMRK_DEMO", "", true, "Welcome to Quenmark"},
        {"asked for, with the stamp", "1.1.0|2026-11-03", "QUENMRK_PAGE", "legal", true, "Updated to version 1.1.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        h.state.reset();
        std::remove((h.configDir() + "/settings.json").c_str());
        if (c.stamp)
            settings(c.stamp);
        for (const char* name : {"QUENMRK_DEMO", "QUENMRK_EXPORT", "QUENMRK_PAGE"})
            h.env.set(name, std::nullopt);
        if (c.variable)
            h.env.set(c.variable, std::string(c.value));
        texts.clear();
        begin();
        EXPECT_EQ(h->termsDue, c.due);
        if (c.title) {
            EXPECT_TRUE(drew(c.title));
        }
        EXPECT_EQ(find("legal-agree") != nullptr, c.due);
    }
}

TEST_F(TermsPage, TabsLinkAndAgreeing)
{
    begin();
    ASSERT_TRUE(h->termsDue);
    std::shared_ptr<HelpBook> book = sharedHelpBook(*h);
    int32_t termsPage = *helpSectionPage(*book, findHelpAnchor(*book, "terms"));
    int32_t privacyPage = *helpSectionPage(*book, findHelpAnchor(*book, "privacy"));
    EXPECT_EQ(page(), termsPage);
    EXPECT_TRUE(drew("Please read the Terms of Use and the Privacy Policy and accept them to start."));
    EXPECT_TRUE(find("legal-web"));
    click("legal-tab#1");
    EXPECT_EQ(page(), privacyPage);
    click("legal-tab#0");
    EXPECT_EQ(page(), termsPage);
    helpView(*h).backStack = {1, 2};

    click("legal-agree");
    EXPECT_FALSE(h->termsDue);
    EXPECT_EQ(h->settings.legalAccepted, "1.1.0|2026-11-03");
    EXPECT_GT(h->settings.legalAcceptedAt, 1.7e9);
    EXPECT_EQ(helpView(*h).currentSection, 0);
    EXPECT_TRUE(helpView(*h).backStack.empty());
    std::string saved = readFile(h.configDir() + "/settings.json");
    EXPECT_NE(saved.find("\"legalAccepted\": \"1.1.0|2026-11-03\""), std::string::npos) << saved;
}

TEST_F(TermsPage, NarrowWindowLeavesOutTheWebButton)
{
    AppHarness narrow(300, 600);
    for (const char* name : {"QUENMRK_DEMO", "QUENMRK_SHOT", "QUENMRK_TEST_FRAMES", "QUENMRK_PAGE", "QUENMRK_HELP"})
        narrow.env.set(name, std::nullopt);
    narrow.start();
    narrow->ui->recorder = std::make_unique<WidgetRecorder>();
    narrow.frames(2);
    ASSERT_TRUE(narrow->termsDue);
    EXPECT_TRUE(narrow.widget("legal-agree"));
    EXPECT_FALSE(narrow.widget("legal-web"));
}

TEST_F(TermsPage, ABookWithoutTheTextsSkipsThePageAndStoresNothing)
{
    writeText(h.dir / "help/01-start.md", "# Start {#start}\n\nNo terms here.\n");
    h.env.set("QUENMRK_HELP", h.dir / "help");
    settings("0.9.0|2025-01-01");
    begin();
    EXPECT_FALSE(h->termsDue);
    EXPECT_EQ(h->settings.legalAccepted, "0.9.0|2025-01-01");
    EXPECT_FALSE(find("legal-agree"));
    EXPECT_NE(readFile(h.configDir() + "/settings.json").find("0.9.0|2025-01-01"), std::string::npos);
}

TEST(TermsLabel, AcceptedLine)
{
    testing::ScopedEnv env;
    env.set("TZ", "UTC");
    ::tzset();
    testing::AppHarness h;
    h.start();
    struct Case {
        const char* stamp;
        double at;
        const char* label;
    };
    const Case cases[] = {
        {"1.1.0|2026-11-03", 1793700000.0, "You accepted them on 3 November 2026, in version 1.1.0."},
        {"1.2.0-rc1|2027-01-05", 1799000000.0, "You accepted them on 3 January 2027, in version 1.2.0 RC1."},
        {"", 1793700000.0, ""},
        {"1.1.0|2026-11-03", 0.0, ""},
    };
    for (const Case& c : cases) {
        h->settings.legalAccepted = c.stamp;
        h->settings.legalAcceptedAt = c.at;
        EXPECT_EQ(legalAcceptedLabel(*h), c.label) << c.stamp;
    }
    env.set("TZ", std::nullopt);
    ::tzset();
}

}  // namespace
}  // namespace qm
