#include "editor/VastoraEditor.h"

#include "editor/CvPalette.h"
#include "editor/CvXYPad.h"
#include "editor/VastoraImages.h"
#include "params/VastoraParams.h"

#include "vstgui/lib/cfont.h"
#include "vstgui/lib/controls/cbuttons.h"
#include "vstgui/lib/controls/coptionmenu.h"
#include "vstgui/lib/controls/ctextlabel.h"
#include "vstgui/lib/cviewcontainer.h"

namespace corvella::vastora {

using namespace VSTGUI;

namespace {

struct SliderRow
{
    Steinberg::Vst::ParamID id;
    const char* label; // the parameter word, blanks, then the unit
};

const SliderRow kSliderRows[8] = {
    {kPreDelay, "PreDelay    ms"},   {kDiffusion, "Diffusion    %"},  {kBrightness, "Brightness  Hz"},
    {kReverbTime, "ReverbTime  s"},  {kEarlyLate, "Early/Late   %"},  {kMasterMix, "MasterMix   %"},
    {kModulation, "Modulation   %"}, {kWarmth, "Warmth       x"},
};

// The parameters the pad's axes can take: entry i names parameter ID i.
const char* const kAxisParamNames[6] = {"PreDelay", "Diffusion", "Brightness", "ReverbTime", "Early/Late", "MasterMix"};

const CColor kAxisLabelColor(76, 139, 224, 255);

} // namespace

VastoraEditor::VastoraEditor(void* controller, CvEditController* editController)
    : CvLayoutEditor(controller, editController)
{
}

VastoraEditor::~VastoraEditor()
{
    // Removed here, while this class's part of the window still exists (see ~CvEditor).
    if (frame)
        VSTGUIEditor::removed();
}

CvLayout VastoraEditor::buildLayout()
{
    CvLayout layout;
    layout.width = 338;
    layout.height = 332;
    for (int k = 0; k < 8; ++k)
    {
        const double y = 41 + 17 * k;
        const auto tag = static_cast<std::int32_t>(kSliderRows[k].id);
        layout.addLabel(8, y, 60, 15, kSliderRows[k].label, 0)
            .addHorizontalSlider(tag, 95, y, 166, 15)
            .addValueDisplay(tag, 263, y, 56, 15);
    }
    layout.addLabel(95, 7, 85, 10, "Room Size:", 0)
        .addOptionMenu(kRoomSize, 180, 4, 96, 15, kRoomSizeNames, 10)
        .addLabel(95, 22, 130, 10, "Early Reflection Spread:", 0)
        .addOptionMenu(kSpread, 180, 21, 96, 15, kSpreadNames, 11)
        .addVerticalSlider(kOutputLevelL, 8, 196, 27, 111)
        .addVerticalSlider(kOutputLevelR, 46, 196, 27, 111)
        .addLabel(10, 307, 60, 10, "Output Level", 0);
    return layout;
}

const CvImageResource* VastoraEditor::getImageTable() { return kVastoraImages; }

COptionMenu* VastoraEditor::makeAxisMenu(CViewContainer* frame, std::int32_t tag, double x)
{
    auto* menu = new COptionMenu(layoutToPixels(x, 182, 96, 15), this, tag, nullptr, nullptr, 0);
    menu->setMin(0.0f);
    menu->setMax(5.0f);
    for (int i = 0; i < 6; ++i)
        menu->addEntry(kAxisParamNames[i], i, CMenuItem::kNoFlags);
    menu->setFontColor(textColor());
    menu->setBackColor(menuBackColor());
    menu->setFrameColor(borderColor());
    menu->setFrameWidth(1.0);
    menu->setFont(kNormalFontSmall);
    frame->addView(menu);
    return menu;
}

void VastoraEditor::createContents(CViewContainer* frame)
{
    CvLayoutEditor::createContents(frame);

    makeLabel(frame, layoutToPixels(8, 4, 84, 15), "TAMSEL", kLeftText)->setFont(kNormalFontBig);
    CTextLabel* product = makeLabel(frame, layoutToPixels(8, 20, 84, 15), "Vastora", kLeftText);
    product->setFont(kNormalFont);
    product->setFontColor(accentTextColor());

    makeLabel(frame, layoutToPixels(83, 182, 10, 12), "X", kLeftText)->setFontColor(kAxisLabelColor);
    COptionMenu* xMenu = makeAxisMenu(frame, kTagXAxis, 95);
    makeLabel(frame, layoutToPixels(208, 182, 10, 12), "Y", kLeftText)->setFontColor(kAxisLabelColor);
    COptionMenu* yMenu = makeAxisMenu(frame, kTagYAxis, 220);
    // Selected only now that both are in the frame.
    xMenu->setValue(static_cast<float>(xAxisParam));
    xMenu->setCurrent(xAxisParam, true);
    yMenu->setValue(static_cast<float>(yAxisParam));
    yMenu->setCurrent(yAxisParam, true);
    // VSTGUI's reset gesture (Ctrl-click) sets any control to its default, the middle of its
    // range unless told otherwise: that would put entry 1 on an axis and a half-ticked Lock.
    xMenu->setDefaultValue(static_cast<float>(kStartXAxis));
    yMenu->setDefaultValue(static_cast<float>(kStartYAxis));

    lockCheckBox = new CCheckBox(layoutToPixels(68, 308, 60, 10), this, kTagLock, "Lock", nullptr, 0);
    lockCheckBox->setValue(lockOutputLevels ? 1.0f : 0.0f);
    lockCheckBox->setDefaultValue(0.0f);
    lockCheckBox->setFontColor(textColor());
    lockCheckBox->setFont(kNormalFontSmall);
    lockCheckBox->setTransparency(true);
    frame->addView(lockCheckBox);

    // Last, so it lies on top of everything, the check box's right part included.
    xyPad = new CvXYPad(layoutToPixels(78, 195, 253, 134), this);
    xyPad->setTags(xAxisParam, yAxisParam);
    frame->addView(xyPad);
}

void PLUGIN_API VastoraEditor::close()
{
    if (xyPad)
        xyPad->detachEditor();
    xyPad = nullptr;
    lockCheckBox = nullptr;
    CvLayoutEditor::close();
}

void VastoraEditor::valueChanged(CControl* control)
{
    if (!control)
        return;
    const std::int32_t tag = control->getTag();
    if (tag == kTagXAxis || tag == kTagYAxis)
    {
        const auto axis = static_cast<std::int32_t>(control->getValue() + 0.5f);
        (tag == kTagXAxis ? xAxisParam : yAxisParam) = axis;
        if (xyPad)
            xyPad->setTags(xAxisParam, yAxisParam);
        return;
    }
    if (tag == kTagLock)
    {
        lockOutputLevels = control->getValue() >= 0.5f;
        return;
    }
    if ((tag == kOutputLevelL || tag == kOutputLevelR) && lockOutputLevels)
        linkOtherOutputLevel(control);
    CvLayoutEditor::valueChanged(control);
}

void VastoraEditor::linkOtherOutputLevel(CControl* control)
{
    if (!editController)
        return;
    const double v = control->getValueNormalized();
    const Steinberg::Vst::ParamID other = control->getTag() == kOutputLevelL ? kOutputLevelR : kOutputLevelL;
    editController->beginEdit(other);
    editController->setParamNormalized(other, v);
    editController->performEdit(other, v);
    editController->endEdit(other);
}

} // namespace corvella::vastora
