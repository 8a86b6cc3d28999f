// The product's editor on a real X11 window (under Xvfb), driven with real pointer events.
#include "editorwindow/EditorWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
#define VASTORA_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VASTORA_ADDRESS_SANITIZER 1
#endif
#endif

using namespace corvella::testing;
using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace std::chrono_literals;

namespace {

using E = EditorWindow;

// Layout rectangles of the window, in layout units (x, y, w, h).
constexpr double kRowSliderX = 95, kRowSliderW = 166, kRowY0 = 41, kRowStep = 17, kRowH = 15;
constexpr double kPadX = 78, kPadY = 195, kPadW = 253, kPadH = 134;
constexpr double kFaderLX = 8, kFaderRX = 46, kFaderY = 196, kFaderW = 27, kFaderH = 111;

double rowCentreY(int row) { return kRowY0 + kRowStep * row + kRowH / 2; }

std::vector<Edit> editsFor(const std::vector<Edit>& edits, ParamID id)
{
    std::vector<Edit> out;
    std::copy_if(edits.begin(), edits.end(), std::back_inserter(out), [id](const Edit& e) { return e.id == id; });
    return out;
}

int count(const std::vector<Edit>& edits, Edit::Kind kind, ParamID id)
{
    return static_cast<int>(std::count_if(edits.begin(), edits.end(), [&](const Edit& e) { return e.kind == kind && e.id == id; }));
}

// One gesture on one parameter: one begin, performs only, one end.
void expectOneGesture(const std::vector<Edit>& edits, ParamID id)
{
    ASSERT_GE(edits.size(), 3u);
    EXPECT_EQ(edits.front().kind, Edit::Begin);
    EXPECT_EQ(edits.back().kind, Edit::End);
    for (std::size_t i = 1; i + 1 < edits.size(); ++i)
        EXPECT_EQ(edits[i].kind, Edit::Perform) << i;
    for (const Edit& e : edits)
        EXPECT_EQ(e.id, id);
}

bool near(std::uint32_t a, std::uint32_t b, int tolerance = 3) { return channelDistance(a, b) <= tolerance; }

} // namespace

TEST(EditorWindow, OpensAtItsOwnSizeInTheEditorsColours)
{
    TestHost host;
    IPtr<IPlugView> fresh = owned(host.controller().createView("editor"));
    ViewRect size;
    ASSERT_EQ(fresh->getSize(&size), kResultTrue);
    EXPECT_EQ(size.getWidth(), 631); // reported before any attach
    EXPECT_EQ(size.getHeight(), 668);
    EXPECT_EQ(fresh->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);

    EditorWindow editor(host);
    ASSERT_EQ(editor.attachResult(), kResultOk);
    EXPECT_GE(editor.plugFrame().resizeRequests(), 1);
    EXPECT_EQ(editor.plugFrame().lastRequestedSize().getWidth(), 631);
    EXPECT_EQ(editor.plugFrame().lastRequestedSize().getHeight(), 668);
    ASSERT_TRUE(editor.waitUntilDrawn());
    const Screenshot shot = editor.settleAndCapture();
    shot.savePng(VASTORA_SCREENSHOT_PATH);

    // Background, with its frame along the window's edge.
    EXPECT_EQ(shot.at(E::px(330), E::py(175)), kBackgroundPixel);
    EXPECT_TRUE(near(shot.at(0, 300), rgbOf(90, 122, 191), 40));

    // ReverbTime's slider (default 9.70 s, 0.863 of its travel): value bar, then background.
    const int y = E::py(rowCentreY(3));
    EXPECT_EQ(shot.at(E::px(kRowSliderX + 20), y), rgbOf(76, 139, 224));
    EXPECT_EQ(shot.at(E::px(kRowSliderX + kRowSliderW - 8), y), rgbOf(12, 17, 34));

    // The pad's surface between grid lines, and its handle at (MasterMix 0.6, ReverbTime 0.863).
    EXPECT_EQ(shot.at(E::px(kPadX + kPadW / 16), E::py(kPadY + kPadH / 16)), rgbOf(11, 26, 51));
    const double left = kPadX * 1.494 * 1.25, width = kPadW * 1.494 * 1.25;
    const double bottom = (kPadY + kPadH) * 1.611 * 1.25, height = kPadH * 1.611 * 1.25;
    const int hx = static_cast<int>(left + width * 0.6), hy = static_cast<int>(bottom - height * 0.8634271339);
    EXPECT_TRUE(near(shot.at(hx, hy), rgbOf(154, 200, 255), 10)) << std::hex << shot.at(hx, hy);

    // Menus have their own background.
    EXPECT_EQ(shot.at(E::px(185), E::py(8)), rgbOf(29, 39, 69));
}

