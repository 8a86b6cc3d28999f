#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvella {

// What a layout item becomes in the window.
enum class CvLayoutItemKind : std::int32_t
{
    Label = 0,            // a static text label
    HorizontalSlider = 1, // a horizontal slider bound to the item's tag
    VerticalSlider = 2,   // a vertical slider bound to the item's tag
    ValueDisplay = 3,     // right-aligned text showing the formatted value of the tag
    OptionMenu = 4,       // an option menu bound to the tag, with the item's entries
    Image = 5,            // the embedded image named by the item's text
};

// One control or view of a layout, in layout units (y grows downwards).
struct CvLayoutItem
{
    CvLayoutItemKind kind = CvLayoutItemKind::Label;
    std::int32_t tag = -1;   // parameter ID of a control; -1 for labels and images
    std::string text;        // label text, or image name
    std::uint32_t align = 0; // label alignment: 0 left, 1 centre, 2 right
    double x = 0.0;
    double y = 0.0;
    double w = 0.0;
    double h = 0.0;
    const char* const* entries = nullptr; // option-menu texts, borrowed: they must outlive the layout
    std::int32_t entryCount = 0;
};

// A whole editor window as data: its size and its items in creation (stacking) order. Built
// afresh whenever it is asked for; it refers to nothing in the editor.
struct CvLayout
{
    double width = 0.0;
    double height = 0.0;
    std::vector<CvLayoutItem> items;

    // Appends a default item of the kind and returns it (the item, not the layout).
    CvLayoutItem& addItem(CvLayoutItemKind kind);

    // The builders append one item each and return the layout, so calls chain.
    CvLayout& addLabel(double x, double y, double w, double h, const char* text, std::uint32_t align);
    CvLayout& addHorizontalSlider(std::int32_t tag, double x, double y, double w, double h);
    CvLayout& addVerticalSlider(std::int32_t tag, double x, double y, double w, double h);
    CvLayout& addValueDisplay(std::int32_t tag, double x, double y, double w, double h);
    CvLayout& addOptionMenu(std::int32_t tag, double x, double y, double w, double h, const char* const* entries,
                            std::int32_t entryCount);
    CvLayout& addImage(const char* name, double x, double y, double w, double h);
};

// Layout units to pixels: each axis has its own factor, then the common zoom applies.
constexpr double kLayoutScaleX = 1.494;
constexpr double kLayoutScaleY = 1.611;
constexpr double kLayoutZoom = 1.25;

} // namespace corvella
