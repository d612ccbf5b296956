#include "app/start_switches.h"

#include "app/app_state.h"

namespace qm {

namespace {

std::optional<uint8_t> pageFromSwitch(const std::string& value)
{
    static const std::pair<const char*, uint8_t> pages[] = {{"calendar", pageCalendar}, {"search", pageSearch},
        {"reports", pageReports}, {"import", pageImport}, {"help", pageHelp}, {"account", pageAccount},
        {"sync", pageAccount}, {"welcome", pageWelcome}};
    for (const auto& [name, page] : pages)
        if (value == name)
            return page;
    return std::nullopt;
}

std::optional<uint8_t> viewFromSwitch(const std::string& value)
{
    static const std::pair<const char*, uint8_t> views[] = {{"month", viewMonth}, {"week", viewWeek}, {"day", viewDay}};
    for (const auto& [name, view] : views)
        if (value == name)
            return view;
    return std::nullopt;
}

}  // namespace

StartSwitches readStartSwitches(const EnvReader& reader)
{
    const EnvReader& env = reader ? reader : EnvReader(processEnv);
    auto get = [&](const char* name) { return env(name).value_or(""); };
    StartSwitches s;
    s.automation = readAutomationSwitches(env);
    s.backend = get("QUENMRK_BACKEND");
    s.page = pageFromSwitch(get("QUENMRK_PAGE"));
    s.view = viewFromSwitch(get("QUENMRK_VIEW"));
    if (std::string welcome = get("QUENMRK_WELCOME"); !welcome.empty())
        s.welcomeMode = parseWholeNumber(welcome).value_or(0);
    if (std::string tour = get("QUENMRK_TOUR"); !tour.empty()) {
        std::optional<int32_t> step = parseWholeNumber(tour);
        s.tourStep = step && *step >= 0 ? *step : 0;
    }
    std::string exportFile = get("QUENMRK_EXPORT");
    if (size_t colon = exportFile.find(':'); colon != std::string::npos)
        s.exportFile = ExportSwitch{exportFile.substr(0, colon), exportFile.substr(colon + 1)};
    s.demo = !get("QUENMRK_DEMO").empty();
    s.testAuth = get("QUENMRK_TEST_AUTH");
    s.testEmail = get("QUENMRK_TEST_EMAIL");
    s.testPassword = get("QUENMRK_TEST_PASSWORD");
    s.testAvatar = get("QUENMRK_TEST_AVATAR");
    s.open = get("QUENMRK_OPEN");
    s.widgetListPath = get("QUENMRK_TEST_WIDGETS");
    s.listTexts = !get("QUENMRK_TEST_TEXTS").empty();
    return s;
}

}  // namespace qm
