// The driver's 28 entry points as a table of function pointers: what a host
// holds once it has found every export by name.
#pragma once

#include "api/kxapi.h"

#include "host/entry_point_list.h"

struct KxEntryPoints {
#define KX_MEMBER(name) decltype(&::name) name = nullptr;
    KX_ENTRY_POINTS(KX_MEMBER)
#undef KX_MEMBER
};

constexpr int kEntryPointCount = 28;