TEST(EditorWindow, ASliderGestureReachesTheHostExactlyOnce)
{
    TestHost host;
    EditorWindow editor(host);
    ASSERT_TRUE(editor.waitUntilDrawn());
    host.handler().edits.clear();
    const int y = E::py(rowCentreY(1)); // Diffusion
    editor.drag(E::px(kRowSliderX + 40), y, E::px(kRowSliderX + 120), y);
    const std::vector<Edit>& edits = host.handler().edits;
    expectOneGesture(edits, 1);
    EXPECT_NEAR(host.controller().getParamNormalized(1), edits[edits.size() - 2].value, 1e-6);
    EXPECT_GT(edits[edits.size() - 2].value, 0.5);
}

TEST(EditorWindow, LockedFadersMoveTogether)
{
    TestHost host;
    EditorWindow editor(host);
    ASSERT_TRUE(editor.waitUntilDrawn());
    host.handler().edits.clear();
    const int x = E::px(kFaderLX + kFaderW / 2);
    editor.drag(x, E::py(kFaderY + kFaderH * 0.5), x, E::py(kFaderY + kFaderH * 0.2));
    const std::vector<Edit> edits = host.handler().edits;

    // The moved level's gesture, and around each of its performs a whole edit of the other level.
    expectOneGesture(editsFor(edits, 8), 8);
    ASSERT_GE(edits.size(), 6u);
    EXPECT_EQ(edits.front(), (Edit{Edit::Begin, 8, 0.0}));
    for (std::size_t i = 1; i + 1 < edits.size(); i += 4)
    {
        ASSERT_LT(i + 3, edits.size());
        EXPECT_EQ(edits[i].kind, Edit::Begin);
        EXPECT_EQ(edits[i].id, 9u);
        EXPECT_EQ(edits[i + 1].kind, Edit::Perform);
        EXPECT_EQ(edits[i + 1].id, 9u);
        EXPECT_EQ(edits[i + 2], (Edit{Edit::End, 9, 0.0}));
        EXPECT_EQ(edits[i + 3], (Edit{Edit::Perform, 8, edits[i + 1].value}));
    }
    EXPECT_EQ(host.controller().getParamNormalized(9), host.controller().getParamNormalized(8));
    EXPECT_GT(host.controller().getParamNormalized(8), 0.7);
}

TEST(EditorWindow, UnlockedFadersMoveAlone)
{
    TestHost host;
    EditorWindow editor(host);
    ASSERT_TRUE(editor.waitUntilDrawn());
    host.handler().edits.clear();
    // The part of the "Lock" box left of the pad, which covers the rest of it.
    editor.window().click(E::px(71), E::py(313));
    editor.pump(60ms);
    EXPECT_TRUE(host.handler().edits.empty()); // the box is the editor's, not a parameter

    const int x = E::px(kFaderRX + kFaderW / 2);
    editor.drag(x, E::py(kFaderY + kFaderH * 0.5), x, E::py(kFaderY + kFaderH * 0.9));
    expectOneGesture(host.handler().edits, 9);
    EXPECT_EQ(host.controller().getParamNormalized(8), 0.5);
    EXPECT_LT(host.controller().getParamNormalized(9), 0.3);
}

