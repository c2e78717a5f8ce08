// The hand-made seeds of the driver fuzzer and the whole steps of its
// dictionary, written in the layout of input_layout.h. Each seed reaches a
// deep state in a few steps (a texture selected again after eviction, a
// keyed stretch clipped at every edge, a chain lost between two blits, ...),
// and the dictionary holds whole steps with their arguments, so that
// mutations insert meaningful calls rather than bytes. Every step written
// also notes, as a line of step_text.h, what it is meant to say.
#include "fuzz/seeds.h"

#include <cstdio>
#include <cstdlib>

#include "fuzz/input_layout.h"
#include "fuzz/step_text.h"
#include "platform/directdraw.h"

using namespace fuzzlayout;

namespace {

class Writer {
  public:
    std::vector<uint8_t> bytes;
    std::vector<std::string> steps; // what the bytes are meant to say

    // ---- numbers as the harness reads them
    void byte(int b) { bytes.push_back(uint8_t(b)); }
    void word(uint32_t w) {
        for (int i = 0; i < 4; ++i)
            byte(int((w >> (8 * i)) & 0xFF));
    }
    void integer(int32_t small, int32_t value) {
        if (value < -small || value > small)
            refuse(std::to_string(value) + " is out of reach of integer(" + std::to_string(small) +
                   ")");
        byte(kPlainIntegerByte);
        word(integerWord(small, value));
    }
    void coordinate(double pixels) {
        byte(kPlainCoordinateByte);
        word(coordinateWord(int32_t(pixels * kCoordinateScale)));
    }
    void choice(bool yes) { byte(yes ? kYes : kNo); }

