#include "devhost/PluginLibrary.h"

#include <exception>
#include <stdexcept>
#include <utility>

#include "devhost/Logging.h"
#include "devhost/Text.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace devhost
{
namespace
{
#if defined(_WIN32)
void* OpenLibrary(const std::string& path)
{
  return LoadLibraryW(WideFromUtf8(path).c_str());
}

void* FindEntry(void* handle, const char* name)
{
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void CloseLibrary(void* handle)
{
  FreeLibrary(static_cast<HMODULE>(handle));
}

std::string LastLoadError()
{
  return "error " + std::to_string(GetLastError());
}
#else
void* OpenLibrary(const std::string& path)
{
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindEntry(void* handle, const char* name)
{
  return dlsym(handle, name);
}

void CloseLibrary(void* handle)
{
  dlclose(handle);
}

std::string LastLoadError()
{
  const char* error = dlerror();
  return error != nullptr ? error : "unknown error";
}
#endif

using EntryPoint = void (*)();
} // namespace

PluginLibrary::PluginLibrary(std::string path) : path_(std::move(path))
{
  handle_ = OpenLibrary(path_);
  if (handle_ == nullptr)
  {
    throw std::runtime_error("cannot load " + path_ + ": " + LastLoadError());
  }
  init_ = reinterpret_cast<EntryPoint>(FindEntry(handle_, "Plugin_Init"));
  unload_ = reinterpret_cast<EntryPoint>(FindEntry(handle_, "Plugin_Unload"));
  if (init_ == nullptr || unload_ == nullptr)
  {
    CloseLibrary(handle_);
    handle_ = nullptr;
    throw std::runtime_error(path_ + " does not export Plugin_Init and Plugin_Unload");
  }
}

PluginLibrary::~PluginLibrary()
{
  Close();
}

std::optional<std::string> PluginLibrary::Init()
{
  if (handle_ == nullptr)
  {
    return std::string("plugin library is not loaded");
  }
  try
  {
    init_();
  }
  catch (const std::exception& error)
  {
    return std::string(error.what());
  }
  catch (...)
  {
    return std::string("unknown exception");
  }
  return std::nullopt;
}

void PluginLibrary::Unload()
{
  if (handle_ != nullptr)
  {
    unload_();
  }
}

void PluginLibrary::Close()
{
  if (handle_ == nullptr)
  {
    return;
  }
  RestoreHostLogFormat();
  CloseLibrary(handle_);
  handle_ = nullptr;
  init_ = nullptr;
  unload_ = nullptr;
}
} // namespace devhost
