// A host's image list, reached late bound. Two kinds exist, told apart at run time:
// - one with a ListImages collection: Count, the Index of the item with a key, Add(index,
//   key, picture);
// - one with ItemIndex(key) and AddFromHandle(handle, type, key).
// Each call answers what the host's object said, so the caller can act on its error numbers.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include "frame/com_ptr.h"
#include "frame/late_call.h"

namespace zankit {

class HostImageList {
public:
    // Reads ListImages.Count to find out the kind; a failure there means the second kind.
    explicit HostImageList(IDispatch* list);

    // exists is set from the image's index (or ItemIndex) converted to a Boolean. A missing
    // key is the host's error (9 or 35601 for the usual image lists).
    CallOutcome Contains(BSTR key, bool* exists);
    // Adds the picture under the key; the second kind gets the picture's bitmap handle with
    // the image type 0 (bitmap) and copies it during the call.
    CallOutcome Add(BSTR key, IPictureDisp* picture);

private:
    ComPtr<IDispatch> list_;
    ComPtr<IDispatch> listImages_;  // set for the first kind
};

}  // namespace zankit
