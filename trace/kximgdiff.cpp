// kximgdiff: compares two folders of frames (PNG files of the same names),
// writes difference images and an HTML page that shows reference, result and
// difference side by side, and fails on a difference above a threshold.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/png_writer.h"
#include "trace/image_compare.h"

namespace fs = std::filesystem;

namespace {

enum { kSame = 0, kDiffer = 1, kBadUsage = 2 };

struct Frame {
    std::string name;
    std::string status; // "identical", "differs", "missing", "size differs", "unreadable"
    ImageDifference difference;
    std::string diffImage; // path, when written
    bool failed = false;
};

void usage(FILE* out) {
    std::fprintf(out, "usage: kximgdiff REF_DIR TEST_DIR [--html report.html] [--threshold N]\n"
                      "  compares the PNG frames of REF_DIR with those of the same name in "
                      "TEST_DIR\n"
                      "  --html FILE     write a page with reference, result and difference side "
                      "by side\n"
                      "                  (difference images go to FILE's folder, "
                      "<name>_files/)\n"
                      "  --threshold N   largest channel difference (0..255) still accepted "
                      "(default 0)\n"
                      "Exit: 0 every frame within the threshold, 1 a frame differs or is "
                      "missing, 2 usage.\n");
}

std::vector<std::string> pngNames(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec))
        if (entry.path().extension() == ".png") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

// A path as the page refers to it: relative to the page's folder.
std::string link(const fs::path& target, const fs::path& pageDir) {
    std::error_code ec;
    fs::path relative = fs::relative(fs::absolute(target), fs::absolute(pageDir), ec);
    return escape((ec || relative.empty() ? fs::absolute(target) : relative).generic_string());
}

