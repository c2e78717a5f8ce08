// Our DirectDraw declarations in namespace `ours`, read before <windows.h>
// turns the constant names into macros; the Win32 functions they declare get
// other names here, since extern "C" functions would clash across namespaces.
// For the checks that compare our declarations with the toolchain's <ddraw.h>.
#pragma once

#include <cstddef>
#include <cstdint>

#define GetActiveWindow ours_GetActiveWindow
#define ShowCursor ours_ShowCursor
#define Sleep ours_Sleep
#define lstrcmpA ours_lstrcmpA
#define IsWindow ours_IsWindow
#define LoadLibraryA ours_LoadLibraryA
#define GetProcAddress ours_GetProcAddress
#define FreeLibrary ours_FreeLibrary
#define OutputDebugStringA ours_OutputDebugStringA
namespace ours {
#include "platform/directdraw.h"
}
#undef GetActiveWindow
#undef ShowCursor
#undef Sleep
#undef lstrcmpA
#undef IsWindow
#undef LoadLibraryA
#undef GetProcAddress
#undef FreeLibrary
#undef OutputDebugStringA
