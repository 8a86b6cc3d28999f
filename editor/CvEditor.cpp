#include "editor/CvEditor.h"

#include "editor/CvX11RunLoop.h"

#include "vstgui/lib/cframe.h"
#include "vstgui/lib/controls/ccontrol.h"
#include "vstgui/lib/controls/ctextlabel.h"
#include "vstgui/lib/cvstguitimer.h"

#include <cmath>

namespace corvella {

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace VSTGUI;

CvEditor::CvEditor(void* controller, CvEditController* editController)
    : VSTGUIEditor(controller, nullptr), editController(editController)
{
    setIdleRate(kSyncIntervalMs);
}

CvEditor::~CvEditor()
{
    // A host that releases the view without removing it first must not leave a live window. The
    // SDK's remove step stops the idle timer before the frame (and with it VSTGUI's run loop)
    // goes away, as a host's removed() would.
    if (frame)
        VSTGUIEditor::removed();
}

CRect CvEditor::getEditorRect() { return CRect(0, 0, 400, 300); }

tresult PLUGIN_API CvEditor::getSize(ViewRect* size)
{
    if (!size)
        return kInvalidArgument;
    if (!frame)
    {
        const CRect r = getEditorRect();
        *size = ViewRect(0, 0, static_cast<int32>(r.getWidth()), static_cast<int32>(r.getHeight()));
        return kResultTrue;
    }
    return VSTGUIEditor::getSize(size);
}

bool PLUGIN_API CvEditor::open(void* parent, const PlatformType& platformType)
{
    if (frame)
        return false;

    // VSTGUI on Linux runs on the host's run loop; without one it cannot open a window.
    SharedPointer<X11::IRunLoop> runLoop = makeX11RunLoop(plugFrame);
    if (!runLoop && editController)
        runLoop = makeX11RunLoop(editController->getHostContext());
    if (!runLoop)
        return false;

    frame = new CFrame(getEditorRect(), this);
    X11::FrameConfig config;
    config.runLoop = runLoop;
    if (!frame->open(parent, platformType, &config))
    {
        frame->forget();
        frame = nullptr;
        return false;
    }
    retainX11RunLoop(runLoop);
    holdsRunLoop = true;
    createContents(frame);
    setControlDefaults();
    notOpen = false;
    syncControls();
    frame->setDirty(true);
    return true;
}

void CvEditor::setControlDefaults()
{
    if (!editController)
        return;
    // VSTGUI's reset gesture sets a control to its default value, which is the middle of its
    // range unless it is told otherwise. The default is in the control's own range: a menu counts
    // its entries.
    const CvParameterSet& set = editController->getParameterSet();
    for (CControl* control : boundControls)
        if (const CvParamSpec* spec = set.findSpec(static_cast<ParamID>(control->getTag())))
        {
            const double d = CvParameterSet::defaultNormalized(*spec);
            control->setDefaultValue(static_cast<float>(control->getMin() + d * control->getRange()));
        }
}

void CvEditor::detachControls(CViewContainer* container)
{
    container->forEachChild([this](CView* view) {
        if (auto* control = dynamic_cast<CControl*>(view); control && control->getListener() == this)
            control->setListener(nullptr);
        if (auto* child = view->asViewContainer())
            detachControls(child);
    });
}

void PLUGIN_API CvEditor::close()
{
    if (!frame)
        return;
    notOpen = true;
    // Views may outlive the frame for a moment (a popup menu's pending callback holds one):
    // none of them may report to this editor once it is closed.
    detachControls(frame);
    CFrame* closing = frame;
    frame = nullptr;
    boundControls.clear();
    valueLabels.clear();
    closing->close();
    endOpenEdits();
    if (holdsRunLoop)
    {
        holdsRunLoop = false;
        releaseX11RunLoop();
    }
}

void CvEditor::endOpenEdits()
{
    std::map<ParamID, int> open;
    open.swap(openEdits);
    for (const auto& [tag, count] : open)
        for (int i = 0; i < count && editController; ++i)
            editController->endEdit(tag);
}

CMessageResult CvEditor::notify(CBaseObject* sender, const char* message)
{
    const CMessageResult result = VSTGUIEditor::notify(sender, message);
    if (message == CVSTGUITimer::kMsgTimer)
        syncControls();
    return result;
}

void CvEditor::syncControls()
{
    if (!frame || !editController)
        return;
    syncing = true;
    const CvParameterSet& set = editController->getParameterSet();
    for (CControl* control : boundControls)
    {
        const auto tag = static_cast<ParamID>(control->getTag());
        if (!set.findSpec(tag))
            continue;
        const double v = editController->getParamNormalized(tag);
        const double c = control->getValueNormalized();
        if (std::fabs(c - v) > 1e-6)
        {
            control->setValueNormalized(static_cast<float>(v));
            control->setDirty(true);
        }
    }
    for (const ValueLabel& entry : valueLabels)
    {
        const std::string text = set.formatValue(entry.tag, editController->getParamNormalized(entry.tag));
        if (entry.label->getText().getString() != text)
        {
            entry.label->setText(UTF8String(text));
            entry.label->setDirty(true);
        }
    }
    syncing = false;
}

void CvEditor::valueChanged(CControl* control)
{
    if (notOpen || syncing || !control || !editController)
        return;
    const auto tag = static_cast<ParamID>(control->getTag());
    const double v = control->getValueNormalized();
    editController->setParamNormalized(tag, v);
    editController->performEdit(tag, v);
}

void CvEditor::controlBeginEdit(CControl* control)
{
    if (!control || !editController)
        return;
    const auto tag = static_cast<ParamID>(control->getTag());
    if (hasParameter(tag))
        beginParameterEdit(tag);
}

void CvEditor::controlEndEdit(CControl* control)
{
    if (!control || !editController)
        return;
    const auto tag = static_cast<ParamID>(control->getTag());
    if (hasParameter(tag))
        endParameterEdit(tag);
}

void CvEditor::beginParameterEdit(ParamID tag)
{
    if (!editController)
        return;
    ++openEdits[tag];
    editController->beginEdit(tag);
}

void CvEditor::endParameterEdit(ParamID tag)
{
    if (!editController)
        return;
    if (auto it = openEdits.find(tag); it != openEdits.end() && --it->second == 0)
        openEdits.erase(it);
    editController->endEdit(tag);
}

void CvEditor::setParameterFromView(ParamID tag, ParamValue value)
{
    if (!editController)
        return;
    editController->setParamNormalized(tag, value);
    editController->performEdit(tag, value);
}

ParamValue CvEditor::getParameterNormalized(ParamID tag) const
{
    return editController ? editController->getParamNormalized(tag) : 0.0;
}

bool CvEditor::hasParameter(ParamID tag) const
{
    return editController && editController->getParameterSet().findSpec(tag) != nullptr;
}

} // namespace corvella
