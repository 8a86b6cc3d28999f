#pragma once

#include "pluginterfaces/base/ipluginbase.h"

#include <string>

namespace corvella::testing {

// The plug-in's binary, loaded straight from the bundle with the system's loader and entered
// the way the platform's hosts enter it: LoadLibrary, then InitDll, and ExitDll before unloading
// on Windows; dlopen, then ModuleEntry, and ModuleExit before unloading on Linux.
class LoadedLibrary
{
public:
    LoadedLibrary();
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    // What a host calls before unloading; true when the module reports success.
    bool leave();
    void* symbol(const char* name) const;
    static std::string lastError();

    void* handle = nullptr; // HMODULE on Windows
    bool entered = false;
    Steinberg::IPluginFactory* (*getFactory)() = nullptr;
};

} // namespace corvella::testing
