// The load-time hook of each library on Windows. Neither library keeps per-thread state, so it
// asks not to be called for every thread the host starts or ends.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
  return TRUE;
}

#if defined(ZEPHLOR_NO_CRT)
// Built without the Microsoft runtime, which would otherwise define this marker that floating
// point code refers to.
extern "C" int _fltused = 0;
#endif
