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

// Failure codes the reporter knows, by their published names, sorted for a
// binary search.
struct KnownCode {
    uint32_t code;
    const char* name;
};
constexpr KnownCode kRecognisedCodes[] = {
    // General COM failures.
    {0x80004001u, "DDERR_UNSUPPORTED"},
    {0x80004002u, "E_NOINTERFACE"},
    {0x80004003u, "E_POINTER"},
    {0x80004004u, "E_ABORT"},
    {0x80004005u, "DDERR_GENERIC"},
    {0x8000FFFFu, "E_UNEXPECTED"},
    {0x80070005u, "E_ACCESSDENIED"},
    {0x80070006u, "E_HANDLE"},
    {0x8007000Eu, "DDERR_OUTOFMEMORY"},
    {0x80070057u, "DDERR_INVALIDPARAMS"},
    // DirectDraw failures, by their number in DirectDraw's facility.
    {dd(5), "DDERR_ALREADYINITIALIZED"},
    {dd(10), "DDERR_CANNOTATTACHSURFACE"},
    {dd(20), "DDERR_CANNOTDETACHSURFACE"},
    {dd(40), "DDERR_CURRENTLYNOTAVAIL"},
    {dd(55), "DDERR_EXCEPTION"},
    {dd(90), "DDERR_HEIGHTALIGN"},
    {dd(95), "DDERR_INCOMPATIBLEPRIMARY"},
    {dd(100), "DDERR_INVALIDCAPS"},
    {dd(110), "DDERR_INVALIDCLIPLIST"},
    {dd(120), "DDERR_INVALIDMODE"},
    {dd(130), "DDERR_INVALIDOBJECT"},
    {dd(145), "DDERR_INVALIDPIXELFORMAT"},
    {dd(150), "DDERR_INVALIDRECT"},
    {dd(160), "DDERR_LOCKEDSURFACES"},
    {dd(170), "DDERR_NO3D"},
    {dd(180), "DDERR_NOALPHAHW"},
    {dd(205), "DDERR_NOCLIPLIST"},
    {dd(210), "DDERR_NOCOLORCONVHW"},
    {dd(212), "DDERR_NOCOOPERATIVELEVELSET"},
    {dd(215), "DDERR_NOCOLORKEY"},
    {dd(220), "DDERR_NOCOLORKEYHW"},
    {dd(222), "DDERR_NODIRECTDRAWSUPPORT"},
    {dd(225), "DDERR_NOEXCLUSIVEMODE"},
    {dd(230), "DDERR_NOFLIPHW"},
    {dd(240), "DDERR_NOGDI"},
    {dd(250), "DDERR_NOMIRRORHW"},
    {dd(255), "DDERR_NOTFOUND"},
    {dd(260), "DDERR_NOOVERLAYHW"},
    {dd(280), "DDERR_NORASTEROPHW"},
    {dd(310), "DDERR_NOSTRETCHHW"},
    {dd(316), "DDERR_NOT4BITCOLOR"},
    {dd(317), "DDERR_NOT4BITCOLORINDEX"},
    {dd(320), "DDERR_NOT8BITCOLOR"},
    {dd(330), "DDERR_NOTEXTUREHW"},
    {dd(335), "DDERR_NOVSYNCHW"},
    {dd(340), "DDERR_NOZBUFFERHW"},
    {dd(350), "DDERR_NOZOVERLAYHW"},
    {dd(360), "DDERR_OUTOFCAPS"},
    {dd(380), "DDERR_OUTOFVIDEOMEMORY"},
    {dd(382), "DDERR_OVERLAYCANTCLIP"},
    {dd(384), "DDERR_OVERLAYCOLORKEYONLYONEACTIVE"},
    {dd(387), "DDERR_PALETTEBUSY"},
    {dd(400), "DDERR_COLORKEYNOTSET"},
    {dd(410), "DDERR_SURFACEALREADYATTACHED"},
    {dd(420), "DDERR_SURFACEALREADYDEPENDENT"},
    {dd(430), "DDERR_SURFACEBUSY"},
    {dd(435), "DDERR_CANTLOCKSURFACE"},
    {dd(440), "DDERR_SURFACEISOBSCURED"},
    {dd(450), "DDERR_SURFACELOST"},
    {dd(460), "DDERR_SURFACENOTATTACHED"},
    {dd(470), "DDERR_TOOBIGHEIGHT"},
    {dd(480), "DDERR_TOOBIGSIZE"},
    {dd(490), "DDERR_TOOBIGWIDTH"},
    {dd(510), "DDERR_UNSUPPORTEDFORMAT"},
    {dd(520), "DDERR_UNSUPPORTEDMASK"},
    {dd(537), "DDERR_VERTICALBLANKINPROGRESS"},
    {dd(540), "DDERR_WASSTILLDRAWING"},
    {dd(560), "DDERR_XALIGN"},
    {dd(561), "DDERR_INVALIDDIRECTDRAWGUID"},
    {dd(562), "DDERR_DIRECTDRAWALREADYCREATED"},
    {dd(563), "DDERR_NODIRECTDRAWHW"},
    {dd(564), "DDERR_PRIMARYSURFACEALREADYEXISTS"},
    {dd(565), "DDERR_NOEMULATION"},
    {dd(566), "DDERR_REGIONTOOSMALL"},
    {dd(567), "DDERR_CLIPPERISUSINGHWND"},
    {dd(568), "DDERR_NOCLIPPERATTACHED"},
    {dd(569), "DDERR_NOHWND"},
    {dd(570), "DDERR_HWNDSUBCLASSED"},
    {dd(571), "DDERR_HWNDALREADYSET"},
    {dd(572), "DDERR_NOPALETTEATTACHED"},
    {dd(573), "DDERR_NOPALETTEHW"},
    {dd(574), "DDERR_BLTFASTCANTCLIP"},
    {dd(575), "DDERR_NOBLTHW"},
    {dd(576), "DDERR_NODDROPSHW"},
    {dd(577), "DDERR_OVERLAYNOTVISIBLE"},
    {dd(578), "DDERR_NOOVERLAYDEST"},
    {dd(579), "DDERR_INVALIDPOSITION"},
    {dd(580), "DDERR_NOTAOVERLAYSURFACE"},
    {dd(581), "DDERR_EXCLUSIVEMODEALREADYSET"},
    {dd(582), "DDERR_NOTFLIPPABLE"},
    {dd(583), "DDERR_CANTDUPLICATE"},
    {dd(584), "DDERR_NOTLOCKED"},
    {dd(585), "DDERR_CANTCREATEDC"},
    {dd(586), "DDERR_NODC"},
    {dd(587), "DDERR_WRONGMODE"},
    {dd(588), "DDERR_IMPLICITLYCREATED"},
    {dd(589), "DDERR_NOTPALETTIZED"},
    {dd(590), "DDERR_UNSUPPORTEDMODE"},
    {dd(591), "DDERR_NOMIPMAPHW"},
    {dd(592), "DDERR_INVALIDSURFACETYPE"},
    {dd(600), "DDERR_NOOPTIMIZEHW"},
    {dd(601), "DDERR_NOTLOADED"},
    {dd(620), "DDERR_DCALREADYCREATED"},
    {dd(630), "DDERR_NONONLOCALVIDMEM"},
    {dd(640), "DDERR_CANTPAGELOCK"},
    {dd(660), "DDERR_CANTPAGEUNLOCK"},
    {dd(680), "DDERR_NOTPAGELOCKED"},
    {dd(690), "DDERR_MOREDATA"},
    {dd(695), "DDERR_VIDEONOTACTIVE"},
    {dd(699), "DDERR_DEVICEDOESNTOWNSURFACE"},
};

static_assert(std::size(kRecognisedCodes) == 110, "recognised failure codes");

constexpr bool sortedStrictly(const KnownCode* codes, size_t count) {
    for (size_t i = 1; i < count; ++i)
        if (codes[i - 1].code >= codes[i].code) return false;
    return true;
}

// The recognised code's entry, or null.
const KnownCode* findCode(uint32_t value) {
    const KnownCode* end = std::end(kRecognisedCodes);
    const KnownCode* at =
        std::lower_bound(std::begin(kRecognisedCodes), end, value,
                         [](const KnownCode& known, uint32_t code) { return known.code < code; });
    return at != end && at->code == value ? at : nullptr;
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

    DDCAPS driverCaps = {}, helCaps = {};
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
    // A recognised code is named: the log then says what DirectDraw refused.
    if (const KnownCode* known = findCode(value)) {
        kxPrint("KX: debugDDrawErrMsg, %s (0x%08X)\n", known->name, value);
        return;
    }
    char message[128];
    std::snprintf(message, sizeof message, "KX: debugDDrawErrMsg, Unknown DDraw error: 0x%08Xl\n",
                  value);
    kxPrint("%s", message);
}
