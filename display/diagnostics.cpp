// The capability dump and the reporter of DirectDraw results.
#include "display/display.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "display/display_local.h"
#include "diag/diag.h"
#include "platform/win32.h"

namespace {

struct CapsLine {
    DWORD bit;
    const char* line;
};

// Printed in this order, which is not the order of the bits.
constexpr CapsLine kCapsLines[] = {
    {DDCAPS_3D, "DDCAPS_3D\n"},
    {DDCAPS_BLT, "DDCAPS_BLT\n"},
    {DDCAPS_BLTCOLORFILL, "DDCAPS_BLTCOLORFILL\n"},
    {DDCAPS_BLTQUEUE, "DDCAPS_BLTQUEUE\n"},
    {DDCAPS_BLTFOURCC, "DDCAPS_BLTFOURCC\n"},
    {DDCAPS_BLTSTRETCH, "DDCAPS_BLTSTRETCH\n"},
    {DDCAPS_GDI, "DDCAPS_GDI\n"},
    {DDCAPS_OVERLAY, "DDCAPS_OVERLAY\n"},
    {DDCAPS_OVERLAYCANTCLIP, "DDCAPS_OVERLAYCANTCLIP\n"},
    {DDCAPS_OVERLAYFOURCC, "DDCAPS_OVERLAYFOURCC\n"},
    {DDCAPS_OVERLAYSTRETCH, "DDCAPS_OVERLAYSTRETCH\n"},
    {DDCAPS_PALETTE, "DDCAPS_PALETTE\n"},
    {DDCAPS_READSCANLINE, "DDCAPS_READSCANLINE\n"},
    {DDCAPS_VBI, "DDCAPS_VBI\n"},
    {DDCAPS_ZBLTS, "DDCAPS_ZBLTS\n"},
    {DDCAPS_ZOVERLAYS, "DDCAPS_ZOVERLAYS\n"},
    {DDCAPS_COLORKEY, "DDCAPS_COLORKEY\n"},
    {DDCAPS_ALPHA, "DDCAPS_ALPHA\n"},
    {DDCAPS_NOHARDWARE, "DDCAPS_NOHARDWARE\n"},
};

constexpr uint32_t dd(uint32_t number) {
    return 0x88760000u + number;
}

// Failure codes the reporter knows, sorted for a binary search.
constexpr uint32_t kRecognisedCodes[] = {
    // General COM failures.
    0x80004001u, // E_NOTIMPL, DDERR_UNSUPPORTED
    0x80004002u, // E_NOINTERFACE
    0x80004003u, // E_POINTER
    0x80004004u, // E_ABORT
    0x80004005u, // E_FAIL, DDERR_GENERIC
    0x8000FFFFu, // E_UNEXPECTED
    0x80070005u, // E_ACCESSDENIED
    0x80070006u, // E_HANDLE
    0x8007000Eu, // E_OUTOFMEMORY, DDERR_OUTOFMEMORY
    0x80070057u, // E_INVALIDARG, DDERR_INVALIDPARAMS
    // DirectDraw failures, by their number in DirectDraw's facility.
    dd(5),   // ALREADYINITIALIZED
    dd(10),  // CANNOTATTACHSURFACE
    dd(20),  // CANNOTDETACHSURFACE
    dd(40),  // CURRENTLYNOTAVAIL
    dd(55),  // EXCEPTION
    dd(90),  // HEIGHTALIGN
    dd(95),  // INCOMPATIBLEPRIMARY
    dd(100), // INVALIDCAPS
    dd(110), // INVALIDCLIPLIST
    dd(120), // INVALIDMODE
    dd(130), // INVALIDOBJECT
    dd(145), // INVALIDPIXELFORMAT
    dd(150), // INVALIDRECT
    dd(160), // LOCKEDSURFACES
    dd(170), // NO3D
    dd(180), // NOALPHAHW
    dd(205), // NOCLIPLIST
    dd(210), // NOCOLORCONVHW
    dd(212), // NOCOOPERATIVELEVELSET
    dd(215), // NOCOLORKEY
    dd(220), // NOCOLORKEYHW
    dd(222), // NODIRECTDRAWSUPPORT
    dd(225), // NOEXCLUSIVEMODE
    dd(230), // NOFLIPHW
    dd(240), // NOGDI
    dd(250), // NOMIRRORHW
    dd(255), // NOTFOUND
    dd(260), // NOOVERLAYHW
    dd(280), // NORASTEROPHW
    dd(310), // NOSTRETCHHW
    dd(316), // NOT4BITCOLOR
    dd(317), // NOT4BITCOLORINDEX
    dd(320), // NOT8BITCOLOR
    dd(330), // NOTEXTUREHW
    dd(335), // NOVSYNCHW
    dd(340), // NOZBUFFERHW
    dd(350), // NOZOVERLAYHW
    dd(360), // OUTOFCAPS
    dd(380), // OUTOFVIDEOMEMORY
    dd(382), // OVERLAYCANTCLIP
    dd(384), // OVERLAYCOLORKEYONLYONEACTIVE
    dd(387), // PALETTEBUSY
    dd(400), // COLORKEYNOTSET
    dd(410), // SURFACEALREADYATTACHED
    dd(420), // SURFACEALREADYDEPENDENT
    dd(430), // SURFACEBUSY
    dd(435), // CANTLOCKSURFACE
    dd(440), // SURFACEISOBSCURED
    dd(450), // SURFACELOST
    dd(460), // SURFACENOTATTACHED
    dd(470), // TOOBIGHEIGHT
    dd(480), // TOOBIGSIZE
    dd(490), // TOOBIGWIDTH
    dd(510), // UNSUPPORTEDFORMAT
    dd(520), // UNSUPPORTEDMASK
    dd(537), // VERTICALBLANKINPROGRESS
    dd(540), // WASSTILLDRAWING
    dd(560), // XALIGN
    dd(561), // INVALIDDIRECTDRAWGUID
    dd(562), // DIRECTDRAWALREADYCREATED
    dd(563), // NODIRECTDRAWHW
    dd(564), // PRIMARYSURFACEALREADYEXISTS
    dd(565), // NOEMULATION
    dd(566), // REGIONTOOSMALL
    dd(567), // CLIPPERISUSINGHWND
    dd(568), // NOCLIPPERATTACHED
    dd(569), // NOHWND
    dd(570), // HWNDSUBCLASSED
    dd(571), // HWNDALREADYSET
    dd(572), // NOPALETTEATTACHED
    dd(573), // NOPALETTEHW
    dd(574), // BLTFASTCANTCLIP
    dd(575), // NOBLTHW
    dd(576), // NODDROPSHW
    dd(577), // OVERLAYNOTVISIBLE
    dd(578), // NOOVERLAYDEST
    dd(579), // INVALIDPOSITION
    dd(580), // NOTAOVERLAYSURFACE
    dd(581), // EXCLUSIVEMODEALREADYSET
    dd(582), // NOTFLIPPABLE
    dd(583), // CANTDUPLICATE
    dd(584), // NOTLOCKED
    dd(585), // CANTCREATEDC
    dd(586), // NODC
    dd(587), // WRONGMODE
    dd(588), // IMPLICITLYCREATED
    dd(589), // NOTPALETTIZED
    dd(590), // UNSUPPORTEDMODE
    dd(591), // NOMIPMAPHW
    dd(592), // INVALIDSURFACETYPE
    dd(600), // NOOPTIMIZEHW
    dd(601), // NOTLOADED
    dd(620), // DCALREADYCREATED
    dd(630), // NONONLOCALVIDMEM
    dd(640), // CANTPAGELOCK
    dd(660), // CANTPAGEUNLOCK
    dd(680), // NOTPAGELOCKED
    dd(690), // MOREDATA
    dd(695), // VIDEONOTACTIVE
    dd(699), // DEVICEDOESNTOWNSURFACE
};

static_assert(std::size(kRecognisedCodes) == 110, "recognised failure codes");

constexpr bool sortedStrictly(const uint32_t* codes, size_t count) {
    for (size_t i = 1; i < count; ++i)
        if (codes[i - 1] >= codes[i]) return false;
    return true;
}
static_assert(sortedStrictly(kRecognisedCodes, std::size(kRecognisedCodes)),
              "the binary search needs a sorted table");

} // namespace

