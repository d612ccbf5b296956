#include "platform/render/gl_entry_points.h"

#include "core/errors.h"
#include "mock_gl.h"
#include "platform/render/renderer.h"

#include <gtest/gtest.h>

#include <set>

namespace qm {
namespace {

GlProc fakeAddress(const char* name)
{
    // Any distinct non-null value: nothing calls through these.
    return reinterpret_cast<GlProc>(reinterpret_cast<uintptr_t>(name) | 1);
}

TEST(GlEntryPoints, UnknownNamesStayEmptyAndAreListedInOrder)
{
    const std::set<std::string> known = {"glGetString", "glDrawArrays", "glBlitFramebuffer", "glViewport"};
    std::vector<std::string> missing =
        loadGlEntryPoints([&](const char* name) { return known.count(name) ? fakeAddress(name) : nullptr; });

    const std::vector<GlEntryPoint>& list = glEntryList();
    ASSERT_EQ(list.size(), 127u);
    EXPECT_EQ(list.front().name, "glGetString");
    EXPECT_EQ(list.back().name, "glBlitFramebuffer");
    std::vector<std::string> expected;
    for (const GlEntryPoint& e : list)
        if (!known.count(e.name))
            expected.push_back(e.name);
    EXPECT_EQ(missing, expected);
    EXPECT_NE(glGetString, nullptr);
    EXPECT_NE(glDrawArrays, nullptr);
    EXPECT_EQ(glClear, nullptr);
    EXPECT_EQ(glTexImage2D, nullptr);

    // A second load overwrites every slot, emptying those it cannot resolve.
    missing = loadGlEntryPoints(
        [](const char* name) { return std::string(name) == "glClear" ? fakeAddress(name) : nullptr; });
    EXPECT_EQ(missing.size(), 126u);
    EXPECT_EQ(glGetString, nullptr);
    EXPECT_EQ(glDrawArrays, nullptr);
    EXPECT_NE(glClear, nullptr);
    mockgl::install();
}

TEST(GlEntryPoints, RendererRefusesToStartWithoutAFunctionItCalls)
{
    mockgl::reset();
    loadGlEntryPoints([](const char* name) -> GlProc {
        if (std::string(name) == "glBufferData")
            return nullptr;
        auto it = mockgl::functions().find(name);
        return it == mockgl::functions().end() ? nullptr : it->second;
    });
    try {
        newRenderer();
        FAIL() << "expected ValueError";
    } catch (const ValueError& e) {
        EXPECT_NE(std::string(e.what()).find("glBufferData"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(mockgl::state.calls.empty()) << "nothing may be called before the check";
    mockgl::install();
}

}  // namespace
}  // namespace qm
