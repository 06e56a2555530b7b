#include "http/http_failure_text.h"

#include "frame/vb_numbers.h"

namespace zankit {
namespace {

struct KnownFailure {
    unsigned code;  // the WinHTTP error number
    const wchar_t* text;
};

constexpr KnownFailure kKnownFailures[] = {
    {12002, L"The operation timed out"},
    {12004, L"An internal error occurred in the Microsoft Windows HTTP Services"},
    {12005, L"The URL is invalid"},
    {12006, L"The URL does not use a recognized protocol"},
    {12007, L"The server name or address could not be resolved"},
    {12017, L"The operation has been canceled"},
    {12019, L"The handle is in the wrong state for the requested operation"},
    {12029, L"A connection with the server could not be established"},
    {12030, L"The connection with the server was terminated abnormally"},
    {12037, L"A required certificate is not within its validity period"},
    {12038, L"The host name in the certificate is invalid or does not match"},
    {12045, L"A certificate chain was issued by an authority that is not trusted"},
    {12100, L"The requested operation cannot be carried out before the Open method has been called"},
    {12101, L"The requested operation cannot be carried out before the Send method has been called"},
    {12102, L"The requested operation cannot be carried out after the Send method has been called"},
    {12150, L"The requested header could not be located"},
    {12152, L"The server returned an invalid or unrecognized response"},
    {12156, L"The redirection failed"},
    {12157, L"An error occurred in the secure channel support"},
    {12175, L"A security error occurred"},
};

struct RunTimeError {
    std::uint32_t hr;  // as the dispatch call returned it
    int number;        // the VB run-time error
    const wchar_t* text;
};

constexpr RunTimeError kRunTimeErrors[] = {
    {0x80004001u, 445, L"Object doesn't support this action"},              // E_NOTIMPL
    {0x80020003u, 438, L"Object doesn't support this property or method"},  // DISP_E_MEMBERNOTFOUND
    {0x80020005u, 13, L"Type mismatch"},                                    // DISP_E_TYPEMISMATCH
    {0x8002000Fu, 449, L"Argument not optional"},                           // DISP_E_PARAMNOTOPTIONAL
    {0x80070057u, 5, L"Invalid procedure call or argument"},                // E_INVALIDARG
};

}  // namespace

BareFailure AsRunTimeError(long hr) {
    for (const RunTimeError& known : kRunTimeErrors) {
        if (known.hr == static_cast<std::uint32_t>(hr)) return {VbErrorNumber(known.number), known.text};
    }
    return {static_cast<std::uint32_t>(hr), L""};
}

std::wstring HttpFailureText(long hr) {
    unsigned value = static_cast<unsigned>(hr);
    if ((value & 0xFFFF0000u) == 0x80070000u) {
        for (const KnownFailure& failure : kKnownFailures) {
            if (failure.code == (value & 0xFFFFu)) return failure.text;
        }
    }
    return L"Automation error";
}

}  // namespace zankit
