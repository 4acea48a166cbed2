#include "platform/native/sim_pipe_client.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/concerns.h"
#include "platform/last_error.h"
#include "platform/platform.h"
#include "platform/sim/firmware_data.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/storage.h"
#include "platform/win32_errors.h"
#include "smart/exchange.h"

namespace quarro::platform::sim {

namespace {

bool Fail(long error) {
    SetLastErrorCode(static_cast<std::uint32_t>(error));
    return false;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

}  // namespace

SimPipeClient::SimPipeClient(const nlohmann::json* storageSection) {
    const nlohmann::json* running = json_read::Member(storageSection, "pipeServer");
    if (running && running->is_boolean()) serverRunning = running->get<bool>();
}

PipeHandle SimPipeClient::Open(const char16_t* name) {
    if (!name || !serverRunning || !SameName(name, smart::kPipeName)) return Fail(kErrorFileNotFound), kInvalidPipe;
    if (!clients_.empty()) return Fail(kErrorPipeBusy), kInvalidPipe;  // the server has one instance
    const PipeHandle made = next_++;
    clients_[made] = Client{};
    return made;
}

bool SimPipeClient::Write(PipeHandle pipe, const void* data, std::uint32_t size, std::uint32_t* written) {
    *written = 0;
    auto it = clients_.find(pipe);
    if (it == clients_.end()) return Fail(kErrorInvalidHandle);
    Client& client = it->second;
    if (client.asked) return Fail(kErrorNoData);  // the server reads one request, then only answers
    if (!data || size == 0) return true;
    client.asked = true;
    smart::AnswerRequest(*static_cast<const std::uint8_t*>(data), platform::Storage(), &client.reply);
    *written = size;
    return true;
}

bool SimPipeClient::Read(PipeHandle pipe, void* data, std::uint32_t size, std::uint32_t* read) {
    *read = 0;
    auto it = clients_.find(pipe);
    if (it == clients_.end()) return Fail(kErrorInvalidHandle);
    Client& client = it->second;
    const std::size_t left = client.reply.size() - client.sent;
    if (left == 0) return Fail(kErrorBrokenPipe);  // answered (or refused) and gone
    const std::size_t take = std::min<std::size_t>(left, size);
    if (take) std::memcpy(data, client.reply.data() + client.sent, take);
    client.sent += take;
    *read = static_cast<std::uint32_t>(take);
    return true;
}

void SimPipeClient::Close(PipeHandle pipe) { clients_.erase(pipe); }

std::shared_ptr<IPipeClient> MakeSimPipeClient(const MachineSnapshot* machine, std::string*) {
    return std::make_shared<SimPipeClient>(machine ? machine->Section("storage") : nullptr);
}

}  // namespace quarro::platform::sim
