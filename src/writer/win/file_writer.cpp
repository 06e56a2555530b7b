#include "writer/win/file_writer.h"

#include <algorithm>

#include "frame/run_time_failure.h"
#include "paths/long_path.h"
#include "frame/bstr.h"
#include "frame/com_ptr.h"
#include "frame/library_object.h"
#include "frame/report_error.h"
#include "frame/text_conversion.h"
#include "frame/variant.h"
#include "writer/win/print_text.h"

namespace zankit {
namespace {

// Lines gather up to this many bytes before they go to the system in one write.
constexpr size_t kFlushAt = 64 * 1024;

constexpr wchar_t kOpenTag[] = L"|FileManager:pFileOpen#";
constexpr wchar_t kTerminateTag[] = L"|FileWriter:Class_Terminate#";

// The bytes of a text in a file's encoding. Text the ANSI code page cannot hold, and a lone
// surrogate in UTF-8, fail (TextConversionError) instead of being changed silently.
std::string EncodedText(std::wstring_view text, FILE_ENCODING encoding) {
    switch (encoding) {
        case FILE_UTF8:
        case FILE_UTF8_BOM:
            return ToUtf8(text);
        case FILE_UTF16:  // little-endian, as wchar_t is here
            return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
        default:
            return ToAnsi(text);
    }
}

// What a new file of the encoding starts with.
std::string_view ByteOrderMark(FILE_ENCODING encoding) {
    if (encoding == FILE_UTF8_BOM) return "\xEF\xBB\xBF";
    if (encoding == FILE_UTF16) return "\xFF\xFE";
    return {};
}

// A FileSysInfo for the folder and file questions of one open.
ComPtr<_FileSysInfo> NewFileSysInfo() {
    ComPtr<_FileSysInfo> info;
    CreateLibraryObject(CLSID_FileSysInfo, IID__FileSysInfo, info.PutVoid());
    return info;
}

}  // namespace

FileWriter::FileWriter() : DispatchObject(IID__FileWriter, L"ZanKit.FileWriter") {}

// Lines still in the buffer are written now; a failure can reach no caller any more, so it
// goes to the error logger like the other failures nobody sees.
FileWriter::~FileWriter() {
    if (!pFileClose()) ReportFailure({VbError(57), L"ZanKit", L"Device I/O error"}, kTerminateTag);
}

STDMETHODIMP FileWriter::get_Filename(BSTR* value) {
    if (!value) return E_POINTER;
    return Guarded([&] { return ToBstr(m_sFilename, value); });
}

STDMETHODIMP FileWriter::put_Filename(BSTR value) {
    return Guarded([&] {
        m_sFilename = FromBstr(value);
        return S_OK;
    });
}

// A failed open is reported and leaves the writer closed: the write that follows fails
// visibly, and the next one tries to open the file again.
STDMETHODIMP FileWriter::WriteLine(VARIANT* line) {
    return Guarded([&] {
        pFileFine();
        return WriteOne(line);
    });
}

STDMETHODIMP FileWriter::WriteFinish(VARIANT* line) {
    return Guarded([&] {
        pFileFine();
        HRESULT hr = WriteOne(line);
        if (FAILED(hr)) return hr;
        if (!pFileClose()) return Raise(VbError(57), L"Device I/O error");
        return S_OK;
    });
}

STDMETHODIMP FileWriter::get_Encoding(FILE_ENCODING* value) {
    if (!value) return E_POINTER;
    *value = encoding_;
    return S_OK;
}

// Settable while no file is open: before the first write and after WriteFinish.
STDMETHODIMP FileWriter::put_Encoding(FILE_ENCODING value) {
    return Guarded([&] {
        if (value < FILE_ANSI || value > FILE_UTF16) return Raise(VbError(380), L"Invalid property value");
        if (m_hFile) return Raise(VbError(55), L"File already open");
        encoding_ = value;
        return S_OK;
    });
}

void FileWriter::pFileFine() {
    if (!m_hFile) pFileOpen();
}

bool FileWriter::pFileOpen() {
    if (!pFileDelete(m_sFilename)) {
        ReportFailure({ObjectError(1000), L"ZanKit", L"Unglaublich!"}, kOpenTag);
        return false;
    }
    pFolderCreate();
    m_hFile.Reset(CreateFileW(paths::LongPathForm(m_sFilename).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_hFile) {
        const RunTimeFailure failure = FailureForSystemError(GetLastError());
        ReportFailure({VbError(failure.number), L"ZanKit", failure.description}, kOpenTag);
        return false;
    }
    pending_ = ByteOrderMark(encoding_);
    return true;
}

// True when no file of that name is left (it did not exist or is deleted now).
bool FileWriter::pFileDelete(const std::wstring& path) {
    ComPtr<_FileSysInfo> info = NewFileSysInfo();
    if (!info) return false;
    Bstr name(path);
    auto exists = [&] {
        Variant answer;
        return SUCCEEDED(info->zanFileInfo(name.Get(), zanFileExists, answer.Get())) && V_VT(answer.Get()) == VT_BOOL &&
               V_BOOL(answer.Get()) != VARIANT_FALSE;
    };
    if (!exists()) return true;
    DeleteFileW(paths::LongPathForm(path).c_str());
    return !exists();
}

void FileWriter::pFolderCreate() {
    ComPtr<_FileSysInfo> info = NewFileSysInfo();
    if (!info) return;
    Bstr name(m_sFilename);
    Variant folder;
    if (FAILED(info->zanFileInfo(name.Get(), zanPathnameOnlyWithoutFinalBackslash, folder.Get()))) return;
    if (V_VT(folder.Get()) != VT_BSTR) return;
    VARIANT_BOOL created = VARIANT_FALSE;
    info->FolderCreate(V_BSTR(folder.Get()), &created);
}

HRESULT FileWriter::WriteOne(VARIANT* line) {
    if (!m_hFile) return Raise(VbError(52), L"Bad file name or number");
    PrintText printed = PrintTextOf(line);
    if (FAILED(printed.error)) return Raise(printed.error, printed.description);
    pending_ += EncodedText(printed.text + L"\r\n", encoding_);
    if (pending_.size() >= kFlushAt && !Flush()) return Raise(VbError(57), L"Device I/O error");
    return S_OK;
}

bool FileWriter::Flush() {
    size_t done = 0;
    while (done < pending_.size()) {
        DWORD written = 0;
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(pending_.size() - done, 1u << 30));
        if (!WriteFile(m_hFile.Get(), pending_.data() + done, piece, &written, nullptr) || written == 0) {
            pending_.erase(0, done);
            return false;
        }
        done += written;
    }
    pending_.clear();
    return true;
}

// Writes what is pending and closes the file; false when the last write failed.
bool FileWriter::pFileClose() {
    if (!m_hFile) return true;
    const bool flushed = Flush();
    pending_.clear();
    m_hFile.Reset();
    return flushed;
}

HRESULT CreateFileWriter(REFIID iid, void** out) { return CreateAndQuery<FileWriter>(iid, out); }

}  // namespace zankit
