#!/usr/bin/env python3
"""How many faults does the test suite catch?

Applies a fixed list of single-line mutations to the product code (the
interface, every layer of the driver, softsgl) and to the tools' use of the
driver's rules (trace, the fuzz input's layout), one at a time: rebuilds the
native release build with tests, runs the suite (the Wine and Windows table
checks aside, they test other builds), and counts the mutations that make a
test fail. Every file is restored afterwards, also when the run is
interrupted.

    nice -n 15 scripts/mutation_test.py [--build DIR] [--only TEXT] [--numbers 7,1,4]
    scripts/mutation_test.py --check

A mutation whose line is not in the tree once and once only fails the run
before anything is built: the code moved, and the mutation must follow it
(--check lists those and builds nothing; CI runs it). A mutation that does
not compile, or that no test catches, fails the run at its end.
"""
import argparse
import os
import re
import signal
import subprocess
import sys

# (file, line as it stands (unique in the file), the line mutated)
MUTATIONS = [
    # diag
    ("diag/diag.cpp", "if (logTarget == kLogNone) return 0;", "if (logTarget != kLogNone) return 0;"),
    # display
    ("display/ddraw_setup.cpp", "if (!ddSetDisplayMode(window)) return 0;",
     "ddSetDisplayMode(window);"),
    ("display/ddraw_setup.cpp",
     "DWORD edge = inBlank ? DDWAITVB_BLOCKEND : DDWAITVB_BLOCKBEGIN;",
     "DWORD edge = inBlank ? DDWAITVB_BLOCKBEGIN : DDWAITVB_BLOCKEND;"),
    ("display/surfaces.cpp", "reinterpret_cast<uintptr_t>(base) & 3);",
     "reinterpret_cast<uintptr_t>(base) & 1);"),
    ("display/surfaces.cpp", "rowPitch > 0xFFFF || rowPitch % 2 != 0) {",
     "rowPitch > 0x1FFFF || rowPitch % 2 != 0) {"),
    ("display/surfaces.cpp", "if (pFrontBuffer->IsLost() != DD_OK) {", "if (false) {"),
    ("display/diagnostics.cpp", "if (driverCaps.dwCaps & row.bit) OutputDebugStringA(row.line);",
     "if (!(driverCaps.dwCaps & row.bit)) OutputDebugStringA(row.line);"),
    # Callers hand the reporter every result but DD_OK: other success values
    # (S_FALSE, counts) must pass it silently.
    ("display/diagnostics.cpp", "if (code >= 0) return;", "if (code == 0) return;"),
    # blit
    ("blit/pixel_format.cpp",
     "f.screenColourConverter = f.greenMask == 0x07E0 ? colourTo565 : colourTo555;",
     "f.screenColourConverter = f.greenMask == 0x03E0 ? colourTo565 : colourTo555;"),
    ("blit/pixel_format.cpp", "((v >> 8) & 0xF800) | ((v >> 5) & 0x07E0)",
     "((v >> 8) & 0xF800) | ((v >> 4) & 0x07E0)"),
    ("blit/pixel_format.cpp", "return format.redMask == 0x7C00 ? 15 : 16;",
     "return 16;"),
    ("blit/pixel_format.cpp", "if (w & 0xAAAAAAAAu) index |= 1;",
     "if (w & 0x55555555u) index |= 1;"),
    ("api/kxapi_records.h", "return format < kxFormatCount ? kxFormats[format].layout : nullptr;",
     "return format < kxFormatCount - 1 ? kxFormats[format].layout : nullptr;"),
    ("blit/host_bytes.h", "static_cast<int64_t>(origin) + length, limit);",
     "static_cast<int64_t>(origin) + length, limit + 1);"),
    ("blit/blit.cpp", "convert(&local[k], &palette[k]);", "convert(&local[k], &palette[k ^ 1]);"),
    ("blit/blit.cpp", "\"bltC\", &key);", "\"bltC\", nullptr);"),
    ("blit/blit.cpp", "sourceHeight, w, table, key != nullptr, key ? *key : 0);",
     "sourceHeight, w, table, false, key ? *key : 0);"),
    ("blit/host_bytes.h", "*columns = std::min(width, screenWidth);",
     "*columns = std::min(width, screenWidth - 1);"),
    ("blit/host_bytes.h", "return static_cast<int64_t>(65536 / width) * sourceWidth;",
     "return static_cast<int64_t>(65535 / width) * sourceWidth;"),
    ("blit/kernel_parts.h", "if (colour != key) store16(at, colour);", "store16(at, colour);"),
    # texture
    ("texture/texture_table.cpp", "if (textureCount >= kTextureTableSize) {",
     "if (textureCount > kTextureTableSize) {"),
    ("texture/texture_table.cpp", "for (int32_t i = index; i + 1 < textureCount; ++i)",
     "for (int32_t i = index; i + 2 < textureCount; ++i)"),
    ("texture/texture_cache.cpp", "if (record == lastRecord) return lastHandle;",
     "if (false) return lastHandle;"),
    ("texture/texture_cache.cpp", "slots[i].lastUsedFrame = frame;",
     "slots[i].lastUsedFrame = frame - 1;"),
    ("texture/texture_cache.cpp", "if (candidateAge < kRecentAge && oldestAge > kRecentAge) {",
     "if (candidateAge < kRecentAge - 1 && oldestAge > kRecentAge) {"),
    ("texture/texture_cache.cpp",
     "slots[candidate].lastUsedFrame = frameOffset(currentFrame, -kBackdatedAge);",
     "slots[candidate].lastUsedFrame = frameOffset(currentFrame, -3);"),
    ("texture/texture_cache.cpp", "static_cast<int32_t>(age * kLongIdleStep));",
     "static_cast<int32_t>(age * 0.4));"),
    ("texture/texture_cache.cpp", "slots[i].mapType == mapType && age > bestAge) {",
     "slots[i].mapType == mapType && age >= bestAge) {"),
    ("texture/texture_cache.cpp", "if (Kept(i) || age <= thresholdAge) {",
     "if (Kept(i) || age < thresholdAge) {"),
    ("texture/texture_cache.cpp", "    if (record == lastRecord) {", "    if (false) {"),
    ("texture/texture_cache.cpp",
     "if (!record->palette) RefreshTexture(record, slots[i].textureName, record->pixels);",
     "if (record->palette) RefreshTexture(record, slots[i].textureName, record->pixels);"),
    ("texture/host_texels.h", "(keyMode == 1 && colour == keyColour)",
     "(keyMode == 0 && colour == keyColour)"),
    ("texture/host_texels.h", "return anyTransparent1555(pixels, count);",
     "return !anyTransparent1555(pixels, count);"),
    ("texture/host_texels.h", "(~colour & 0xFF000000u);", "(colour & 0xFF000000u);"),
    # driver
    ("driver/lifecycle.cpp", "minimumLibraryVersion) >= 0 ? 1 : 0;",
     "minimumLibraryVersion) > 0 ? 1 : 0;"),
    ("driver/lifecycle.cpp", "if (mode >= 0 && mode < 5) size = resolutionModes[mode];",
     "if (mode >= 0 && mode < 4) size = resolutionModes[mode];"),
    ("driver/lifecycle.cpp", "keyedBlits = 0;", "keyedBlits = chromaKeyMode == 1;"),
    ("driver/render_states.cpp", "sglContext.flags = SGLTT_DEFAULT_FLAGS;",
     "sglContext.flags = SGLTT_DEFAULT_FLAGS | SGLTT_VERTEXTRANS;"),
    ("driver/render_states.cpp", "if (mode == 1 || mode == 0) keyedBlits = mode;",
     "keyedBlits = mode == 1;"),
    ("driver/frame_cycle.cpp", "if (!sceneRendered) pvr_RenderScene();", "pvr_RenderScene();"),
    ("driver/frame_cycle.cpp", "renderTarget = {address, pitch, kDisplayWidth, kDisplayHeight, 1};",
     "renderTarget = {address, pitch, kDisplayWidth, kDisplayHeight - 1, 1};"),
    ("driver/frame_cycle.cpp", "params->bitsPerPixel = static_cast<uint8_t>(ddGetBitsPerPixel(screenFormat));",
     "params->bitsPerPixel = 16;"),
    ("driver/draw_primitive.cpp", "while (i < count && (vertices[i].colour >> 24) == 0xFF)",
     "while (i < count && (vertices[i].colour >> 24) >= 0xFE)"),
    ("driver/draw_primitive.cpp", "fanIndexTable[i][2] = i + 2;", "fanIndexTable[i][2] = i + 1;"),
    ("driver/texture_entry_points.cpp", "if (currentTexture == record) currentTexture = nullptr;",
     "if (false) currentTexture = nullptr;"),
    ("driver/texture_entry_points.cpp",
     "if (currentTexture) useTextureName(textureCache.ResidentName(currentTexture));",
     "(void)0;"),
    # the rules the tools share with the driver: the interface's formats and
    # sizes, which host bytes a blit reads, and the recorder's and the fuzz
    # harness's use of them
    ("api/kxapi_records.h", '{"888", 3},', '{"888", 4},'),
    ("api/kxapi_records.h", "return width <= 0 || height <= 0", "return width <= 0 && height <= 0"),
    ("blit/host_bytes.h", "clipSpan(y, height, surfaceHeight, &w->firstRow, &w->rows);",
     "clipSpan(y, height, surfaceHeight - 1, &w->firstRow, &w->rows);"),
    ("blit/host_bytes.h", "return format == kxIndexed8;", "return format <= kx8888;"),
    ("blit/host_bytes.h", "return (j * step) >> 16;", "return (j * step + 32768) >> 16;"),
    ("blit/host_bytes.h",
     "*box = {window->firstColumn, window->firstRow, window->columns, window->rows};",
     "*box = {window->firstColumn, window->firstRow, window->columns, window->rows + 1};"),
    ("blit/host_bytes.h",
     "stretchSourceRow(window->firstRow + window->rows - 1, height, sourceHeight);",
     "stretchSourceRow(window->firstRow + window->rows - 2, height, sourceHeight);"),
    ("blit/host_bytes.h", "*rows = std::min(height, screenHeight);",
     "*rows = std::min(height, screenHeight - 1);"),
    ("trace/host_reads.cpp",
     "return rows(box.firstRow * pitch + box.firstColumn, box.columns, box.rows, pitch);",
     "return rows(box.firstRow * pitch + box.firstColumn, box.columns - 1, box.rows, pitch);"),
    ("trace/host_reads.cpp", "int64_t row = int64_t(width) * hostBytesPerPixel(format);",
     "int64_t row = int64_t(width - 1) * hostBytesPerPixel(format);"),
    ("trace/recorder.cpp", "record->pixels == pixels;", "record->pixels != pixels;"),
    ("fuzz/input_layout.h", "constexpr uint8_t kFills[11] = {0x5A,",
     "constexpr uint8_t kFills[11] = {0x5B,"),
    ("fuzz/driver_fuzzer.cpp", "if (in_.byte() < kNegativeWidthBelow) width = -width;",
     "if (in_.byte() > kNegativeWidthBelow) width = -width;"),
    ("fuzz/driver_fuzzer.cpp", "int index = int(pick % handles_.size());",
     "int index = int((pick + 1) % handles_.size());"),
    # softsgl
    ("softsgl/pixel_ops.h", "return uint16_t((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));",
     "return uint16_t((r >> 3) << 11 | (g >> 3) << 5 | (b >> 3));"),
    ("softsgl/texture_memory.cpp", "if (used + costOf(side) > budget) return",
     "if (used + costOf(side) >= budget) return"),
    ("softsgl/points_lines.cpp", "if (!(q >= z)) return;", "if (!(q > z)) return;"),

    # the kernels written once over a level's lanes, and the rule that picks a set
    ("blit/blit_lanes.h", "if (!(keyed >> (2 * q) & 1)) kernel::store16(d + 2 * q, c[q]);",
     "if (!(keyed >> (2 * q + 2) & 1)) kernel::store16(d + 2 * q, c[q]);"),
    ("blit/blit_lanes.h", "if (keyed == 0) {", "if (keyed != L::kAllKeyed) {"),
    ("blit/blit_lanes.h", "L::storeBgr(d + 3 * j, bg, L::component(p, redMask, red), packing);",
     "L::storeBgr(d + 3 * j, bg, L::component(p, redMask, green), packing);"),
    ("texture/texel_lanes.h", "L::convert888Group(destination + i, source + 3 * i);",
     "L::convert888Group(destination + i, source + 3 * i + 3);"),
    ("texture/texel_lanes.h", "nextRow[x] = nextFrom[columns[x]];", "nextRow[x] = from[columns[x]];"),
    ("cpu/kernel_level.h", "while (level > kLevelScalar && !sets[level])",
     "while (level > kLevelScalar && sets[level])"),
    # a session left by a host that freed the driver without Shutdown
    ("driver/left_session.cpp", "process != GetCurrentProcessId() || !address)", "!address)"),
    ("driver/left_session.cpp", "ddReleaseLeftObjects(left->display);", ";"),
    # the call counter of the stand-ins and softsgl, the stand-in's video memory
    ("calls/call_counter.cpp", "(rule.times < 0 || rule.seen < rule.fromCall + rule.times);",
     "(rule.times < 0 || rule.seen <= rule.fromCall + rule.times);"),
    ("platform/posix/video_memory_pool.cpp", "if (*at == kGuardByte) continue;",
     "if (*at != kGuardByte) continue;"),

    # the open frame's textures, the resolution change, the screen's clears
    ("texture/texture_cache.cpp", "if (Kept(i)) continue;", "if (false) continue;"),
    ("texture/texture_cache.cpp", "if (Kept(i) || age <= thresholdAge) {",
     "if (age <= thresholdAge) {"),
    ("driver/draw_primitive.cpp", "if (sglContext.flags & SGLTT_TEXTURE) textureCache.KeepForOpenFrame",
     "if (false) textureCache.KeepForOpenFrame"),
    ("driver/lifecycle.cpp", "sglDevice = createScreenDevice(screenWidth, screenHeight);",
     "sglDevice = -1;"),
    ("driver/lifecycle.cpp", "pvr_StartOfFrame();\n    return changed;", "return changed;"),
    ("driver/frame_cycle.cpp", "ddClearBackBufferOutside(screenWidth, screenHeight);", "(void)0;"),
    ("driver/frame_cycle.cpp", "if (renderTarget.valid && ddBackBufferLost()) renderTarget.valid = 0;",
     "(void)0;"),
    ("display/surfaces.cpp", "if (!clearSecondBackBuffer()) kxPrint(", "if (false) kxPrint("),
]


