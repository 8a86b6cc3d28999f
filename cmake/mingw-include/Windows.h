// The SDK includes the capitalised name, which a case-sensitive file system does not map to
// mingw-w64's windows.h.
#pragma once
#include <windows.h>