TEST(EditorWindow, ThePadEditsMixAndTimeInOneGesture)
{
    TestHost host;
    EditorWindow editor(host);
    ASSERT_TRUE(editor.waitUntilDrawn());
    host.handler().edits.clear();
    editor.drag(E::px(kPadX + kPadW * 0.25), E::py(kPadY + kPadH * 0.5), E::px(kPadX + kPadW * 0.75),
                E::py(kPadY + kPadH * 0.25));
    const std::vector<Edit> edits = host.handler().edits;
    ASSERT_GE(edits.size(), 6u);
    EXPECT_EQ(edits[0], (Edit{Edit::Begin, 5, 0.0}));
    EXPECT_EQ(edits[1], (Edit{Edit::Begin, 3, 0.0}));
    EXPECT_EQ(edits[edits.size() - 2], (Edit{Edit::End, 5, 0.0}));
    EXPECT_EQ(edits.back(), (Edit{Edit::End, 3, 0.0}));
    for (std::size_t i = 2; i + 2 < edits.size(); i += 2)
    {
        EXPECT_EQ(edits[i].id, 5u);
        EXPECT_EQ(edits[i + 1].id, 3u);
        EXPECT_EQ(edits[i].kind, Edit::Perform);
    }
    EXPECT_NEAR(host.controller().getParamNormalized(5), 0.75, 0.02);
    EXPECT_NEAR(host.controller().getParamNormalized(3), 0.75, 0.02);
}

TEST(EditorWindow, AnOptionMenuChoiceIsOneEdit)
{
    TestHost host;
    EditorWindow editor(host);
    ASSERT_TRUE(editor.waitUntilDrawn());
    host.handler().edits.clear();
    const Screenshot before = editor.window().capture();
    editor.window().click(E::px(228), E::py(11)); // "Room Size" menu
    // Wait for the popup to cover part of the window below the menu.
    const int probeX = E::px(228), probeY = E::py(11) + 60;
    ASSERT_TRUE(editor.runLoop().runUntil([&] { return editor.window().capture().at(probeX, probeY) != before.at(probeX, probeY); }, 3s));
    // The menu follows the pointer, then takes the entry under it.
    editor.window().movePointer(probeX, probeY);
    editor.pump(60ms);
    editor.window().press(1);
    editor.pump(60ms);
    editor.window().release(1);
    // The menu fades out before it reports the choice.
    editor.runLoop().runUntil([&] { return host.handler().edits.size() >= 3; }, 3s);
    editor.pump(100ms);
    const std::vector<Edit> edits = host.handler().edits;
    ASSERT_EQ(edits.size(), 3u);
    expectOneGesture(edits, 6);
    const double chosen = edits[1].value * 9.0;
    EXPECT_NEAR(chosen, std::round(chosen), 1e-6); // one of the ten positions (the menu works in float)
    EXPECT_LT(chosen, 9.0);                         // not the current "Large Cathedral"
}

TEST(EditorWindow, ControlClickResetsEveryControlToItsParametersDefault)
{
    TestHost host;
    IEditController& c = host.controller();
    for (ParamID id = 0; id < 12; ++id)
        c.setParamNormalized(id, 0.0); // no default lies at the bottom of its range
    EditorWindow editor(host);
    ASSERT_TRUE(editor.waitUntilDrawn());
    editor.pump(200ms); // the controls have taken the values
    host.handler().edits.clear();

    struct Target
    {
        ParamID id;
        double x, y; // layout units, inside the control
    };
    std::vector<Target> targets = {{6, 228, 11}, {7, 228, 28}, {8, kFaderLX + kFaderW / 2, kFaderY + kFaderH / 2},
                                   {9, kFaderRX + kFaderW / 2, kFaderY + kFaderH / 2}};
    const ParamID rows[8] = {0, 1, 2, 3, 4, 5, 10, 11};
    for (int row = 0; row < 8; ++row)
        targets.push_back({rows[row], kRowSliderX + kRowSliderW / 2, rowCentreY(row)});
    for (const Target& t : targets)
    {
        editor.window().pressControl();
        editor.window().click(E::px(t.x), E::py(t.y));
        editor.window().releaseControl();
        editor.pump(60ms);
    }
    for (const Target& t : targets)
    {
        ParameterInfo info{};
        ASSERT_EQ(c.getParameterInfo(int32(t.id), info), kResultOk);
        SCOPED_TRACE(toUtf8(info.title));
        EXPECT_NEAR(c.getParamNormalized(t.id), info.defaultNormalizedValue, 1e-6);
        const std::vector<Edit> edits = editsFor(host.handler().edits, t.id);
        const auto lastPerform = std::find_if(edits.rbegin(), edits.rend(), [](const Edit& e) { return e.kind == Edit::Perform; });
        ASSERT_NE(lastPerform, edits.rend());
        EXPECT_NEAR(lastPerform->value, info.defaultNormalizedValue, 1e-6);
    }

    // The editor's own controls: both axis menus (over (95|220, 182, 96, 15)) go back to the axes
    // a new editor starts with, and Lock goes off. None of it reaches the host.
    host.handler().edits.clear();
    for (const auto& [x, y] : {std::pair{143.0, 188.0}, std::pair{268.0, 188.0}, std::pair{71.0, 313.0}})
    {
        editor.window().pressControl();
        editor.window().click(E::px(x), E::py(y));
        editor.window().releaseControl();
        editor.pump(60ms);
    }
    EXPECT_TRUE(host.handler().edits.empty());
    editor.drag(E::px(kPadX + kPadW * 0.25), E::py(kPadY + kPadH * 0.5), E::px(kPadX + kPadW * 0.75),
                E::py(kPadY + kPadH * 0.25));
    ASSERT_GE(host.handler().edits.size(), 2u);
    EXPECT_EQ(host.handler().edits[0], (Edit{Edit::Begin, 5, 0.0}));
    EXPECT_EQ(host.handler().edits[1], (Edit{Edit::Begin, 3, 0.0}));
    host.handler().edits.clear();
    const int x = E::px(kFaderRX + kFaderW / 2);
    editor.drag(x, E::py(kFaderY + kFaderH * 0.5), x, E::py(kFaderY + kFaderH * 0.9));
    expectOneGesture(host.handler().edits, 9);
}

