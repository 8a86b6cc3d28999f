#pragma once

#include "vstgui/lib/cview.h"

namespace corvella {

// The window's background: a filled rectangle with a one-pixel frame on top of its edges.
class CvBackgroundView : public VSTGUI::CView
{
public:
    explicit CvBackgroundView(const VSTGUI::CRect& size);
    ~CvBackgroundView() override;

    void draw(VSTGUI::CDrawContext* context) override;
};

} // namespace corvella
