// kximgdiff: compares two PNG images, or two folders of frames (PNG files of
// the same names), and fails on a difference above a threshold. Its HTML
// page holds its images, so it can be sent on its own.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/png_writer.h"
#include "trace/image_compare.h"
#include "trace/text_formats.h"

namespace fs = std::filesystem;

namespace {

enum { kSame = 0, kDiffer = 1, kBadUsage = 2 };

struct Frame {
    std::string name;           // the file name (folders) or the two paths (files)
    fs::path reference, result; // the two files
    std::string status;         // "identical", "differs", "missing", "size differs", "unreadable"
    ImageDifference difference;
    Image referenceImage, resultImage;
    bool failed = false;
};

struct Options {
    std::vector<std::string> inputs;
    std::string html;
    long threshold = 0;
    bool quiet = false;
};

void usage(FILE* out) {
    std::fprintf(out,
                 "usage: kximgdiff REF TEST [--html PAGE.html] [--threshold N] [--quiet]\n"
                 "  REF and TEST are two PNG files, or two folders whose PNG frames of the\n"
                 "  same name are compared\n"
                 "  --html FILE     write a page that holds its images: reference, result and\n"
                 "                  difference side by side for each frame that differs\n"
                 "  --threshold N   largest channel difference (0..255) still accepted "
                 "(default 0)\n"
                 "  --quiet         no line for each frame found only in TEST (they are "
                 "counted)\n"
                 "Exit: 0 every image within the threshold, 1 an image differs or is missing,\n"
                 "2 usage or an input that cannot be read.\n");
}

std::vector<std::string> pngNames(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec))
        if (entry.path().extension() == ".png") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<uint8_t> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

std::string imageTag(const std::vector<uint8_t>& png, const char* alt, const char* cls) {
    return std::string("<img class=\"") + cls + "\" alt=\"" + alt + "\" src=\"" + pngDataUri(png) +
           "\">";
}

std::string encode(const Image& image) {
    return pngDataUri(encodePng(image.width, image.height, 3, image.rgb.data(), image.width * 3));
}

// Reference, result and difference for frames that differ; a thumbnail of
// the reference for the others, which keeps a page of many frames small.
bool writePage(const std::string& page, const std::string& ref, const std::string& test,
               const std::vector<Frame>& frames, const std::string& summary) {
    std::ofstream out(page, std::ios::binary);
    out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>kximgdiff: "
        << htmlEscape(ref) << " / " << htmlEscape(test) << "</title>\n"
        << "<style>body{font-family:sans-serif;margin:16px;background:#f4f4f4}"
           "table{border-collapse:collapse}td,th{padding:4px 8px;border:1px solid #ccc;"
           "vertical-align:top;background:#fff}img{image-rendering:pixelated;display:block}"
           "img.full{width:320px}.bad{color:#b00;font-weight:bold}.ok{color:#070}</style>"
           "</head><body>\n"
        << "<h1>Images compared</h1>\n<p>Reference <code>" << htmlEscape(ref)
        << "</code>, result <code>" << htmlEscape(test) << "</code></p>\n<p><b>"
        << htmlEscape(summary) << "</b></p>\n"
        << "<table><tr><th>image</th><th>reference</th><th>result</th><th>difference</th></tr>\n";
    for (const Frame& f : frames) {
        out << "<tr><td><b>" << htmlEscape(f.name) << "</b><br><span class=\""
            << (f.failed ? "bad" : "ok") << "\">" << htmlEscape(f.status) << "</span>";
        if (f.difference.pixels)
            out << "<br>" << f.difference.pixels << " pixels differ<br>largest difference "
                << f.difference.largest;
        out << "</td>";
        const bool readable = !f.referenceImage.rgb.empty();
        if (f.status == "identical" && readable) {
            out << "<td colspan=\"3\"><img alt=\"reference\" src=\""
                << encode(shrinkImage(f.referenceImage, 4)) << "\"></td>";
        } else {
            out << "<td>" << (readable ? imageTag(fileBytes(f.reference), "reference", "full") : "")
                << "</td><td>"
                << (!f.resultImage.rgb.empty() ? imageTag(fileBytes(f.result), "result", "full")
                                               : "")
                << "</td><td>";
            if (f.difference.pixels)
                out << "<img class=\"full\" alt=\"difference\" src=\""
                    << encode(differenceImage(f.referenceImage, f.resultImage)) << "\">";
            out << "</td>";
        }
        out << "</tr>\n";
    }
    out << "</table></body></html>\n";
    return bool(out);
}

