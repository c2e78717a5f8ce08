// How the settings file and variables are read: `key = value` lines, `;` and
// `#` comments, the driver's keys before any section or under [kxpwrvr], the
// recorder's under [kxtrace], keys and words in any case. A line of the part
// being read that cannot be used gives one message and changes nothing.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "settings/settings.h"

namespace {

constexpr size_t kLongestLine = 1000;
constexpr size_t kLongestFile = 64 * 1024;
// Past this many the rest are counted, not listed: a file of junk is one
// player's mistake, not a page of messages.
constexpr size_t kMostProblems = 10;

const char* const kKeys[kSettingCount] = {"log",    "kernels",   "threads", "filter", "antialias",
                                          "dither", "fps_limit", "driver",  "file",   "compress"};
const char* const kSections[] = {"kxpwrvr", "kxtrace"};
const char* const kLevels[] = {"scalar", "sse2", "avx2", "avx512"};

std::string lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return s.substr(a, b - a);
}

// A whole decimal number from lo to hi.
bool number(const std::string& text, int lo, int hi, int& out) {
    if (text.empty() || text.size() > 6) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    const int n = std::atoi(text.c_str());
    if (n < lo || n > hi) return false;
    out = n;
    return true;
}

bool absolutePath(const std::string& p) {
    if (!p.empty() && (p[0] == '/' || p[0] == '\\')) return true;
    return p.size() > 1 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':';
}

// A file named in the settings: a relative one is taken from `folder`.
std::string filePath(const std::string& value, const std::string& folder) {
    return absolutePath(value) || folder.empty() ? value : folder + value;
}

// Takes `value` for `key`; false (nothing changed) with what it must be.
bool setValue(KxSettings& s, SettingKey key, const std::string& value, const std::string& folder,
              const char*& expected) {
    const std::string word = lower(value);
    int n = 0;
    switch (key) {
    case kSettingLog:
        expected = "off, debug or a file name";
        if (word.empty() || word == "off")
            s.log.clear();
        else if (word == "debug")
            s.log = "debug";
        else
            s.log = filePath(value, folder);
        return true;
    case kSettingKernels:
        expected = "best, scalar, sse2, avx2 or avx512";
        if (word == "best") {
            s.kernels.clear();
            return true;
        }
        for (const char* level : kLevels)
            if (word == level) {
                s.kernels = level;
                return true;
            }
        return false;
    case kSettingThreads:
        expected = "0 (the processor's cores) to 8";
        if (!number(word, 0, 8, n)) return false;
        s.threads = n;
        return true;
    case kSettingFilter:
        expected = "nearest or bilinear";
        if (word != "nearest" && word != "bilinear") return false;
        s.bilinear = word == "bilinear";
        return true;
    case kSettingAntialias:
        expected = "1, 2, 3 or 4";
        if (!number(word, 1, 4, n)) return false;
        s.antialias = n;
        return true;
    case kSettingDither:
        expected = "off or on";
        if (word != "off" && word != "on") return false;
        s.dither = word == "on";
        return true;
    case kSettingFpsLimit:
        expected = "0 (no limit) to 1000";
        if (!number(word, 0, 1000, n)) return false;
        s.fpsLimit = n;
        return true;
    case kSettingTraceDriver:
        // Empty: the recorder's own choice.
        s.traceDriver = value.empty() ? value : filePath(value, folder);
        return true;
    case kSettingTraceFile:
        s.traceFile = value.empty() ? value : filePath(value, folder);
        return true;
    case kSettingTraceCompress:
        expected = "lz4, zstd or none";
        if (word == "0") { // as KXTRACE_COMPRESS took it before there were settings
            s.traceCompress = "none";
            return true;
        }
        if (word != "lz4" && word != "zstd" && word != "none") return false;
        s.traceCompress = word;
        return true;
    case kSettingCount:
        break;
    }
    return false;
}

void problem(KxSettings& s, const std::string& text) {
    if (s.problems.size() < kMostProblems)
        s.problems.push_back(text);
    else if (s.problems.size() == kMostProblems)
        s.problems.push_back("and more lines like these");
}

// A value as quoted in a message: at most 40 characters of it.
std::string quoted(const std::string& v) {
    return "\"" + (v.size() > 40 ? v.substr(0, 40) + "..." : v) + "\"";
}

// Text bytes: printable ASCII, tabs and UTF-8 sequences.
bool textLine(const std::string& line, size_t& bad) {
    for (size_t i = 0; i < line.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (c >= 0x20 && c < 0x7F) continue;
        if (c == '\t' || c == '\r') continue;
        int follow = c >= 0xC2 && c <= 0xDF   ? 1
                     : c >= 0xE0 && c <= 0xEF ? 2
                     : c >= 0xF0 && c <= 0xF4 ? 3
                                              : -1;
        bool ok = follow > 0 && i + size_t(follow) < line.size() + 1;
        for (int k = 1; ok && k <= follow; ++k)
            ok = i + size_t(k) < line.size() &&
                 (static_cast<unsigned char>(line[i + size_t(k)]) & 0xC0) == 0x80;
        if (!ok) {
            bad = i;
            return false;
        }
        i += size_t(follow);
    }
    return true;
}

} // namespace

const char* settingKeyName(SettingKey key) {
    return key >= 0 && key < kSettingCount ? kKeys[key] : "";
}

SettingSection settingSection(SettingKey key) {
    return key < kDriverSettingCount ? kSectionDriver : kSectionTrace;
}