def run(command, cwd, log):
    with open(log, "a") as out:
        return subprocess.call(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT)


# Any "***" outcome but a skip (a test skipped here, such as a Windows
# build's check, is no catch).
FAILED = re.compile(r"Test +#\d+: (\S+) .*\*\*\*(?!Skipped)|Test +#\d+: (\S+) .*\(Failed\)")


def first_failure(command, cwd, log):
    """Runs the suite until a test fails; returns that test's name, or None
    when every test passed. The suite is stopped at the first failure rather
    than waiting for the long tests still running; the one long test, the
    fault injection, runs only once all the others have passed."""
    return (first_failure_of(command + ["-E", "^windows\\.|" + SLOW], cwd, log) or
            first_failure_of(command + ["-R", SLOW], cwd, log))


SLOW = "FaultInjection"


def first_failure_of(command, cwd, log):
    with open(log, "a") as out:
        process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE,
                                   stderr=subprocess.STDOUT, text=True, start_new_session=True)
        failed = None
        for line in process.stdout:
            out.write(line)
            match = FAILED.search(line)
            if match:
                failed = match.group(1) or match.group(2)
                os.killpg(process.pid, signal.SIGKILL)
                break
        process.stdout.close()
        code = process.wait()
    if failed is None and code != 0:
        failed = "(the suite)"
    return failed


