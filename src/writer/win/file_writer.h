// FileWriter: writes a text file line by line. The first write replaces an existing file and
// creates the missing folders; lines are bytes of the ANSI code page ended by CR LF, gathered
// in a buffer and written in large pieces; WriteFinish or the end of the object closes the file.
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
};

HRESULT CreateFileWriter(REFIID iid, void** out);

}  // namespace zankit
