// The module as a Windows host meets it: loaded with LoadLibrary and entered with InitDll, its
// editor attached to an HWND. Runs under wine, on an X server of its own.
#include "controller/VastoraIds.h"
#include "support/LoadedLibrary.h"

#include "pluginterfaces/base/funknownimpl.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace Steinberg;
using corvella::testing::LoadedLibrary;

namespace {

// The names in the module's export table, read from the image the loader mapped.
std::vector<std::string> exportedNames(const LoadedLibrary& lib)
{
    const auto* base = static_cast<const unsigned char*>(lib.handle);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::vector<std::string> names;
    if (dir.Size == 0)
        return names;
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.emplace_back(reinterpret_cast<const char*>(base + nameRvas[i]));
    if (exports->NumberOfFunctions != exports->NumberOfNames)
        names.emplace_back("<export without a name>");
    std::sort(names.begin(), names.end());
    return names;
}

// The module's editor, created by its own controller, and a host window to attach it to.
struct EditorFixture
{
    LoadedLibrary lib;
    Vst::HostApplication hostContext;
    IPtr<Vst::IEditController> controller;
    IPtr<IPlugView> view;
    HWND window = nullptr;

    EditorFixture()
    {
        if (!lib.getFactory)
            return;
        IPtr<IPluginFactory> factory = owned(lib.getFactory());
        TUID cid;
        corvella::vastora::kControllerUID.toTUID(cid);
        void* object = nullptr;
        if (factory->createInstance(cid, Vst::IEditController::iid, &object) != kResultOk)
            return;
        controller = owned(static_cast<Vst::IEditController*>(object));
        controller->initialize(&hostContext);
        view = owned(controller->createView(Vst::ViewType::kEditor));
        window = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 720,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~EditorFixture()
    {
        view = nullptr;
        if (controller)
            controller->terminate();
        if (window)
            DestroyWindow(window);
    }
    HWND editorWindow() const { return GetWindow(window, GW_CHILD); }
};

// The host's side of the view: grants every size it is asked for.
struct GrantingPlugFrame : U::ImplementsNonDestroyable<U::Directly<IPlugFrame>>
{
    tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) override
    {
        ++requests;
        last = *newSize;
        return view->onSize(newSize);
    }
    int requests = 0;
    ViewRect last;
};

void pumpMessages(int milliseconds)
{
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    for (MSG msg; static_cast<int>(end - GetTickCount()) > 0; Sleep(5))
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
}

} // namespace

TEST(WindowsModule, ExportsExactlyTheThreeEntryPoints)
{
    LoadedLibrary lib;
    ASSERT_NE(lib.handle, nullptr) << LoadedLibrary::lastError();
    EXPECT_EQ(exportedNames(lib), (std::vector<std::string>{"ExitDll", "GetPluginFactory", "InitDll"}));
}

TEST(WindowsModule, TheEditorTakesAnHwndAndRefusesOtherWindowKinds)
{
    EditorFixture f;
    ASSERT_TRUE(f.view && f.window);
    EXPECT_EQ(f.view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
    for (FIDString other : {kPlatformTypeX11EmbedWindowID, kPlatformTypeNSView, kPlatformTypeHIView})
        EXPECT_NE(f.view->isPlatformTypeSupported(other), kResultTrue) << other;
    // Taken for an HWND, the handle would get a window put into it.
    EXPECT_EQ(f.view->attached(f.window, kPlatformTypeX11EmbedWindowID), kResultFalse);
    EXPECT_EQ(f.editorWindow(), nullptr);
}

// InitDll runs the module's initialisers, which start VSTGUI with the module's own handle: the
// editor's window then belongs to the window class VSTGUI registers for that module.
TEST(WindowsModule, TheEditorOpensOnAnHwndWithTheGuiStartedByInitDll)
{
    EditorFixture f;
    ASSERT_TRUE(f.lib.entered);
    ASSERT_TRUE(f.view && f.window);
    GrantingPlugFrame plugFrame;
    f.view->setFrame(&plugFrame);
    ASSERT_EQ(f.view->attached(f.window, kPlatformTypeHWND), kResultOk);
    pumpMessages(300);
    EXPECT_GE(plugFrame.requests, 1);
    EXPECT_EQ(plugFrame.last.getWidth(), 631);
    EXPECT_EQ(plugFrame.last.getHeight(), 668);

    HWND editor = f.editorWindow();
    EXPECT_TRUE(editor && IsWindowVisible(editor));
    RECT r{};
    GetClientRect(editor, &r);
    EXPECT_EQ(r.right, 631);
    EXPECT_EQ(r.bottom, 668);
    char className[64] = {};
    GetClassNameA(editor, className, sizeof className);
    EXPECT_EQ(std::string(className).rfind("VSTGUI", 0), 0u) << className;
    EXPECT_EQ(reinterpret_cast<void*>(GetClassLongPtrA(editor, GCLP_HMODULE)), f.lib.handle);

    EXPECT_EQ(f.view->removed(), kResultOk);
    EXPECT_EQ(f.editorWindow(), nullptr);
    f.view->setFrame(nullptr);
}