    // ---- entry-point steps; the variant picks the fill of the step's images
    Writer& step(EntryStep s, int variant = 0) {
        byte(s + kEntrySteps * variant);
        fill_ = kFills[variant];
        return *this;
    }
    Writer& plain(EntryStep s) {
        step(s);
        return note(steptext::plain(s));
    }
    Writer& init() { return plain(kInit); }
    Writer& shutdown() {
        step(kShutdown, kShutdownByte / kEntrySteps);
        return note(steptext::plain(kShutdown));
    }
    Writer& changeResolution(int32_t mode) {
        step(kChangeResolution);
        integer(kModeRange, mode);
        return note(steptext::integerCall("ChangeResolution", mode));
    }
    Writer& alphaBlend(int32_t mode) {
        step(kAlphaBlend);
        integer(kStateRange, mode);
        return note(steptext::integerCall("ssAlphaBlend", mode));
    }
    Writer& chromaKey(int32_t mode, uint32_t colour) {
        step(kChromaKey);
        integer(kStateRange, mode);
        word(colour);
        return note(steptext::chromaKey(mode, colour));
    }
    // A fan (or point, line) of vertices at the given pixel positions.
    Writer& draw(std::initializer_list<std::pair<double, double>> at, uint32_t colour) {
        step(kDraw);
        byte(countByte(int32_t(at.size())));
        std::vector<float> xy;
        for (auto [x, y] : at) {
            coordinate(x);
            coordinate(y);
            coordinate(10); // z
            byte(kPlainInvWByte);
            byte(127);         // 1/w = 128 / 256
            coordinate(x / 4); // u, v: a texel a pixel, over kTexelScale
            coordinate(y / 4);
            word(colour);
            xy.insert(xy.end(), {float(x), float(y)});
        }
        return note(steptext::drawPrimitive(int32_t(at.size()), xy.data(), colour));
    }
    // An image of width x height pixels of one of the six formats, filled.
    Writer& loadTexture(int32_t width, int32_t height, uint32_t format, bool ownPalette = false,
                        int variant = 0) {
        step(kLoadTexture, variant);
        byte(width <= 64 && height <= 64 ? kSmallTextureByte : kMediumTextureByte);
        word(uint32_t(width));
        word(uint32_t(height));
        byte(kWidthAsGivenByte);
        byte(kOneOfTheFormatsByte);
        byte(int(format));
        byte(kPixelsGivenByte);
        choice(ownPalette);
        word(0); // hostValue4
        word(0); // hostValue6
        note(steptext::loadTexture(true, width, height, format, 0, 0,
                                   steptext::palette(ownPalette, fill_), fill_, handles_));
        ++handles_;
        return *this;
    }
    // Handle number k of those loaded so far (in this input).
    std::string handle(int k) {
        if (k < 0 || k >= handles_)
            refuse("handle " + std::to_string(k) + " of " + std::to_string(handles_) + " loaded");
        byte(handleByte(k, handles_));
        return steptext::handle(k);
    }
    Writer& select(int k) {
        step(kSelectTexture);
        return note(steptext::call("SelectTexture", handle(k)));
    }
    Writer& unload(int k) {
        step(kUnloadTexture);
        return note(steptext::call("UnloadTexture", handle(k)));
    }
    Writer& modify(int k, int variant = 0) {
        step(kModifyTexture, variant);
        return note(steptext::modifyTexture(handle(k), fill_));
    }
    Writer& loadPalette(int variant = 0) {
        step(kLoadPalette, variant);
        choice(true);
        return note(steptext::call("LoadPalette", steptext::palette(true, fill_)));
    }
    // The arguments the two blits share: the rectangle at (x, y), format 0,
    // and the palette choice.
    void blitStep(EntryStep s, int variant, int32_t x, int32_t y, int32_t width, int32_t height,
                  bool ownPalette) {
        step(s, variant);
        integer(kColumnRange, x);
        integer(kRowRange, y);
        integer(kColumnRange, width);
        integer(kRowRange, height);
        byte(kOneOfTheFormatsByte);
        byte(0); // format 0
        choice(ownPalette);
    }
    // An 8-bit image of width x height at (x, y), the global palette, top-down
    // rows of width + extra bytes.
    Writer& blt(int32_t x, int32_t y, int32_t width, int32_t height, int extra = 0,
                int variant = 0) {
        blitStep(kBlt, variant, x, y, width, height, false);
        choice(false); // top-down
        byte(extra);
        return note(steptext::blt(x, y, width, height, width + extra, 0,
                                  steptext::palette(false, fill_), fill_));
    }
    // A sourceWidth x sourceHeight 8-bit image with a palette of its own,
    // top-down rows of sourceWidth + 3 bytes, onto the rectangle at (x, y).
    Writer& stretch(int32_t x, int32_t y, int32_t width, int32_t height, int32_t sourceWidth,
                    int32_t sourceHeight, int variant = 0) {
        blitStep(kStretchBlt, variant, x, y, width, height, true);
        integer(kSourceSideRange, sourceWidth);
        integer(kSourceSideRange, sourceHeight);
        choice(false); // top-down
        byte(3);
        return note(steptext::stretchBlt(x, y, width, height, sourceWidth, sourceHeight,
                                         sourceWidth + 3, 0, steptext::palette(true, fill_),
                                         fill_));
    }
    // The top-left width x height pixels in format 2, top-down rows of
    // 3 width + 5 bytes.
    Writer& readBack(int32_t width, int32_t height) {
        step(kReadBack);
        integer(kColumnRange, width);
        integer(kRowRange, height);
        byte(5);
        byte(kTopDownReadBackByte);
        integer(kUnusedRange, 0);
        integer(kUnusedRange, 0);
        byte(kFormat888Byte);
        return note(steptext::readBack(width, height, 3 * width + 5, 0, 0, 2));
    }
    Writer& pageFlip() { return plain(kPageFlip); }
    Writer& lose() { return plain(kLoseSurfaces); }

    // ---- machine steps
    // A machine step with one argument byte.
    Writer& machine(MachineStep m, int argument, const std::string& step) {
        byte(kMachineStep);
        byte(m);
        byte(argument);
        return note(step);
    }
    Writer& pixelFormat555() { return machine(kPixelFormat, kYes, steptext::pixelFormat(true)); }
    Writer& pitch(int index) { return machine(kPitch, index, steptext::pitch(kPitches[index])); }
    Writer& offset(int bytes) { return machine(kOffset, bytes, steptext::surfaceOffset(bytes)); }
    Writer& modeRefused() { return machine(kModeSupported, kYes, steptext::displayMode(true)); }
    Writer& modeAccepted() { return machine(kModeSupported, kNo, steptext::displayMode(false)); }
    Writer& window(WindowChoice which) { return machine(kWindow, which, steptext::window(which)); }
    Writer& version(int index) {
        return machine(kVersion, index, steptext::version(kVersions[index]));
    }
    Writer& budget(int index) { return machine(kBudget, index, steptext::budget(kBudgets[index])); }
    Writer& frames(int index) {
        return machine(kFrames, index, steptext::frames(kFrameCounts[index]));
    }
    // count textures of kTextureSides[sideIndex] pixels a side, of the fill
    // of the entry step before.
    Writer& textures(int count, int sideIndex, uint32_t format) {
        const std::string step = steptext::textures(count, kTextureSides[sideIndex], format, fill_);
        machine(kTextures, count - 1, step);
        byte(sideIndex);
        byte(int(format));
        handles_ += count;
        return *this;
    }
    Writer& selectEach(bool drawing, bool flipping) {
        return machine(kSelectEach,
                       (drawing ? kSelectEachDraws : 0) | (flipping ? kSelectEachFlips : 0),
                       steptext::selectEach(size_t(handles_), drawing, flipping));
    }
    Writer& fail(PlatformCall call, uint32_t result, int fromCall = 1, int times = 1) {
        machine(kFailWith, call, steptext::fail(platformCallName(call), fromCall, times, result));
        word(result);
        byte(fromCall - 1);
        byte(times - 1);
        return *this;
    }