int ddDumpDriverCaps() {
    if (!ddEnsureLibrary()) return 0;

    // An object of its own, released at once: the dump runs before the
    // layer makes the one that stays.
    IDirectDraw* object = nullptr;
    if (!ddCheck(pfnDirectDrawCreate(nullptr, &object, nullptr)) || !ddGotObject(object)) return 0;

    std::memset(&driverCaps, 0, sizeof driverCaps);
    std::memset(&helCaps, 0, sizeof helCaps);
    driverCaps.dwSize = sizeof driverCaps;
    helCaps.dwSize = sizeof helCaps;
    HRESULT result = object->GetCaps(&driverCaps, &helCaps);
    lastDDrawResult = result;
    object->Release();
    if (result != DD_OK) {
        debugDDrawErrMsg(result);
        return 0;
    }

    // Straight to the debugger: the one output of the layer meant to be seen.
    OutputDebugStringA("*** DirectDraw Driver Caps ***\n");
    for (const CapsLine& row : kCapsLines)
        if (driverCaps.dwCaps & row.bit) OutputDebugStringA(row.line);
    return 1;
}

void debugDDrawErrMsg(HRESULT code) {
    // Success values and reference counts are not failures.
    if (code >= 0) return;
    uint32_t value = static_cast<uint32_t>(code);
    if (std::binary_search(std::begin(kRecognisedCodes), std::end(kRecognisedCodes), value)) return;
    char message[128];
    std::snprintf(message, sizeof message, "KX: debugDDrawErrMsg, Unknown DDraw error: 0x%08Xl\n",
                  value);
    kxPrint("%s", message);
}
