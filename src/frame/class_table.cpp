#include "frame/class_table.h"

#include "frame/file_sys_info.h"
#include "frame/zankit_interfaces.h"
#include "mail/send_mail_com.h"
#include "small/file_icon.h"
#include "small/file_writer.h"
#include "small/win_http_wrapper.h"

namespace zankit {
namespace {

const ClassEntry kClasses[] = {
    {&CLSID_FileSysInfo, L"FileSysInfo", &CreateFileSysInfo},
    {&CLSID_FileIcon, L"FileIcon", &CreateFileIcon},
    {&CLSID_FileWriter, L"FileWriter", &CreateFileWriter},
    {&CLSID_clsSendMail, L"clsSendMail", &CreateSendMail},
    {&CLSID_WinHttpWrapper, L"WinHttpWrapper", &CreateWinHttpWrapper},
};

}  // namespace

std::span<const ClassEntry> CreatableClasses() { return kClasses; }

const ClassEntry* FindClass(REFCLSID clsid) {
    for (const ClassEntry& entry : kClasses) {
        if (IsEqualCLSID(*entry.clsid, clsid)) return &entry;
    }
    return nullptr;
}

}  // namespace zankit
