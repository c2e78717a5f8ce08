// The driver's 28 entry points as a table of function pointers: what a host
// holds once it has found every export by name.
#pragma once

#include "api/kxapi.h"

struct KxEntryPoints {
#define KX_MEMBER(code, name, Result, result, parameters, arguments)                               \
    decltype(&::name) name = nullptr;
    KX_ENTRY_POINTS(KX_MEMBER, KX_ENTRY_LIST)
#undef KX_MEMBER
};

constexpr int kEntryPointCount = kxEntryPointCount;
