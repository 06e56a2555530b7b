// The MX query's platform on Windows (inside the DLL): the network parameters and the Tcpip
// registry keys for discovery, Windows Sockets 1.1 for lookups and the UDP exchange.
#define _WINSOCK_DEPRECATED_NO_WARNINGS
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mail/dns_seam.h"
#include "mail/win/support.h"

namespace zankit::mail {
namespace {

// Windows Sockets started for one use and released when it ends.
class WinsockSession {
public:
    WinsockSession() {
        WSADATA data{};
        started_ = ::WSAStartup(MAKEWORD(1, 1), &data) == 0;
        if (started_ && data.iMaxSockets < 1) {
            ::WSACleanup();
            started_ = false;
        }
    }
    ~WinsockSession() {
        if (started_) ::WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    bool Started() const { return started_; }

private:
    bool started_ = false;
};

// A library module found among the loaded ones or loaded for the moment; a module this
// object loaded is unloaded again when it ends.
class LibraryModule {
public:
    explicit LibraryModule(const wchar_t* name) : module_(::GetModuleHandleW(name)) {
        if (module_ == nullptr) {
            loaded_.Reset(::LoadLibraryW(name));
            module_ = loaded_.Get();
        }
    }
    FARPROC Find(const char* function) const {
        return module_ == nullptr ? nullptr : ::GetProcAddress(module_, function);
    }

private:
    HMODULE module_ = nullptr;
    LibraryHandle loaded_;  // set only when this object loaded the module
};

using Clock = std::chrono::steady_clock;

// Waits until socket is readable or the deadline has passed.
bool WaitReadable(SOCKET socket, Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    if (left < 0) return false;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval bound{};
    bound.tv_sec = static_cast<long>(left / 1000000);
    bound.tv_usec = static_cast<long>(left % 1000000);
    return ::select(0, &readable, nullptr, nullptr, &bound) == 1;
}

using GetNetworkParamsFunction = DWORD(WINAPI*)(PFIXED_INFO, PULONG);

// A text of a fixed-size field, cut at its first NUL.
std::string FieldText(const char* field, std::size_t size) {
    std::size_t length = 0;
    while (length < size && field[length] != '\0') ++length;
    return std::string(field, length);
}

// Servers and domain from GetNetworkParams, when iphlpapi.dll offers it.
void ReadNetworkParams(DnsHostConfig& config) {
    const LibraryModule library(L"iphlpapi.dll");
    const FARPROC found = library.Find("GetNetworkParams");
    if (found == nullptr) return;
    const auto getNetworkParams = reinterpret_cast<GetNetworkParamsFunction>(reinterpret_cast<void*>(found));

    ULONG size = 0;
    if (getNetworkParams(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size < sizeof(FIXED_INFO)) {
        return;
    }
    // Whole FIXED_INFO records keep the buffer aligned for the structure.
    std::vector<FIXED_INFO> buffer(size / sizeof(FIXED_INFO) + 1);
    size = static_cast<ULONG>(buffer.size() * sizeof(FIXED_INFO));
    if (getNetworkParams(buffer.data(), &size) != ERROR_SUCCESS) return;

    const FIXED_INFO& info = buffer.front();
    config.domain = FieldText(info.DomainName, sizeof info.DomainName);
    // The list is the system's; the bound only guards against a damaged one.
    const IP_ADDR_STRING* server = &info.DnsServerList;
    for (int count = 0; server != nullptr && count < 64; ++count, server = server->Next) {
        config.servers += FieldText(server->IpAddress.String, sizeof server->IpAddress.String);
        config.servers += ",";
    }
}

// The text of a value under HKEY_LOCAL_MACHINE; "" when the key or value is missing.
std::string MachineValue(const std::wstring& keyPath, const wchar_t* valueName) {
    RegistryKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return {};
    }
    const std::optional<std::wstring> value = ReadRegistryText(key.Get(), valueName);
    return value ? WideToAnsi(*value) : std::string();
}

// Each non-empty value replaces what was found before it.
void TakeRegistryValues(const std::wstring& keyPath, const wchar_t* serverValue, const wchar_t* domainValue,
                        DnsHostConfig& config) {
    const std::string servers = MachineValue(keyPath, serverValue);
    if (!servers.empty()) config.servers = servers + ",";
    const std::string domain = MachineValue(keyPath, domainValue);
    if (!domain.empty()) config.domain = domain;
}

// The names of the subkeys of a key under HKEY_LOCAL_MACHINE, in enumeration order.
std::vector<std::wstring> MachineSubkeys(const std::wstring& keyPath) {
    std::vector<std::wstring> names;
    RegistryKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD index = 0; index < 4096; ++index) {
        wchar_t name[256] = {};
        DWORD length = static_cast<DWORD>(sizeof name / sizeof name[0]);
        const LONG status = ::RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) continue;
        names.emplace_back(name, length);
    }
    return names;
}

void ReadRegistryConfig(DnsHostConfig& config) {
    const std::wstring tcpip = L"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";
    TakeRegistryValues(L"System\\CurrentControlSet\\Services\\VxD\\MSTCP", L"NameServer", L"Domain", config);
    TakeRegistryValues(tcpip, L"NameServer", L"Domain", config);
    TakeRegistryValues(tcpip, L"DhcpNameServer", L"DHCPDomain", config);
    const std::wstring interfaces = tcpip + L"\\Interfaces";
    for (const std::wstring& name : MachineSubkeys(interfaces)) {
        TakeRegistryValues(interfaces + L"\\" + name, L"NameServer", L"Domain", config);
    }
}

class WindowsDnsSystem final : public DnsSystem {
public:
    DnsHostConfig DiscoverDnsConfig() override {
        DnsHostConfig config;
        ReadNetworkParams(config);
        if (config.servers.empty() || config.domain.empty()) ReadRegistryConfig(config);
        return config;
    }

