#pragma once

#include "editor/CvLayoutEditor.h"

namespace corvella {
class CvXYPad;
}

namespace corvella::vastora {

// Tags of the editor's own controls; they are never parameter IDs and never reach the host.
constexpr std::int32_t kTagXAxis = 100;
constexpr std::int32_t kTagYAxis = 101;
constexpr std::int32_t kTagLock = 102;

// The parameters a new editor puts on the pad's axes.
constexpr std::int32_t kStartXAxis = 5; // MasterMix
constexpr std::int32_t kStartYAxis = 3; // ReverbTime

// The product's window: eight slider rows with value displays, the room-size and spread menus,
// two output-level faders that "Lock" can link, and an XY pad whose axes the user assigns to any
// of the first six parameters. Axis choices and Lock live in this object only.
class VastoraEditor : public CvLayoutEditor
{
public:
    VastoraEditor(void* controller, CvEditController* editController);
    ~VastoraEditor() override;

    void PLUGIN_API close() override;
    void valueChanged(VSTGUI::CControl* control) override;

protected:
    CvLayout buildLayout() override;
    const CvImageResource* getImageTable() override;
    void createContents(VSTGUI::CViewContainer* frame) override;

private:
    VSTGUI::COptionMenu* makeAxisMenu(VSTGUI::CViewContainer* frame, std::int32_t tag, double x);
    void linkOtherOutputLevel(VSTGUI::CControl* control);

    VSTGUI::CCheckBox* lockCheckBox = nullptr; // owned by the frame; null while closed
    CvXYPad* xyPad = nullptr;                  // owned by the frame; null while closed
    std::int32_t xAxisParam = kStartXAxis;
    std::int32_t yAxisParam = kStartYAxis;
    bool lockOutputLevels = true;
};

} // namespace corvella::vastora
