// Enumerations and small value types shared by the mail core, its OS seam and the COM glue.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zankit::mail {

// Values of the published enumerations; stored as 32-bit signed numbers and never range-checked.
enum ValidateMethod : std::int32_t { VALIDATE_NONE = 0, VALIDATE_SYNTAX = 1 };
enum ValidateHostMethod : std::int32_t {
    VALIDATE_HOST_NONE = 0,
    VALIDATE_HOST_SYNTAX = 1,
    VALIDATE_HOST_PING = 2,
    VALIDATE_HOST_DNS = 3
};
enum EncodeMethod : std::int32_t { MIME_ENCODE = 0, UU_ENCODE = 1 };
enum MailPriority : std::int32_t { HIGH_PRIORITY = 1, NORMAL_PRIORITY = 3, LOW_PRIORITY = 5 };
// How the SMTP session is protected: not at all, STARTTLS when the server offers it, STARTTLS
// or no send, TLS from the first byte.
enum MailSecurity : std::int32_t {
    SECURITY_NONE = 0,
    SECURITY_STARTTLS = 1,
    SECURITY_STARTTLS_REQUIRED = 2,
    SECURITY_TLS = 3
};
enum AuthMechanism : std::int32_t {
    AUTH_AUTOMATIC = 0,
    AUTH_LOGIN = 1,
    AUTH_PLAIN = 2,
    AUTH_CRAM_MD5 = 3,
    AUTH_XOAUTH2 = 4
};

// An IPv4 address as its four bytes in network order ("10.0.0.1" is {10, 0, 0, 1}).
using IPv4Bytes = std::array<std::uint8_t, 4>;

// Local calendar time as the mail date needs it.
struct LocalDateTime {
    int year = 1970;
    int month = 1;    // 1 to 12
    int day = 1;      // 1 to 31
    int weekday = 5;  // 1 = Sunday ... 7 = Saturday
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// A UTC instant to the millisecond.
struct UtcStamp {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// What one ICMP echo exchange produced. A request without any reply leaves everything zero
// except the status, which is then non-zero.
struct EchoResult {
    std::uint32_t status = 1;       // 0 = an echo reply arrived
    std::uint32_t roundTripMs = 0;  // milliseconds
    IPv4Bytes replyAddress{};       // who answered; 0.0.0.0 without a reply
    std::string data;               // the data bytes returned in the reply
};

}  // namespace zankit::mail
