#include "support/ProcessorHarness.h"
#include "support/StateBytes.h"

#include "params/VastoraParams.h"
#include "processor/VastoraProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace corvella::testing;
using namespace corvella::vastora;
using namespace Steinberg;

namespace {

const std::vector<double> kDefaults = {25, 75, 10000, 9.7, 40, 60, 9, 1, 0, 0, 25, 1};
const std::vector<double> kOther = {100, 50, 2000, 3.5, 20, 80, 2, 5, -6, 6, 70, 0.5};

struct Fixture
{
    IPtr<VastoraProcessor> processor = owned(new VastoraProcessor);
    ProcessorHarness host{processor->unknownCast()};
    Fixture() { host.initialize(); }
    std::vector<double> values() { return StateBytes::values(host.getState()); }
};

// Loading passes each value through its normalized form, which may move the last bits.
void expectValuesNear(const std::vector<double>& actual, const std::vector<double>& expected, const char* what = "")
{
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (std::size_t k = 0; k < actual.size(); ++k)
        EXPECT_NEAR(actual[k], expected[k], 1e-12 * std::max(1.0, std::fabs(expected[k]))) << what << " value " << k;
}

} // namespace

TEST(ProcessorState, FreshProcessorWritesTheDefaultsIn108Bytes)
{
    Fixture f;
    const std::vector<char> bytes = f.host.getState();
    EXPECT_EQ(bytes, StateBytes::make(2, kDefaults, true, 0));
    ASSERT_EQ(bytes.size(), 108u);
    const std::vector<char> head = {2, 0, 0, 0, 12, 0, 0, 0};
    EXPECT_TRUE(std::equal(head.begin(), head.end(), bytes.begin()));
}

TEST(ProcessorState, RoundTripRestoresEveryValue)
{
    Fixture a;
    ASSERT_EQ(a.host.setState(StateBytes::make(2, kOther)), kResultOk);
    const std::vector<char> saved = a.host.getState();
    Fixture b;
    ASSERT_EQ(b.host.setState(saved), kResultOk);
    EXPECT_EQ(b.host.getState(), saved);
    expectValuesNear(b.values(), kOther);
}

TEST(ProcessorState, ReaderAcceptsEveryVersionAndCount)
{
    struct Case
    {
        const char* what;
        std::vector<char> bytes;
        tresult result;
        std::vector<double> expected;
    };
    std::vector<double> fourteen = kOther;
    fourteen.push_back(1.0);
    fourteen.push_back(2.0);
    std::vector<double> firstFive = kDefaults;
    std::copy(kOther.begin(), kOther.begin() + 5, firstFive.begin());

    const Case cases[] = {
        {"version 1 without program", StateBytes::make(1, kOther, false), kResultOk, kOther},
        {"version 2 missing program", StateBytes::make(2, kOther, false), kResultOk, kOther},
        {"version 7 reads like 2", StateBytes::make(7, kOther, true, 3), kResultOk, kOther},
        {"version -1 reads like 1", StateBytes::make(-1, kOther, false), kResultOk, kOther},
        {"count 14: extra values dropped", StateBytes::make(2, fourteen), kResultOk, kOther},
        {"count 0", StateBytes().i32(2).i32(0).i32(0).get(), kResultOk, kDefaults},
        {"count -3", StateBytes().i32(2).i32(-3).i32(0).get(), kResultOk, kDefaults},
        {"count 12, five values", StateBytes().i32(2).i32(12).f64(100).f64(50).f64(2000).f64(3.5).f64(20).get(),
         kResultFalse, firstFive},
        {"empty", {}, kResultFalse, kDefaults},
        {"seven bytes", StateBytes().i32(2).get(), kResultFalse, kDefaults},
        {"header only, count 12", StateBytes().i32(2).i32(12).get(), kResultFalse, kDefaults},
    };
    for (const Case& c : cases)
    {
        Fixture f;
        EXPECT_EQ(f.host.setState(c.bytes), c.result) << c.what;
        expectValuesNear(f.values(), c.expected, c.what);
    }
}

TEST(ProcessorState, ValuesAreClampedIntoRangeAndOntoSteps)
{
    std::vector<double> wild = kDefaults;
    wild[kPreDelay] = 5000.0;
    wild[kBrightness] = -1.0;
    wild[kRoomSize] = 3.4;
    wild[kSpread] = 0.7;
    wild[kOutputLevelL] = -1e300;
    wild[kWarmth] = 1e300;
    Fixture f;
    ASSERT_EQ(f.host.setState(StateBytes::make(2, wild)), kResultOk);
    const std::vector<double> v = f.values();
    EXPECT_EQ(v[kPreDelay], 1000.0);
    EXPECT_EQ(v[kBrightness], 20.0);
    EXPECT_EQ(v[kRoomSize], 3.0);
    EXPECT_EQ(v[kSpread], 1.0);
    EXPECT_EQ(v[kOutputLevelL], -18.0);
    EXPECT_EQ(v[kWarmth], 1.5);
}

TEST(ProcessorState, NonFiniteStoredValuesLeaveTheirParameterAlone)
{
    std::vector<double> bad = kOther;
    bad[kReverbTime] = std::nan("");
    bad[kMasterMix] = INFINITY;
    Fixture f;
    ASSERT_EQ(f.host.setState(StateBytes::make(2, bad)), kResultOk);
    const std::vector<double> v = f.values();
    EXPECT_EQ(v[kReverbTime], kDefaults[kReverbTime]);
    EXPECT_EQ(v[kMasterMix], kDefaults[kMasterMix]);
    EXPECT_EQ(v[kDiffusion], kOther[kDiffusion]);
}

TEST(ProcessorState, NullAndRefusingStreamsAreReported)
{
    Fixture f;
    EXPECT_EQ(f.host.component().getState(nullptr), kInvalidArgument);
    EXPECT_EQ(f.host.component().setState(nullptr), kInvalidArgument);
    for (int32 capacity : {0, 7, 50, 104})
    {
        RefusingStream full(capacity);
        EXPECT_EQ(f.host.component().getState(&full), kResultFalse) << capacity;
    }
    RefusingStream roomy(108);
    EXPECT_EQ(f.host.component().getState(&roomy), kResultOk);
}

TEST(ProcessorState, FuzzedStreamsNeverBreakTheProcessor)
{
    std::mt19937 rng(21);
    const std::vector<char> valid = StateBytes::make(2, kOther);
    for (int round = 0; round < 3000; ++round)
    {
        std::vector<char> bytes = valid;
        bytes.resize(std::uniform_int_distribution<std::size_t>(0, 140)(rng));
        const int flips = std::uniform_int_distribution<int>(0, 12)(rng);
        for (int k = 0; k < flips && !bytes.empty(); ++k)
            bytes[std::uniform_int_distribution<std::size_t>(0, bytes.size() - 1)(rng)] = static_cast<char>(rng());
        Fixture f;
        const tresult result = f.host.setState(bytes);
        ASSERT_TRUE(result == kResultOk || result == kResultFalse);
        const std::vector<double> v = f.values();
        const corvella::CvParamSpec* specs = parameterSpecs();
        for (int k = 0; k < kParamCount; ++k)
        {
            ASSERT_GE(v[k], specs[k].minPlain) << round;
            ASSERT_LE(v[k], specs[k].maxPlain) << round;
        }
    }
}
