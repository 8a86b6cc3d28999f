#include "editor/CvImageView.h"

namespace corvella {

using namespace VSTGUI;

CvImageView::CvImageView(const CRect& size, SharedPointer<CBitmap>&& bitmap) : CView(size), bitmap(std::move(bitmap))
{
}

CvImageView::~CvImageView() = default;

void CvImageView::draw(CDrawContext* context)
{
    if (bitmap)
        bitmap->draw(context, getViewSize(), CPoint(0, 0), 1.0f);
    setDirty(false);
}

} // namespace corvella
