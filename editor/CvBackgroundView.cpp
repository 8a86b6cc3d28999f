#include "editor/CvBackgroundView.h"

#include "editor/CvPalette.h"

#include "vstgui/lib/cdrawcontext.h"

namespace corvella {

using namespace VSTGUI;

CvBackgroundView::CvBackgroundView(const CRect& size) : CView(size) {}

CvBackgroundView::~CvBackgroundView() = default;

void CvBackgroundView::draw(CDrawContext* context)
{
    const CRect r = getViewSize();
    context->setDrawMode(kAntiAliasing);
    context->setFillColor(backgroundColor());
    context->drawRect(r, kDrawFilled);
    context->setFrameColor(borderColor());
    context->setLineWidth(1.0);
    context->drawRect(r, kDrawStroked);
    setDirty(false);
}

} // namespace corvella
