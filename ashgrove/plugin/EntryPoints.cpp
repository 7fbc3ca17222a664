#include "plugin/EntryPoints.h"

#include "access/PluginLog.h"
#include "plugin/Installation.h"
#include "settings/CorpseSettings.h"

#if defined(_WIN32)
#include <windows.h>
#endif

// The host sees these steps in this order: the log channel, the settings,
// then the detours and commands of the installation list. The settings are
// loaded before any detour exists, so no death can find them unset. Nothing
// is caught here: a failed load reaches the host with its message, and
// nothing after it is installed.
extern "C" void Plugin_Init()
{
  PluginLog::Init("Ashgrove");
  LoadSettings();
  InstallAll();
}

extern "C" void Plugin_Unload()
{
  RemoveAll();
}

#if defined(_WIN32)
BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/)
{
  if (reason == DLL_PROCESS_ATTACH)
  {
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}
#endif
