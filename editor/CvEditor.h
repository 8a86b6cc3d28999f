#pragma once

#include "controller/CvEditController.h"

#include "public.sdk/source/vst/vstguieditor.h"
#include "vstgui/lib/controls/icontrollistener.h"
#include "vstgui/lib/vstguifwd.h"

#include <map>
#include <vector>

namespace corvella {

// The framework's editor window, drawn with VSTGUI. It owns the frame between the host's attach
// and remove, binds controls and value displays to parameters by their tags, keeps them in step
// with the controller on an 80 ms idle timer, and reports every user edit to the controller and
// through it to the host, exactly once. Subclasses put their views in with createContents.
class CvEditor : public Steinberg::Vst::VSTGUIEditor, public VSTGUI::IControlListener
{
public:
    // A text label that shows the value text of one parameter.
    struct ValueLabel
    {
        VSTGUI::CTextLabel* label;
        Steinberg::Vst::ParamID tag;
    };

    static constexpr Steinberg::int32 kSyncIntervalMs = 80;

    CvEditor(void* controller, CvEditController* editController);
    ~CvEditor() override;

    bool PLUGIN_API open(void* parent, const VSTGUI::PlatformType& platformType) override;
    void PLUGIN_API close() override;
    VSTGUI::CMessageResult notify(VSTGUI::CBaseObject* sender, const char* message) override;

    // Reports the window's size also before the first attach: Linux hosts size the parent
    // window from it, and a 0 x 0 X11 window is an error that can end the host.
    Steinberg::tresult PLUGIN_API getSize(Steinberg::ViewRect* size) override;

    // Controls report here; the begin and end of a gesture reach the controller only for tags of
    // the parameter set.
    void valueChanged(VSTGUI::CControl* control) override;
    void controlBeginEdit(VSTGUI::CControl* control) override;
    void controlEndEdit(VSTGUI::CControl* control) override;

    // VSTGUI's frame forwards every control's begin and end here as well; the listener path above
    // already reports them, so these stay silent to keep each edit at one report.
    void beginEdit(VSTGUI_INT32) override {}
    void endEdit(VSTGUI_INT32) override {}

    // Copies the controller's current values into every bound control and value display.
    void syncControls();

    // The gateway to the controller, for subclasses and for views that edit through the editor.
    void beginParameterEdit(Steinberg::Vst::ParamID tag);
    void endParameterEdit(Steinberg::Vst::ParamID tag);
    void setParameterFromView(Steinberg::Vst::ParamID tag, Steinberg::Vst::ParamValue value);
    Steinberg::Vst::ParamValue getParameterNormalized(Steinberg::Vst::ParamID tag) const;
    bool hasParameter(Steinberg::Vst::ParamID tag) const;
    CvEditController* getEditController() const { return editController; }

protected:
    // Puts the editor's views into the freshly opened frame.
    virtual void createContents(VSTGUI::CViewContainer* frame) = 0;
    // The frame's rectangle in pixels.
    virtual VSTGUI::CRect getEditorRect();

    CvEditController* editController;
    std::vector<VSTGUI::CControl*> boundControls; // owned by the frame
    std::vector<ValueLabel> valueLabels;          // owned by the frame

private:
    void endOpenEdits();
    void setControlDefaults();
    void detachControls(VSTGUI::CViewContainer* container);

    bool notOpen = true;
    bool syncing = false;
    bool holdsRunLoop = false;
    // Edits begun and not yet ended, by tag, so that closing the window mid-gesture leaves the
    // host with no edit hanging open.
    std::map<Steinberg::Vst::ParamID, int> openEdits;
};

} // namespace corvella
