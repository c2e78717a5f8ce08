// The Win32 calls: windows, cursor counter, virtual clock, text comparison,
// library loading, debugger output.
#include <gtest/gtest.h>

#include "tests/platform/test_helpers.h"

TEST(Win32, WindowsAndTheActiveOne) {
    HWND active = GetActiveWindow();
    EXPECT_EQ(active, kxstandDefaultWindow());
    EXPECT_TRUE(IsWindow(active));
    EXPECT_FALSE(IsWindow(nullptr));
    HWND made = kxstandCreateWindow();
    EXPECT_NE(made, active);
    EXPECT_TRUE(IsWindow(made));
    kxstandSetActiveWindow(made);
    EXPECT_EQ(GetActiveWindow(), made);
    kxstandDestroyWindow(made);
    EXPECT_FALSE(IsWindow(made));
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_EQ(kxstandCallCount("GetActiveWindow"), 3);
}

TEST(Win32, CursorCounterClockAndDebugLines) {
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_EQ(kxstandCursorCounter(), -1);

    Sleep(100);
    Sleep(500);
    EXPECT_EQ(kxstandClockMs(), 600u);
    EXPECT_TRUE(logHas("Sleep(500)"));

    OutputDebugStringA("*** heading ***\n");
    OutputDebugStringA("second\n");
    const std::vector<std::string> lines = {"*** heading ***\n", "second\n"};
    EXPECT_EQ(kxstandDebugLines(), lines);
}

TEST(Win32, TextComparisonSortsLikeTheSystem) {
    EXPECT_LT(lstrcmpA("0046", "0046h"), 0);
    EXPECT_LT(lstrcmpA("apple", "Banana"), 0); // case comes second
    EXPECT_LT(lstrcmpA("abc", "ABC"), 0);
    EXPECT_GT(lstrcmpA("ABC", "abc"), 0);
    EXPECT_LT(lstrcmpA(nullptr, "a"), 0);
    EXPECT_EQ(lstrcmpA(nullptr, nullptr), 0);
}

TEST(Win32, LibraryLoadingFindsOnlyDirectDraw) {
    EXPECT_EQ(LoadLibraryA("sgl.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA("ddraw.dl"), nullptr);
    HMODULE module = LoadLibraryA("DDRAW.DLL");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(LoadLibraryA("DDraw.dll"), module);
    EXPECT_EQ(kxstandLibraryLoads(), 2);
    EXPECT_EQ(kxstandLibraryLoaded(), 2);

    EXPECT_NE(GetProcAddress(module, "DirectDrawCreate"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "directdrawcreate"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "DirectDrawCreateEx"), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "DirectDrawCreate"), nullptr);

    int unrelated = 0;
    EXPECT_EQ(FreeLibrary(reinterpret_cast<HMODULE>(&unrelated)), FALSE);
    EXPECT_EQ(FreeLibrary(module), TRUE);
    EXPECT_EQ(FreeLibrary(module), TRUE);
    EXPECT_EQ(FreeLibrary(module), FALSE); // no longer loaded
    EXPECT_EQ(GetProcAddress(module, "DirectDrawCreate"), nullptr);
    EXPECT_EQ(kxstandLibraryFrees(), 2);
    EXPECT_EQ(kxstandLibraryLoaded(), 0);

    // The entry point used after the library is gone is a caught fault.
    module = LoadLibraryA("ddraw.dll");
    auto create = reinterpret_cast<DirectDrawCreateFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "DirectDrawCreate")));
    ASSERT_NE(create, nullptr);
    ASSERT_EQ(FreeLibrary(module), TRUE);
    IDirectDraw* directDraw = nullptr;
    EXPECT_EQ(create(nullptr, &directDraw, nullptr), DD_OK);
    EXPECT_EQ(kxstandDeadCalls(), 1);
    ASSERT_NE(directDraw, nullptr);
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}
