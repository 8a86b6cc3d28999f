#include "support/LoadedLibrary.h"

#if SMTG_OS_WINDOWS
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace corvella::testing {

#if SMTG_OS_WINDOWS
static const char* const kBinary = "/Contents/x86_64-win/Vastora.vst3";

static void* openLibrary(const std::string& path) { return LoadLibraryA(path.c_str()); }
static void closeLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
void* LoadedLibrary::symbol(const char* name) const
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
std::string LoadedLibrary::lastError() { return "error " + std::to_string(GetLastError()); }
static bool enter(const LoadedLibrary& lib)
{
    auto init = reinterpret_cast<bool (*)()>(lib.symbol("InitDll"));
    return init && init();
}
static const char* const kExit = "ExitDll";
#else
static const char* const kBinary = "/Contents/x86_64-linux/Vastora.so";

static void* openLibrary(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
static void closeLibrary(void* handle) { dlclose(handle); }
void* LoadedLibrary::symbol(const char* name) const { return dlsym(handle, name); }
std::string LoadedLibrary::lastError() { return dlerror(); }
static bool enter(const LoadedLibrary& lib)
{
    auto entry = reinterpret_cast<bool (*)(void*)>(lib.symbol("ModuleEntry"));
    return entry && entry(lib.handle);
}
static const char* const kExit = "ModuleExit";
#endif

LoadedLibrary::LoadedLibrary()
{
    handle = openLibrary(std::string(VASTORA_BUNDLE_PATH) + kBinary);
    if (!handle)
        return;
    getFactory = reinterpret_cast<Steinberg::IPluginFactory* (*)()>(symbol("GetPluginFactory"));
    entered = enter(*this);
}

LoadedLibrary::~LoadedLibrary()
{
    if (entered)
        leave();
    if (handle)
        closeLibrary(handle);
}

bool LoadedLibrary::leave()
{
    auto exit = reinterpret_cast<bool (*)()>(symbol(kExit));
    entered = false;
    return exit && exit();
}

} // namespace corvella::testing
