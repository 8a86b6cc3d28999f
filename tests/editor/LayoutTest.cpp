#include "editor/CvLayoutEditor.h"
#include "editor/VastoraEditor.h"
#include "params/VastoraParams.h"

#include <gtest/gtest.h>

using namespace corvella;
using namespace corvella::vastora;

namespace {

// Exposes the product's layout for inspection; nothing is opened.
class LayoutProbe : public VastoraEditor
{
public:
    LayoutProbe() : VastoraEditor(nullptr, nullptr) {}
    using VastoraEditor::buildLayout;
    using VastoraEditor::getEditorRect;
};

} // namespace

TEST(Layout, PixelsApplyTheAxisFactorThenTheZoom)
{
    const VSTGUI::CRect r = CvLayoutEditor::layoutToPixels(95, 41, 166, 15);
    EXPECT_EQ(r.left, 95 * 1.494 * 1.25);
    EXPECT_EQ(r.right, 261 * 1.494 * 1.25);
    EXPECT_NEAR(r.left, 177.4125, 1e-9);
    EXPECT_NEAR(r.right, 487.4175, 1e-9);
    EXPECT_EQ(r.top, 41 * 1.611 * 1.25);
    EXPECT_EQ(r.bottom, (41.0 + 15.0) * 1.611 * 1.25);
    // Folding the factors first would move the last bit: the conversion must not do that.
    const VSTGUI::CRect x = CvLayoutEditor::layoutToPixels(21.5, 0, 0, 0);
    EXPECT_EQ(x.left, 40.151250000000005);
    EXPECT_NE(x.left, 21.5 * (1.494 * 1.25));
    // Sliders take whole pixels of travel from these extents.
    EXPECT_EQ(static_cast<int>(r.getWidth()), 310);
    const VSTGUI::CRect v = CvLayoutEditor::layoutToPixels(8, 196, 27, 111);
    EXPECT_NEAR(v.getHeight(), 223.52625, 1e-9);
    EXPECT_EQ(static_cast<int>(v.getHeight()), 223);
    // Any geometry converts unchanged, negative and empty sizes included.
    const VSTGUI::CRect odd = CvLayoutEditor::layoutToPixels(-10, 500, -4, 0);
    EXPECT_EQ(odd.left, -10 * 1.494 * 1.25);
    EXPECT_EQ(odd.right, -14 * 1.494 * 1.25);
    EXPECT_EQ(odd.getHeight(), 0.0);
}

TEST(Layout, BuildersChainAndFillOnlyTheirOwnFields)
{
    const char* const entries[2] = {"a", "b"};
    CvLayout layout;
    CvLayout& same = layout.addLabel(1, 2, 3, 4, nullptr, 1)
                         .addHorizontalSlider(7, 1, 1, 1, 1)
                         .addVerticalSlider(8, 1, 1, 1, 1)
                         .addValueDisplay(9, 1, 1, 1, 1)
                         .addOptionMenu(10, 1, 1, 1, 1, entries, 2)
                         .addImage(nullptr, 5, 6, 7, 8);
    EXPECT_EQ(&same, &layout);
    ASSERT_EQ(layout.items.size(), 6u);
    EXPECT_EQ(layout.items[0].kind, CvLayoutItemKind::Label);
    EXPECT_EQ(layout.items[0].text, "");
    EXPECT_EQ(layout.items[0].tag, -1);
    EXPECT_EQ(layout.items[0].align, 1u);
    EXPECT_EQ(layout.items[1].align, 0u);
    EXPECT_EQ(layout.items[1].entries, nullptr);
    EXPECT_EQ(layout.items[3].align, 2u);
    EXPECT_EQ(layout.items[4].entries, entries);
    EXPECT_EQ(layout.items[4].entryCount, 2);
    EXPECT_EQ(layout.items[5].kind, CvLayoutItemKind::Image);
    EXPECT_EQ(layout.items[5].text, "");
    EXPECT_EQ(layout.items[5].tag, -1);
    EXPECT_EQ(layout.items[5].h, 8.0);
}

TEST(Layout, TheProductWindowHoldsThirtyOneItemsIn631By668Pixels)
{
    LayoutProbe probe;
    const CvLayout layout = probe.buildLayout();
    EXPECT_EQ(layout.width, 338.0);
    EXPECT_EQ(layout.height, 332.0);
    ASSERT_EQ(layout.items.size(), 31u);

    const Steinberg::Vst::ParamID rowIds[8] = {0, 1, 2, 3, 4, 5, 10, 11};
    const char* rowLabels[8] = {"PreDelay    ms", "Diffusion    %", "Brightness  Hz", "ReverbTime  s",
                                "Early/Late   %", "MasterMix   %",  "Modulation   %", "Warmth       x"};
    for (int k = 0; k < 8; ++k)
    {
        const CvLayoutItem& label = layout.items[std::size_t(3 * k)];
        const CvLayoutItem& slider = layout.items[std::size_t(3 * k + 1)];
        const CvLayoutItem& value = layout.items[std::size_t(3 * k + 2)];
        EXPECT_EQ(label.text, rowLabels[k]);
        EXPECT_EQ(label.y, 41 + 17 * k);
        EXPECT_EQ(slider.kind, CvLayoutItemKind::HorizontalSlider);
        EXPECT_EQ(slider.tag, static_cast<int>(rowIds[k]));
        EXPECT_EQ(slider.x, 95.0);
        EXPECT_EQ(slider.w, 166.0);
        EXPECT_EQ(value.kind, CvLayoutItemKind::ValueDisplay);
        EXPECT_EQ(value.tag, static_cast<int>(rowIds[k]));
        EXPECT_EQ(value.x, 263.0);
    }
    EXPECT_EQ(layout.items[24].text, "Room Size:");
    EXPECT_EQ(layout.items[25].tag, 6);
    EXPECT_EQ(layout.items[25].entryCount, 10);
    EXPECT_STREQ(layout.items[25].entries[9], "Large Cathedral");
    EXPECT_EQ(layout.items[26].text, "Early Reflection Spread:");
    EXPECT_EQ(layout.items[27].entryCount, 11);
    EXPECT_STREQ(layout.items[27].entries[0], "Auto");
    EXPECT_EQ(layout.items[28].kind, CvLayoutItemKind::VerticalSlider);
    EXPECT_EQ(layout.items[28].tag, 8);
    EXPECT_EQ(layout.items[29].tag, 9);
    EXPECT_EQ(layout.items[30].text, "Output Level");
    for (const CvLayoutItem& item : layout.items)
        EXPECT_NE(item.kind, CvLayoutItemKind::Image);

    const VSTGUI::CRect window = probe.getEditorRect();
    EXPECT_EQ(window.left, 0.0);
    EXPECT_EQ(window.getWidth(), 338 * 1.494 * 1.25);
    EXPECT_EQ(window.getHeight(), 332 * 1.611 * 1.25);
    EXPECT_NEAR(window.getWidth(), 631.215, 1e-9);
    EXPECT_NEAR(window.getHeight(), 668.565, 1e-9);

    // Hosts size their window from getSize before the view is attached.
    Steinberg::ViewRect size;
    ASSERT_EQ(probe.getSize(&size), Steinberg::kResultTrue);
    EXPECT_EQ(size.getWidth(), 631);
    EXPECT_EQ(size.getHeight(), 668);
}
