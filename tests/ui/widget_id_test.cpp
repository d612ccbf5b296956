#include "ui/farmhash.h"
#include "ui/widget_id.h"

#include "core/files.h"
#include "core/json.h"
#include "ui_harness.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

std::string fromHex(const std::string& hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

Json vectors() { return parseJson(readFile(QM_SOURCE_DIR "/tests/ui/data/farmhash_vectors.json")); }

// Every length branch (0-16, 17-32, 33-64, the 64-byte loop) and ill-formed
// UTF-8, against an independent implementation's output.
TEST(WidgetId, FingerprintMatchesReferenceVectors)
{
    Json v = vectors();
    ASSERT_GE(v["vectors"].size(), 301u);
    for (const Json& row : v["vectors"]) {
        std::string bytes = fromHex(row["bytes"].get<std::string>());
        EXPECT_EQ(std::to_string(fingerprint64(bytes)), row["fp"].get<std::string>()) << row["bytes"];
    }
}

TEST(WidgetId, CascadeMatchesReferenceIds)
{
    testing::UiHarness h;
    bool sawNegative = false;
    Json v = vectors();
    h.frame([&] {
        for (const Json& row : v["ids"]) {
            std::string label = row["label"].get<std::string>();
            int64_t expected = row["id"].get<int64_t>();
            if (row["parent"].is_null()) {
                EXPECT_EQ(widgetId(*h.ctx, label), expected) << label;
            } else {
                h.ctx->idStack = {row["parent"].get<int64_t>()};
                EXPECT_EQ(widgetId(*h.ctx, label), expected) << label;
                h.ctx->idStack.clear();
            }
            EXPECT_GE(expected, INT32_MIN);
            EXPECT_LE(expected, INT32_MAX);
            sawNegative = sawNegative || expected < 0;
        }
    });
    EXPECT_TRUE(sawNegative);  // bit 31 reads as a negative id
}

// A program left running under automation hashes a one-off label in every
// frame (a row, a day, a toast): the recorder keeps only recent ones, yet
// every widget of a frame, and an id hashed between frames, keeps its label.
TEST(WidgetId, RecorderKeepsOnlyRecentLabels)
{
    testing::UiHarness h;
    h.recordWidgets();
    const Rect box{10, 10, 50, 20};
    for (int frame = 0; frame < 3000; ++frame)
        h.frame([&] {
            widgetId(*h.ctx, "row " + std::to_string(frame));
            interact(*h.ctx, widgetId(*h.ctx, "Save"), box, 1);
        });
    EXPECT_LE(h.ctx->recorder->labels.size(), 2u);
    ASSERT_EQ(h.ctx->recorder->records.size(), 1u);
    EXPECT_EQ(h.ctx->recorder->records[0].label, "Save");

    int64_t early = widgetId(*h.ctx, "hashed before the frame");
    h.frame([&] { interact(*h.ctx, early, box, 1); });
    ASSERT_EQ(h.ctx->recorder->records.size(), 1u);
    EXPECT_EQ(h.ctx->recorder->records[0].label, "hashed before the frame");
}

TEST(WidgetId, StackSeedsAndIndexedIds)
{
    testing::UiHarness h;
    h.frame([&] {
        UiContext& c = *h.ctx;
        EXPECT_EQ(widgetIdIndexed(c, "row", 0), widgetId(c, "row#0"));
        EXPECT_EQ(widgetIdIndexed(c, "row", 3), widgetId(c, "row#3"));
        int64_t top = widgetId(c, "Save");
        pushId(c, "dialog");
        int64_t inner = widgetId(c, "Save");
        EXPECT_NE(top, inner);
        EXPECT_EQ(inner, widgetId(c, "Save"));
        pushId(c, "a");
        pushId(c, "b");
        std::vector<int64_t> all = takeIds(c, 10);
        EXPECT_EQ(all.size(), 3u);
        EXPECT_TRUE(c.idStack.empty());
        pushIds(c, all);
        EXPECT_EQ(c.idStack, all);
        std::vector<int64_t> two = takeIds(c, 2);
        EXPECT_EQ(two, std::vector<int64_t>(all.begin() + 1, all.end()));
    });
}

}  // namespace
}  // namespace qm