TEST(EditorWindow, HostChangesShowWithinTheSyncPeriod)
{
    TestHost host;
    EditorWindow editor(host);
    ASSERT_TRUE(editor.waitUntilDrawn());
    const Screenshot before = editor.settleAndCapture();
    const int y = E::py(rowCentreY(3));
    const int sliderX = E::px(kRowSliderX + 100);
    ASSERT_EQ(before.at(sliderX, y), rgbOf(76, 139, 224));

    host.controller().setParamNormalized(3, 0.2); // automation, a preset, another editor...
    const Screenshot after = editor.settleAndCapture(200ms);
    EXPECT_EQ(after.at(sliderX, y), rgbOf(12, 17, 34));
    // The value display ("9.70 s" before) shows another text.
    int changed = 0;
    for (int x = E::px(263); x < E::px(319); ++x)
        for (int yy = E::py(92); yy < E::py(107); ++yy)
            changed += after.at(x, yy) != before.at(x, yy);
    EXPECT_GT(changed, 10);
    EXPECT_TRUE(host.handler().edits.empty()); // following the host sends nothing back
}

TEST(EditorWindow, ClosingDuringADragEndsTheOpenEdit)
{
    TestHost host;
    EditorWindow editor(host);
    ASSERT_TRUE(editor.waitUntilDrawn());
    host.handler().edits.clear();
    const int y = E::py(rowCentreY(0));
    editor.drag(E::px(kRowSliderX + 30), y, E::px(kRowSliderX + 90), y, 3, false);
    ASSERT_EQ(count(host.handler().edits, Edit::Begin, 0), 1);
    ASSERT_EQ(count(host.handler().edits, Edit::End, 0), 0);
    editor.close();
    EXPECT_EQ(count(host.handler().edits, Edit::End, 0), 1);
    const std::size_t afterClose = host.handler().edits.size();
    editor.window().release(1);
    editor.pump(60ms);
    EXPECT_EQ(host.handler().edits.size(), afterClose);
    EXPECT_EQ(editor.runLoop().eventHandlerCount(), 0u);
    EXPECT_EQ(editor.runLoop().timerCount(), 0u);
}

TEST(EditorWindow, ClosingDuringAPadDragEndsBothEdits)
{
    TestHost host;
    EditorWindow editor(host);
    ASSERT_TRUE(editor.waitUntilDrawn());
    host.handler().edits.clear();
    editor.drag(E::px(kPadX + 50), E::py(kPadY + 50), E::px(kPadX + 100), E::py(kPadY + 60), 2, false);
    editor.close();
    editor.window().release(1);
    const std::vector<Edit>& edits = host.handler().edits;
    for (ParamID id : {5u, 3u})
    {
        EXPECT_EQ(count(edits, Edit::Begin, id), 1) << id;
        EXPECT_EQ(count(edits, Edit::End, id), 1) << id;
    }
}