std::string settingVariableName(SettingKey key) {
    std::string name = settingSection(key) == kSectionDriver ? "KXPWRVR_" : "KXTRACE_";
    for (const char* c = settingKeyName(key); *c; ++c)
        name += char(std::toupper(static_cast<unsigned char>(*c)));
    return name;
}

std::string settingValueText(const KxSettings& s, SettingKey key) {
    switch (key) {
    case kSettingLog:
        return s.log.empty() ? "off" : s.log;
    case kSettingKernels:
        return s.kernels.empty() ? "best" : s.kernels;
    case kSettingThreads:
        return std::to_string(s.threads);
    case kSettingFilter:
        return s.bilinear ? "bilinear" : "nearest";
    case kSettingAntialias:
        return std::to_string(s.antialias);
    case kSettingDither:
        return s.dither ? "on" : "off";
    case kSettingFpsLimit:
        return std::to_string(s.fpsLimit);
    case kSettingTraceDriver:
        return s.traceDriver.empty() ? "the recorder's choice" : s.traceDriver;
    case kSettingTraceFile:
        return s.traceFile.empty() ? "named after the program" : s.traceFile;
    case kSettingTraceCompress:
        return s.traceCompress;
    case kSettingCount:
        break;
    }
    return "";
}

void readSettingsText(KxSettings& s, const std::string& text, const std::string& name,
                      const std::string& folder, SettingSection section) {
    if (text.size() > kLongestFile) {
        problem(s, name + " is larger than 64 KiB, too large for a settings file; no setting read "
                          "from it");
        return;
    }
    if (text.size() >= 2 &&
        ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'))) {
        problem(s, name + " is UTF-16 text; save it as UTF-8 or ANSI. No setting read from it");
        return;
    }
    size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; // a UTF-8 byte order mark
    // The part of the file the line is in: the driver's before any section.
    int part = kSectionDriver;
    for (int lineNumber = 1; at < text.size(); ++lineNumber) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string raw = text.substr(at, end - at);
        at = end + 1;
        const std::string where = name + " line " + std::to_string(lineNumber) + ": ";
        const bool ours = part == section;
        // Lines in no one's part (an unknown section) are the driver's
        // reader's to judge, as the headers are.
        const bool judged = ours || (part < 0 && section == kSectionDriver);
        if (raw.size() > kLongestLine) {
            if (judged) problem(s, where + "longer than 1,000 characters; ignored");
            continue;
        }
        // Past such a line no reader can trust the file: each says so.
        size_t bad = 0;
        if (!textLine(raw, bad)) {
            char byte[8];
            std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(raw[bad]));
            problem(s, where + "not text (byte " + byte + "); the rest of the file is ignored");
            return;
        }
        std::string line = trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            // Headers stand in no reader's part: the driver's reader, which
            // every player has, judges them.
            const bool judge = section == kSectionDriver;
            const size_t close = line.find(']');
            const std::string header = lower(
                trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
            if (close == std::string::npos) {
                if (judge)
                    problem(s,
                            where + quoted(line) + " is not a section header ([kxpwrvr]); ignored");
                continue;
            }
            part = -1;
            for (int k = 0; k < 2; ++k)
                if (header == kSections[k]) part = k;
            if (part < 0 && judge)
                problem(s, where + "unknown section " + quoted("[" + header + "]") +
                               "; its keys are ignored");
            continue;
        }
        if (!ours) continue;
        // A comment may follow a value after a space.
        for (size_t i = 1; i < line.size(); ++i)
            if ((line[i] == ';' || line[i] == '#') &&
                std::isspace(static_cast<unsigned char>(line[i - 1]))) {
                line = trim(line.substr(0, i));
                break;
            }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            problem(s, where + quoted(line) + " is not key = value; ignored");
            continue;
        }
        const std::string key = lower(trim(line.substr(0, equals)));
        const std::string value = trim(line.substr(equals + 1));
        int k = 0;
        while (k < kSettingCount && key != kKeys[k])
            ++k;
        if (k == kSettingCount) {
            problem(s, where + "unknown key " + quoted(key) + "; ignored");
            continue;
        }
        if (settingSection(SettingKey(k)) != section) {
            problem(s, where + quoted(key) +
                           (section == kSectionDriver
                                ? " is the recorder's key, read under [kxtrace]; ignored"
                                : " is the driver's key, read before any section or under "
                                  "[kxpwrvr]; ignored"));
            continue;
        }
        const char* expected = "";
        if (!setValue(s, SettingKey(k), value, folder, expected)) {
            problem(s, where + kKeys[k] + " = " + quoted(value) + " is not " + expected +
                           "; using " + settingValueText(s, SettingKey(k)));
            continue;
        }
        s.source[k] = kFromFile;
    }
}

void readSettingVariables(KxSettings& s, const char* (*lookUp)(const char* name),
                          SettingSection section) {
    for (int k = 0; k < kSettingCount; ++k) {
        if (settingSection(SettingKey(k)) != section) continue;
        const std::string name = settingVariableName(SettingKey(k));
        const char* value = lookUp(name.c_str());
        if (!value || !*value) continue; // empty: as if not set
        const char* expected = "";
        // A variable's relative path is where the program runs, as ever.
        if (!setValue(s, SettingKey(k), trim(value), "", expected)) {
            problem(s, name + "=" + quoted(value) + " is not " + expected + "; using " +
                           settingValueText(s, SettingKey(k)));
            continue;
        }
        s.source[k] = kFromVariable;
    }
}
