#pragma once
// A whole AppState for the frame benchmarks: the driverless GL table, the
// fake window at 1280 by 820, the light theme without the splash, a scratch
// HOME and configuration folder removed afterwards, and the stand-in page
// table with the entries of the pages measured filled in first.
#include "../tests/platform/render/mock_gl.h"

#include "app/app_state.h"
#include "app/page_table.h"
#include "app/stand_in_pages.h"
#include "platform/platform_window_internal.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace qm::bench {

struct BenchApp {
    std::string root;
    AppStateRef state;

    // fill puts the measured pages into the table.
    BenchApp(const char* tag, void (*fill)(PageTable&), int32_t width = 1280, int32_t height = 820)
    {
        root = (std::filesystem::temp_directory_path() / (std::string(tag) + "-XXXXXX")).string();
        if (!mkdtemp(root.data()))
            std::abort();
        setenv("XDG_CONFIG_HOME", (root + "/cfg").c_str(), 1);
        setenv("HOME", root.c_str(), 1);
        setenv("QUENMRK_THEME", "light", 1);
        setenv("QUENMRK_SPLASH", "0", 1);
        mockgl::install();
        mockgl::state.recording = false;
        glClearColor = [](GLfloat, GLfloat, GLfloat, GLfloat) {};
        glClear = [](GLbitfield) {};
        PageTable table = standInPageTable();
        fill(table);
        setPageTable(std::move(table));
        PlatformWindowRef platform = newFakePlatformWindow();
        platform->fake->width = width;
        platform->fake->height = height;
        state = newAppState(newAppWindowOn(platform, "Quenmark"));
    }
    ~BenchApp()
    {
        state.reset();
        std::filesystem::remove_all(root);
    }
    BenchApp(const BenchApp&) = delete;
    BenchApp& operator=(const BenchApp&) = delete;
};

}  // namespace qm::bench
