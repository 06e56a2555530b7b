#include "server/class_table.h"

#include "dialogs/win/folder_browser.h"
#include "filesysinfo/win/file_sys_info.h"
#include "frame/zankit_interfaces.h"
#include "mail/win/send_mail_com.h"
#include "icon/win/file_icon.h"
#include "writer/win/file_writer.h"
#include "http/win/win_http_wrapper.h"

namespace zankit {
namespace {

struct ClassEntry {
    const CLSID* clsid;
    CreateInstanceFn create;
};

const ClassEntry kClasses[] = {
    {&CLSID_FileSysInfo, &CreateFileSysInfo},
    {&CLSID_FileIcon, &CreateFileIcon},
    {&CLSID_FileWriter, &CreateFileWriter},
    {&CLSID_clsSendMail, &mail::CreateSendMail},
    {&CLSID_WinHttpWrapper, &CreateWinHttpWrapper},
    // Not registered (no ProgID): reachable only through the library's own class object.
    {&CLSID_cBrowseForFolder, &dialogs::CreateFolderBrowser},
};

}  // namespace

CreateInstanceFn FindClassCreator(REFCLSID clsid) {
    for (const ClassEntry& entry : kClasses) {
        if (IsEqualCLSID(*entry.clsid, clsid)) return entry.create;
    }
    return nullptr;
}

}  // namespace zankit
