// SendMail: opens the user's mail program on a new message through a mail link.
// Nothing reaches the caller; an unexpected failure is reported to the error logger.
#include <windows.h>
#include <shellapi.h>

#include <new>

#include "fileops/mail_link.h"
#include "fileops/win/fileops_members.h"
#include "frame/bstr.h"
#include "frame/error_info.h"
#include "frame/report_error.h"

namespace zankit::fileops {

HRESULT SendMail(BSTR emailAddress, BSTR* subject, BSTR* body) {
    Failure failure;
    try {
        const std::wstring link = MailLink(FromBstr(emailAddress), subject ? FromBstr(*subject) : std::wstring(),
                                           body ? FromBstr(*body) : std::wstring());
        // Whether a mail program answered is not looked at: the member has no result.
        ShellExecuteW(nullptr, L"Open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return S_OK;
    } catch (const std::bad_alloc&) {
        failure = {VbError(7), L"ZanKit", L"Out of memory"};
    } catch (...) {
        failure = {VbError(51), L"ZanKit", L"Internal error"};
    }
    try {
        ReportFailure(failure, L"|FileSysInfo:SendMail#");
    } catch (...) {
        // Nothing more can be done without memory; the member still returns normally.
    }
    return S_OK;
}

}  // namespace zankit::fileops
