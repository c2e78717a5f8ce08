// Writes the hand-made seeds of the driver fuzzer and its dictionary:
//   kxfuzz_seeds CORPUS_DIR DICTIONARY_FILE
// Each seed reaches a deep state in a few steps (a texture selected again
// after eviction, a keyed stretch clipped at every edge, a chain lost
// between two blits, ...), and the dictionary holds whole steps with their
// arguments, so that mutations insert meaningful calls rather than bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/input_layout.h"
#include "platform/directdraw.h"

using namespace fuzzlayout;

namespace {

class Writer {
  public:
    std::vector<uint8_t> bytes;

    // ---- numbers as the harness reads them
    void byte(int b) { bytes.push_back(uint8_t(b)); }
    void word(uint32_t w) {
        for (int i = 0; i < 4; ++i)
            byte(int((w >> (8 * i)) & 0xFF));
    }
    void integer(int32_t small, int32_t value) {
        if (value < -small || value > small) {
            std::fprintf(stderr, "kxfuzz_seeds: %d is out of reach of integer(%d)\n", value, small);
            std::exit(1);
        }
        byte(0);
        word(integerWord(small, value));
    }
    void coordinate(double pixels) {
        byte(0);
        word(coordinateWord(int32_t(pixels * 1.5)));
    }

    // ---- entry-point steps; the variant picks the fill of the step's images
    Writer& step(EntryStep s, int variant = 0) {
        byte(s + kEntrySteps * variant);
        return *this;
    }
    Writer& init() { return step(kInit); }
    Writer& shutdown() {
        byte(kShutdownByte);
        return *this;
    }
    Writer& changeResolution(int32_t mode) {
        step(kChangeResolution);
        integer(8, mode);
        return *this;
    }
    Writer& alphaBlend(int32_t mode) {
        step(kAlphaBlend);
        integer(3, mode);
        return *this;
    }
    Writer& chromaKey(int32_t mode, uint32_t colour) {
        step(kChromaKey);
        integer(3, mode);
        word(colour);
        return *this;
    }
    // A fan (or point, line) of vertices at the given pixel positions.
    Writer& draw(std::initializer_list<std::pair<double, double>> at, uint32_t colour) {
        step(kDraw);
        byte(int(at.size()) + 5);
        for (auto [x, y] : at) {
            coordinate(x);
            coordinate(y);
            coordinate(10); // z
            byte(0);        // 1/w from the next byte
            byte(127);
            coordinate(x / 4); // u, v: a texel a pixel, over 64
            coordinate(y / 4);
            word(colour);
        }
        return *this;
    }
    Writer& loadTexture(int32_t width, int32_t height, uint32_t format, bool ownPalette = false,
                        int variant = 0) {
        step(kLoadTexture, variant);
        byte(width <= 64 && height <= 64 ? 0 : 200); // the sizes' range
        word(uint32_t(width));
        word(uint32_t(height));
        byte(255); // width as given
        byte(0);   // one of the six formats
        byte(int(format));
        byte(255); // pixels
        byte(ownPalette ? 1 : 0);
        word(0);
        word(0);
        ++handles_;
        return *this;
    }
    // Handle number k of those loaded so far (in this input).
    void handle(int k) {
        int pick = 32;
        while (pick % handles_ != k)
            ++pick;
        byte(pick);
    }
    Writer& select(int k) {
        step(kSelectTexture);
        handle(k);
        return *this;
    }
    Writer& unload(int k) {
        step(kUnloadTexture);
        handle(k);
        return *this;
    }
    Writer& modify(int k, int variant = 0) {
        step(kModifyTexture, variant);
        handle(k);
        return *this;
    }
    Writer& loadPalette(int variant = 0) {
        step(kLoadPalette, variant);
        byte(1);
        return *this;
    }
    // An 8-bit image of |width| x |height| at (x, y), pitch width + extra.
    Writer& blt(int32_t x, int32_t y, int32_t width, int32_t height, int extra = 0,
                int variant = 0) {
        step(kBlt, variant);
        integer(700, x);
        integer(500, y);
        integer(700, width);
        integer(500, height);
        byte(0); // format 0
        byte(0);
        byte(0); // the global palette
        byte(0); // a pitch of width + extra
        byte(extra);
        return *this;
    }
    Writer& stretch(int32_t x, int32_t y, int32_t width, int32_t height, int32_t sourceWidth,
                    int32_t sourceHeight, int variant = 0) {
        step(kStretchBlt, variant);
        integer(700, x);
        integer(500, y);
        integer(700, width);
        integer(500, height);
        byte(0);
        byte(0);
        byte(1); // its own palette
        integer(300, sourceWidth);
        integer(300, sourceHeight);
        byte(0);
        byte(3);
        return *this;
    }
    Writer& readBack(int32_t width, int32_t height) {
        step(kReadBack);
        integer(700, width);
        integer(500, height);
        byte(5);   // pitch 3 width + 5
        byte(255); // top-down
        integer(10, 0);
        integer(10, 0);
        byte(0); // format 2
        return *this;
    }
    Writer& pageFlip() { return step(kPageFlip); }
    Writer& lose() { return step(kLoseSurfaces); }

