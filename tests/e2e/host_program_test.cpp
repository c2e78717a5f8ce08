// The demo host as a user meets it: its PNG files, its loading of the driver
// by name, and the kxdemo program with its options and exit codes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/check_frame.h"
#include "host/driver_loader.h"
#include "host/host_system.h"
#include "host/png_writer.h"
#include "host/scene.h"
#include "tests/e2e/e2e_support.h"

namespace {

std::string freshFolder(const std::string& name) {
    // One folder per process: suites of other build trees may run at the same time.
    std::string dir = ::testing::TempDir() + "kx_e2e_" + name + "_" + std::to_string(getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

struct DemoRun {
    int exitCode;
    std::string output; // stdout and stderr
};

DemoRun runDemo(const std::string& arguments, const std::string& folder) {
    std::string log = folder + "/output.txt";
    std::string command =
        "cd '" + folder + "' && '" KX_DEMO_PROGRAM "' " + arguments + " > '" + log + "' 2>&1";
    int status = std::system(command.c_str());
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    return DemoRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
}

} // namespace

TEST(HostLoader, FindsAllEntryPointsByNameAndNamesWhatIsMissing) {
    LoadedDriver driver;
    std::string error;
    ASSERT_TRUE(loadDriver(driver, error)) << error;
    const void* const* slots = reinterpret_cast<const void* const*>(&driver.api);
    for (int i = 0; i < kEntryPointCount; ++i)
        EXPECT_NE(slots[i], nullptr) << "entry point " << i;
    static_assert(sizeof(KxEntryPoints) == kEntryPointCount * sizeof(void*),
                  "one slot per entry point");
    EXPECT_STREQ(driver.api.GetID(), ::GetID()); // the same driver as the one linked in
    unloadDriver(driver);
    EXPECT_EQ(driver.library, nullptr);

    // A library that is not the driver: every export is named as missing.
    EXPECT_FALSE(loadDriver(driver, error, programFolder() + "/libsgl.so"));
    EXPECT_NE(error.find("lacks the exports GetGuid, GetID, Detect"), std::string::npos) << error;
    EXPECT_NE(error.find("BltFromCard, BltFromCardToCard"), std::string::npos) << error;
    EXPECT_EQ(driver.library, nullptr);

    EXPECT_FALSE(loadDriver(driver, error, programFolder() + "/no-such-driver.so"));
    EXPECT_EQ(error.rfind("cannot load", 0), 0u) << error;
}

TEST(HostProgram, PlaysTheSceneWritesTheChosenFramesAndReportsTheStages) {
    std::string folder = freshFolder("demo");
    DemoRun run = runDemo("--frames 3 --write 0,2 --out frames", folder);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("3 frames in"), std::string::npos) << run.output;
    for (const char* stage : {"rendering", "blits", "textures", "read-back"})
        EXPECT_NE(run.output.find(stage), std::string::npos) << stage;
    EXPECT_FALSE(std::filesystem::exists(folder + "/frames/frame_0001.png"));

    // Frame 2 of the program, with the driver loaded by name, is the frame
    // the same scene gives with the driver linked in.
    Image first, written;
    std::string error;
    ASSERT_TRUE(readPng(folder + "/frames/frame_0000.png", first, error)) << error;
    ASSERT_TRUE(readPng(folder + "/frames/frame_0002.png", written, error)) << error;
    EXPECT_FALSE(first.rgb == written.rgb) << "the scene moves";
    ASSERT_EQ(Init(), 1);
    DemoScene scene;
    sceneLoad(scene, linkedDriver());
    StageTimes times;
    for (int frame = 0; frame < 3; ++frame)
        sceneFrame(scene, frame, times);
    RgbImage here = shownFrame();
    EXPECT_EQ(written.width, 640);
    EXPECT_EQ(written.height, 480);
    EXPECT_TRUE(written.rgb == here.rgb) << "the program's frame differs from the linked driver's";
    sceneUnload(scene);
    Shutdown();

    // The stand-in display in 555: every channel keeps five bits.
    run = runDemo("--frames 1 --write last --format 555 --out frames555", folder);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    Image frame555;
    ASSERT_TRUE(readPng(folder + "/frames555/frame_0000.png", frame555, error)) << error;
    size_t wide = 0;
    for (uint8_t c : frame555.rgb)
        wide += (c & 7) != 0;
    EXPECT_EQ(wide, 0u);
}

TEST(HostProgram, RefusesBadOptionsWithAMessage) {
    std::string folder = freshFolder("options");
    for (const char* arguments : {"--frames 0", "--frames", "--write every:0", "--write 3,x",
                                  "--format 444", "--speed 2"}) {
        DemoRun run = runDemo(arguments, folder);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_NE(run.output.find("kxdemo: "), std::string::npos)
            << arguments << ": " << run.output;
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "/out")) << "nothing played, nothing written";
}

TEST(HostCheckFrame, MatchesOnTheDriverAndFindsAChangedPixel) {
    LoadedDriver driver;
    std::string error;
    ASSERT_TRUE(loadDriver(driver, error)) << error;
    ASSERT_EQ(driver.api.Init(), 1);
    CheckFrameResult frame = drawCheckFrame(driver.api);
    driver.api.Shutdown();
    ASSERT_TRUE(frame.drawn);
    compareCheckFrame(frame);
    // Most of the screen is compared: shapes, blit and background.
    EXPECT_GT(frame.checked, 640 * 480 * 8 / 10);
    EXPECT_EQ(frame.differing, 0) << frame.firstDifference;

    // On the red quad's edge, where fill rules may differ: not compared.
    uint8_t* p = frame.image.rgb.data() + (size_t(100) * 640 + 300) * 3;
    p[0] = 0x00, p[1] = 0x00, p[2] = 0xFF;
    compareCheckFrame(frame);
    EXPECT_EQ(frame.differing, 0) << "(300, 100) lies on an edge";
    // A pixel of the textured quad's top-right (yellow) quarter, turned
    // blue: found and named.
    p = frame.image.rgb.data() + (size_t(280) * 640 + 500) * 3;
    p[0] = 0x00, p[1] = 0x00, p[2] = 0xFF;
    compareCheckFrame(frame);
    EXPECT_EQ(frame.differing, 1);
    EXPECT_EQ(frame.firstDifference, "at (500, 280): read 0x0000FF, expected 0xFFFF00");
    // A change below the display's precision is no difference.
    p[0] = 0xFF, p[1] = 0xFF, p[2] = 0x07;
    compareCheckFrame(frame);
    EXPECT_EQ(frame.differing, 0);
    unloadDriver(driver);
}
