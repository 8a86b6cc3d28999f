#pragma once

#include "vstgui/lib/cbitmap.h"
#include "vstgui/lib/cview.h"

namespace corvella {

// Shows one bitmap over the view's rectangle; draws nothing without one.
class CvImageView : public VSTGUI::CView
{
public:
    // Takes over the caller's reference to the bitmap.
    CvImageView(const VSTGUI::CRect& size, VSTGUI::SharedPointer<VSTGUI::CBitmap>&& bitmap);
    ~CvImageView() override;

    void draw(VSTGUI::CDrawContext* context) override;

private:
    VSTGUI::SharedPointer<VSTGUI::CBitmap> bitmap;
};

} // namespace corvella