    // ---- machine steps
    Writer& machine(MachineStep m) {
        byte(kMachineStep);
        byte(m);
        return *this;
    }
    Writer& pixelFormat555() {
        machine(kPixelFormat);
        byte(1);
        return *this;
    }
    Writer& pitch(int index) {
        machine(kPitch);
        byte(index);
        return *this;
    }
    Writer& offset(int bytes) {
        machine(kOffset);
        byte(bytes);
        return *this;
    }
    Writer& modeRefused() {
        machine(kModeSupported);
        byte(1);
        return *this;
    }
    Writer& modeAccepted() {
        machine(kModeSupported);
        byte(0);
        return *this;
    }
    Writer& window(int which) {
        machine(kWindow);
        byte(which);
        return *this;
    }
    Writer& version(int index) {
        machine(kVersion);
        byte(index);
        return *this;
    }
    Writer& budget(int index) {
        machine(kBudget);
        byte(index);
        return *this;
    }
    Writer& frames(int index) {
        machine(kFrames);
        byte(index);
        return *this;
    }
    Writer& textures(int count, int sideIndex, uint32_t format) {
        machine(kTextures);
        byte(count - 1);
        byte(sideIndex);
        byte(int(format));
        handles_ += count;
        return *this;
    }
    Writer& selectEach(bool drawing, bool flipping) {
        machine(kSelectEach);
        byte((drawing ? 1 : 0) | (flipping ? 2 : 0));
        return *this;
    }
    // Fails the platform call kDirectDrawCalls[k] (or kSglCalls[k - 14]).
    Writer& fail(int call, uint32_t result, int fromCall = 1, int times = 1) {
        machine(kFailWith);
        byte(call);
        word(result);
        byte(fromCall - 1);
        byte(times - 1);
        return *this;
    }

  private:
    int handles_ = 0;
};

// Indices into kDirectDrawCalls and, from 14, kSglCalls.
enum Call {
    kLock = 4,
    kUnlock = 5,
    kFlip = 6,
    kRestore = 7,
    kSglCreateTexture = 14,
    kSglSetTexture = 15,
    kSglCreateDevice = 16,
};
constexpr uint32_t kSurfaceLost = uint32_t(DDERR_SURFACELOST);
constexpr uint32_t kMemoryFull = uint32_t(-243);
constexpr uint32_t kMagenta = 0x00FF00FF;

struct Seed {
    const char* name;
    Writer writer;
};

std::vector<Seed> seeds() {
    std::vector<Seed> all;
    auto add = [&all](const char* name, Writer w) { all.push_back({name, w}); };

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
                                        .fail(kSglCreateTexture, kMemoryFull, 1, 2)
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
                                       .fail(kSglSetTexture, 0xFFFFFFFF)
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
                                           .fail(kRestore, 0x80004005u)
                                           .blt(30, 30, 64, 64)
                                           .pageFlip()
                                           .fail(kLock, kSurfaceLost)
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
                                  .window(1)
                                  .init()
                                  .window(0)
                                  .modeAccepted()
                                  .version(1)
                                  .init()
                                  .version(0)
                                  .fail(kSglCreateDevice, 0xFFFFFFFF)
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
                                         .window(2)
                                         .fail(kUnlock, 0x80004005u)
                                         .pageFlip()
                                         .blt(0, 0, 8, 8)
                                         .pageFlip());
    return all;
}

// Whole steps for the dictionary: each machine step, and entry-point steps
// with the arguments that reach the deep states.
std::vector<std::pair<std::string, Writer>> tokens() {
    std::vector<std::pair<std::string, Writer>> all;
    auto add = [&all](const char* name, Writer w) { all.push_back({name, w}); };
    add("pixel_format_555", Writer().pixelFormat555());
    for (int i = 0; i < 8; ++i)
        add(("pitch_" + std::to_string(kPitches[i])).c_str(), Writer().pitch(i));
    add("surface_offset_2", Writer().offset(2));
    add("surface_offset_7", Writer().offset(7));
    add("mode_refused", Writer().modeRefused());
    add("no_window", Writer().window(1));
    add("window_destroyed", Writer().window(2));
    add("version_0045h", Writer().version(1));
    add("version_empty", Writer().version(4));
    for (int i = 0; i < 8; ++i)
        add(("budget_" + std::to_string(kBudgets[i])).c_str(), Writer().budget(i));
    add("frames_6", Writer().frames(5));
    add("frames_12", Writer().frames(10));
    add("frames_101", Writer().frames(14));
    add("textures_4x256_8888", Writer().textures(4, 3, 1));
    add("textures_8x64_indexed", Writer().textures(8, 1, 0));
    add("textures_3x128_888", Writer().textures(3, 2, 2));
    add("textures_2x100_1555", Writer().textures(2, 5, 3));
    add("select_each_draw_flip", Writer().selectEach(true, true));
    add("select_each", Writer().selectEach(false, false));
    add("fail_lock_lost", Writer().fail(kLock, kSurfaceLost));
    add("fail_restore", Writer().fail(kRestore, 0x80004005u));
    add("fail_flip_lost", Writer().fail(kFlip, kSurfaceLost));
    add("fail_unlock", Writer().fail(kUnlock, 0x80004005u));
    add("fail_create_texture_full", Writer().fail(kSglCreateTexture, kMemoryFull));
    add("fail_set_texture", Writer().fail(kSglSetTexture, 0xFFFFFFFF));
    add("fail_unknown_code", Writer().fail(0, 0x8876FFFFu));
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

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR DICTIONARY_FILE\n", argv[0]);
        return 2;
    }
    for (const Seed& seed : seeds())
        if (!writeFile(std::string(argv[1]) + "/" + seed.name, seed.writer.bytes)) return 1;
    std::string dictionary =
        "# Whole steps of the driver fuzzer's input (written by kxfuzz_seeds).\n";
    for (const auto& [name, writer] : tokens()) {
        dictionary += name + "=\"";
        char escaped[8];
        for (uint8_t b : writer.bytes) {
            std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
            dictionary += escaped;
        }
        dictionary += "\"\n";
    }
    return writeFile(argv[2], std::vector<uint8_t>(dictionary.begin(), dictionary.end())) ? 0 : 1;
}
