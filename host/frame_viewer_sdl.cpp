// The viewer's window with SDL2: the frame is blitted onto the window's own
// surface, so it shows pixel for pixel as it was read back.
#include <SDL.h>

#include "host/frame_viewer_window.h"

namespace {

SDL_Window* window = nullptr;
std::string title;

ViewerKey keyOf(const SDL_Event& event) {
    if (event.type == SDL_QUIT ||
        (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE))
        return ViewerKey::Quit;
    if (event.type != SDL_KEYDOWN) return ViewerKey::None;
    switch (event.key.keysym.sym) {
    case SDLK_SPACE:
    case SDLK_p:
        return ViewerKey::Pause;
    case SDLK_n:
    case SDLK_RIGHT:
        return ViewerKey::StepFrame;
    case SDLK_c:
    case SDLK_DOWN:
        return ViewerKey::StepCall;
    case SDLK_q:
    case SDLK_ESCAPE:
        return ViewerKey::Quit;
    default:
        return ViewerKey::None;
    }
}

} // namespace

bool windowOpen(const char* name, int width, int height, std::string& error) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = std::string("cannot open a window: ") + SDL_GetError();
        return false;
    }
    // Without a display SDL falls back to drawing nowhere: say so instead,
    // unless that was asked for.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!SDL_getenv("SDL_VIDEODRIVER") && driver &&
        (!SDL_strcmp(driver, "offscreen") || !SDL_strcmp(driver, "dummy"))) {
        error = "cannot open a window: no display (is DISPLAY set?)";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    title = name;
    window = SDL_CreateWindow(name, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                              SDL_WINDOW_SHOWN);
    if (!window) {
        error = std::string("cannot open a window: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    return true;
}

void windowClose() {
    if (window) SDL_DestroyWindow(window);
    window = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void windowShow(const uint8_t* rgb, int width, int height, const std::string& caption) {
    if (!window) return;
    SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint8_t*>(rgb), width, height, 24, width * 3, SDL_PIXELFORMAT_RGB24);
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (frame && surface) {
        SDL_BlitSurface(frame, nullptr, surface, nullptr);
        SDL_UpdateWindowSurface(window);
    }
    if (frame) SDL_FreeSurface(frame);
    SDL_SetWindowTitle(window, (title + ": " + caption).c_str());
}

// Waits by polling. SDL's blocking wait has an event wake it through a second
// X connection, and the X server may take that message after the window is
// destroyed on the first: BadWindow then ends the program as Q quits it.
ViewerKey windowNextKey(int waitMs) {
    const Uint32 start = SDL_GetTicks();
    for (;;) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            // The window's surface keeps the frame: shown again when uncovered.
            if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED)
                SDL_UpdateWindowSurface(window);
            ViewerKey key = keyOf(event);
            if (key != ViewerKey::None) return key;
        }
        const Uint32 waited = SDL_GetTicks() - start;
        if (waitMs <= 0 || waited >= Uint32(waitMs)) return ViewerKey::None;
        SDL_Delay(SDL_min(Uint32(5), Uint32(waitMs) - waited));
    }
}
