// kximgdiff as a developer runs it: two files or two folders, a threshold,
// unmatched frames counted quietly, and a page that needs no other file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <vector>

#include "host/png_writer.h"
#include "tests/trace/tool_run.h"
#include "trace/image_compare.h"

namespace fs = std::filesystem;

namespace {

// A 40 x 30 gradient, with pixel (x, y) changed by `delta` in red.
void writeImage(const fs::path& path, int x = -1, int y = -1, int delta = 0) {
    std::vector<uint8_t> rgb(40 * 30 * 3);
    for (int i = 0; i < 40 * 30; ++i) {
        rgb[3 * i] = uint8_t(i * 7);
        rgb[3 * i + 1] = uint8_t(i / 3);
        rgb[3 * i + 2] = 200;
    }
    if (x >= 0) rgb[3 * (y * 40 + x)] = uint8_t(rgb[3 * (y * 40 + x)] + delta);
    std::string error;
    ASSERT_TRUE(writePng(path.string(), 40, 30, rgb.data(), 40 * 3, error)) << error;
}

TEST(Kximgdiff, TwoFilesWithThreshold) {
    const WorkDir dir("imgdiff_files");
    writeImage(dir / "a.png");
    writeImage(dir / "same.png");
    writeImage(dir / "b.png", 5, 7, 3);
    expectTool("kximgdiff " + (dir / "a.png").string() + " " + (dir / "same.png").string(), 0,
               "1 image: 1 identical");

    std::string pair = (dir / "a.png").string() + " " + (dir / "b.png").string();
    expectTool("kximgdiff " + pair, 1, "differs, 1 pixels, largest difference 3");
    EXPECT_EQ(runTool("kximgdiff " + pair + " --threshold 3").exitCode, 0);
    EXPECT_EQ(runTool("kximgdiff " + pair + " --threshold 2").exitCode, 1);
}

TEST(Kximgdiff, BadInputIsRefused) {
    const WorkDir dir("imgdiff_bad");
    writeImage(dir / "a.png");
    std::ofstream(dir / "junk.png") << "not a png";
    expectTool("kximgdiff " + (dir / "a.png").string() + " " + (dir / "junk.png").string(), 2,
               "cannot read");
    expectTool("kximgdiff " + dir.string() + " " + (dir / "a.png").string(), 2,
               "give two files or two folders");
    EXPECT_EQ(runTool("kximgdiff " + dir.string()).exitCode, 2);
    EXPECT_EQ(runTool("kximgdiff a b --threshold 300").exitCode, 2);
}

// Folders: a frame only in the result is counted, and listed unless quiet;
// one missing from the result fails.
TEST(Kximgdiff, FoldersCountUnmatchedFrames) {
    const WorkDir dir("imgdiff_folders");
    fs::create_directories(dir / "ref");
    fs::create_directories(dir / "test");
    for (const char* name : {"frame_0000.png", "frame_0001.png"}) {
        writeImage(dir / "ref" / name);
        writeImage(dir / "test" / name);
    }
    for (const char* name : {"frame_0002.png", "frame_0003.png", "frame_0004.png"})
        writeImage(dir / "test" / name);
    std::string folders = (dir / "ref").string() + " " + (dir / "test").string();
    expectTool("kximgdiff " + folders, 0, "frame_0003.png: only in");
    const std::string quiet =
        expectTool("kximgdiff " + folders + " --quiet", 0, "2 images: 2 identical");
    EXPECT_FALSE(contains(quiet, "frame_0003.png")) << quiet;
    EXPECT_TRUE(contains(quiet, "3 only in")) << quiet;

    fs::remove(dir / "test" / "frame_0001.png");
    expectTool("kximgdiff " + folders + " --quiet", 1, "frame_0001.png: missing");
}

std::vector<uint8_t> fromBase64(const std::string& text) {
    std::vector<uint8_t> out;
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const char* at = std::strchr(digits, c);
        if (c == '=' || !at) break;
        bits = bits << 6 | uint32_t(at - digits);
        if ((count += 6) >= 8) out.push_back(uint8_t(bits >> (count -= 8)));
    }
    return out;
}

// The page refers to no file: every image is inside it, and the difference
// image shows the changed pixel.
TEST(Kximgdiff, PageHoldsItsImages) {
    const WorkDir dir("imgdiff_page");
    writeImage(dir / "a.png");
    writeImage(dir / "b.png", 1, 2, 60);
    fs::path page = dir / "out" / "page.html";
    fs::create_directories(page.parent_path());
    ToolResult r = runTool("kximgdiff " + (dir / "a.png").string() + " " +
                           (dir / "b.png").string() + " --html " + page.string());
    EXPECT_EQ(r.exitCode, 1) << r.output;
    std::ifstream in(page);
    std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t images = 0;
    for (size_t at = html.find("<img"); at != std::string::npos; at = html.find("<img", at + 1)) {
        ++images;
        EXPECT_EQ(html.compare(html.find("src=\"", at) + 5, 22, "data:image/png;base64,"), 0);
    }
    ASSERT_EQ(images, 3u); // reference, result, difference
    const size_t diff = html.find("base64,", html.find("alt=\"difference\"")) + 7;
    std::vector<uint8_t> png = fromBase64(html.substr(diff, html.find('"', diff) - diff));
    fs::path decoded = dir / "difference.png";
    std::ofstream(decoded, std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    Image d;
    std::string error;
    ASSERT_TRUE(readPng(decoded.string(), d, error)) << error;
    ASSERT_EQ(d.width, 40);
    const uint8_t* changed = &d.rgb[3 * (2 * 40 + 1)];
    EXPECT_GT(changed[0], 128);
    EXPECT_EQ(changed[1], 0);
    EXPECT_EQ(d.rgb[0], 0); // the rest darkened to a quarter: red 0 stays 0
    EXPECT_EQ(d.rgb[2], 50);
    fs::remove(decoded);
    EXPECT_EQ(std::distance(fs::directory_iterator(page.parent_path()), fs::directory_iterator()),
              1);
}

} // namespace
