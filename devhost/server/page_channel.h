// PageChannel: the connection to one browser page, as the engine thread sees it.
//
// Messages are JSON objects. Send() queues one for the page and returns at once; Ask() sends a
// request and blocks the calling thread until the page answers it, the time-out passes or the
// page goes away. The page handles messages in the order they were sent, so a request sees the
// effect of every message sent before it.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace quillax::devhost {

using Json = nlohmann::json;

class PageChannel {
public:
    virtual ~PageChannel() = default;
    // Queues a message for the page; dropped when the page is gone.
    virtual void Send(const Json& message) = 0;
    // Queues a binary message (the wheel song's sound); in order with the others.
    virtual void SendBinary(std::string bytes) = 0;
    // Sends request (the channel adds its "req" number) and waits for the answer's "value".
    // Empty at once when the page is gone, or after the time-out.
    virtual std::optional<Json> Ask(Json request, std::chrono::milliseconds timeout) = 0;
    // Whether the page is still connected.
    virtual bool Open() const = 0;
};

// Strings on the wire are UTF-8; the engine's seam is UTF-16.
std::u16string WideOf(const Json& value);
std::string Utf8Of(const std::u16string& wide);

}  // namespace quillax::devhost