bool writePage(const fs::path& page, const fs::path& ref, const fs::path& test,
               const std::vector<Frame>& frames, const std::string& summary) {
    std::ofstream out(page);
    const fs::path dir = page.parent_path().empty() ? fs::path(".") : page.parent_path();
    out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>kximgdiff: "
        << escape(ref.string()) << " / " << escape(test.string()) << "</title>\n"
        << "<style>body{font-family:sans-serif;margin:16px;background:#f4f4f4}"
           "table{border-collapse:collapse}td,th{padding:4px 8px;border:1px solid #ccc;"
           "vertical-align:top;background:#fff}img{width:300px;image-rendering:pixelated;"
           "display:block}.bad{color:#b00;font-weight:bold}.ok{color:#070}</style></head><body>\n"
        << "<h1>Frames compared</h1>\n<p>Reference <code>" << escape(ref.string())
        << "</code>, result <code>" << escape(test.string()) << "</code></p>\n<p><b>"
        << escape(summary) << "</b></p>\n"
        << "<table><tr><th>frame</th><th>reference</th><th>result</th><th>difference</th></tr>\n";
    for (const Frame& f : frames) {
        out << "<tr><td><b>" << escape(f.name) << "</b><br><span class=\""
            << (f.failed ? "bad" : "ok") << "\">" << escape(f.status) << "</span>";
        if (f.difference.pixels)
            out << "<br>" << f.difference.pixels << " pixels differ<br>largest difference "
                << f.difference.largest;
        out << "</td><td><img src=\"" << link(ref / f.name, dir)
            << "\" alt=\"reference\"></td><td>";
        if (f.status != "missing")
            out << "<img src=\"" << link(test / f.name, dir) << "\" alt=\"result\">";
        out << "</td><td>";
        if (!f.diffImage.empty())
            out << "<img src=\"" << link(f.diffImage, dir) << "\" alt=\"difference\">";
        else if (f.status == "identical")
            out << "identical";
        out << "</td></tr>\n";
    }
    out << "</table></body></html>\n";
    return bool(out);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> dirs;
    std::string html;
    long threshold = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return kSame;
        }
        if ((arg == "--html" || arg == "--threshold") && i + 1 < argc) {
            std::string value = argv[++i];
            if (arg == "--html") html = value;
            char* end = nullptr;
            if (arg == "--threshold") threshold = std::strtol(value.c_str(), &end, 10);
            if (arg == "--threshold" && (*end || threshold < 0 || threshold > 255)) {
                std::fprintf(stderr, "kximgdiff: bad threshold %s\n", value.c_str());
                return kBadUsage;
            }
        } else if (arg[0] != '-' && dirs.size() < 2) {
            dirs.push_back(arg);
        } else {
            usage(stderr);
            return kBadUsage;
        }
    }
    if (dirs.size() != 2) {
        usage(stderr);
        return kBadUsage;
    }
    const fs::path ref = dirs[0], test = dirs[1];
    std::vector<std::string> names = pngNames(ref);
    if (names.empty()) {
        std::fprintf(stderr, "kximgdiff: no PNG frames in %s\n", ref.string().c_str());
        return kBadUsage;
    }
    fs::path diffDir;
    if (!html.empty()) {
        fs::path page(html);
        diffDir = page.parent_path() / (page.stem().string() + "_files");
        std::error_code ec;
        fs::create_directories(diffDir, ec);
    }

    std::vector<Frame> frames;
    int identical = 0, differing = 0, failed = 0, largest = 0;
    for (const std::string& name : names) {
        Frame f;
        f.name = name;
        Image a, b;
        std::string error;
        if (!fs::exists(test / name)) {
            f.status = "missing";
        } else if (!readPng((ref / name).string(), a, error) ||
                   !readPng((test / name).string(), b, error)) {
            f.status = "unreadable: " + error;
        } else if (a.width != b.width || a.height != b.height) {
            f.status = "size differs: " + std::to_string(a.width) + "x" + std::to_string(a.height) +
                       " against " + std::to_string(b.width) + "x" + std::to_string(b.height);
        } else {
            f.difference = compareImages(a, b);
            f.status = f.difference.pixels ? "differs" : "identical";
            largest = std::max(largest, f.difference.largest);
            if (f.difference.pixels && !diffDir.empty()) {
                Image d = differenceImage(a, b);
                f.diffImage = (diffDir / name).string();
                if (!writePng(f.diffImage, d.width, d.height, d.rgb.data(), d.width * 3, error)) {
                    std::fprintf(stderr, "kximgdiff: %s\n", error.c_str());
                    f.diffImage.clear();
                }
            }
        }
        f.failed = f.status != "identical" && f.status != "differs";
        f.failed = f.failed || f.difference.largest > threshold;
        identical += f.status == "identical";
        differing += f.status != "identical";
        failed += f.failed;
        if (f.status != "identical")
            std::printf("%s: %s%s\n", name.c_str(), f.status.c_str(),
                        f.difference.pixels ? (", " + std::to_string(f.difference.pixels) +
                                               " pixels, largest difference " +
                                               std::to_string(f.difference.largest))
                                                  .c_str()
                                            : "");
        frames.push_back(f);
    }
    for (const std::string& name : pngNames(test))
        if (!std::binary_search(names.begin(), names.end(), name))
            std::printf("%s: only in %s, not compared\n", name.c_str(), test.string().c_str());

    std::string summary = std::to_string(frames.size()) + " frames: " + std::to_string(identical) +
                          " identical, " + std::to_string(differing) +
                          " differing, largest difference " + std::to_string(largest) +
                          " (threshold " + std::to_string(threshold) + ")";
    std::printf("kximgdiff: %s\n", summary.c_str());
    if (!html.empty()) {
        if (!writePage(html, ref, test, frames, summary)) {
            std::fprintf(stderr, "kximgdiff: cannot write %s\n", html.c_str());
            return kBadUsage;
        }
        std::printf("kximgdiff: report in %s\n", html.c_str());
    }
    return failed ? kDiffer : kSame;
}
