// The driver's interface as a host engine sees it: the 28 exported entry
// points, plain C functions with their arguments on the stack, found by name
// (declared here from their table, kxapi_entry_points.h), and the records
// they exchange (kxapi_records.h). A host or tool includes this header and
// nothing of the driver's own folders.
#pragma once

#include <cstdint>

#include "api/kxapi_entry_points.h"
#include "api/kxapi_records.h"
#include "platform/callconv.h"

#if defined(KX_BUILDING_DRIVER)
#define KXAPI extern "C" KX_DLLEXPORT
#else
#define KXAPI extern "C"
#endif

struct GUID;

#define KXAPI_DECLARE(code, name, Result, result, parameters, arguments)                           \
    KXAPI Result KX_CDECL name parameters;
KX_ENTRY_POINTS(KXAPI_DECLARE, KX_ENTRY_LIST)
#undef KXAPI_DECLARE