def stop(signum, frame):
    # Leaves through the finally clauses, so that the mutated file is restored.
    raise KeyboardInterrupt


def confirmed_failure(test_cmd, root, log):
    """The name of a test that fails and fails again when run alone, or None.
    When the first failure does not repeat, the whole suite is run and every
    failing test is tried again alone."""
    failed = first_failure(test_cmd, root, log)
    if not failed:
        return None
    if failed == "(the suite)" or run(test_cmd + ["-R", "^" + re.escape(failed) + "$"], root,
                                      log) != 0:
        return failed
    run(test_cmd + ["-E", "^windows\\."], root, log)
    failing = os.path.join(root, args_build, "Testing", "Temporary", "LastTestsFailed.log")
    names = []
    if os.path.exists(failing):
        names = [line.strip().split(":", 1)[-1] for line in open(failing) if ":" in line]
    for name in names:
        if run(test_cmd + ["-R", "^" + re.escape(name) + "$"], root, log) != 0:
            return name
    return None


def misplaced(root, numbers):
    """The mutations whose line is not in its file exactly once."""
    found = []
    for number in numbers:
        name, original, _ = MUTATIONS[number - 1]
        path = os.path.join(root, name)
        text = open(path).read() if os.path.exists(path) else ""
        count = text.count(original)
        if count != 1:
            found.append("%2d %s: %s (%s)" % (number, name, original.strip(),
                                              "not found" if count == 0 else "%d times" % count))
    return found


