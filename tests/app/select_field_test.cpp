// The select field's popover, its entries, none entry and action link, and
// the icon picker with its badges and custom pictures.
#include "app/icon_picker.h"
#include "app/select_field.h"

#include "codecs/image/png.h"
#include "ui/hit_test.h"
#include "ui/theme.h"
#include "ui/widget_id.h"

#include "kit_harness.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>

namespace qm {
namespace {

using testing::KitHarness;
using testing::Shape;

const Rect kField{40, 40, 200, 32};

std::vector<SelectOption> numbered(int n)
{
    std::vector<SelectOption> out;
    for (int i = 0; i < n; ++i)
        out.push_back({"Option " + std::to_string(i), "", {}, "", 0, i});
    return out;
}

struct SelectRig {
    KitHarness k;
    std::vector<SelectOption> options;
    int32_t selected = 0;
    std::string none, action;
    bool disabled = false;
    std::vector<SelectResult> results;

    explicit SelectRig(std::vector<SelectOption> o)
        : options(std::move(o))
    {
        k.h.recordWidgets();
    }
    void frame()
    {
        k.frame([&] {
            results.push_back(selectField(
                k.state, "s", "Current", options, selected, kField, none, action, colorTransparent, disabled));
        });
    }
    void open()
    {
        frame();
        k.h.click(kField.x + 20, kField.y + 10);
        frame();
        frame();
    }
    bool isOpen() { return isPopupOpen(*k.h.ctx, widgetId(*k.h.ctx, "pickers")); }
    void clickLabel(const std::string& label)
    {
        Rect r = k.h.rectOf(label);
        k.h.click(r.x + r.w / 2, r.y + r.h / 2);
        results.clear();
        frame();
        frame();
    }
};

TEST(SelectField, TwentyOptionsOpenEightHighAndScroll)
{
    SelectRig rig(numbered(20));
    rig.open();
    ASSERT_TRUE(rig.isOpen());
    // The panel: the popup's rectangle.
    EXPECT_EQ(rig.k.h.ctx->popupRect.h, 8 * 34 + 16);
    EXPECT_EQ(rig.k.h.ctx->popupRect.w, 240);
    Rect first = rig.k.h.rectOf("pis0");
    EXPECT_EQ(first.h, 34);
    rig.k.h.move(first.x + 10, first.y + 10);
    rig.k.h.wheel(-3);
    rig.frame();
    rig.frame();
    EXPECT_LT(rig.k.h.rectOf("pis0").y, first.y);
    EXPECT_TRUE(rig.isOpen());
}

TEST(SelectField, NoneEntryHighlightedAndChosen)
{
    SelectRig rig(numbered(3));
    rig.none = "No category";
    rig.selected = -1;
    rig.open();
    Rect none = rig.k.h.rectOf("pns");
    std::vector<Color> fills = testing::fillsOn(rig.k.h.shapes(), none);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_TRUE(testing::sameColor(fills[0], rig.k.h.ctx->theme.base[slotAccentBackground]));
    EXPECT_TRUE(testing::fillsOn(rig.k.h.shapes(), rig.k.h.rectOf("pis0")).empty());

    rig.selected = 1;
    rig.frame();
    rig.clickLabel("pns");
    ASSERT_TRUE(rig.results[0].changed);
    EXPECT_EQ(rig.results[0].index, -1);
    EXPECT_FALSE(rig.results[0].action);
    EXPECT_FALSE(rig.isOpen());
}

TEST(SelectField, EntryClickGivesItsIndex)
{
    SelectRig rig(numbered(3));
    rig.open();
    rig.clickLabel("pis2");
    ASSERT_EQ(rig.results.size(), 2u);
    EXPECT_TRUE(rig.results[0].changed);
    EXPECT_EQ(rig.results[0].index, 2);
    EXPECT_FALSE(rig.results[1].changed);
    EXPECT_FALSE(rig.isOpen());
}

TEST(SelectField, ActionLinkKeepsTheIndex)
{
    SelectRig rig(numbered(4));
    rig.selected = 2;
    rig.action = "Manage categories";
    rig.open();
    EXPECT_EQ(rig.k.h.ctx->popupRect.h, 4 * 34 + 16 + 38);
    rig.clickLabel("pms");
    ASSERT_TRUE(rig.results[0].changed);
    EXPECT_TRUE(rig.results[0].action);
    EXPECT_EQ(rig.results[0].index, 2);
    EXPECT_FALSE(rig.isOpen());
}

TEST(SelectField, DisabledNeverOpens)
{
    SelectRig rig(numbered(3));
    rig.disabled = true;
    rig.open();
    rig.k.h.click(kField.x + 20, kField.y + 10);
    rig.frame();
    rig.frame();
    EXPECT_FALSE(rig.isOpen());
    for (const SelectResult& r : rig.results)
        EXPECT_FALSE(r.changed);
}

TEST(SelectField, BadgesAndDotsLeadTheEntries)
{
    std::vector<SelectOption> options = numbered(3);
    options[0].icon = "home";
    options[0].color = hexColor(0x378450, 1);
    options[1].color = hexColor(0xad6351, 1);
    options[1].detail = "second line";
    SelectRig rig(options);
    rig.open();
    std::vector<Shape> shapes = rig.k.h.shapes();
    Rect e0 = rig.k.h.rectOf("pis0"), e1 = rig.k.h.rectOf("pis1");
    EXPECT_EQ(testing::texturesIn(shapes, e0).size(), 1u);  // the badge's icon
    int dots = 0;
    for (const Shape& s : shapes)
        if (s.mode == modeRoundRect && testing::inside(e1, s.bounds, 2) && std::abs(s.rect.w - 10) < 0.01
            && testing::sameColor(s.color, options[1].color))
            ++dots;
    EXPECT_EQ(dots, 1);
}

// A budget with n built-in icons and one category.
void addIcons(Budget& b, int n)
{
    for (int i = 0; i < n; ++i)
        b.icons.push_back({int64_t(10 + i), "Icon " + std::to_string(i), "builtin:home"});
    b.categories.push_back({5, "Groceries", "#378450"});
}

TEST(IconPicker, RowsOfThePopover)
{
    struct Case {
        int icons;
        double rows;
    } cases[] = {{0, 1}, {5, 1}, {6, 2}, {12, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.icons);
        KitHarness k;
        k.h.recordWidgets();
        addIcons(k.budget, c.icons);
        int64_t icon = 0;
        auto draw = [&] { iconPicker(k.state, "p", icon, 5, kField); };
        k.frame(draw);
        k.h.click(kField.x + 20, kField.y + 10);
        k.h.frames(2, draw);
        EXPECT_EQ(k.h.ctx->popupRect.h, c.rows * 44 + 16);
        EXPECT_EQ(k.h.ctx->popupRect.w, 6 * 44 + 16);
        ASSERT_NE(k.h.widget("icpnone"), nullptr);
        EXPECT_EQ(testing::recordsStarting(k.h, "icp#").size(), size_t(c.icons));
    }
}

TEST(IconPicker, PickAndNone)
{
    KitHarness k;
    k.h.recordWidgets();
    addIcons(k.budget, 3);
    int64_t icon = 0;
    std::vector<bool> results;
    auto draw = [&] { results.push_back(iconPicker(k.state, "p", icon, 5, kField)); };
    k.frame(draw);
    k.h.click(kField.x + 20, kField.y + 10);
    k.h.frames(2, draw);
    Rect cell = k.h.rectOf("icp#2");
    k.h.click(cell.x + 10, cell.y + 10);
    results.clear();
    k.h.frames(2, draw);
    EXPECT_EQ(results, (std::vector<bool>{true, false}));
    EXPECT_EQ(icon, 11);
    // The closed field shows the icon's badge in the category's colour.
    std::vector<Shape> shapes = k.h.shapes();
    Rect badge{kField.x + 6, kField.y + 5, 22, 22};
    std::vector<Color> fills = testing::fillsOn(shapes, badge);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_TRUE(testing::sameColor(fills[0], withOverlayAlpha(k.h.ctx->theme, hexColor(0x378450, 1))));

    k.h.click(kField.x + 20, kField.y + 10);
    k.h.frames(2, draw);
    Rect none = k.h.rectOf("icpnone");
    k.h.click(none.x + 10, none.y + 10);
    results.clear();
    k.h.frames(2, draw);
    EXPECT_EQ(results, (std::vector<bool>{true, false}));
    EXPECT_EQ(icon, 0);
}

std::string pngBytes(int w, int h)
{
    Image img{w, h, 4, std::vector<uint8_t>(size_t(w * h * 4), 200)};
    std::vector<uint8_t> png = encodePng(img, false);
    return std::string(png.begin(), png.end());
}

TEST(IconPicker, CustomIconIsTuneUntilItsPictureArrives)
{
    KitHarness k;
    k.pictures.configDir = ::testing::TempDir() + "kit_pictures_" + std::to_string(::getpid());
    const std::string url = "https://example.org/cart.png";
    k.budget.icons.push_back({42, "Cart", url});
    Rect rect{100, 100, 40, 40};
    auto draw = [&] { drawIconRef(k.state, 42, "tune", rect, colorWhite); };
    k.frame(draw);
    std::vector<Shape> quads = testing::texturesIn(k.h.shapes(), rect);
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].bounds.w, 40);  // the square built-in icon
    auto fetches = takePendingIconUrls(k.pictures);
    ASSERT_EQ(fetches.size(), 1u);
    EXPECT_EQ(fetches[0].first, url);

