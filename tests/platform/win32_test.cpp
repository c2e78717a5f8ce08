// The Win32 calls the driver's tests do not show: text comparison as the
// system sorts, and library loading. (Windows, the cursor counter, the clock
// and debugger output are seen through the driver's start, shut-down and
// capability dump.)
#include <gtest/gtest.h>

#include "tests/platform/test_helpers.h"

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
