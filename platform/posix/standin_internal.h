// What the stand-in files share among themselves: call recording and failure
// injection, the window registry, and the DirectDraw pieces that the object
// and the surfaces both need. Nothing outside platform/posix includes this.
#pragma once

#include <memory>
#include <vector>

#include <cstdint>

#include "platform/directdraw.h"

// Whether calls go into the log (arguments need formatting only then).
bool standinLoggingCalls();
// Records a call in the log and the counts. True when the call is to fail;
// *result then holds the result to return. `argsFormat` (printf style) gives
// the arguments shown in the log, null for none. `name` must outlive the
// library (a literal): the counts keep the pointer.
bool standinCallFails(const char* name, HRESULT* result, const char* argsFormat = nullptr, ...)
    __attribute__((format(printf, 3, 4)));
// Appends " -> <count>" to the latest log line (the count a Release returned).
void standinNoteReturnedCount(uint32_t count);
// A call made on a freed object, or through DirectDrawCreate while ddraw.dll
// is not loaded: a fault of the caller that a real system would punish.
void standinNoteDeadCall(const char* name);

bool standinIsWindow(HWND window);
bool standinDirectDrawLoaded();

extern "C" HRESULT KX_STDCALL DirectDrawCreate(GUID* device, IDirectDraw** directDraw,
                                               IUnknown* outer);

// The DirectDraw object as the surfaces see it.
struct DirectDrawObject;
bool directDrawHoldsExclusive(const DirectDrawObject* object);

// Surfaces, as the DirectDraw object drives them.
HRESULT createPrimaryChain(DirectDrawObject* owner, const DDSURFACEDESC& desc,
                           IDirectDrawSurface** front);
void freeSurfacesOf(const DirectDrawObject* owner);
int liveSurfaceCount();
uint32_t surfaceBytesInUse();

// Interface identities that QueryInterface answers.
bool sameGuid(const GUID& a, const GUID& b);

// Released objects are kept for a while, so that a late call on one is caught
// and counted instead of touching freed memory; beyond `keep` of them the
// oldest are deleted, so a long run (a fuzzer, a thousand starts) stays flat.
template <class T, class Released>
void forgetOldReleased(std::vector<std::unique_ptr<T>>& all, size_t keep, Released released) {
    size_t releasedCount = 0;
    for (const auto& item : all)
        releasedCount += released(*item);
    for (auto it = all.begin(); releasedCount > keep && it != all.end();) {
        if (released(**it)) {
            it = all.erase(it);
            --releasedCount;
        } else {
            ++it;
        }
    }
}
extern const GUID kIidUnknown;
extern const GUID kIidDirectDraw;
extern const GUID kIidDirectDrawSurface;

constexpr HRESULT kNoInterface = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT kNoAggregation = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT kInvalidRect = ddHResult(150);
constexpr HRESULT kImplicitlyCreated = ddHResult(588);
constexpr HRESULT kInvalidDirectDrawGuid = ddHResult(561);

// QueryInterface of a stand-in object that answers IUnknown and one interface.
template <class Interface, class Object>
HRESULT answerQueryInterface(Object* self, REFIID riid, const GUID& own, void** object) {
    if (!object) return DDERR_INVALIDPARAMS;
    if (sameGuid(riid, kIidUnknown) || sameGuid(riid, own)) {
        ++self->refs;
        *object = static_cast<Interface*>(self);
        return DD_OK;
    }
    *object = nullptr;
    return kNoInterface;
}