  private:
    int handles_ = 0;
    uint8_t fill_ = kFills[0];

    Writer& note(const std::string& line) {
        steps.push_back(line);
        return *this;
    }
    [[noreturn]] static void refuse(const std::string& why) {
        std::fprintf(stderr, "seeds: %s\n", why.c_str());
        std::exit(1);
    }
};

constexpr uint32_t kSurfaceLost = uint32_t(DDERR_SURFACELOST);
constexpr uint32_t kMemoryFull = uint32_t(kSglMemoryFull);
constexpr uint32_t kMagenta = 0x00FF00FF;

} // namespace

std::vector<Seed> namedSeeds() {
    std::vector<Seed> all;
    auto add = [&all](const char* name, const Writer& w) {
        all.push_back({name, w.bytes, w.steps});
    };

    // Two 256-texel textures fill this memory: the third selection evicts,
    // and selecting the first again after frames have passed uploads it
    // over an evicted one.
    add("seed_select_after_eviction", Writer()
                                          .budget(5)
                                          .textures(4, 3, 1)
                                          .select(0)
                                          .draw({{10, 10}, {100, 10}, {100, 100}}, 0xFFFFFFFF)
                                          .frames(6)
                                          .select(1)
                                          .frames(2)
                                          .select(2)
                                          .select(3)
                                          .frames(14)
                                          .select(0)
                                          .draw({{10, 10}, {100, 10}, {100, 100}}, 0xFFFFFFFF)
                                          .pageFlip());
    // Textures of two sizes and map types under a small memory, selected
    // in turn with frames between them: eviction by age rather than by a
    // slot of the same kind, then a texture unloaded while resident.
    add("seed_eviction_by_age", Writer()
                                    .budget(4)
                                    .textures(2, 2, 0)
                                    .textures(2, 3, 2)
                                    .selectEach(true, true)
                                    .frames(13)
                                    .selectEach(true, false)
                                    .unload(1)
                                    .select(3)
                                    .pageFlip());
    // No texture fits at all, and a memory-full answer from SGL itself;
    // then a keyed indexed texture in the global palette as a start has it.
    add("seed_texture_memory_full", Writer()
                                        .budget(0)
                                        .loadTexture(64, 64, 1)
                                        .select(0)
                                        .budget(7)
                                        .fail(kCallSglCreateTexture, kMemoryFull, 1, 2)
                                        .loadTexture(200, 120, 0, true)
                                        .select(1)
                                        .select(0)
                                        .chromaKey(1, kMagenta)
                                        .loadTexture(32, 32, 0)
                                        .select(2)
                                        .draw({{1, 1}, {30, 1}, {30, 30}}, 0xFFFFFFFF)
                                        .pageFlip());
    // A resident texture modified while SGL refuses the update (deleted and
    // uploaded anew), and a palette change that refreshes indexed ones.
    add("seed_modify_and_palette", Writer()
                                       .loadTexture(64, 64, 0)
                                       .loadTexture(100, 30, 0, true, 1)
                                       .select(0)
                                       .select(1)
                                       .fail(kCallSglSetTexture, 0xFFFFFFFF)
                                       .modify(1, 2)
                                       .chromaKey(1, 0x5A5A5A5A)
                                       .loadPalette(3)
                                       .modify(0, 5)
                                       .draw({{0, 0}, {319, 0}, {319, 199}, {0, 199}}, 0x80FF0000)
                                       .pageFlip());
    // A keyed stretch over every edge of the screen at once, then keyed
    // plain blits clipped at each edge in turn, at the full render area.
    add("seed_keyed_stretch_clipped", Writer()
                                          .changeResolution(3)
                                          .chromaKey(1, kMagenta)
                                          .stretch(-37, -10, 700, 500, 41, 29)
                                          .stretch(600, 440, 300, 200, 7, 300, 1)
                                          .blt(-5, 100, 50, 40, 3)
                                          .blt(620, 100, 50, 40)
                                          .blt(100, -7, 50, 40, 1)
                                          .blt(100, 470, 50, 40)
                                          .chromaKey(0, 0)
                                          .stretch(-60, -20, 700, 500, 3, 2)
                                          .pageFlip());
    // The chain lost between two blits of one frame (the second writes
    // through the address the render learnt), a flip that finds it lost,
    // and a render whose lock fails as lost and whose restore fails too.
    add("seed_lost_chain_during_blit", Writer()
                                           .blt(10, 10, 64, 64)
                                           .lose()
                                           .blt(20, 20, 64, 64, 0, 1)
                                           .stretch(0, 0, 640, 480, 32, 32)
                                           .pageFlip()
                                           .readBack(640, 480)
                                           .lose()
                                           .fail(kCallRestore, 0x80004005u)
                                           .blt(30, 30, 64, 64)
                                           .pageFlip()
                                           .fail(kCallLock, kSurfaceLost)
                                           .stretch(5, 5, 100, 100, 10, 10)
                                           .pageFlip());
    // A 555 display with an odd pitch and a chain 6 bytes off a 16-byte
    // boundary: blits at the edges and the read-back.
    add("seed_555_odd_pitch", Writer()
                                  .pixelFormat555()
                                  .pitch(1)
                                  .offset(6)
                                  .loadPalette(1)
                                  .blt(630, 470, 20, 20)
                                  .stretch(-3, -3, 646, 486, 9, 7)
                                  .pageFlip()
                                  .readBack(700, 500)
                                  .readBack(1, 1));
    // Starts that fail (display mode refused, no window, an old library)
    // and the entry points of a driver that is not started.
    add("seed_failed_starts", Writer()
                                  .modeRefused()
                                  .blt(0, 0, 10, 10)
                                  .readBack(10, 10)
                                  .window(kNoWindow)
                                  .init()
                                  .window(kDefaultWindow)
                                  .modeAccepted()
                                  .version(1)
                                  .init()
                                  .version(0)
                                  .fail(kCallSglCreateScreenDevice, 0xFFFFFFFF)
                                  .init()
                                  .loadTexture(32, 32, 1)
                                  .select(0)
                                  .init()
                                  .draw({{1, 1}, {30, 1}, {30, 30}}, 0xFFFFFFFF)
                                  .pageFlip());
    // The driver started again with a texture still selected, its window
    // destroyed, a failed Unlock leaving the back buffer locked.
    add("seed_restart_with_texture", Writer()
                                         .loadTexture(128, 128, 2)
                                         .select(0)
                                         .shutdown()
                                         .init()
                                         .draw({{1, 1}, {200, 1}, {200, 150}}, 0xFF00FF00)
                                         .window(kDestroyedWindow)
                                         .fail(kCallUnlock, 0x80004005u)
                                         .pageFlip()
                                         .blt(0, 0, 8, 8)
                                         .pageFlip());
    // Room for two 256-texel textures and four drawn with in one frame: an
    // upload that could make room only by deleting a texture the frame
    // draws with fails; the next frames make them resident in turn. Then a
    // resolution change in the middle of a textured frame.
    add("seed_open_frame_textures", Writer()
                                        .budget(5)
                                        .textures(4, 3, 1)
                                        .selectEach(true, false)
                                        .pageFlip()
                                        .selectEach(true, true)
                                        .select(2)
                                        .draw({{10, 10}, {100, 10}, {100, 100}}, 0xFFFFFFFF)
                                        .changeResolution(1)
                                        .draw({{10, 10}, {100, 10}, {100, 100}}, 0xFFFFFFFF)
                                        .pageFlip());
    // A resolution change whose device cannot be made (the device is made
    // again at the area in force, textures kept), then one where that fails
    // too (no device until the next change).
    add("seed_failed_resolution_change", Writer()
                                             .changeResolution(1)
                                             .loadTexture(64, 64, 1)
                                             .select(0)
                                             .draw({{1, 1}, {300, 1}, {300, 230}}, 0xFFFFFFFF)
                                             .fail(kCallSglCreateScreenDevice, 0xFFFFFFFB)
                                             .changeResolution(2)
                                             .draw({{1, 1}, {300, 1}, {300, 230}}, 0xFFFFFFFF)
                                             .pageFlip()
                                             .fail(kCallSglCreateScreenDevice, 0xFFFFFFFB, 1, 2)
                                             .changeResolution(0)
                                             .draw({{1, 1}, {300, 1}, {300, 230}}, 0xFFFFFFFF)
                                             .blt(0, 0, 8, 8)
                                             .pageFlip()
                                             .changeResolution(3)
                                             .pageFlip());
    return all;
}

