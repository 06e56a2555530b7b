// FileWriter: writes a text file line by line.
#pragma once

#include <string>

#include "frame/dispatch_object.h"
#include "frame/zankit_interfaces.h"

namespace zankit {

class FileWriter final : public DispatchObject<_FileWriter> {
public:
    FileWriter();
    STDMETHODIMP get_Filename(BSTR* value) override;
    STDMETHODIMP put_Filename(BSTR value) override;
    STDMETHODIMP WriteLine(VARIANT* line) override;
    STDMETHODIMP WriteFinish(VARIANT* line) override;

private:
    std::wstring m_sFilename;
};

HRESULT CreateFileWriter(REFIID iid, void** out);

}  // namespace zankit
