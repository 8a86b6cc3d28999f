// The module's factory as a host sees it, loaded straight from the bundle with the system's
// loader (dlopen, or LoadLibrary on Windows) and entered the way the platform's hosts enter it.
#include "controller/VastoraIds.h"
#include "support/LoadedLibrary.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Steinberg;
using namespace corvella::vastora;
using corvella::testing::LoadedLibrary;

namespace {

uint32 referenceCount(FUnknown* object)
{
    object->addRef();
    return object->release();
}

TUID& tuidOf(const FUID& id)
{
    static TUID buffer;
    id.toTUID(buffer);
    return buffer;
}

bool allZero(const char* field, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        if (field[i] != 0)
            return false;
    return true;
}

} // namespace

TEST(Factory, ExportsTheModuleEntryPointsUnderPlainNames)
{
    LoadedLibrary lib;
    ASSERT_NE(lib.handle, nullptr) << LoadedLibrary::lastError();
    EXPECT_NE(lib.getFactory, nullptr);
    EXPECT_TRUE(lib.entered);
    EXPECT_TRUE(lib.leave());
}

TEST(Factory, ReportsTheVendorAndBothClassesExactly)
{
    LoadedLibrary lib;
    ASSERT_TRUE(lib.getFactory);
    IPtr<IPluginFactory> factory = owned(lib.getFactory());
    PFactoryInfo info{};
    ASSERT_EQ(factory->getFactoryInfo(&info), kResultOk);
    EXPECT_STREQ(info.vendor, "Tamsel");
    EXPECT_GT(std::strlen(info.url), 0u);
    EXPECT_NE(std::strchr(info.email, '@'), nullptr);
    EXPECT_EQ(info.flags, 16);
    ASSERT_EQ(factory->countClasses(), 2);

    FUnknownPtr<IPluginFactory2> factory2(factory);
    ASSERT_TRUE(factory2);
    PClassInfo2 processor{}, controller{};
    ASSERT_EQ(factory2->getClassInfo2(0, &processor), kResultOk);
    ASSERT_EQ(factory2->getClassInfo2(1, &controller), kResultOk);

    EXPECT_EQ(std::memcmp(processor.cid, tuidOf(kProcessorUID), sizeof(TUID)), 0);
    EXPECT_EQ(processor.cardinality, 0x7FFFFFFF);
    EXPECT_STREQ(processor.category, "Audio Module Class");
    EXPECT_STREQ(processor.name, "Vastora");
    EXPECT_EQ(processor.classFlags, 1u);
    EXPECT_STREQ(processor.subCategories, "Fx|Reverb");
    EXPECT_TRUE(allZero(processor.vendor, sizeof processor.vendor));
    EXPECT_STREQ(processor.version, "1.0.0");
    EXPECT_STREQ(processor.sdkVersion, kVstVersionString);

    EXPECT_EQ(std::memcmp(controller.cid, tuidOf(kControllerUID), sizeof(TUID)), 0);
    EXPECT_EQ(controller.cardinality, 0x7FFFFFFF);
    EXPECT_STREQ(controller.category, "Component Controller Class");
    EXPECT_STREQ(controller.name, "VastoraController");
    EXPECT_EQ(controller.classFlags, 0u);
    EXPECT_TRUE(allZero(controller.subCategories, sizeof controller.subCategories));
    EXPECT_TRUE(allZero(controller.vendor, sizeof controller.vendor));
    EXPECT_STREQ(controller.version, "1.0.0");
    EXPECT_STREQ(controller.sdkVersion, kVstVersionString);
    EXPECT_NE(std::memcmp(processor.cid, controller.cid, sizeof(TUID)), 0);

    FUnknownPtr<IPluginFactory3> factory3(factory);
    ASSERT_TRUE(factory3);
    PClassInfoW wide{};
    ASSERT_EQ(factory3->getClassInfoUnicode(0, &wide), kResultOk);
    EXPECT_EQ(wide.name[0], u'V');
}

