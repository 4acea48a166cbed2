// Snapshot part files: merged member by member into machine.json, a field given twice refused.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/sim/machine_snapshot.h"

namespace sim = quarro::platform::sim;

namespace {

std::string MakeFolder(const char* name, std::initializer_list<std::pair<const char*, const char*>> files) {
    const std::string folder = ::testing::TempDir() + name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    for (const auto& [file, text] : files) std::ofstream(folder + "/" + file) << text;
    return folder;
}

}  // namespace

TEST(MachineSnapshotParts, PartFilesMergeIntoSectionsAndConflictsAreRefused) {
    std::string error;
    auto merged = sim::MachineSnapshot::Load(
        MakeFolder("snapshot_parts", {{"machine.json", R"({"os": {"major": 6}, "miscDriver": {"a": 1}})"},
                                      {"machine.battery.json", R"({"miscDriver": {"b": {"c": 2}}})"},
                                      {"machine.disk.json", R"({"storage": [1, 2]})"},
                                      {"machinery.json", R"({"os": {"major": 9}})"}}),
        &error);
    ASSERT_TRUE(merged) << error;
    EXPECT_EQ(merged->Json(), nlohmann::json::parse(
        R"({"os": {"major": 6}, "miscDriver": {"a": 1, "b": {"c": 2}}, "storage": [1, 2]})"));

    struct Case { const char* part; const char* expected; } cases[] = {
        {R"({"os": {"major": 5}})", "machine.x.json: /os/major is also given by another file"},
        {R"({"os": 3})", "machine.x.json: /os is also given by another file"},
        {R"([1])", "machine.x.json: the top level is not an object"},
    };
    for (const auto& c : cases) {
        auto refused = sim::MachineSnapshot::Load(
            MakeFolder("snapshot_conflict", {{"machine.json", R"({"os": {"major": 6}})"}, {"machine.x.json", c.part}}),
            &error);
        EXPECT_FALSE(refused);
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
}
