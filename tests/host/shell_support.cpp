#include "shell_support.h"

#include <shlwapi.h>

#include <cstdio>

namespace shelltest {
namespace {

constexpr const wchar_t* kFileClass = L"ZanKit.RecordedFile";
constexpr const wchar_t* kMailtoCommandKey = L"mailto\\shell\\open\\command";

std::wstring RecorderPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.rfind(L'\\') + 1);
    return folder + L"shell_recorder.exe";
}

bool SetDefaultValue(const std::wstring& keyName, const std::wstring& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, keyName.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    LSTATUS status = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool ReadDefaultValue(const std::wstring& keyName, std::wstring& value) {
    wchar_t buffer[2048] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CLASSES_ROOT, keyName.c_str(), nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ, nullptr, buffer,
                     &size) != ERROR_SUCCESS) {
        return false;
    }
    value = buffer;
    return true;
}

std::wstring CommandFor(const wchar_t* word) { return L"\"" + RecorderPath() + L"\" " + word + L" \"%1\" %*"; }

std::wstring Utf16(const std::string& bytes) {
    int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

std::wstring ValueOf(const std::wstring& record, const std::wstring& name) {
    size_t start = record.find(L"\n" + name + L"=");
    if (start == std::wstring::npos) return L"<missing>";
    start += name.size() + 2;
    return record.substr(start, record.find(L'\n', start) - start);
}

BOOL CALLBACK CloseOwnWindow(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window)) PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace

RecorderRegistration::RecorderRegistration() {
    mailtoExisted_ = ReadDefaultValue(kMailtoCommandKey, previousMailtoCommand_);
    const std::wstring shell = std::wstring(kFileClass) + L"\\shell";
    ready_ = SetDefaultValue(kRecordedExtension, kFileClass) && SetDefaultValue(shell, L"record");
    for (const wchar_t* verb : {L"record", L"open", L"print", L"explore", L"runas"}) {
        ready_ = ready_ && SetDefaultValue(shell + L"\\" + verb + L"\\command", CommandFor(verb));
    }
    ready_ = ready_ && SetDefaultValue(kMailtoCommandKey, L"\"" + RecorderPath() + L"\" mailto \"%1\"");
}

RecorderRegistration::~RecorderRegistration() {
    SHDeleteKeyW(HKEY_CLASSES_ROOT, kRecordedExtension);
    SHDeleteKeyW(HKEY_CLASSES_ROOT, kFileClass);
    if (mailtoExisted_) {
        SetDefaultValue(kMailtoCommandKey, previousMailtoCommand_);
    } else {
        SHDeleteKeyW(HKEY_CLASSES_ROOT, L"mailto");
    }
}

RecorderRun::RecorderRun() {
    static int counter = 0;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    file_ = std::wstring(temp) + L"zankit-record-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter) + L".txt";
    DeleteFileW(file_.c_str());
    SetEnvironmentVariableW(L"ZANKIT_RECORDER_FILE", file_.c_str());
}

Record RecorderRun::Wait() const {
    Record record;
    // The recorder normally answers within a second; 30 s covers a loaded machine.
    for (int tries = 0; tries < 600 && !FileExists(file_); ++tries) Sleep(50);
    if (!FileExists(file_)) return record;
    const std::wstring text = L"\n" + Utf16(ReadBytes(file_));
    DeleteFileW(file_.c_str());
    record.arrived = true;
    record.text = text;
    std::wstring command = ValueOf(text, L"command");
    // The recorder's own path is quoted; what follows are the arguments the shell built.
    size_t end = command.rfind(L"shell_recorder.exe\" ");
    record.arguments = end == std::wstring::npos ? command : command.substr(end + 20);
    while (!record.arguments.empty() && record.arguments.back() == L' ') record.arguments.pop_back();
    record.directory = ValueOf(text, L"directory");
    record.show = ValueOf(text, L"show");
    return record;
}

WindowCloser::WindowCloser()
    : worker_([this] {
          while (!stop_) {
              EnumWindows(CloseOwnWindow, 0);
              Sleep(100);
          }
      }) {}

WindowCloser::~WindowCloser() {
    stop_ = true;
    worker_.join();
}

void WriteTextFile(const std::wstring& path, const std::string& content) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file) return;
    fwrite(content.data(), 1, content.size(), file);
    fclose(file);
}

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return bytes;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
    fclose(file);
    return bytes;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace shelltest
