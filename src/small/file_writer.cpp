#include "small/file_writer.h"

#include "frame/bstr.h"

namespace zankit {

FileWriter::FileWriter() : DispatchObject(IID__FileWriter, L"ZanKit.FileWriter") {}

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

// Writing is not built yet: answers E_NOTIMPL, "not implemented".
STDMETHODIMP FileWriter::WriteLine(VARIANT*) { return NotBuilt(); }
STDMETHODIMP FileWriter::WriteFinish(VARIANT*) { return NotBuilt(); }

HRESULT CreateFileWriter(REFIID iid, void** out) { return CreateAndQuery<FileWriter>(iid, out); }

}  // namespace zankit
