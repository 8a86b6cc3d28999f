#include "editor/CvXYPad.h"

#include "editor/CvEditor.h"
#include "editor/CvPalette.h"

#include "vstgui/lib/cdrawcontext.h"

#include <algorithm>

namespace corvella {

using namespace VSTGUI;

namespace {

const CColor kPadBackground(11, 26, 51, 255);
const CColor kGridLines(37, 68, 119, 255);
const CColor kHandleFill(154, 200, 255, 255);
const CColor kHandleOutline(255, 255, 255, 255);
constexpr double kHandleHalfSize = 4.0;
constexpr int kGridDivisions = 8;

double clampUnit(double v) { return v > 1.0 ? 1.0 : (v < 0.0 ? 0.0 : v); }

} // namespace

CvXYPad::CvXYPad(const CRect& size, CvEditor* editor) : CView(size), editor(editor) { setTransparency(false); }

CvXYPad::~CvXYPad() = default;

void CvXYPad::setTags(std::int32_t x, std::int32_t y)
{
    tagX = x;
    tagY = y;
    setDirty(true);
}

CPoint CvXYPad::handlePosition() const
{
    const CRect r = getViewSize();
    double nx = 0.5;
    double ny = 0.5;
    if (editor)
    {
        // A negative tag is no parameter: the gateway answers 0 for it.
        nx = editor->getParameterNormalized(static_cast<Steinberg::Vst::ParamID>(tagX));
        ny = editor->getParameterNormalized(static_cast<Steinberg::Vst::ParamID>(tagY));
    }
    return CPoint(r.left + r.getWidth() * clampUnit(nx), r.bottom - r.getHeight() * clampUnit(ny));
}

void CvXYPad::draw(CDrawContext* context)
{
    const CRect r = getViewSize();
    const double w = r.getWidth();
    const double h = r.getHeight();
    context->setDrawMode(kAntiAliasing);
    context->setFillColor(kPadBackground);
    context->drawRect(r, kDrawFilled);

    context->setFrameColor(kGridLines);
    context->setLineWidth(1.0);
    for (int i = 1; i < kGridDivisions; ++i)
    {
        const double x = (w * i) * 0.125 + r.left;
        context->drawLine(CPoint(x, r.top), CPoint(x, r.bottom));
        const double y = (h * i) * 0.125 + r.top;
        context->drawLine(CPoint(r.left, y), CPoint(r.right, y));
    }
    context->setFrameColor(borderColor());
    context->drawRect(r, kDrawStroked);

    const CPoint c = handlePosition();
    const CRect handle(c.x - kHandleHalfSize, c.y - kHandleHalfSize, c.x + kHandleHalfSize, c.y + kHandleHalfSize);
    context->setFillColor(kHandleFill);
    context->drawRect(handle, kDrawFilled);
    context->setFrameColor(kHandleOutline);
    context->drawRect(handle, kDrawStroked);
    setDirty(false);
}

void CvXYPad::updateFromPoint(const CPoint& where)
{
    const CRect r = getViewSize();
    const double w = r.getWidth();
    if (w <= 0.0)
        return;
    const double h = r.getHeight();
    if (h <= 0.0)
        return;
    const double nx = clampUnit((where.x - r.left) / w);
    const double ny = clampUnit((r.bottom - where.y) / h);
    if (editor)
    {
        if (tagX >= 0)
            editor->setParameterFromView(static_cast<Steinberg::Vst::ParamID>(tagX), nx);
        if (tagY >= 0)
            editor->setParameterFromView(static_cast<Steinberg::Vst::ParamID>(tagY), ny);
    }
    invalid();
}

CMouseEventResult CvXYPad::onMouseDown(CPoint& where, const CButtonState& /*buttons*/)
{
    dragging = true;
    if (editor)
    {
        if (tagX >= 0)
            editor->beginParameterEdit(static_cast<Steinberg::Vst::ParamID>(tagX));
        if (tagY >= 0)
            editor->beginParameterEdit(static_cast<Steinberg::Vst::ParamID>(tagY));
    }
    updateFromPoint(where);
    return kMouseEventHandled;
}

CMouseEventResult CvXYPad::onMouseMoved(CPoint& where, const CButtonState& buttons)
{
    if (!dragging || !buttons.isLeftButton())
        return kMouseEventNotHandled;
    updateFromPoint(where);
    return kMouseEventHandled;
}

CMouseEventResult CvXYPad::onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/)
{
    endGesture();
    return kMouseEventHandled;
}

CMouseEventResult CvXYPad::onMouseCancel()
{
    endGesture();
    return kMouseEventHandled;
}

void CvXYPad::endGesture()
{
    if (!dragging)
        return;
    dragging = false;
    if (!editor)
        return;
    if (tagX >= 0)
        editor->endParameterEdit(static_cast<Steinberg::Vst::ParamID>(tagX));
    if (tagY >= 0)
        editor->endParameterEdit(static_cast<Steinberg::Vst::ParamID>(tagY));
}

} // namespace corvella
