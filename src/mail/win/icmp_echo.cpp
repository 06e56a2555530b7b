#include "mail/win/icmp_echo.h"

#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "frame/win_handles.h"

namespace zankit::mail {
namespace {

constexpr std::size_t kReplyDataRoom = 250;

void CloseIcmp(HANDLE handle) { ::IcmpCloseHandle(handle); }
using IcmpHandle = UniqueHandle<HANDLE, &CloseIcmp, nullptr, &handle_close::UsableHandle>;

}  // namespace

EchoResult WindowsIcmpEcho(const IPv4Bytes& address, const std::string& payload, unsigned timeoutMs) {
    EchoResult result;
    IcmpHandle icmp(::IcmpCreateFile());
    if (!icmp.Valid()) return result;

    // The reply record, room for the returned data, and the room the service asks for an
    // ICMP error message.
    std::vector<unsigned char> reply(sizeof(ICMP_ECHO_REPLY) + kReplyDataRoom + 8, 0);
    std::string request = payload;
    IPAddr destination = 0;
    std::memcpy(&destination, address.data(), sizeof destination);
    ::IcmpSendEcho(icmp.Get(), destination, request.data(), static_cast<WORD>(request.size()), nullptr, reply.data(),
                   static_cast<DWORD>(reply.size()), timeoutMs);

    ICMP_ECHO_REPLY record;
    std::memcpy(&record, reply.data(), sizeof record);
    result.status = record.Status;
    result.roundTripMs = record.RoundTripTime;
    std::memcpy(result.replyAddress.data(), &record.Address, result.replyAddress.size());

    // The data pointer points into the reply buffer; anything else is not trusted.
    const auto* data = static_cast<const unsigned char*>(record.Data);
    const unsigned char* begin = reply.data();
    const unsigned char* end = reply.data() + reply.size();
    if (record.DataSize > 0 && data >= begin && data < end) {
        const std::size_t size = std::min<std::size_t>(record.DataSize, static_cast<std::size_t>(end - data));
        result.data.assign(reinterpret_cast<const char*>(data), size);
    }
    return result;
}

}  // namespace zankit::mail
