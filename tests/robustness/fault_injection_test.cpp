// A scripted host session run once for every platform call it makes, with
// that one call failing: DirectDraw methods, Win32 calls, SGL operations
// (texture memory full included) and the allocation of texture records. Every
// run must end without a crash or sanitizer report, with nothing locked and
// nothing left behind, and a clean session must succeed after it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "api/kxapi.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"
#include "texture/texture_test_control.h"

namespace {

uint8_t indexedImage[64 * 64];
uint8_t bigImage[300 * 200];
uint32_t colourImage[128 * 128];
uint32_t modifiedImage[128 * 128];
uint32_t palette[256];
uint8_t readBack[640 * 480 * 3];
constexpr int kTexturesLoaded = 6;

void frame(TextureRecord* const* textures, int count, int frameNumber) {
    HostVertex fan[6];
    for (int i = 0; i < 6; ++i) {
        float angle = float(i) * 1.2f;
        fan[i] = {320.0f + 150.0f * (i ? __builtin_cosf(angle) : 0.0f),
                  240.0f + 150.0f * (i ? __builtin_sinf(angle) : 0.0f),
                  0.5f,
                  0.5f,
                  float(i & 1),
                  float(i >> 1 & 1),
                  0xC0FFFFFFu - uint32_t(i)};
    }
    for (int i = 0; i < count; ++i) {
        SelectTexture(textures[(i + frameNumber) % count]);
        DrawPrimitive(fan, 6);
    }
    SelectTexture(nullptr);
    DrawPrimitive(fan, 1);
    DrawPrimitive(fan, 2);
    BltToCard(indexedImage, 10, 10, 64, 64, 64, 0, palette);
    StretchBltToCard(indexedImage, 600, 400, 128, 128, 64, 64, 64, 0, nullptr);
    PageFlip();
    BltFromCard(readBack, 0, 0, 160, 120, 640 * 3, 2);
}

// The whole session; returns whether the start succeeded.
bool session() {
    softsglSetTextureBudget(3 * 128 * 128 * 2); // eviction runs
    int started = Init();
    TextureRecord* textures[kTexturesLoaded] = {
        LoadTexture(indexedImage, 64, 64, 0, 0, 0, palette),
        LoadTexture(indexedImage, 64, 64, 0, 0, 0, nullptr),
        LoadTexture(colourImage, 128, 128, 0, 1, 0, nullptr),
        LoadTexture(bigImage, 300, 200, 0, 0, 0, nullptr),
        LoadTexture(colourImage, 100, 100, 0, 1, 0, nullptr),
        LoadTexture(colourImage, 128, 64, 0, 2, 0, nullptr),
    };
    LoadPalette(palette);
    ssAlphaBlend(1);
    for (int i = 0; i < 3; ++i)
        frame(textures, kTexturesLoaded, i);
    ssChromaKey(1, palette[3]);
    SelectTexture(textures[1]);
    LoadPalette(palette); // re-converts the resident global-palette texture
    SelectTexture(textures[2]);
    ModifyTexture(textures[2], modifiedImage);
    for (int i = 3; i < 5; ++i)
        frame(textures, kTexturesLoaded, i);
    kxstandLoseSurfaces();
    frame(textures, kTexturesLoaded, 5);
    frame(textures, kTexturesLoaded, 6);
    ChangeResolution(1); // frees every record
    TextureRecord* again = LoadTexture(indexedImage, 64, 64, 0, 0, 0, nullptr);
    frame(&again, 1, 7);
    ssChromaKey(0, 0);
    UnloadTexture(again);
    WaitForIdle();
    Shutdown();
    Init();
    frame(&again, 0, 8);
    Shutdown();
    ResetTextures();
    return started == 1;
}

enum Outcome { kClean = 0, kLeftBehind = 3, kRestartFailed = 4, kDeadCall = 5 };

bool nothingLeft() {
    return kxstandLiveObjects() == 0 && kxstandLockedSurfaces() == 0 &&
           softsglLiveTextures() == 0 && softsglLiveDevices() == 0 && kxstandLibraryLoaded() == 0 &&
           kxstandCursorCounter() == 0;
}

// Failing a release leaves the resource with the platform; that is not
// something the driver can give back.
bool releasesResource(const std::string& name) {
    return name.find("Release") != std::string::npos || name == "FreeLibrary" ||
           name == "sgl_delete_device" || name == "sgl_delete_texture" || name == "ShowCursor";
}

struct Site {
    std::string name;
    int call;
    int result;
    bool sgl;
};

// Runs the session in a child process with one failure; returns the outcome.
int runWithFailure(const Site& site) {
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        if (site.name == "record allocation")
            kxSetRecordAllocationFailure(site.call);
        else if (site.sgl)
            softsglFailCall(site.name.c_str(), site.result, site.call, 1);
        else
            kxstandFailCall(site.name.c_str(), site.result, site.call, 1);
        session();
        kxSetRecordAllocationFailure(0);
        if (!releasesResource(site.name)) {
            if (!nothingLeft()) _exit(kLeftBehind);
            if (!session() || !nothingLeft()) _exit(kRestartFailed);
        }
        _exit(kxstandDeadCalls() == 0 ? kClean : kDeadCall);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) return 100 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

// The platform calls a clean session makes, by name and count, from a child.
std::map<std::string, std::pair<int, bool>> callsOfACleanSession() {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        bool ok = session() && nothingLeft();
        std::string out = ok ? "ok\n" : "failed\n";
        std::set<std::string> names;
        for (const std::string& entry : kxstandCallLog())
            names.insert(entry.substr(0, entry.find('(')));
        for (std::string name : names) {
            if (name.find(" ->") != std::string::npos) name = name.substr(0, name.find(" ->"));
            out += "dd " + name + " " + std::to_string(kxstandCallCount(name.c_str())) + "\n";
        }
        std::set<std::string> sglNames;
        for (const SoftsglCall& call : softsglCalls())
            sglNames.insert(call.name);
        for (const std::string& name : sglNames)
            out += "sgl " + name + " " + std::to_string(softsglCallCount(name.c_str())) + "\n";
        ssize_t written = write(fds[1], out.data(), out.size());
        (void)written;
        _exit(0);
    }
    close(fds[1]);
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, size_t(n));
    close(fds[0]);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(text.substr(0, 3), "ok\n");
    std::map<std::string, std::pair<int, bool>> calls;
    char kind[8], name[256];
    int count;
    for (const char* p = text.c_str(); *p;) {
        if (std::sscanf(p, "%7s %255s %d", kind, name, &count) == 3)
            calls[name] = {count, std::string(kind) == "sgl"};
        const char* next = std::strchr(p, '\n');
        if (!next) break;
        p = next + 1;
    }
    return calls;
}

} // namespace

