// What kxcheck asks of Windows, behind one header (the driver's headers must
// not meet <windows.h> in one translation unit): files, their version
// records, the system, the cursor, the driver's log for the run.
#pragma once

#include <string>
#include <vector>

// The bitness in a PE file's header: 32, 64, 0 (not a PE file), -1 (missing).
int fileBits(const std::string& path);

struct VersionRecord {
    bool present = false;
    std::string product, description, version;
};
VersionRecord versionRecord(const std::string& path);

// "Windows 10.0 build 19045, under Wine 8.0, 64-bit".
std::string systemDescription();
// The file a loaded module came from ("" when it is not loaded).
std::string loadedModulePath(const char* name);
// The loaded sgl.dll's four version texts (its sgl_get_win_versions), or none.
std::vector<std::string> sglVersionTexts();
// Whether the mouse cursor is on the screen, as the player sees it.
bool cursorShowing();

// Points KXPWRVR_LOG at a new file in the temporary folder, for the driver
// loaded after this; its lines are read back with driverLog.
void startDriverLog();
std::vector<std::string> driverLog();
void removeDriverLog();

// The temporary folder, without a trailing separator.
std::string temporaryFolder();
// Started by a double click (its own console): waits for Enter.
void holdConsoleOpen();
