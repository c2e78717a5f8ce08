// kxcheck: the self-check a player runs in the game's folder. It looks at the
// driver's files beside it, loads the driver as a game does, starts it (the
// display mode and surfaces), draws and reads back a test frame, shuts it
// down, and writes what it found, step by step, to kxcheck.txt beside itself:
// the report to send with a problem. The driver's own messages (its log,
// KXPWRVR_LOG) go into the report.
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "host/check_frame.h"
#include "host/check_system.h"
#include "host/driver_loader.h"
#include "host/host_system.h"
#include "host/png_writer.h"
#include "settings/settings.h"

#ifndef KX_VERSION
#define KX_VERSION "unknown"
#endif

namespace {

std::string report;
int failures = 0;

void say(const std::string& line) {
    report += line + "\n";
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// A failed step: its number and name, the error code, what to do.
void failed(int step, const std::string& what, const std::string& why) {
    ++failures;
    say("  FAILED: " + why);
    say("kxcheck: step " + std::to_string(step) + " failed: " + what);
}

const char* bitsName(int bits) {
    return bits == 64 ? "64-bit" : bits == 32 ? "32-bit" : "not a Windows program file";
}
constexpr int kOwnBits = sizeof(void*) * 8;

bool ours(const VersionRecord& record) {
    return record.present && record.product == "kxpwrvr";
}

std::string describe(const VersionRecord& record) {
    if (!record.present) return "no version record";
    std::string text = record.description.empty() ? record.product : record.description;
    return "\"" + text + "\", version " + (record.version.empty() ? "?" : record.version);
}

bool logHas(const std::vector<std::string>& log, const char* text) {
    for (const std::string& line : log)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

// The driver's messages since `from`, each indented, into the report.
void quoteLog(const std::vector<std::string>& log, size_t from) {
    for (size_t i = from; i < log.size(); ++i)
        say("    | " + log[i]);
}

// The last DirectDraw result the driver named, as " (DDERR_... (0x...))", or "".
std::string directDrawResult(const std::vector<std::string>& log) {
    const std::string mark = "debugDDrawErrMsg, ";
    std::string found;
    for (const std::string& line : log) {
        const size_t at = line.find(mark);
        if (at != std::string::npos) found = line.substr(at + mark.size());
    }
    return found.empty() ? "" : ", DirectDraw answered " + found;
}

// What the failing start's messages mean for a player.
std::string startAdvice(const std::vector<std::string>& log) {
    if (logHas(log, "Detect failure"))
        return "the sgl.dll that serves is too old for this driver: use this package's sgl.dll";
    if (logHas(log, "Error loading ddraw.dll"))
        return "DirectDraw (ddraw.dll) could not be loaded: DirectX is missing or broken";
    if (logHas(log, "SetDisplayMode"))
        return "the display cannot be set to 640 x 480 at 16 bits per pixel. Under Wine, give "
               "the game a virtual desktop of 640 x 480 (winecfg, Graphics); on Windows, try "
               "the compatibility setting \"Reduced colour mode: 16-bit\", or cnc-ddraw's "
               "ddraw.dll (see README.txt)";
    if (logHas(log, "SetCooperativeLevel"))
        return "DirectDraw refused full-screen use of the window: another program may hold the "
               "display";
    if (logHas(log, "sgl_create_screen_device") || logHas(log, "sgl_use_address"))
        return "the SGL library refused to start: with the card's own sgl.dll, check its "
               "installation; else use this package's sgl.dll";
    return "see the driver's messages above";
}

std::string writeReport(const std::string& folder) {
    for (const std::string& place : {folder, std::string()}) {
        std::string target = place;
        if (target.empty()) target = temporaryFolder();
        if (target.empty()) break;
        const std::string path = target + "\\kxcheck.txt";
        // Text mode: the lines end in CR LF, as Notepad wants them.
        FILE* file = std::fopen(path.c_str(), "w");
        if (!file) continue;
        const bool ok = std::fputs(report.c_str(), file) >= 0;
        if (std::fclose(file) == 0 && ok) return path;
    }
    return "";
}

void sayPlayerSettings() {
    const KxSettings& s = kxSettings();
    say("Settings: " +
        (s.file.empty() ? std::string("no kxpwrvr.ini here, every default") : s.file));
    static const char* const from[] = {"default", "kxpwrvr.ini", "variable"};
    for (int k = 0; k < kDriverSettingCount; ++k)
        say(std::string("  ") + settingKeyName(SettingKey(k)) + " = " +
            settingValueText(s, SettingKey(k)) + " (" + from[s.source[k]] + ")");
    for (const std::string& problem : s.problems)
        say("  not used: " + problem);
}

void sayHeading(const std::string& folder) {
    std::time_t now = std::time(nullptr);
    char date[64] = "?";
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    say(std::string("kxcheck ") + KX_VERSION + ": does the kxpwrvr driver work on this machine?");
    say(std::string("Date:    ") + date);
    say("System:  " + systemDescription());
    say("Folder:  " + folder);
    say(std::string("Program: kxcheck.exe, ") + bitsName(kOwnBits) +
        (kOwnBits == 32 ? " (as the games that use this driver)" : ""));
}

// One of the driver's files: its line, and whether it is fit to use.
bool checkFile(const std::string& folder, const char* name) {
    const std::string path = folder + "\\" + name;
    const int bits = fileBits(path);
    const VersionRecord record = versionRecord(path);
    std::string line = std::string("  ") + name + ": ";
    if (bits < 0) {
        if (std::string(name) == "ddraw.dll") {
            say(line + "not here: the system's DirectDraw serves");
            return true;
        }
        say(line + "MISSING from this folder");
        return false;
    }
    line += std::string(bitsName(bits)) + ", " + describe(record);
    if (std::string(name) == "sgl.dll")
        line += ours(record) ? " (this package's software SGL)"
                             : " (not this package's: the card maker's SGL?)";
    if (std::string(name) == "ddraw.dll")
        line += ours(record) ? "" : " (a DirectDraw replacement, such as cnc-ddraw)";
    const bool fit = bits == kOwnBits;
    if (!fit)
        line += std::string(": WRONG BITNESS, this program and the games need ") +
                bitsName(kOwnBits) + " files";
    say(line);
    return fit;
}

// Step 1: the files.
void checkFiles(const std::string& folder) {
    say("");
    say("Step 1: the driver's files in this folder");
    bool filesOk = true;
    for (const char* name : {"kxpwrvr.dll", "sgl.dll", "ddraw.dll"})
        filesOk = checkFile(folder, name) && filesOk;
    if (!filesOk)
        failed(1, "the driver's files",
               "a file is missing or of the wrong bitness; copy kxpwrvr.dll and sgl.dll from "
               "this package into this folder");
}

// Step 2: load the driver as a game does.
void loadTheDriver(LoadedDriver& driver) {
    say("");
    say("Step 2: load kxpwrvr.dll and find its 28 entry points");
    std::string error;
    if (loadDriver(driver, error)) {
        say("  loaded: " + loadedModulePath("kxpwrvr.dll"));
        return;
    }
    std::string why = error;
    if (error.find("(error 126)") != std::string::npos)
        why += ": a DLL it needs was not found; kxpwrvr.dll needs sgl.dll beside it";
    else if (error.find("(error 193)") != std::string::npos)
        why += ": not a DLL for this " + std::string(bitsName(kOwnBits)) + " program";
    const size_t code = error.rfind("(error ");
    failed(2, "loading kxpwrvr.dll" + (code == std::string::npos ? "" : " " + error.substr(code)),
           why);
}

// Step 3: the SGL library that serves and its version; true when it is
// this package's.
bool checkSgl(const KxEntryPoints& api) {
    say("");
    say("Step 3: the SGL library");
    const std::string sglPath = loadedModulePath("sgl.dll");
    const VersionRecord sglRecord = versionRecord(sglPath);
    say("  serving: " + (sglPath.empty() ? std::string("?") : sglPath) + ", " +
        (ours(sglRecord) ? "this package's software SGL " + sglRecord.version
                         : "the card maker's SGL (" + describe(sglRecord) + ")"));
    // The fourth of the library's texts is its version.
    const std::vector<std::string> texts = sglVersionTexts();
    if (texts.size() == 4) say("  version text: " + texts[3]);
    say(std::string("  driver: ") + api.GetID());
    if (!api.Detect())
        failed(3, "the SGL library",
               "Detect: the library is older than the driver needs "
               "(version 0046h or later)");
    else
        say("  Detect: recent enough");
    return ours(sglRecord);
}

// Step 4: start, as a game does: its window active. True when started.
bool startTheDriver(const KxEntryPoints& api) {
    say("");
    say("Step 4: start the driver (Init): display mode 640 x 480 x 16, surfaces, SGL device");
    const size_t logBefore = driverLog().size();
    std::string error;
    if (!createHostWindow("kxcheck", 640, 480, error)) {
        failed(4, "a window for the driver", "cannot make a window: " + error);
        return false;
    }
    if (!api.Init()) {
        const std::vector<std::string> log = driverLog();
        say("  Init returned 0. The driver said:");
        quoteLog(log, logBefore);
        failed(4, "Init" + directDrawResult(log), startAdvice(log));
        return false;
    }
    say("  Init: started");
    say(std::string("  mouse cursor while the driver runs: ") +
        (cursorShowing() ? "shown" : "hidden"));
    return true;
}

// Step 5: a test frame.
void checkTestFrame(const KxEntryPoints& api, const std::string& folder, bool oursServes) {
    say("");
    say("Step 5: draw a test frame and read it back");
    CheckFrameResult frame = drawCheckFrame(api);
    compareCheckFrame(frame);
    const std::string png = folder + "\\kxcheck.png";
    std::string pngError;
    const bool saved = writePng(png, frame.image.width, frame.image.height, frame.image.rgb.data(),
                                frame.image.width * 3, pngError);
    if (!frame.drawn)
        failed(5, "the test frame",
               "a call of the test frame failed (see the driver's "
               "messages below)");
    else if (frame.differing)
        failed(5, "the test frame differs",
               std::to_string(frame.differing) + " of " + std::to_string(frame.checked) +
                   " pixels differ from the expected image, the first " + frame.firstDifference);
    else
        say("  the frame matches the expected image (" + std::to_string(frame.checked) +
            " pixels compared)" + (oursServes ? "" : ", drawn by the card"));
    if (saved) say("  the frame read back: " + png);
}

// Step 6: shut down.
void shutTheDriverDown(const KxEntryPoints& api) {
    say("");
    say("Step 6: shut the driver down");
    api.Shutdown();
    pumpHostMessages();
    const bool shown = cursorShowing();
    say(std::string("  Shutdown: done; mouse cursor ") + (shown ? "shown again" : "HIDDEN"));
}

// The kernel level the log's heading names, and the driver's messages.
void sayDriverMessages() {
    say("");
    const std::vector<std::string> log = driverLog();
    for (const std::string& line : log) {
        const size_t at = line.find("pixel kernels ");
        if (at != std::string::npos) {
            const size_t end = line.find(": messages of this run", at);
            say("Pixel kernels: " +
                line.substr(at + 14, end == std::string::npos ? std::string::npos : end - at - 14));
            break;
        }
    }
    say("The driver's messages of this run:");
    quoteLog(log, 0);
    if (log.empty()) say("    (none)");
    removeDriverLog();
}

// The verdict, and the report written; the program's exit code.
int sayVerdict(const std::string& folder) {
    say("");
    if (failures == 0)
        say("kxcheck: every step passed: the driver works here");
    else
        say("kxcheck: " + std::to_string(failures) +
            " step(s) failed; send kxcheck.txt with your "
            "report");
    const std::string written = writeReport(folder);
    say(written.empty() ? "kxcheck: could not write kxcheck.txt"
                        : "kxcheck: report written to " + written);
    holdConsoleOpen();
    return failures == 0 ? 0 : 1;
}

} // namespace

int main() {
    const std::string folder = programFolder();
    sayHeading(folder);
    // The player's settings, read by the driver's own reader from the same
    // place (the file beside the DLLs, then the variables), before this
    // program turns the log on for its run.
    sayPlayerSettings();
    startDriverLog();
    checkFiles(folder);
    LoadedDriver driver;
    loadTheDriver(driver);
    if (driver.library) {
        const bool oursServes = checkSgl(driver.api);
        if (startTheDriver(driver.api)) {
            checkTestFrame(driver.api, folder, oursServes);
            shutTheDriverDown(driver.api);
        }
        destroyHostWindow();
        unloadDriver(driver);
    }
    sayDriverMessages();
    return sayVerdict(folder);
}
