// Builds the application state over a fake window, runs the main loop for
// a few frames with the stand-in network worker busy, shuts down and
// releases everything, many times in one process. LeakSanitizer fails the
// run on any leak; ThreadSanitizer builds see the worker's stop and join.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "../platform/render/mock_gl.h"
#include "app/main_loop.h"
#include "app/page_table.h"
#include "app/stand_in_pages.h"
#include "platform/platform_window_internal.h"

int main(int argc, char** argv)
{
    int runs = argc > 1 ? std::atoi(argv[1]) : 20;
    std::string root = (std::filesystem::temp_directory_path() / "qm-lifecycle-XXXXXX").string();
    if (!mkdtemp(root.data()))
        return 2;
    setenv("XDG_CONFIG_HOME", (root + "/cfg").c_str(), 1);
    setenv("HOME", root.c_str(), 1);
    setenv("QUENMRK_TEST_FRAMES", "3", 1);
    setenv("QUENMRK_STUB_WORKER", "1", 1);
    setenv("QUENMRK_THEME", "light", 1);
    qm::mockgl::install();
    qm::mockgl::state.recording = false;
    // The loop's own calls, which the renderer's table leaves out.
    qm::glClearColor = [](GLfloat, GLfloat, GLfloat, GLfloat) {};
    qm::glClear = [](GLbitfield) {};
    qm::setPageTable(qm::standInPageTable());
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        qm::PlatformWindowRef platform = qm::newFakePlatformWindow();
        qm::AppWindowRef window = qm::newAppWindowOn(platform, "Quenmark");
        qm::AppStateRef state = qm::newAppState(window);
        if (qm::runMainLoop(*state, qm::readStartSwitches()) != 0)
            ++failures;
        closeWindow(*window);
    }
    std::filesystem::remove_all(root);
    std::printf("%d runs, %d failed\n", runs, failures);
    return failures ? 1 : 0;
}
