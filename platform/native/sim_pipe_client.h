// The pipe-client stand-in of the native build: the S.M.A.R.T. server's own exchange code answers
// in-process, from the storage concern in use when the request is written (so a test that
// replaces the disk is answered from its disk). It keeps the real pipe's rules: one name, one
// client at a time (a second open fails with ERROR_PIPE_BUSY), a bad mode byte gets no answer
// (the read fails with ERROR_BROKEN_PIPE, as when the server drops the client), and a read past
// the reply fails the same way.
//
// "storage": { "pipeServer": false } in the snapshot plays a machine where no server runs
// (every open fails with ERROR_FILE_NOT_FOUND).
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/pipe_client.h"

namespace quarro::platform::sim {

class SimPipeClient : public IPipeClient {
public:
    explicit SimPipeClient(const nlohmann::json* storageSection);

    PipeHandle Open(const char16_t* name) override;
    bool Write(PipeHandle pipe, const void* data, std::uint32_t size, std::uint32_t* written) override;
    bool Read(PipeHandle pipe, void* data, std::uint32_t size, std::uint32_t* read) override;
    void Close(PipeHandle pipe) override;

    bool serverRunning = true;
    std::size_t OpenHandles() const { return clients_.size(); }

private:
    struct Client {
        bool asked = false;
        std::vector<std::uint8_t> reply;
        std::size_t sent = 0;
    };
    std::map<PipeHandle, Client> clients_;
    PipeHandle next_ = 0x7100;
};

}  // namespace quarro::platform::sim
