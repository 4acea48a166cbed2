// One table of power-library calls that runs natively on the simulated library and under Wine on
// Wine's real "PowrProf.dll": the capabilities can be read, the library loads, and Wine has no
// active plan, so every plan read fails cleanly (a missing function fails the same way). A row
// that answers differently on one side is a bug in the model (or a Windows fact we had wrong).
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "platform/platform.h"
#include "platform/power.h"

#ifndef _WIN32
#include "platform/sim/sim_power.h"
#endif

namespace pf = quarro::platform;

namespace {

pf::IPower& Power() {
#ifdef _WIN32
    return pf::Power();
#else
    // What Wine's library answers: capabilities of a machine without buttons or batteries, and no
    // active plan.
    static const nlohmann::json section = nlohmann::json::parse(R"({
        "capabilities": { "s4": false },
        "plans": []
    })");
    static std::vector<std::string> problems;
    static pf::sim::SimPower simulated(pf::sim::ParsePowerSection(section, &problems));
    return simulated;
#endif
}

const pf::PowerGuid kBalanced = [] {
    pf::PowerGuid g;
    pf::ParsePowerGuid("381b4222-f694-41f0-9685-ff5bb260df2e", &g);
    return g;
}();
const pf::PowerGuid kDisplay = [] {
    pf::PowerGuid g;
    pf::ParsePowerGuid("7516b95f-f776-4464-8c53-06167f40cc99", &g);
    return g;
}();
const pf::PowerGuid kDisplayOff = [] {
    pf::PowerGuid g;
    pf::ParsePowerGuid("3c0bc021-c8a8-4e07-a973-6b14cbcb2b7e", &g);
    return g;
}();
const pf::PowerGuid kNoSuchPlan = [] {
    pf::PowerGuid g;
    pf::ParsePowerGuid("0badf00d-0000-4000-8000-000000000001", &g);
    return g;
}();

struct Case {
    const char* what;
    std::uint32_t (*call)(pf::IPowerLibrary& library);
    bool succeeds;
};

const Case kCases[] = {
    {"no active plan",
     [](pf::IPowerLibrary& l) {
         pf::PowerGuid g;
         return l.GetActiveScheme(&g);
     },
     false},
    {"an unknown plan has no name",
     [](pf::IPowerLibrary& l) {
         std::u16string name;
         return l.ReadFriendlyName(&kNoSuchPlan, nullptr, nullptr, &name);
     },
     false},
    {"an unknown plan has no mains value",
     [](pf::IPowerLibrary& l) {
         std::uint32_t v = 0;
         return l.ReadAcValueIndex(&kNoSuchPlan, &kDisplay, &kDisplayOff, &v);
     },
     false},
    {"an unknown plan has no battery value",
     [](pf::IPowerLibrary& l) {
         std::uint32_t v = 0;
         return l.ReadDcValueIndex(&kNoSuchPlan, &kDisplay, &kDisplayOff, &v);
     },
     false},
    {"an unknown plan has no subgroups",
     [](pf::IPowerLibrary& l) {
         pf::PowerGuid g;
         return l.Enumerate(&kNoSuchPlan, nullptr, pf::kPowerAccessSubgroup, 0, &g);
     },
     false},
};

TEST(PowerDifferential, AnswersAsTheLibraryDoes) {
    pf::PowerCapabilities caps;
    ASSERT_TRUE(Power().Capabilities(&caps));
    EXPECT_FALSE(caps.batteries);
    std::unique_ptr<pf::IPowerLibrary> library = Power().Load();
    ASSERT_NE(library, nullptr);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.call(*library) == pf::kPowerOk, c.succeeds);
    }
    // Hidden-attribute reads never fail: an unknown setting simply has no attributes.
    EXPECT_EQ(library->ReadSettingAttributes(&kDisplay, &kNoSuchPlan), 0u);
}

TEST(PowerDifferential, GuidTextRoundTrips) {
    struct GuidCase {
        const char* text;
        bool valid;
        const char* formatted;
    };
    const GuidCase cases[] = {
        {"381b4222-f694-41f0-9685-ff5bb260df2e", true, "381b4222-f694-41f0-9685-ff5bb260df2e"},
        {"{381B4222-F694-41F0-9685-FF5BB260DF2E}", true, "381b4222-f694-41f0-9685-ff5bb260df2e"},
        {"381b4222-f694-41f0-9685-ff5bb260df2", false, nullptr},
        {"381b4222xf694-41f0-9685-ff5bb260df2e", false, nullptr},
        {"381b4222-f694-41f0-9685-ff5bb260df2g", false, nullptr},
        {"", false, nullptr},
    };
    for (const GuidCase& c : cases) {
        SCOPED_TRACE(c.text);
        pf::PowerGuid g;
        ASSERT_EQ(pf::ParsePowerGuid(c.text, &g), c.valid);
        if (c.valid) {
            EXPECT_EQ(pf::FormatPowerGuid(g), c.formatted);
        }
    }
    EXPECT_EQ(kBalanced.data1, 0x381b4222u);
    EXPECT_EQ(kBalanced.data4[0], 0x96);
}

}  // namespace
