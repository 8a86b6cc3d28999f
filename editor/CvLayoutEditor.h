#pragma once

#include "editor/CvEditor.h"
#include "editor/CvImageResource.h"
#include "editor/CvLayout.h"

#include "vstgui/lib/cbitmap.h"
#include "vstgui/lib/crect.h"

namespace corvella {

// An editor whose whole view tree comes from a layout: the background first, then one control
// per layout item, bound to its parameter. The window size is the layout's, converted to pixels.
class CvLayoutEditor : public CvEditor
{
public:
    CvLayoutEditor(void* controller, CvEditController* editController);
    ~CvLayoutEditor() override;

    // Layout units to a pixel rectangle; the two scale factors are applied one after the other,
    // never folded into one constant, so every edge lands on the same bits everywhere.
    static VSTGUI::CRect layoutToPixels(double x, double y, double w, double h);

    // A new bitmap decoded from the named image of the table, or null.
    static VSTGUI::SharedPointer<VSTGUI::CBitmap> findImage(const CvImageResource* table, const char* name);

protected:
    void createContents(VSTGUI::CViewContainer* frame) override;
    VSTGUI::CRect getEditorRect() override;

    // The window's layout; called several times per opening, so it must build the same layout
    // every time and change nothing.
    virtual CvLayout buildLayout() = 0;
    // The table searched for image items; none by default.
    virtual const CvImageResource* getImageTable();

    VSTGUI::CTextLabel* makeLabel(VSTGUI::CViewContainer* container, const VSTGUI::CRect& rect, const char* text,
                                  VSTGUI::CHoriTxtAlign align);
    VSTGUI::CHorizontalSlider* makeHorizontalSlider(VSTGUI::CViewContainer* container, std::int32_t tag,
                                                    const VSTGUI::CRect& rect);
    VSTGUI::CVerticalSlider* makeVerticalSlider(VSTGUI::CViewContainer* container, std::int32_t tag,
                                                const VSTGUI::CRect& rect);
    VSTGUI::CTextLabel* makeValueDisplay(VSTGUI::CViewContainer* container, std::int32_t tag, const VSTGUI::CRect& rect);
    VSTGUI::COptionMenu* makeOptionMenu(VSTGUI::CViewContainer* container, std::int32_t tag, const VSTGUI::CRect& rect,
                                        const char* const* entries, std::int32_t count, bool bind);
    void makeImageView(VSTGUI::CViewContainer* container, const CvImageResource* table, const char* name,
                       const VSTGUI::CRect& rect);

private:
    template <typename Slider>
    Slider* setUpSlider(VSTGUI::CViewContainer* container, Slider* slider);
};

// A new bitmap decoded from one table entry, or null when it has no bytes or cannot be decoded.
VSTGUI::SharedPointer<VSTGUI::CBitmap> makeBitmap(const CvImageResource& entry);

} // namespace corvella
