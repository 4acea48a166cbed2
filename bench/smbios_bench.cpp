// The SMBIOS tab's set-up on the largest dump the project carries (tests/data/smbios/*.bin and
// machines/*/smbios.bin): the dump read into the WMI record, then the module's copy, walk and
// decode of every structure into rows with texts from its string table. Beside it, in the same
// run, `dmidecode --from-dump` decoding the same file (a process start included, its output
// thrown away), the independent decoder the tests compare against. Compare the Quarro figure's
// CPU column with dmidecode's time, which is the child's processor time.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tabs/smbios/smbios_dump.h"
#include "tabs/smbios/smbios_table.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string LargestDump() {
    std::string largest;
    std::uintmax_t largestSize = 0;
    const fs::path source(QUARRO_SOURCE_DIR);
    std::vector<fs::path> candidates;
    for (const auto& entry : fs::directory_iterator(source / "tests/data/smbios")) {
        if (entry.path().extension() == ".bin") candidates.push_back(entry.path());
    }
    for (const auto& entry : fs::directory_iterator(source / "machines")) {
        if (fs::exists(entry.path() / "smbios.bin")) candidates.push_back(entry.path() / "smbios.bin");
    }
    for (const fs::path& path : candidates) {
        const std::uintmax_t size = fs::file_size(path);
        if (size > largestSize) {
            largestSize = size;
            largest = path.string();
        }
    }
    return largest;
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void BM_QuarroDecodeLargestDump(benchmark::State& state) {
    const std::string path = LargestDump();
    const std::vector<std::uint8_t> dump = ReadAll(path);
    state.SetLabel(fs::path(path).filename().string() + ", " + std::to_string(dump.size()) + " bytes");
    std::uint32_t rows = 0;
    for (auto _ : state) {
        smbios::RawSmbiosRecord record;
        std::string error;
        if (!smbios::ParseSmbiosDump(dump.data(), dump.size(), &record, &error)) state.SkipWithError(error.c_str());
        smbios::FixedRawSmbiosSource source(std::move(record));
        smbios::SmbiosTables tables;
        if (!tables.AllocateItemTable() || !tables.SetUp(source)) state.SkipWithError("no rows");
        rows = tables.Items()->rowCount;
        benchmark::DoNotOptimize(tables.Items());
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_QuarroDecodeLargestDump)->Unit(benchmark::kMicrosecond);

void BM_DmidecodeFromDumpLargestDump(benchmark::State& state) {
    const std::string path = LargestDump();
    state.SetLabel(fs::path(path).filename().string());
    if (std::string(QUARRO_DMIDECODE).empty()) {
        state.SkipWithError("dmidecode not installed");
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string program = QUARRO_DMIDECODE;
    std::string option = "--from-dump";
    std::vector<char*> argv = {program.data(), option.data(), const_cast<char*>(path.c_str()), nullptr};
    for (auto _ : state) {
        pid_t child = 0;
        int status = 0;
        struct rusage usage = {};
        if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ) != 0 ||
            wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("dmidecode failed");
            break;
        }
        // The child's own processor time (user and system): comparable with the CPU column of
        // the Quarro figure, and not distorted by other work on a busy machine.
        state.SetIterationTime(static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6);
    }
    posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(BM_DmidecodeFromDumpLargestDump)->Unit(benchmark::kMicrosecond)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
