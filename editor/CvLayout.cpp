#include "editor/CvLayout.h"

namespace corvella {

namespace {

CvLayoutItem& place(CvLayoutItem& item, double x, double y, double w, double h)
{
    item.x = x;
    item.y = y;
    item.w = w;
    item.h = h;
    return item;
}

} // namespace

CvLayoutItem& CvLayout::addItem(CvLayoutItemKind kind)
{
    items.emplace_back();
    items.back().kind = kind;
    return items.back();
}

CvLayout& CvLayout::addLabel(double x, double y, double w, double h, const char* text, std::uint32_t align)
{
    CvLayoutItem& item = place(addItem(CvLayoutItemKind::Label), x, y, w, h);
    item.text = text ? text : "";
    item.align = align;
    return *this;
}

CvLayout& CvLayout::addHorizontalSlider(std::int32_t tag, double x, double y, double w, double h)
{
    place(addItem(CvLayoutItemKind::HorizontalSlider), x, y, w, h).tag = tag;
    return *this;
}

CvLayout& CvLayout::addVerticalSlider(std::int32_t tag, double x, double y, double w, double h)
{
    place(addItem(CvLayoutItemKind::VerticalSlider), x, y, w, h).tag = tag;
    return *this;
}

CvLayout& CvLayout::addValueDisplay(std::int32_t tag, double x, double y, double w, double h)
{
    CvLayoutItem& item = place(addItem(CvLayoutItemKind::ValueDisplay), x, y, w, h);
    item.tag = tag;
    item.align = 2;
    return *this;
}

CvLayout& CvLayout::addOptionMenu(std::int32_t tag, double x, double y, double w, double h, const char* const* entries,
                                  std::int32_t entryCount)
{
    CvLayoutItem& item = place(addItem(CvLayoutItemKind::OptionMenu), x, y, w, h);
    item.tag = tag;
    item.entries = entries;
    item.entryCount = entryCount;
    return *this;
}

CvLayout& CvLayout::addImage(const char* name, double x, double y, double w, double h)
{
    place(addItem(CvLayoutItemKind::Image), x, y, w, h).text = name ? name : "";
    return *this;
}

} // namespace corvella
