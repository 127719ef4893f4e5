// SPDX-License-Identifier: MIT
// The Windows library entry: thread attach and detach notifications are not
// needed, so they are switched off; nothing else happens at load or unload.
#if defined(_WIN32)
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
#endif
