// SPDX-License-Identifier: MIT
// A stranger's library planted as SkinH_EL.dll: should the program ever load it, its code ends
// the process with status 97 at once, which fails whatever test or program loaded it. It has
// the skin library's two exports, so only the check of its bytes keeps it out.

#ifdef _WIN32
#include <windows.h>

extern "C" __declspec(dllexport) int SkinH_AttachRes(const unsigned char*, int, const char*, int,
                                                     int, int)
{
    return 1;
}
extern "C" __declspec(dllexport) int SkinH_SetAero(int)
{
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ExitProcess(97);
    }
    return TRUE;
}
#else
#include <unistd.h>

extern "C" __attribute__((visibility("default"))) int SkinH_AttachRes(const unsigned char*, int,
                                                                      const char*, int, int, int)
{
    return 1;
}
extern "C" __attribute__((visibility("default"))) int SkinH_SetAero(int)
{
    return 1;
}

__attribute__((constructor)) static void planted()
{
    _exit(97);
}
#endif