// Compares one pair of files into `f`.
void compareFiles(Frame& f, long threshold) {
    std::string error;
    if (!fs::exists(f.result)) {
        f.status = "missing";
        readPng(f.reference.string(), f.referenceImage, error);
    } else if (!readPng(f.reference.string(), f.referenceImage, error) ||
               !readPng(f.result.string(), f.resultImage, error)) {
        f.status = "unreadable: " + error;
    } else if (f.referenceImage.width != f.resultImage.width ||
               f.referenceImage.height != f.resultImage.height) {
        f.status = "size differs: " + std::to_string(f.referenceImage.width) + "x" +
                   std::to_string(f.referenceImage.height) + " against " +
                   std::to_string(f.resultImage.width) + "x" + std::to_string(f.resultImage.height);
    } else {
        f.difference = compareImages(f.referenceImage, f.resultImage);
        f.status = f.difference.pixels ? "differs" : "identical";
    }
    f.failed =
        (f.status != "identical" && f.status != "differs") || f.difference.largest > threshold;
}

int parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return -1;
        }
        if ((arg == "--html" || arg == "--threshold") && i + 1 < argc) {
            std::string value = argv[++i];
            if (arg == "--html") o.html = value;
            char* end = nullptr;
            if (arg == "--threshold") o.threshold = std::strtol(value.c_str(), &end, 10);
            if (arg == "--threshold" &&
                (value.empty() || *end || o.threshold < 0 || o.threshold > 255)) {
                std::fprintf(stderr, "kximgdiff: bad threshold %s\n", value.c_str());
                return kBadUsage;
            }
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else if (!arg.empty() && arg[0] != '-' && o.inputs.size() < 2) {
            o.inputs.push_back(arg);
        } else {
            usage(stderr);
            return kBadUsage;
        }
    }
    if (o.inputs.size() != 2) {
        usage(stderr);
        return kBadUsage;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (int code = parseOptions(argc, argv, o)) return code < 0 ? kSame : code;
    const fs::path ref = o.inputs[0], test = o.inputs[1];
    std::error_code ec;
    const bool folders = fs::is_directory(ref, ec) && fs::is_directory(test, ec);
    std::vector<Frame> frames;
    size_t onlyInTest = 0;
    if (folders) {
        std::vector<std::string> names = pngNames(ref);
        if (names.empty()) {
            std::fprintf(stderr, "kximgdiff: no PNG frames in %s\n", ref.string().c_str());
            return kBadUsage;
        }
        for (const std::string& name : names) {
            Frame f;
            f.name = name;
            f.reference = ref / name;
            f.result = test / name;
            frames.push_back(f);
        }
        for (const std::string& name : pngNames(test))
            if (!std::binary_search(names.begin(), names.end(), name)) {
                ++onlyInTest;
                if (!o.quiet)
                    std::printf("%s: only in %s, not compared\n", name.c_str(),
                                test.string().c_str());
            }
    } else {
        for (const fs::path& p : {ref, test})
            if (!fs::is_regular_file(p, ec)) {
                std::fprintf(stderr, "kximgdiff: %s is not a PNG file%s\n", p.string().c_str(),
                             fs::is_directory(p, ec) ? " (give two files or two folders)" : "");
                return kBadUsage;
            }
        Frame f;
        f.name = ref.filename().string() + " / " + test.filename().string();
        f.reference = ref;
        f.result = test;
        frames.push_back(f);
    }

    int identical = 0, differing = 0, failed = 0, largest = 0;
    for (Frame& f : frames) {
        compareFiles(f, o.threshold);
        if (!folders && f.status.rfind("unreadable", 0) == 0) {
            std::fprintf(stderr, "kximgdiff: %s\n", f.status.c_str());
            return kBadUsage;
        }
        largest = std::max(largest, f.difference.largest);
        identical += f.status == "identical";
        differing += f.status != "identical";
        failed += f.failed;
        if (f.status != "identical")
            std::printf("%s: %s%s\n", f.name.c_str(), f.status.c_str(),
                        f.difference.pixels ? (", " + std::to_string(f.difference.pixels) +
                                               " pixels, largest difference " +
                                               std::to_string(f.difference.largest))
                                                  .c_str()
                                            : "");
    }
    std::string summary = std::to_string(frames.size()) +
                          (frames.size() == 1 ? " image: " : " images: ") +
                          std::to_string(identical) + " identical, " + std::to_string(differing) +
                          " differing, largest difference " + std::to_string(largest) +
                          " (threshold " + std::to_string(o.threshold) + ")";
    if (onlyInTest)
        summary +=
            "; " + std::to_string(onlyInTest) + " only in " + test.string() + ", not compared";
    std::printf("kximgdiff: %s\n", summary.c_str());
    if (!o.html.empty()) {
        if (!writePage(o.html, ref.string(), test.string(), frames, summary)) {
            std::fprintf(stderr, "kximgdiff: cannot write %s\n", o.html.c_str());
            return kBadUsage;
        }
        std::printf("kximgdiff: report in %s\n", o.html.c_str());
    }
    return failed ? kDiffer : kSame;
}
