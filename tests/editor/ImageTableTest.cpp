#include "editor/CvLayoutEditor.h"
#include "editor/VastoraImages.h"

#include "vstgui/lib/cbitmap.h"
#include "vstgui/lib/vstguiinit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#if defined(_WIN32)
#include <ole2.h>
#include <windows.h>
#else
#include <dlfcn.h>
#endif

using namespace corvella;
using corvella::vastora::kVastoraImages;

namespace {

// VSTGUI's platform factory decodes the PNGs; it exists only after VSTGUI's start-up. On Windows
// its decoder is a COM object, and a host has COM running before it opens any plug-in window.
class VstguiEnvironment : public ::testing::Environment
{
public:
#if defined(_WIN32)
    void SetUp() override
    {
        OleInitialize(nullptr);
        VSTGUI::init(GetModuleHandle(nullptr));
    }
    void TearDown() override
    {
        VSTGUI::exit();
        OleUninitialize();
    }
#else
    void SetUp() override { VSTGUI::init(dlopen(nullptr, RTLD_NOW)); }
    void TearDown() override { VSTGUI::exit(); }
#endif
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new VstguiEnvironment);

// Reads one pixel of a bitmap as (r, g, b, a).
std::array<int, 4> pixel(VSTGUI::CBitmap& bitmap, int x, int y)
{
    auto access = VSTGUI::owned(VSTGUI::CBitmapPixelAccess::create(&bitmap)); // unlocks when released
    if (!access)
        return {-1, -1, -1, -1};
    VSTGUI::CColor c;
    access->setPosition(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    access->getColor(c);
    return {c.red, c.green, c.blue, c.alpha};
}

using Rgb = std::array<int, 4>;
const Rgb kBlack{0, 0, 0, 255};
const Rgb kGreen{0, 255, 0, 255};
const Rgb kBlue{0, 0, 255, 255};
const Rgb kGrey{192, 192, 192, 255};
const Rgb kYellow{255, 255, 0, 255};

} // namespace

TEST(ImageTable, HoldsSevenImagesInOrderAndEnds)
{
    const char* names[7] = {"vastora_101", "vastora_105", "vastora_106", "vastora_107",
                            "vastora_108", "vastora_117", "vastora_118"};
    for (int i = 0; i < 7; ++i)
    {
        ASSERT_NE(kVastoraImages[i].name, nullptr);
        EXPECT_STREQ(kVastoraImages[i].name, names[i]);
        EXPECT_GT(kVastoraImages[i].size, 8u);
        EXPECT_EQ(std::memcmp(kVastoraImages[i].data, "\x89PNG\r\n\x1a\n", 8), 0);
    }
    EXPECT_EQ(kVastoraImages[7].name, nullptr);
    EXPECT_EQ(kVastoraImages[7].data, nullptr);
    EXPECT_EQ(kVastoraImages[7].size, 0u);
}

TEST(ImageTable, ImagesHaveTheirSizesAndContent)
{
    const std::map<std::string, std::pair<int, int>> sizes = {
        {"vastora_101", {149, 69}}, {"vastora_105", {380, 246}}, {"vastora_106", {25, 14}}, {"vastora_107", {25, 14}},
        {"vastora_108", {32, 32}},  {"vastora_117", {32, 32}},   {"vastora_118", {32, 32}}};
    for (const auto& [name, wh] : sizes)
    {
        auto bitmap = CvLayoutEditor::findImage(kVastoraImages, name.c_str());
        ASSERT_TRUE(bitmap) << name;
        EXPECT_EQ(bitmap->getWidth(), wh.first) << name;
        EXPECT_EQ(bitmap->getHeight(), wh.second) << name;
    }

    auto panel = CvLayoutEditor::findImage(kVastoraImages, "vastora_105");
    EXPECT_EQ(pixel(*panel, 0, 0), kBlack);
    EXPECT_EQ(pixel(*panel, 379, 245), kBlack);
    EXPECT_EQ(pixel(*panel, 190, 120), (Rgb{76, 138, 227, 255}));

    auto bar = CvLayoutEditor::findImage(kVastoraImages, "vastora_106");
    auto broken = CvLayoutEditor::findImage(kVastoraImages, "vastora_107");
    EXPECT_EQ(pixel(*bar, 12, 6), kYellow);
    EXPECT_EQ(pixel(*broken, 12, 6), kGrey);
    EXPECT_EQ(pixel(*broken, 4, 6), kYellow);
    EXPECT_EQ(pixel(*broken, 20, 8), kYellow);
    EXPECT_EQ(pixel(*bar, 0, 6), kGrey);
    EXPECT_EQ(pixel(*bar, 12, 4), kGrey);

    auto tile108 = CvLayoutEditor::findImage(kVastoraImages, "vastora_108");
    auto tile117 = CvLayoutEditor::findImage(kVastoraImages, "vastora_117");
    auto tile118 = CvLayoutEditor::findImage(kVastoraImages, "vastora_118");
    EXPECT_EQ(pixel(*tile108, 0, 0), kBlack);
    EXPECT_EQ(pixel(*tile108, 15, 5), kGreen);
    EXPECT_EQ(pixel(*tile108, 20, 20), kBlue);
    EXPECT_EQ(pixel(*tile108, 5, 20), kBlack);
    EXPECT_EQ(pixel(*tile117, 5, 20), kGreen);
    EXPECT_EQ(pixel(*tile117, 20, 5), kBlack);
    EXPECT_EQ(pixel(*tile117, 20, 20), kBlue);
    EXPECT_EQ(pixel(*tile118, 15, 5), kBlack);
    EXPECT_EQ(pixel(*tile118, 20, 20), kBlue);

    // The logo: navy field, darker side bands, white lettering inside its box only.
    auto logo = CvLayoutEditor::findImage(kVastoraImages, "vastora_101");
    EXPECT_EQ(pixel(*logo, 5, 5), (Rgb{16, 23, 46, 255}));
    EXPECT_EQ(pixel(*logo, 70, 5), (Rgb{17, 23, 47, 255}));
    EXPECT_EQ(pixel(*logo, 70, 60), (Rgb{17, 23, 47, 255}));
    int white = 0;
    for (int y = 0; y < 69; ++y)
        for (int x = 0; x < 149; ++x)
            if (pixel(*logo, x, y) == (Rgb{255, 255, 255, 255}))
            {
                ++white;
                EXPECT_TRUE(x >= 22 && x <= 123 && y >= 24 && y <= 45) << x << "," << y;
            }
    EXPECT_GT(white, 300);
}

TEST(ImageTable, LookupIsExactAndDecodesAnewEachTime)
{
    EXPECT_FALSE(CvLayoutEditor::findImage(kVastoraImages, "vastora_999"));
    EXPECT_FALSE(CvLayoutEditor::findImage(kVastoraImages, ""));
    EXPECT_FALSE(CvLayoutEditor::findImage(kVastoraImages, "VASTORA_105"));
    EXPECT_FALSE(CvLayoutEditor::findImage(kVastoraImages, nullptr));
    EXPECT_FALSE(CvLayoutEditor::findImage(nullptr, "vastora_105"));
    const CvImageResource endOnly[1] = {{nullptr, nullptr, 0}};
    EXPECT_FALSE(CvLayoutEditor::findImage(endOnly, "vastora_105"));

    auto a = CvLayoutEditor::findImage(kVastoraImages, "vastora_105");
    auto b = CvLayoutEditor::findImage(kVastoraImages, "vastora_105");
    ASSERT_TRUE(a && b);
    EXPECT_NE(a.get(), b.get());

    // Entries without bytes, or with bytes that are no image, give nothing.
    const std::uint8_t junk[4] = {1, 2, 3, 4};
    const CvImageResource bad[3] = {{"empty", nullptr, 0}, {"junk", junk, 4}, {nullptr, nullptr, 0}};
    EXPECT_FALSE(CvLayoutEditor::findImage(bad, "empty"));
    EXPECT_FALSE(CvLayoutEditor::findImage(bad, "junk"));
}
