#include "http/win/body_text.h"

#include <oleauto.h>

#include <climits>

#include "http/declared_charset.h"

namespace zankit {
namespace {

// Holds a safe array's data for reading while it lives.
class ArrayAccess {
public:
    explicit ArrayAccess(SAFEARRAY* array) : array_(array) {
        if (array_ && FAILED(SafeArrayAccessData(array_, &data_))) data_ = nullptr;
    }
    ~ArrayAccess() {
        if (data_) SafeArrayUnaccessData(array_);
    }
    ArrayAccess(const ArrayAccess&) = delete;
    ArrayAccess& operator=(const ArrayAccess&) = delete;
    const unsigned char* Bytes() const { return static_cast<const unsigned char*>(data_); }
    size_t Size() const { return data_ && array_->cDims == 1 ? array_->rgsabound[0].cElements : 0; }

private:
    SAFEARRAY* array_;
    void* data_ = nullptr;
};

std::wstring Utf16Text(const unsigned char* bytes, size_t size, bool bigEndian) {
    std::wstring text(size / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char first = bytes[2 * i], second = bytes[2 * i + 1];
        text[i] = static_cast<wchar_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
    }
    return text;
}

}  // namespace

std::optional<std::wstring> BodyText(const VARIANT& body, unsigned codePage) {
    if (V_VT(&body) != (VT_ARRAY | VT_UI1)) return std::wstring();
    ArrayAccess access(V_ARRAY(&body));
    const unsigned char* bytes = access.Bytes();
    size_t size = access.Size();
    if (size > static_cast<size_t>(INT_MAX)) return std::nullopt;  // more than the conversion takes
    std::wstring text;
    if (codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be) {
        text = Utf16Text(bytes, size, codePage == kCodePageUtf16Be);
    } else if (size > 0) {
        const char* narrow = reinterpret_cast<const char*>(bytes);
        int length = MultiByteToWideChar(codePage, 0, narrow, static_cast<int>(size), nullptr, 0);
        if (length <= 0) return std::nullopt;
        text.resize(static_cast<size_t>(length));
        MultiByteToWideChar(codePage, 0, narrow, static_cast<int>(size), text.data(), length);
    }
    if (!text.empty() && text.front() == L'\xFEFF') text.erase(0, 1);
    return text;
}

}  // namespace zankit
