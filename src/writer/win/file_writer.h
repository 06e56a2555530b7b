// FileWriter: writes a text file line by line. The first write replaces an existing file and
// creates the missing folders; lines are text in the chosen encoding (the ANSI code page unless
// Encoding says UTF-8 or UTF-16) ended by CR LF, gathered in a buffer of 64 KiB and written in
// large pieces; WriteFinish or the end of the object writes the rest and closes the file.
#pragma once

#include <windows.h>

#include <string>

#include "frame/dispatch_object.h"
#include "frame/win_handles.h"
#include "frame/zankit_interfaces.h"

namespace zankit {

class FileWriter final : public DispatchObject<_FileWriter> {
public:
    FileWriter();
    ~FileWriter() override;
    STDMETHODIMP get_Filename(BSTR* value) override;
    STDMETHODIMP put_Filename(BSTR value) override;
    STDMETHODIMP WriteLine(VARIANT* line) override;
    STDMETHODIMP WriteFinish(VARIANT* line) override;
    STDMETHODIMP get_Encoding(FILE_ENCODING* value) override;
    STDMETHODIMP put_Encoding(FILE_ENCODING value) override;

private:
    void pFileFine();
    bool pFileOpen();
    bool pFileDelete(const std::wstring& path);
    void pFolderCreate();
    bool pFileClose();
    HRESULT WriteOne(VARIANT* line);
    bool Flush();

    std::wstring m_sFilename;
    KernelHandle m_hFile;  // no handle while no file is open
    std::string pending_;  // lines not yet handed to the system
    FILE_ENCODING encoding_ = FILE_ANSI;  // of the next file opened; an open file keeps its own
};

HRESULT CreateFileWriter(REFIID iid, void** out);

}  // namespace zankit