def main():
    signal.signal(signal.SIGTERM, stop)
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/mutation", help="build folder (made if missing)")
    parser.add_argument("--only", default="", help="run only mutations whose file contains TEXT")
    parser.add_argument("--numbers", default="",
                        help="run only these mutations, in this order (7,1,4)")
    parser.add_argument("--check", action="store_true",
                        help="only check that every mutation's line is in its file once")
    args = parser.parse_args()
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    # --numbers runs in the order given: a run that must stop early covers
    # the layers it was asked for first.
    order = [n for n in ([int(n) for n in args.numbers.split(",")] if args.numbers else
                         range(1, len(MUTATIONS) + 1)) if args.only in MUTATIONS[n - 1][0]]
    lost = misplaced(root, order)
    if lost:
        print("mutations whose line moved (point them at the code again):\n  " +
              "\n  ".join(lost))
        sys.exit(1)
    if args.check:
        print("all %d mutations find their line" % len(order))
        return
    global args_build
    args_build = args.build
    build = os.path.join(root, args.build)
    log = os.path.join(build, "mutation.log")
    os.makedirs(build, exist_ok=True)
    open(log, "w").close()
    # lld links the test programs several times faster than the default linker.
    if run(["cmake", "-S", root, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DKX_TESTS=ON",
            "-DKX_BENCH=OFF", "-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld",
            "-DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld"], root, log) != 0:
        sys.exit("configure failed, see " + log)
    build_cmd = ["cmake", "--build", build, "-j2"]
    # The Wine and Windows table checks test other builds (left out above).
    test_cmd = ["ctest", "--test-dir", build, "-j2", "-LE", "wine", "--timeout", "300"]
    if run(build_cmd, root, log) != 0:
        sys.exit("the unmutated tree does not build, see " + log)
    failed = first_failure(test_cmd, root, log)
    if failed and (failed == "(the suite)" or
                   run(test_cmd + ["-R", "^" + re.escape(failed) + "$"], root, log) != 0):
        sys.exit("the unmutated tree does not pass its tests, see " + log)

    counts = {"caught": 0, "survived": 0, "no build": 0}
    layers = {}  # folder: [caught, applied]
    for number in order:
        name, original, mutated = MUTATIONS[number - 1]
        path = os.path.join(root, name)
        text = open(path).read()
        detail = ""
        try:
            with open(path, "w") as f:
                f.write(text.replace(original, mutated))
            with open(log, "a") as out:
                out.write("\n=== %d %s: %s\n" % (number, name, mutated))
            if run(build_cmd, root, log) != 0:
                outcome = "no build"
            else:
                # A test that timed out or collided on a busy machine passes
                # when run again; a caught fault fails again.
                failed = confirmed_failure(test_cmd, root, log)
                outcome = "caught" if failed else "survived"
                detail = failed or ""
        finally:
            with open(path, "w") as f:
                f.write(text)
        counts[outcome] += 1
        if outcome in ("caught", "survived"):
            tally = layers.setdefault(name.split("/")[0], [0, 0])
            tally[0] += outcome == "caught"
            tally[1] += 1
        print("%-8s %2d %s: %s  %s" % (outcome, number, name, mutated.strip(), detail), flush=True)
    applied = counts["caught"] + counts["survived"]
    print("caught %d of %d mutations (%d did not build)" %
          (counts["caught"], applied, counts["no build"]))
    print("by folder: " + ", ".join("%s %d/%d" % (layer, caught, total)
                                    for layer, (caught, total) in sorted(layers.items())))
    if counts["survived"] or counts["no build"]:
        sys.exit(1)


if __name__ == "__main__":
    main()
