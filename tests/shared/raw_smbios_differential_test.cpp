// One table for every implementation of the raw-SMBIOS concern: the snapshot's (natively and
// under Wine, from the same files) and the process's own (natively the default machine, under
// Wine without a snapshot Wine's real WMI class, whose table may well be empty). Each answers or
// not as its row says, keeps the record's promises, and answers the same way when asked again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/raw_smbios.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/sim/sim_raw_smbios.h"

namespace pf = quarro::platform;

namespace {

enum class Answer { kTable, kNone, kEither };

struct Case {
    const char* what;
    const char* machine;  // snapshot folder under the source tree; null: the process's concern
    Answer answer;
};

// A kTable row's length is read from its file's 32-bit entry point.
const Case kCases[] = {
    {"the default notebook's smbios.bin", "machines/default", Answer::kTable},
    {"a snapshot without smbios.bin keeps the real class", "tests/machines/tabs-real", Answer::kEither},
#ifdef _WIN32
    {"this process's concern", nullptr, Answer::kEither},
#else
    {"this process's concern", nullptr, Answer::kTable},
#endif
};

std::uint32_t EntryPointTableLength(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 0x18 || bytes.compare(0, 4, "_SM_") != 0) return 0;
    return static_cast<std::uint8_t>(bytes[0x16]) | static_cast<std::uint8_t>(bytes[0x17]) << 8;
}

TEST(RawSmbiosDifferential, EveryImplementationAnswersAsItsRowSays) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        std::shared_ptr<pf::IRawSmbiosTables> made;
        pf::IRawSmbiosTables* tables = &pf::RawSmbiosTables();
        if (c.machine) {
            std::string error;
            const auto machine = pf::sim::MachineSnapshot::Load(std::string(QUARRO_SOURCE_DIR) + "/" + c.machine, &error);
            ASSERT_TRUE(machine) << error;
            made = pf::sim::MakeSimRawSmbiosTables(*machine);
            if (c.answer == Answer::kEither) {
                EXPECT_FALSE(made) << "no smbios.bin must leave the class to the real implementation";
            }
            if (made) tables = made.get();
        }
        pf::RawSmbiosRecord first;
        pf::RawSmbiosRecord second;
        const bool answered = tables->ReadRawTable(&first);
        EXPECT_EQ(tables->ReadRawTable(&second), answered);
        if (c.answer != Answer::kEither) {
            EXPECT_EQ(answered, c.answer == Answer::kTable);
        }
        EXPECT_FALSE(tables->ReadRawTable(nullptr));
        if (!answered) continue;
        EXPECT_LE(first.data.size(), first.size);
        EXPECT_TRUE(!first.hasData || first.size > 0);
        EXPECT_EQ(first.data, second.data);
        EXPECT_EQ(first.size, second.size);
        if (c.answer == Answer::kTable) {
            const std::uint32_t expected =
                EntryPointTableLength(std::string(QUARRO_SOURCE_DIR) + "/" + (c.machine ? c.machine : "machines/default") + "/smbios.bin");
            EXPECT_GE(first.majorVersion, 2);
            EXPECT_TRUE(first.hasData);
            EXPECT_EQ(first.size, expected);
            EXPECT_EQ(first.data.size(), expected);
            ASSERT_GE(first.data.size(), 2u);
            EXPECT_EQ(first.data[0], 0) << "the table starts with the BIOS structure";
        }
    }
}

TEST(RawSmbiosDifferential, AnUnusableDumpIsAClassWithoutObject) {
    const struct {
        const char* what;
        std::string bytes;
    } dumps[] = {
        {"empty file", ""},
        {"no entry point", std::string(64, 'x')},
        {"entry point without its table", std::string("_SM3_", 5) + std::string(0x13, '\0')},
    };
    for (const auto& d : dumps) {
        SCOPED_TRACE(d.what);
        pf::sim::SimRawSmbiosTables tables(d.bytes, true);
        pf::RawSmbiosRecord record;
        EXPECT_FALSE(tables.ReadRawTable(&record));
        EXPECT_FALSE(tables.LoadError().empty());
    }
    pf::RawSmbiosRecord record;
    EXPECT_FALSE(pf::sim::MakeAbsentRawSmbiosTables()->ReadRawTable(&record));
}

}  // namespace
