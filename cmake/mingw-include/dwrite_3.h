// mingw-w64 declares the IDWriteFontSet::GetMatchingFonts overload that takes family name,
// weight, stretch and style under the name GetMatchingFonts_ (C cannot overload). Renaming it back
// for C++ turns it into an ordinary overload in the same vtable slot, so the ABI stays the same
// and code written against the documented interface compiles.
#ifndef VASTORA_MINGW_DWRITE_3_H
#define VASTORA_MINGW_DWRITE_3_H
#ifdef __cplusplus
#define GetMatchingFonts_ GetMatchingFonts
#endif
#include_next <dwrite_3.h>
#ifdef __cplusplus
#undef GetMatchingFonts_
#endif
#endif
