#include "editor/CvEditor.h"
#include "editor/CvXYPad.h"
#include "controller/VastoraController.h"

#include "host/TestHost.h"
#include "vstgui/lib/cbuttonstate.h"
#include "vstgui/lib/platform/iplatformframecallback.h"

#include <gtest/gtest.h>

using namespace corvella;
using namespace corvella::testing;
using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace VSTGUI;

namespace {

// The smallest concrete editor: the pad only needs its gateway.
class GatewayEditor : public CvEditor
{
public:
    explicit GatewayEditor(CvEditController* c) : CvEditor(c, c) {}
    void createContents(CViewContainer*) override {}
};

struct PadFixture
{
    HostApplication host;
    RecordingHandler handler;
    IPtr<vastora::VastoraController> controller = Steinberg::owned(new vastora::VastoraController);
    IPtr<GatewayEditor> editor;
    CRect rect{100, 50, 300, 150}; // 200 x 100 pixels
    SharedPointer<CvXYPad> pad;

    PadFixture()
    {
        controller->initialize(&host);
        controller->setComponentHandler(&handler);
        editor = Steinberg::owned(new GatewayEditor(controller));
        pad = makeOwned<CvXYPad>(rect, editor.get());
        pad->setTags(5, 3);
    }
    ~PadFixture()
    {
        pad = nullptr;
        editor = nullptr;
        controller->setComponentHandler(nullptr);
        controller->terminate();
    }
    CMouseEventResult down(double x, double y, int32_t buttons = kLButton)
    {
        CPoint p(x, y);
        return pad->onMouseDown(p, CButtonState(buttons));
    }
    CMouseEventResult move(double x, double y, int32_t buttons = kLButton)
    {
        CPoint p(x, y);
        return pad->onMouseMoved(p, CButtonState(buttons));
    }
    CMouseEventResult up(double x, double y)
    {
        CPoint p(x, y);
        return pad->onMouseUp(p, CButtonState(kLButton));
    }
};

Edit begin(ParamID id) { return {Edit::Begin, id, 0.0}; }
Edit perform(ParamID id, double v) { return {Edit::Perform, id, v}; }
Edit end(ParamID id) { return {Edit::End, id, 0.0}; }

} // namespace

TEST(XYPad, HandleShowsTheControllersValues)
{
    PadFixture f;
    f.controller->setParamNormalized(5, 0.25);
    f.controller->setParamNormalized(3, 0.75);
    EXPECT_EQ(f.pad->handlePosition(), CPoint(150, 75));

    f.pad->setTags(-1, 3); // no parameter on x: it reads 0, the left edge
    EXPECT_EQ(f.pad->handlePosition(), CPoint(100, 75));

    CvXYPad orphan(f.rect, nullptr);
    orphan.setTags(5, 3);
    EXPECT_EQ(orphan.handlePosition(), CPoint(200, 100));
}

TEST(XYPad, ADragBeginsBothPerformsEachMoveAndEndsBoth)
{
    PadFixture f;
    EXPECT_EQ(f.down(200, 100), kMouseEventHandled); // the centre
    EXPECT_EQ(f.move(100, 150), kMouseEventHandled); // bottom-left corner
    EXPECT_EQ(f.move(300, 50), kMouseEventHandled);  // top-right corner
    EXPECT_EQ(f.move(400, -20), kMouseEventHandled); // beyond the pad: clamped
    EXPECT_EQ(f.up(400, -20), kMouseEventHandled);
    const std::vector<Edit> expected = {begin(5),        begin(3),        perform(5, 0.5), perform(3, 0.5),
                                        perform(5, 0.0), perform(3, 0.0), perform(5, 1.0), perform(3, 1.0),
                                        perform(5, 1.0), perform(3, 1.0), end(5),          end(3)};
    EXPECT_EQ(f.handler.edits, expected);
    EXPECT_EQ(f.controller->getParamNormalized(5), 1.0);
    EXPECT_FALSE(f.pad->isDragging());
}

TEST(XYPad, OnlyALeftButtonDragMovesTheHandle)
{
    PadFixture f;
    // Any button starts a gesture at the clicked point.
    EXPECT_EQ(f.down(150, 125, kRButton), kMouseEventHandled);
    EXPECT_EQ(f.move(250, 75, kRButton), kMouseEventNotHandled);
    EXPECT_EQ(f.move(250, 75, kLButton | kMButton), kMouseEventNotHandled);
    // Modifier keys do not matter.
    EXPECT_EQ(f.move(300, 150, kLButton | kShift | kControl | kAlt), kMouseEventHandled);
    f.up(300, 150);
    const std::vector<Edit> expected = {begin(5),        begin(3),        perform(5, 0.25), perform(3, 0.25),
                                        perform(5, 1.0), perform(3, 0.0), end(5),           end(3)};
    EXPECT_EQ(f.handler.edits, expected);
}