TEST(FaultInjection, EveryPlatformCallOfASessionMayFail) {
    for (int i = 0; i < 64 * 64; ++i)
        indexedImage[i] = uint8_t(i * 7);
    for (int i = 0; i < 300 * 200; ++i)
        bigImage[i] = uint8_t(i / 300 + i % 300);
    for (int i = 0; i < 128 * 128; ++i)
        colourImage[i] = 0x80000000u | uint32_t(i * 2654435761u >> 8);
    for (int i = 0; i < 256; ++i)
        palette[i] = 0xFF000000u | uint32_t(i * 0x010307);

    std::map<std::string, std::pair<int, bool>> calls = callsOfACleanSession();
    for (const char* expected :
         {"LoadLibraryA", "GetProcAddress", "FreeLibrary", "DirectDrawCreate", "IsWindow",
          "IDirectDraw::SetCooperativeLevel", "IDirectDraw::SetDisplayMode",
          "IDirectDraw::CreateSurface", "IDirectDrawSurface::Lock", "IDirectDrawSurface::Flip",
          "IDirectDrawSurface::Restore", "sgl_create_texture", "sgl_set_texture",
          "sgl_create_screen_device", "sgltri_render"})
        EXPECT_TRUE(calls.count(expected)) << expected << " is not made by the session";

    std::vector<Site> sites;
    for (const auto& [name, info] : calls) {
        for (int call = 1; call <= info.first; ++call) {
            if (info.second) {
                sites.push_back({name, call, -1, true});
                if (name == "sgl_create_texture") sites.push_back({name, call, -243, true});
            } else {
                HRESULT code =
                    name.find("Lock") != std::string::npos ? DDERR_SURFACELOST : DDERR_GENERIC;
                sites.push_back({name, call, code, false});
            }
        }
    }
    for (int call = 1; call <= kTexturesLoaded + 2; ++call)
        sites.push_back({"record allocation", call, 0, false});

    std::set<std::string> failedNames;
    int failures = 0;
    for (const Site& site : sites) {
        int outcome = runWithFailure(site);
        failedNames.insert(site.name);
        if (outcome != kClean) {
            ++failures;
            ADD_FAILURE() << site.name << " call " << site.call << " failing with " << site.result
                          << ": outcome " << outcome;
        }
    }
    // Every platform call the session makes was failed at least once.
    for (const auto& entry : calls)
        EXPECT_TRUE(failedNames.count(entry.first)) << entry.first;
    std::printf("failed %zu call sites of %zu platform calls; %d run(s) went wrong\n", sites.size(),
                calls.size(), failures);
}