TEST(EditorWindow, ClosingWithAPopupOpenLeavesNothingBehind)
{
    TestHost host;
    EditorWindow editor(host);
    ASSERT_TRUE(editor.waitUntilDrawn());
    host.handler().edits.clear();
    editor.window().click(E::px(228), E::py(28)); // "Early Reflection Spread" menu
    editor.pump(150ms);
    editor.close();
    editor.window().click(E::px(228), E::py(60));
    editor.pump(60ms);
    EXPECT_TRUE(host.handler().edits.empty());
    EXPECT_EQ(editor.runLoop().eventHandlerCount(), 0u);
    EXPECT_EQ(editor.runLoop().timerCount(), 0u);
    EXPECT_EQ(editor.runLoop().refCount(), 1u);
    EXPECT_EQ(editor.plugFrame().refCount(), 1u);
}

TEST(EditorWindow, OpensAndClosesManyTimesInARow)
{
    TestHost host;
    for (int i = 0; i < 12; ++i)
    {
        EditorWindow editor(host);
        ASSERT_EQ(editor.attachResult(), kResultOk) << i;
        ASSERT_TRUE(editor.waitUntilDrawn()) << i;
        editor.close();
        EXPECT_EQ(editor.runLoop().eventHandlerCount(), 0u) << i;
        EXPECT_EQ(editor.runLoop().timerCount(), 0u) << i;
    }
}

// A host may open and close the editor thousands of times in one session; every open makes a new X
// connection, and nothing of one may stay behind once its editor is closed. The live heap is read
// after a warm-up (fonts, images and caches that stay for the module's life) and again after 200
// more cycles.
TEST(EditorWindow, OpeningAndClosingLeavesTheHeapFlat)
{
#ifdef VASTORA_ADDRESS_SANITIZER
    GTEST_SKIP() << "the sanitizer's allocator keeps its blocks outside what mallinfo2 counts";
#endif
    TestHost host;
    const auto cycle = [&host](int i) {
        EditorWindow editor(host);
        ASSERT_EQ(editor.attachResult(), kResultOk) << i;
        ASSERT_TRUE(editor.waitUntilDrawn()) << i;
        editor.close();
    };
    for (int i = 0; i < 20; ++i)
        ASSERT_NO_FATAL_FAILURE(cycle(i));
    const std::size_t warm = mallinfo2().uordblks;
    for (int i = 0; i < 200; ++i)
        ASSERT_NO_FATAL_FAILURE(cycle(i));
    const std::size_t after = mallinfo2().uordblks;
    EXPECT_LT(after, warm + (1u << 20)) << "bytes in use after the warm-up: " << warm;
}

TEST(EditorWindow, OneViewReopensWithItsAxisChoices)
{
    TestHost host;
    IPtr<IPlugView> view = owned(host.controller().createView("editor"));
    LinuxRunLoop loop;
    X11Window window(631, 668);
    TestPlugFrame frame(window, loop);
    for (int i = 0; i < 6; ++i)
    {
        view->setFrame(&frame);
        ASSERT_EQ(view->attached(window.parentHandle(), kPlatformTypeX11EmbedWindowID), kResultOk) << i;
        ASSERT_TRUE(loop.runUntil([&] { return window.capture().at(E::px(330), E::py(100)) == kBackgroundPixel; }, 5s)) << i;
        view->removed();
        loop.runFor(20ms);
        view->setFrame(nullptr);
        EXPECT_EQ(loop.eventHandlerCount(), 0u) << i;
    }
}

TEST(EditorWindow, AViewReleasedWithoutRemovalClosesItsWindow)
{
    TestHost host;
    LinuxRunLoop loop;
    X11Window window(631, 668);
    TestPlugFrame frame(window, loop);
    {
        IPtr<IPlugView> view = owned(host.controller().createView("editor"));
        view->setFrame(&frame);
        ASSERT_EQ(view->attached(window.parentHandle(), kPlatformTypeX11EmbedWindowID), kResultOk);
        ASSERT_TRUE(loop.runUntil([&] { return window.capture().at(E::px(330), E::py(100)) == kBackgroundPixel; }, 5s));
    }
    loop.runFor(50ms);
    EXPECT_EQ(loop.eventHandlerCount(), 0u);
    EXPECT_EQ(loop.timerCount(), 0u);
    EXPECT_EQ(frame.refCount(), 1u);
}
