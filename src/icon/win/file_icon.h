// FileIcon: puts the shell's icon of a file type into a host's image list, keyed by the
// type's name, so a host's file list loads each type's icon once.
#pragma once

#include "frame/dispatch_object.h"
#include "frame/zankit_interfaces.h"

namespace zankit {

class FileIcon final : public DispatchObject<_FileIcon> {
public:
    FileIcon();
    STDMETHODIMP GetAssociatedIcon(BSTR file, VARIANT* imageList, BSTR* typeName, VARIANT_BOOL* small) override;
};

HRESULT CreateFileIcon(REFIID iid, void** out);

}  // namespace zankit