    storeCustomIcon(k.pictures, url, true, pngBytes(32, 16));
    k.frame(draw);
    quads = testing::texturesIn(k.h.shapes(), rect);
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].bounds.w, 40);  // scaled to fit, kept in proportion
    EXPECT_EQ(quads[0].bounds.h, 20);
    EXPECT_EQ(quads[0].bounds.y, 110);
    bool fromPicture = false;
    for (const auto& layer : k.h.renderer->layers)
        for (const DrawCommand& c : layer)
            fromPicture |= c.count > 0 && c.texture == 777;
    EXPECT_TRUE(fromPicture);
}

TEST(IconBadge, RoundedSquareOfTheShorterSide)
{
    KitHarness k;
    Color c = hexColor(0x4378ad, 1);
    Rect rect{10, 10, 60, 40};
    k.frame([&] { iconBadge(k.state, 0, "home", c, rect); });
    std::vector<Shape> shapes = k.h.shapes();
    std::vector<Color> fills = testing::fillsOn(shapes, {20, 10, 40, 40});
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_TRUE(testing::sameColor(fills[0], withOverlayAlpha(k.h.ctx->theme, c)));
    std::vector<Shape> icons = testing::texturesIn(shapes, rect);
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].bounds.w, std::round(0.62 * 40));
    EXPECT_TRUE(testing::sameColor(icons[0].color, c));
}

}  // namespace
}  // namespace qm
