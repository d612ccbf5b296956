// The program as shipped, except that its updater trusts the tests' release
// key (made by the build, see tests/net/update_test_key.cmake) instead of
// the real one: the window tests install updates the test service signed.
#include <optional>
#include <string>
#include <vector>

#include "core/base64.h"
#include "net/updater_internal.h"

// The shipped main, filling the page table exactly as the program does.
#define main shippedMain
#include "main.cpp"
#undef main

int main()
{
    std::optional<std::string> key = qm::decodeBase64(QM_TEST_UPDATE_KEY);
    qm::setDefaultUpdateKeys(std::vector<std::string>{key.value_or("")});
    return shippedMain();
}
