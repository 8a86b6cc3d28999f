// The module's plug-in factory: the vendor and the two classes it offers.
#include "controller/VastoraController.h"
#include "controller/VastoraIds.h"
#include "controller/VastoraVersion.h"
#include "processor/VastoraProcessor.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "public.sdk/source/main/pluginfactory.h"

#include <new>

using namespace Steinberg;

namespace corvella::vastora {

FUnknown* createProcessorInstance(void* /*context*/)
{
    auto* processor = new (std::nothrow) VastoraProcessor;
    return processor ? static_cast<Vst::IAudioProcessor*>(processor) : nullptr;
}

FUnknown* createControllerInstance(void* /*context*/)
{
    auto* controller = new (std::nothrow) VastoraController;
    return controller ? static_cast<Vst::IEditController*>(controller) : nullptr;
}

namespace {

void toTUID(const FUID& id, TUID out) { id.toTUID(out); }

} // namespace

} // namespace corvella::vastora

SMTG_EXPORT_SYMBOL IPluginFactory* PLUGIN_API GetPluginFactory()
{
    using namespace corvella::vastora;
    // The SDK's gPluginFactory: its destructor clears the pointer when the last reference goes,
    // so a later call builds a fresh factory.
    if (gPluginFactory)
    {
        gPluginFactory->addRef();
        return gPluginFactory;
    }
    static const PFactoryInfo factoryInfo(version::kVendor, version::kVendorUrl, version::kVendorEmail,
                                          PFactoryInfo::kUnicode);
    gPluginFactory = new CPluginFactory(factoryInfo);

    TUID processorCid;
    toTUID(kProcessorUID, processorCid);
    static const PClassInfo2 processorInfo(processorCid, PClassInfo::kManyInstances, kVstAudioEffectClass,
                                           version::kProcessorName, Vst::kDistributable, version::kSubCategories,
                                           nullptr, version::kVersion, version::kSdkVersion);
    gPluginFactory->registerClass(&processorInfo, createProcessorInstance, nullptr);

    TUID controllerCid;
    toTUID(kControllerUID, controllerCid);
    static const PClassInfo2 controllerInfo(controllerCid, PClassInfo::kManyInstances, kVstComponentControllerClass,
                                            version::kControllerName, 0, "", nullptr, version::kVersion,
                                            version::kSdkVersion);
    gPluginFactory->registerClass(&controllerInfo, createControllerInstance, nullptr);
    return gPluginFactory;
}
