#pragma once

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "public.sdk/source/vst/hosting/module.h"
#include "public.sdk/source/vst/hosting/plugprovider.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace corvella::testing {

// One edit the plug-in reported to the host.
struct Edit
{
    enum Kind
    {
        Begin,
        Perform,
        End
    } kind;
    Steinberg::Vst::ParamID id;
    double value; // for Perform

    bool operator==(const Edit& o) const { return kind == o.kind && id == o.id && value == o.value; }
};

// The host's component handler: records every edit in order, from any thread.
class RecordingHandler : public Steinberg::Vst::IComponentHandler
{
public:
    std::vector<Edit> edits;
    // A host whose performEdit takes this long (it may update its own views, say).
    std::chrono::microseconds performTime{0};
    // What the host does with each performEdit after recording it: calls back into the plug-in.
    std::function<void(Steinberg::Vst::ParamID, double)> onPerform;

    Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) override;
    Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value) override;
    Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) override;
    Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32) override { return Steinberg::kResultOk; }
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    void record(const Edit& edit);
    std::mutex mutex;
};

// An offline host: loads the built Vastora.vst3 bundle the way a DAW does (module entry, factory,
// processor and controller paired and connected), passes the processor's state to the controller
// and listens to the controller's edits.
class TestHost
{
public:
    TestHost();
    ~TestHost();

    static const std::string& bundlePath();
    // The loaded module, shared by every host of the test program (a DAW loads it once too).
    static const VST3::Hosting::Module& module();

    Steinberg::Vst::IComponent& component() { return *provider->getComponentPtr(); }
    Steinberg::Vst::IEditController& controller() { return *provider->getControllerPtr(); }
    Steinberg::FUnknown* componentUnknown() { return provider->getComponentPtr().get(); }
    RecordingHandler& handler() { return recorder; }

    // What a host does after loading a project: processor state into the controller.
    Steinberg::tresult syncControllerToProcessor();

    // The controller's text for a value, as 8-bit text.
    std::string valueText(Steinberg::Vst::ParamID id, double normalized);

private:
    Steinberg::Vst::HostApplication hostApp;
    RecordingHandler recorder;
    Steinberg::IPtr<Steinberg::Vst::PlugProvider> provider;
};

// The controller's own state, saved and loaded as a host does with its project.
std::vector<char> controllerState(Steinberg::Vst::IEditController& controller);
Steinberg::tresult loadControllerState(Steinberg::Vst::IEditController& controller, std::vector<char> bytes);

std::string toUtf8(const Steinberg::Vst::TChar* text);
std::u16string toUtf16(const std::string& text);

} // namespace corvella::testing
