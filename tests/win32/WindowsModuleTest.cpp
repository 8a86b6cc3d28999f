// The module as a Windows host meets it: loaded with LoadLibrary, entered with InitDll, its
// editor attached to an HWND, left with ExitDll. Runs under wine, on an X server of its own.
#include "controller/VastoraIds.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace Steinberg;
using namespace corvella::vastora;

namespace {

template <typename Fn>
Fn exported(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The names in the module's export table, read from the image the loader mapped.
std::vector<std::string> exportedNames(HMODULE module)
{
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::vector<std::string> names;
    if (dir.Size == 0)
        return names;
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.emplace_back(reinterpret_cast<const char*>(base + nameRvas[i]));
    if (exports->NumberOfFunctions != exports->NumberOfNames)
        names.emplace_back("<unnamed export>");
    return names;
}

// The DLL inside the bundle, loaded and entered as a Windows host does.
class EnteredModule
{
public:
    EnteredModule()
    {
        const std::string dll = std::string(VASTORA_BUNDLE_PATH) + "/Contents/x86_64-win/Vastora.vst3";
        module = LoadLibraryA(dll.c_str());
        if (!module)
            return;
        auto init = exported<bool (*)()>(module, "InitDll");
        entered = init && init();
    }
    ~EnteredModule()
    {
        if (entered)
            exitDll();
        if (module)
            FreeLibrary(module);
    }
    bool exitDll()
    {
        auto exit = exported<bool (*)()>(module, "ExitDll");
        entered = false;
        return exit && exit();
    }

    // A controller made by the module's factory and initialised with a host context.
    IPtr<Vst::IEditController> createController()
    {
        auto getFactory = exported<IPluginFactory* (*)()>(module, "GetPluginFactory");
        if (!getFactory)
            return nullptr;
        IPtr<IPluginFactory> factory = owned(getFactory());
        TUID cid;
        kControllerUID.toTUID(cid);
        void* object = nullptr;
        if (factory->createInstance(cid, Vst::IEditController::iid, &object) != kResultOk)
            return nullptr;
        IPtr<Vst::IEditController> controller = owned(static_cast<Vst::IEditController*>(object));
        controller->initialize(&hostContext);
        return controller;
    }

    HMODULE module = nullptr;
    bool entered = false;

private:
    Vst::HostApplication hostContext;
};

// The host's side of the view: grants every size it is asked for.
class GrantingPlugFrame : public IPlugFrame
{
public:
    tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) override
    {
        if (!view || !newSize)
            return kInvalidArgument;
        ++requests;
        last = *newSize;
        view->onSize(newSize);
        return kResultTrue;
    }
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override
    {
        if (FUnknownPrivate::iidEqual(iid, IPlugFrame::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid))
        {
            *obj = this;
            return kResultOk;
        }
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }

    int requests = 0;
    ViewRect last;
};

// A host's top-level window for the editor to live in.
class HostWindow
{
public:
    HostWindow()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VastoraTestHost";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(0, wc.lpszClassName, L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 720,
                               nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~HostWindow()
    {
        if (hwnd)
            DestroyWindow(hwnd);
    }
    HWND child() const { return GetWindow(hwnd, GW_CHILD); }
    void pump(int milliseconds) const
    {
        const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
        MSG msg;
        while (static_cast<int>(end - GetTickCount()) > 0)
        {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            Sleep(5);
        }
    }
    HWND hwnd = nullptr;
};

std::string className(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

} // namespace

TEST(WindowsModule, ExportsExactlyTheThreeEntryPoints)
{
    EnteredModule dll;
    ASSERT_NE(dll.module, nullptr) << GetLastError();
    std::vector<std::string> names = exportedNames(dll.module);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ExitDll", "GetPluginFactory", "InitDll"}));
}

TEST(WindowsModule, TheEditorTakesOnlyAnHwnd)
{
    EnteredModule dll;
    ASSERT_TRUE(dll.entered);
    IPtr<Vst::IEditController> controller = dll.createController();
    ASSERT_TRUE(controller);
    IPtr<IPlugView> view = owned(controller->createView(Vst::ViewType::kEditor));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
    for (FIDString other : {kPlatformTypeX11EmbedWindowID, kPlatformTypeNSView, kPlatformTypeHIView})
        EXPECT_NE(view->isPlatformTypeSupported(other), kResultTrue) << other;

    // A window handle of another kind is refused before VSTGUI could take it for an HWND.
    HostWindow host;
    ASSERT_NE(host.hwnd, nullptr);
    EXPECT_EQ(view->attached(host.hwnd, kPlatformTypeX11EmbedWindowID), kResultFalse);
    EXPECT_EQ(host.child(), nullptr);
    controller->terminate();
}

// InitDll runs the module's initialisers, which start VSTGUI with the module's own handle: the
// editor's window then belongs to a window class that VSTGUI registered for that module.
TEST(WindowsModule, InitDllStartsTheEditorsGuiWithTheModuleHandleAndTheEditorOpens)
{
    EnteredModule dll;
    ASSERT_TRUE(dll.entered);
    {
        IPtr<Vst::IEditController> controller = dll.createController();
        ASSERT_TRUE(controller);
        IPtr<IPlugView> view = owned(controller->createView(Vst::ViewType::kEditor));
        ASSERT_TRUE(view);
        GrantingPlugFrame plugFrame;
        view->setFrame(&plugFrame);
        HostWindow host;
        ASSERT_NE(host.hwnd, nullptr);

        ASSERT_EQ(view->attached(host.hwnd, kPlatformTypeHWND), kResultOk);
        host.pump(300);
        EXPECT_GE(plugFrame.requests, 1);
        EXPECT_EQ(plugFrame.last.getWidth(), 631);
        EXPECT_EQ(plugFrame.last.getHeight(), 668);

        HWND editor = host.child();
        ASSERT_NE(editor, nullptr);
        EXPECT_TRUE(IsWindowVisible(editor));
        RECT r{};
        GetClientRect(editor, &r);
        EXPECT_EQ(r.right - r.left, 631);
        EXPECT_EQ(r.bottom - r.top, 668);
        EXPECT_EQ(className(editor).rfind("VSTGUI", 0), 0u) << className(editor);
        EXPECT_EQ(reinterpret_cast<HMODULE>(GetClassLongPtrW(editor, GCLP_HMODULE)), dll.module);

        EXPECT_EQ(view->removed(), kResultOk);
        EXPECT_EQ(host.child(), nullptr);
        view->setFrame(nullptr);
        controller->terminate();
    }
    // The last ExitDll runs the module's terminators, which report success.
    EXPECT_TRUE(dll.exitDll());
}