// Whole steps for the dictionary: each machine step, and entry-point steps
// with the arguments that reach the deep states.
std::vector<Seed> dictionaryTokens() {
    std::vector<Seed> all;
    auto add = [&all](const std::string& name, const Writer& w) {
        all.push_back({name, w.bytes, w.steps});
    };
    add("pixel_format_555", Writer().pixelFormat555());
    for (int i = 0; i < 8; ++i)
        add("pitch_" + std::to_string(kPitches[i]), Writer().pitch(i));
    add("surface_offset_2", Writer().offset(2));
    add("surface_offset_7", Writer().offset(7));
    add("mode_refused", Writer().modeRefused());
    add("no_window", Writer().window(kNoWindow));
    add("window_destroyed", Writer().window(kDestroyedWindow));
    add("version_0045h", Writer().version(1));
    add("version_empty", Writer().version(4));
    for (int i = 0; i < 8; ++i)
        add("budget_" + std::to_string(kBudgets[i]), Writer().budget(i));
    add("frames_6", Writer().frames(5));
    add("frames_12", Writer().frames(10));
    add("frames_101", Writer().frames(14));
    add("textures_4x256_8888", Writer().textures(4, 3, 1));
    add("textures_8x64_indexed", Writer().textures(8, 1, 0));
    add("textures_3x128_888", Writer().textures(3, 2, 2));
    add("textures_2x100_1555", Writer().textures(2, 5, 3));
    add("select_each_draw_flip", Writer().selectEach(true, true));
    add("select_each", Writer().selectEach(false, false));
    add("fail_lock_lost", Writer().fail(kCallLock, kSurfaceLost));
    add("fail_restore", Writer().fail(kCallRestore, 0x80004005u));
    add("fail_flip_lost", Writer().fail(kCallFlip, kSurfaceLost));
    add("fail_unlock", Writer().fail(kCallUnlock, 0x80004005u));
    add("fail_create_texture_full", Writer().fail(kCallSglCreateTexture, kMemoryFull));
    add("fail_set_texture", Writer().fail(kCallSglSetTexture, 0xFFFFFFFF));
    add("fail_unknown_code", Writer().fail(kCallSetCooperativeLevel, 0x8876FFFFu));
    add("key_magenta", Writer().chromaKey(1, kMagenta));
    add("key_off", Writer().chromaKey(0, 0));
    add("blend_on", Writer().alphaBlend(1));
    add("full_area", Writer().changeResolution(3));
    add("smallest_area", Writer().changeResolution(0));
    add("texture_256_8888", Writer().loadTexture(256, 256, 1));
    add("texture_64_indexed_palette", Writer().loadTexture(64, 64, 0, true));
    add("texture_200x120_888", Writer().loadTexture(200, 120, 2));
    add("stretch_over_every_edge", Writer().stretch(-37, -10, 700, 500, 41, 29));
    add("stretch_bottom_right", Writer().stretch(600, 440, 300, 200, 7, 300));
    add("blt_left_edge", Writer().blt(-5, 100, 50, 40, 3));
    add("blt_bottom_edge", Writer().blt(100, 470, 50, 40));
    add("read_back_screen", Writer().readBack(640, 480));
    add("fan", Writer().draw({{0, 0}, {319, 0}, {319, 199}, {0, 199}}, 0x80FF0000));
    add("lose_and_blit", Writer().lose().blt(20, 20, 64, 64));
    return all;
}
