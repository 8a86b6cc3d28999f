#include "editor/CvLayoutEditor.h"

#include "editor/CvBackgroundView.h"
#include "editor/CvImageView.h"
#include "editor/CvPalette.h"

#include "vstgui/lib/cfont.h"
#include "vstgui/lib/controls/coptionmenu.h"
#include "vstgui/lib/controls/cslider.h"
#include "vstgui/lib/controls/ctextlabel.h"
#include "vstgui/lib/cviewcontainer.h"
#include "vstgui/lib/platform/iplatformbitmap.h"
#include "vstgui/lib/platform/platformfactory.h"

#include <cstring>

namespace corvella {

using namespace VSTGUI;

CvLayoutEditor::CvLayoutEditor(void* controller, CvEditController* editController)
    : CvEditor(controller, editController)
{
}

CvLayoutEditor::~CvLayoutEditor() = default;

CRect CvLayoutEditor::layoutToPixels(double x, double y, double w, double h)
{
    return CRect(x * kLayoutScaleX * kLayoutZoom, y * kLayoutScaleY * kLayoutZoom,
                 (x + w) * kLayoutScaleX * kLayoutZoom, (y + h) * kLayoutScaleY * kLayoutZoom);
}

CRect CvLayoutEditor::getEditorRect()
{
    const CvLayout layout = buildLayout();
    return CRect(0, 0, layout.width * kLayoutScaleX * kLayoutZoom, layout.height * kLayoutScaleY * kLayoutZoom);
}

const CvImageResource* CvLayoutEditor::getImageTable() { return nullptr; }

void CvLayoutEditor::createContents(CViewContainer* frame)
{
    frame->addView(new CvBackgroundView(getEditorRect()));
    const CvLayout layout = buildLayout();
    for (const CvLayoutItem& item : layout.items)
    {
        const CRect rect = layoutToPixels(item.x, item.y, item.w, item.h);
        switch (item.kind)
        {
        case CvLayoutItemKind::Label:
        {
            const CHoriTxtAlign align = item.align == 1 ? kCenterText : item.align == 2 ? kRightText : kLeftText;
            makeLabel(frame, rect, item.text.c_str(), align);
            break;
        }
        case CvLayoutItemKind::HorizontalSlider: makeHorizontalSlider(frame, item.tag, rect); break;
        case CvLayoutItemKind::VerticalSlider: makeVerticalSlider(frame, item.tag, rect); break;
        case CvLayoutItemKind::ValueDisplay: makeValueDisplay(frame, item.tag, rect); break;
        case CvLayoutItemKind::OptionMenu:
            makeOptionMenu(frame, item.tag, rect, item.entries, item.entryCount, true);
            break;
        case CvLayoutItemKind::Image: makeImageView(frame, getImageTable(), item.text.c_str(), rect); break;
        default: break;
        }
    }
}

CTextLabel* CvLayoutEditor::makeLabel(CViewContainer* container, const CRect& rect, const char* text,
                                      CHoriTxtAlign align)
{
    auto* label = new CTextLabel(rect, text, nullptr, 0);
    label->setFontColor(textColor());
    label->setHoriAlign(align);
    label->setTransparency(true);
    label->setFont(kNormalFontSmall);
    container->addView(label);
    return label;
}

CTextLabel* CvLayoutEditor::makeValueDisplay(CViewContainer* container, std::int32_t tag, const CRect& rect)
{
    CTextLabel* label = makeLabel(container, rect, "", kRightText);
    valueLabels.push_back({label, static_cast<Steinberg::Vst::ParamID>(tag)});
    return label;
}

template <typename Slider>
Slider* CvLayoutEditor::setUpSlider(CViewContainer* container, Slider* slider)
{
    // The controls work on normalized values; the editor maps nothing.
    slider->setMin(0.0f);
    slider->setMax(1.0f);
    slider->setDrawStyle(CSlider::kDrawFrame | CSlider::kDrawBack | CSlider::kDrawValue);
    slider->setFrameWidth(1.0);
    slider->setFrameColor(sliderFrameColor());
    slider->setBackColor(sliderBackColor());
    slider->setValueColor(sliderValueColor());
    container->addView(slider);
    boundControls.push_back(slider);
    return slider;
}

CHorizontalSlider* CvLayoutEditor::makeHorizontalSlider(CViewContainer* container, std::int32_t tag, const CRect& rect)
{
    const auto travel = static_cast<int32_t>(rect.right - rect.left);
    return setUpSlider(container, new CHorizontalSlider(rect, this, tag, 0, travel, nullptr, nullptr, CPoint(0, 0),
                                                        CSlider::kLeft));
}

CVerticalSlider* CvLayoutEditor::makeVerticalSlider(CViewContainer* container, std::int32_t tag, const CRect& rect)
{
    const auto travel = static_cast<int32_t>(rect.bottom - rect.top);
    return setUpSlider(container, new CVerticalSlider(rect, this, tag, 0, travel, nullptr, nullptr, CPoint(0, 0),
                                                      CSlider::kBottom));
}

COptionMenu* CvLayoutEditor::makeOptionMenu(CViewContainer* container, std::int32_t tag, const CRect& rect,
                                            const char* const* entries, std::int32_t count, bool bind)
{
    auto* menu = new COptionMenu(rect, this, tag, nullptr, nullptr, 0);
    menu->setMin(0.0f);
    menu->setMax(static_cast<float>(count - 1));
    for (std::int32_t i = 0; i < count; ++i)
        menu->addEntry(entries && entries[i] ? entries[i] : "", i, CMenuItem::kNoFlags);
    menu->setFontColor(textColor());
    menu->setBackColor(menuBackColor());
    menu->setFrameColor(borderColor());
    menu->setFrameWidth(1.0);
    menu->setFont(kNormalFontSmall);
    if (count > 0)
        menu->setCurrent(0, true);
    container->addView(menu);
    if (bind)
        boundControls.push_back(menu);
    return menu;
}

void CvLayoutEditor::makeImageView(CViewContainer* container, const CvImageResource* table, const char* name,
                                   const CRect& rect)
{
    SharedPointer<CBitmap> bitmap = findImage(table, name);
    if (!bitmap)
        return;
    container->addView(new CvImageView(rect, std::move(bitmap)));
}

SharedPointer<CBitmap> CvLayoutEditor::findImage(const CvImageResource* table, const char* name)
{
    if (!table || !name)
        return nullptr;
    for (const CvImageResource* entry = table; entry->name; ++entry)
        if (std::strcmp(entry->name, name) == 0)
            return makeBitmap(*entry);
    return nullptr;
}

SharedPointer<CBitmap> makeBitmap(const CvImageResource& entry)
{
    if (!entry.data || entry.size == 0)
        return nullptr;
    PlatformBitmapPtr platformBitmap = getPlatformFactory().createBitmapFromMemory(entry.data, entry.size);
    // On Linux an undecodable stream still yields a bitmap, an empty one: treat it as none.
    if (!platformBitmap || platformBitmap->getSize().x <= 0 || platformBitmap->getSize().y <= 0)
        return nullptr;
    return makeOwned<CBitmap>(platformBitmap);
}

} // namespace corvella
