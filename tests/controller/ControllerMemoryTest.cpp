// The controller when memory runs out: this program replaces the global allocation functions
// (support/RealtimeWatch.cpp), so that every allocation can be made to fail.
#include "controller/CvEditController.h"
#include "controller/VastoraPresets.h"
#include "params/VastoraParams.h"
#include "support/RealtimeWatch.h"
#include "support/StateBytes.h"

#include "host/TestHost.h"
#include "public.sdk/source/common/memorystream.h"

#include <gtest/gtest.h>

using namespace corvella;
using namespace corvella::testing;
using namespace Steinberg;
using namespace Steinberg::Vst;

TEST(ControllerMemory, AProgramChangeNeedsNoMemoryAndALoadWithoutItChangesNothing)
{
    struct ProductPresets : CvEditController
    {
        ProductPresets() : CvEditController(vastora::parameterSpecs(), vastora::kParamCount) {}
        const std::vector<CvFactoryPreset>* getFactoryPresets() override { return &vastora::gFactoryPresets; }
    };
    HostApplication host;
    RecordingHandler handler;
    handler.edits.reserve(64); // the stand-in host records without allocating
    IPtr<ProductPresets> controller = owned(new ProductPresets);
    controller->initialize(&host);
    controller->setComponentHandler(&handler);
    std::vector<char> bytes = StateBytes::make(2, std::vector<double>(12, 1.0), true, 3);
    MemoryStream stream(bytes.data(), TSize(bytes.size()));
    tresult changed = kResultFalse, loaded = kResultOk;
    {
        FailingLargeAllocations fail(1);
        changed = controller->setParamNormalized(kProgramListId, 9.0 / 13.0);
        loaded = controller->setState(&stream);
    }
    EXPECT_EQ(changed, kResultTrue);
    EXPECT_EQ(loaded, kOutOfMemory);
    EXPECT_EQ(controller->getCurrentProgram(), 9);
    std::vector<Edit> expected;
    for (const auto& [id, plain] : vastora::gFactoryPresets[9].values)
        expected.push_back({Edit::Perform, id, CvParameterSet::toNormalized(*controller->getParameterSet().findSpec(id), plain)});
    EXPECT_EQ(handler.edits, expected);
    for (const Edit& e : expected)
        EXPECT_EQ(controller->getParamNormalized(e.id), e.value) << e.id;
    controller->terminate();
}