TEST(XYPad, OneParameterOnBothAxesTakesTheVerticalValue)
{
    PadFixture f;
    f.pad->setTags(4, 4);
    f.down(150, 75);
    f.up(150, 75);
    const std::vector<Edit> expected = {begin(4), begin(4), perform(4, 0.25), perform(4, 0.75), end(4), end(4)};
    EXPECT_EQ(f.handler.edits, expected);
    EXPECT_EQ(f.controller->getParamNormalized(4), 0.75);
}

TEST(XYPad, StrayReleasesNegativeTagsAndEmptyPadsSendNothing)
{
    PadFixture f;
    EXPECT_EQ(f.up(200, 100), kMouseEventHandled);
    EXPECT_EQ(f.move(200, 100), kMouseEventNotHandled);
    EXPECT_TRUE(f.handler.edits.empty());

    f.pad->setTags(-1, 3);
    f.down(200, 100);
    f.up(200, 100);
    const std::vector<Edit> expected = {begin(3), perform(3, 0.5), end(3)};
    EXPECT_EQ(f.handler.edits, expected);

    f.handler.edits.clear();
    for (const CRect& empty : {CRect(10, 10, 10, 60), CRect(10, 10, 60, 10), CRect(60, 10, 10, 60)})
    {
        CvXYPad flat(empty, f.editor.get());
        flat.setTags(5, 3);
        flat.updateFromPoint(CPoint(10, 10));
    }
    EXPECT_TRUE(f.handler.edits.empty());
}

TEST(XYPad, ACancelledGestureEndsBothEdits)
{
    PadFixture f;
    f.down(200, 100);
    EXPECT_EQ(f.pad->onMouseCancel(), kMouseEventHandled);
    EXPECT_FALSE(f.pad->isDragging());
    f.down(150, 100);
    f.up(150, 100);
    const std::vector<Edit> expected = {begin(5),         begin(3),        perform(5, 0.5), perform(3, 0.5),
                                        end(5),           end(3),          begin(5),        begin(3),
                                        perform(5, 0.25), perform(3, 0.5), end(5),          end(3)};
    EXPECT_EQ(f.handler.edits, expected);
    EXPECT_EQ(f.pad->onMouseCancel(), kMouseEventHandled); // nothing open: nothing sent
    EXPECT_EQ(f.handler.edits.size(), expected.size());
}

TEST(EditorGateway, WithoutAControllerNothingIsSentAndValuesReadZero)
{
    PadFixture f;
    IPtr<GatewayEditor> lonely = Steinberg::owned(new GatewayEditor(nullptr));
    EXPECT_EQ(lonely->getParameterNormalized(3), 0.0);
    EXPECT_FALSE(lonely->hasParameter(3));
    lonely->beginParameterEdit(3);
    lonely->setParameterFromView(3, 0.2);
    lonely->endParameterEdit(3);
    EXPECT_TRUE(f.handler.edits.empty());

    EXPECT_TRUE(f.editor->hasParameter(11));
    EXPECT_FALSE(f.editor->hasParameter(100));
    EXPECT_FALSE(f.editor->hasParameter(0x7FFF0000));
    f.editor->setParameterFromView(2, 0.3);
    EXPECT_EQ(f.controller->getParamNormalized(2), 0.3);
    EXPECT_EQ(f.handler.edits, (std::vector<Edit>{perform(2, 0.3)}));
}

TEST(EditorGateway, OpeningWithoutAHostRunLoopFailsCleanly)
{
    PadFixture f;
    // Neither a plug frame nor the host context offers a run loop here.
    EXPECT_FALSE(f.editor->open(reinterpret_cast<void*>(0x1234), PlatformType::kX11EmbedWindowID));
    EXPECT_EQ(f.editor->getFrame(), nullptr);
    IPlugView& view = *f.editor;
    view.attached(reinterpret_cast<void*>(0x1234), kPlatformTypeX11EmbedWindowID);
    EXPECT_EQ(f.editor->getFrame(), nullptr);
    view.removed();
    EXPECT_EQ(f.editor->getFrame(), nullptr);
}