// Hosts keep a class ID with a project as the 16 bytes of its class description: on Windows in
// COM's GUID layout (the first word and both halves of the second little-endian), elsewhere the
// four words big-endian. The text form is the same on every platform.
TEST(Factory, ClassIdsComeInThePlatformsByteLayout)
{
    struct Expected
    {
        unsigned char bytes[16];
        const char* text;
    };
#if SMTG_OS_WINDOWS
    const Expected expected[2] = {
        {{0xB8, 0x5D, 0x30, 0x96, 0xE9, 0x45, 0x8B, 0x43, 0xA9, 0xE0, 0xE9, 0x51, 0xFB, 0xF9, 0xE5, 0xEB},
         "96305DB845E9438BA9E0E951FBF9E5EB"},
        {{0x61, 0x6A, 0x71, 0x89, 0xDD, 0xF8, 0x45, 0x4B, 0xB0, 0xFE, 0xDB, 0x8F, 0xA6, 0x06, 0x2F, 0xFC},
         "89716A61F8DD4B45B0FEDB8FA6062FFC"},
    };
#else
    const Expected expected[2] = {
        {{0x96, 0x30, 0x5D, 0xB8, 0x45, 0xE9, 0x43, 0x8B, 0xA9, 0xE0, 0xE9, 0x51, 0xFB, 0xF9, 0xE5, 0xEB},
         "96305DB845E9438BA9E0E951FBF9E5EB"},
        {{0x89, 0x71, 0x6A, 0x61, 0xF8, 0xDD, 0x4B, 0x45, 0xB0, 0xFE, 0xDB, 0x8F, 0xA6, 0x06, 0x2F, 0xFC},
         "89716A61F8DD4B45B0FEDB8FA6062FFC"},
    };
#endif
    LoadedLibrary lib;
    ASSERT_TRUE(lib.getFactory);
    IPtr<IPluginFactory> factory = owned(lib.getFactory());
    for (int32 index = 0; index < 2; ++index)
    {
        PClassInfo info{};
        ASSERT_EQ(factory->getClassInfo(index, &info), kResultOk);
        EXPECT_EQ(std::memcmp(info.cid, expected[index].bytes, sizeof(TUID)), 0) << info.name;
        char text[33] = {};
        FUID::fromTUID(info.cid).toString(text);
        EXPECT_STREQ(text, expected[index].text);
    }
}

TEST(Factory, RepeatedCallsShareOneFactoryAndAReleasedOneIsRebuilt)
{
    LoadedLibrary lib;
    ASSERT_TRUE(lib.getFactory);
    IPluginFactory* first = lib.getFactory();
    const uint32 afterFirst = referenceCount(first);
    IPluginFactory* second = lib.getFactory();
    EXPECT_EQ(first, second);
    EXPECT_EQ(referenceCount(first), afterFirst + 1);
    second->release();
    first->release();

    // Every reference is gone: the next call builds a new factory with both classes, once each.
    IPtr<IPluginFactory> fresh = owned(lib.getFactory());
    EXPECT_EQ(referenceCount(fresh), 1u);
    EXPECT_EQ(fresh->countClasses(), 2);
    PClassInfo info{};
    fresh->getClassInfo(1, &info);
    EXPECT_STREQ(info.name, "VastoraController");
}

TEST(Factory, CreatesPairedInstances)
{
    LoadedLibrary lib;
    ASSERT_TRUE(lib.getFactory);
    IPtr<IPluginFactory> factory = owned(lib.getFactory());

    for (const FUID* iid : {&Vst::IAudioProcessor::iid, &Vst::IComponent::iid})
    {
        void* object = nullptr;
        ASSERT_EQ(factory->createInstance(tuidOf(kProcessorUID), *iid, &object), kResultOk);
        IPtr<FUnknown> processor = owned(static_cast<FUnknown*>(object));
        FUnknownPtr<Vst::IComponent> component(processor);
        ASSERT_TRUE(component);
        TUID controllerClass;
        ASSERT_EQ(component->getControllerClassId(controllerClass), kResultOk);
        EXPECT_EQ(FUID::fromTUID(controllerClass), kControllerUID);
    }

    void* object = nullptr;
    ASSERT_EQ(factory->createInstance(tuidOf(kControllerUID), Vst::IEditController::iid, &object), kResultOk);
    IPtr<Vst::IEditController> controller = owned(static_cast<Vst::IEditController*>(object));
    EXPECT_TRUE(controller);

    void* none = nullptr;
    TUID unknown = {};
    EXPECT_NE(factory->createInstance(unknown, Vst::IEditController::iid, &none), kResultOk);
    EXPECT_EQ(none, nullptr);
}
