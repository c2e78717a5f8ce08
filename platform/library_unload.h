// What a DLL of ours gives back when its host frees it. The C++ runtime is
// linked into each DLL, and its exception arena (some 70 KiB, made as the
// DLL loads) is otherwise kept by the process after the DLL is gone: a host
// that loads and frees the driver over and over would lose that each time.
#pragma once

#if defined(_WIN32) && defined(__GLIBCXX__)
namespace __gnu_cxx {
void __freeres() noexcept; // the runtime's own, for leak checkers
}
#endif

inline void freeRuntimeArena() {
#if defined(_WIN32) && defined(__GLIBCXX__)
    __gnu_cxx::__freeres();
#endif
}

// DllMain's reason when the DLL is being freed or the process ends.
constexpr unsigned long kDllProcessDetach = 0;
