// mingw-w64's DirectComposition header stops at IDCompositionVisualDebug; VSTGUI also asks visuals
// for IDCompositionVisual3 (depth mode, z offset, opacity, 3D transform, visibility). Declared
// from the interface's documented layout. GCC lays overloads out in declaration order (MSVC in
// reverse), so each overload pair is declared in vtable order.
#ifndef VASTORA_MINGW_DCOMP_H
#define VASTORA_MINGW_DCOMP_H
#include_next <dcomp.h>

#if defined(__cplusplus) && !defined(VASTORA_HAVE_IDCOMPOSITIONVISUAL3)
#define VASTORA_HAVE_IDCOMPOSITIONVISUAL3

#undef INTERFACE
#define INTERFACE IDCompositionVisual3
DECLARE_INTERFACE_IID_(IDCompositionVisual3, IDCompositionVisualDebug, "2775F462-B6C1-4015-B0BE-B3E7D6A4976D")
{
    STDMETHOD(SetDepthMode)(THIS_ DCOMPOSITION_DEPTH_MODE mode) PURE;
    STDMETHOD(SetOffsetZ)(THIS_ IDCompositionAnimation* animation) PURE;
    STDMETHOD(SetOffsetZ)(THIS_ float offsetZ) PURE;
    STDMETHOD(SetOpacity)(THIS_ IDCompositionAnimation* animation) PURE;
    STDMETHOD(SetOpacity)(THIS_ float opacity) PURE;
    STDMETHOD(SetTransform)(THIS_ IDCompositionTransform3D* transform) PURE;
    STDMETHOD(SetTransform)(THIS_ const D2D_MATRIX_4X4_F& matrix) PURE;
    STDMETHOD(SetVisible)(THIS_ BOOL visible) PURE;
};
#undef INTERFACE

__CRT_UUID_DECL(IDCompositionVisual3, 0x2775f462, 0xb6c1, 0x4015, 0xb0, 0xbe, 0xb3, 0xe7, 0xd6, 0xa4, 0x97, 0x6d)

#endif
#endif
