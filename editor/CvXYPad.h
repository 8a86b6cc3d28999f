#pragma once

#include "vstgui/lib/cview.h"

#include <cstdint>

namespace corvella {

class CvEditor;

// One dragged handle that edits two parameters at once: the horizontal position sets the x tag's
// parameter, the vertical position the y tag's, both 0 at the bottom-left and 1 at the top-right.
// It edits through the editor's gateway and is not kept in step by the editor's sync: it shows
// the current values whenever it is drawn.
class CvXYPad : public VSTGUI::CView
{
public:
    CvXYPad(const VSTGUI::CRect& size, CvEditor* editor);
    ~CvXYPad() override;

    // Chooses the two parameters (a negative tag leaves that axis without one) and redraws.
    void setTags(std::int32_t tagX, std::int32_t tagY);
    // Stops all reporting to the editor, which is closing. Open edits are the editor's to end.
    void detachEditor() { editor = nullptr; }

    VSTGUI::CPoint handlePosition() const;
    void updateFromPoint(const VSTGUI::CPoint& where);

    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseMoved(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    // A cancelled gesture ends both edits it opened, so the host is not left mid-edit.
    VSTGUI::CMouseEventResult onMouseCancel() override;

    bool isDragging() const { return dragging; }

private:
    void endGesture();

    CvEditor* editor;
    std::int32_t tagX = -1;
    std::int32_t tagY = -1;
    bool dragging = false;
};

} // namespace corvella
