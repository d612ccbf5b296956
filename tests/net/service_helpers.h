#pragma once
// The functional test service (tests/oracles/_https_service.py functional)
// for GoogleTest, through the same fixture the Python drivers use
// (tests/oracles/_service_fixture.py): it starts the service on port 0 in a
// new temporary folder and stops it (SIGTERM, SIGKILL after 5 s, folder
// removed) when this object closes its standard input. A test that failed
// gets the service's stderr printed first.
#include <string>
#include <vector>

#include "core/json.h"

namespace qm::test {

class TestService {
public:
    TestService();  // fails the test (fatally) when the service does not start in 10 s
    ~TestService();
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    const std::string& base() const { return m_base; }
    std::string caBundle() const { return m_folder + "/main-ca.pem"; }
    // A call under /_test/; raises when it does not answer 200 with JSON.
    Json control(const std::string& name, const Json& body = Json::object()) const;
    // The logged calls below /api/v1/ with that path ("" for all); `clear`
    // empties the log after reading it.
    std::vector<Json> requests(const std::string& path = "", bool clear = false) const;
    std::string stderrText() const;

private:
    std::string m_folder;
    std::string m_base;
    int m_pid = -1;         // the fixture
    int m_servicePid = -1;  // the service it started
    int m_input = -1;       // the fixture's standard input; closing it ends the service
};

}  // namespace qm::test
