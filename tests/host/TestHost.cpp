#include "host/TestHost.h"

#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/utility/stringconvert.h"

#include <stdexcept>
#include <thread>

namespace corvella::testing {

using namespace Steinberg;
using namespace Steinberg::Vst;

void RecordingHandler::record(const Edit& edit)
{
    const std::lock_guard<std::mutex> lock(mutex);
    edits.push_back(edit);
}

tresult PLUGIN_API RecordingHandler::beginEdit(ParamID id)
{
    record({Edit::Begin, id, 0.0});
    return kResultOk;
}

tresult PLUGIN_API RecordingHandler::performEdit(ParamID id, ParamValue value)
{
    record({Edit::Perform, id, value});
    std::this_thread::sleep_for(performTime);
    if (onPerform)
        onPerform(id, value);
    return kResultOk;
}

tresult PLUGIN_API RecordingHandler::endEdit(ParamID id)
{
    record({Edit::End, id, 0.0});
    return kResultOk;
}

tresult PLUGIN_API RecordingHandler::queryInterface(const TUID iid, void** obj)
{
    if (FUnknownPrivate::iidEqual(iid, IComponentHandler::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid))
    {
        *obj = this;
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

const std::string& TestHost::bundlePath()
{
    static const std::string path = VASTORA_BUNDLE_PATH;
    return path;
}

const VST3::Hosting::Module& TestHost::module()
{
    static VST3::Hosting::Module::Ptr loaded = [] {
        std::string error;
        auto m = VST3::Hosting::Module::create(bundlePath(), error);
        if (!m)
            throw std::runtime_error("cannot load " + bundlePath() + ": " + error);
        return m;
    }();
    return *loaded;
}

TestHost::TestHost()
{
    PluginContextFactory::instance().setPluginContext(&hostApp);
    const auto& factory = module().getFactory();
    for (const auto& info : factory.classInfos())
        if (info.category() == kVstAudioEffectClass)
        {
            provider = owned(new PlugProvider(factory, info, true));
            provider->initialize();
            break;
        }
    if (!provider || !provider->getComponentPtr() || !provider->getControllerPtr())
        throw std::runtime_error("the module offers no working processor/controller pair");
    controller().setComponentHandler(&recorder);
    syncControllerToProcessor();
}

TestHost::~TestHost()
{
    if (provider && provider->getControllerPtr())
        controller().setComponentHandler(nullptr);
    provider = nullptr;
}

tresult TestHost::syncControllerToProcessor()
{
    MemoryStream stream;
    if (component().getState(&stream) != kResultOk)
        return kResultFalse;
    stream.seek(0, IBStream::kIBSeekSet, nullptr);
    return controller().setComponentState(&stream);
}

std::vector<char> controllerState(IEditController& controller)
{
    MemoryStream stream;
    if (controller.getState(&stream) != kResultOk)
        return {};
    return std::vector<char>(stream.getData(), stream.getData() + stream.getSize());
}

tresult loadControllerState(IEditController& controller, std::vector<char> bytes)
{
    MemoryStream stream(bytes.data(), static_cast<TSize>(bytes.size()));
    return controller.setState(&stream);
}

std::string TestHost::valueText(ParamID id, double normalized)
{
    String128 text{};
    if (controller().getParamStringByValue(id, normalized, text) != kResultOk)
        return "<none>";
    return toUtf8(text);
}

std::string toUtf8(const TChar* text) { return VST3::StringConvert::convert(text); }

std::u16string toUtf16(const std::string& text) { return VST3::StringConvert::convert(text); }

} // namespace corvella::testing