    std::optional<IPv4Bytes> ResolveIPv4(const std::string& hostName) override {
        const WinsockSession sockets;
        if (!sockets.Started() || hostName.empty()) return std::nullopt;
        const hostent* host = ::gethostbyname(hostName.c_str());
        if (host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4 || host->h_addr_list == nullptr ||
            host->h_addr_list[0] == nullptr) {
            return std::nullopt;
        }
        IPv4Bytes bytes{};
        std::memcpy(bytes.data(), host->h_addr_list[0], bytes.size());
        return bytes;
    }

    std::string HostNameOf(const IPv4Bytes& address) override {
        const WinsockSession sockets;
        if (!sockets.Started()) return {};
        const hostent* host =
            ::gethostbyaddr(reinterpret_cast<const char*>(address.data()), static_cast<int>(address.size()), AF_INET);
        if (host == nullptr || host->h_name == nullptr) return {};
        return std::string(host->h_name);
    }

    DatagramResult ExchangeDatagram(const IPv4Bytes& server, std::uint16_t port, const std::vector<std::uint8_t>& query,
                                    unsigned receiveTimeoutMs, std::size_t maxReply,
                                    const DatagramFilter& accepts) override {
        DatagramResult result;
        const WinsockSession sockets;
        if (!sockets.Started()) return result;
        const SocketHandle socketHandle(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
        if (!socketHandle.Valid()) return result;

        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = ::htons(port);
        std::memcpy(&target.sin_addr, server.data(), server.size());
        const int sent =
            ::sendto(socketHandle.Get(), reinterpret_cast<const char*>(query.data()), static_cast<int>(query.size()), 0,
                     reinterpret_cast<const sockaddr*>(&target), sizeof target);
        if (sent == SOCKET_ERROR || sent == 0) {
            result.outcome = DatagramOutcome::SendFailed;
            return result;
        }

        result.outcome = DatagramOutcome::ReceiveFailed;
        const auto deadline = Clock::now() + std::chrono::milliseconds(receiveTimeoutMs);
        std::vector<std::uint8_t> buffer(maxReply);
        while (WaitReadable(socketHandle.Get(), deadline)) {
            sockaddr_in sender{};
            int senderSize = sizeof sender;
            const int received =
                ::recvfrom(socketHandle.Get(), reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()),
                           0, reinterpret_cast<sockaddr*>(&sender), &senderSize);
            // A datagram larger than any answer is dropped like any other stray one.
            if (received == SOCKET_ERROR && ::WSAGetLastError() == WSAEMSGSIZE) continue;
            if (received == SOCKET_ERROR) return result;
            const bool fromServer = senderSize == sizeof sender && sender.sin_port == target.sin_port &&
                                    sender.sin_addr.s_addr == target.sin_addr.s_addr;
            if (fromServer && TakeIfAccepted(buffer.data(), static_cast<std::size_t>(received), accepts, result)) {
                return result;
            }
        }
        return result;
    }
};

}  // namespace

std::unique_ptr<DnsSystem> MakePlatformDnsSystem() { return std::make_unique<WindowsDnsSystem>(); }

}  // namespace zankit::mail
