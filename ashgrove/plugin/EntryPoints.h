#pragma once

#if defined(_WIN32)
#define ASHGROVE_EXPORT __declspec(dllexport)
#else
#define ASHGROVE_EXPORT __attribute__((visibility("default")))
#endif

extern "C"
{
  ASHGROVE_EXPORT void Plugin_Init();
  ASHGROVE_EXPORT void Plugin_Unload();
}
