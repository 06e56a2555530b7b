#include "writer/win/print_text.h"

#include <oleauto.h>

#include "frame/bstr.h"
#include "frame/error_info.h"
#include "frame/variant.h"

namespace zankit {
namespace {

bool IsNumber(VARTYPE type) {
    switch (type) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DECIMAL:
            return true;
        default:
            return false;
    }
}

PrintText Refused() {
    PrintText refused;
    refused.error = VbError(13);
    refused.description = L"Type mismatch";
    return refused;
}

}  // namespace

PrintText PrintTextOf(const VARIANT* value) {
    Variant plain;
    if (!value || FAILED(VariantCopyInd(plain.Get(), const_cast<VARIANT*>(value)))) return Refused();
    const VARTYPE type = V_VT(plain.Get());
    PrintText printed;
    switch (type) {
        case VT_EMPTY:
            return printed;
        case VT_NULL:
            printed.text = L"Null";
            return printed;
        case VT_BOOL:
            // The words are not translated, whatever the user's language.
            printed.text = V_BOOL(plain.Get()) ? L"True" : L"False";
            return printed;
        case VT_ERROR:
            printed.text = L"Error " + std::to_wstring(V_ERROR(plain.Get()) & 0xFFFF);
            return printed;
        default:
            break;
    }
    if (type & VT_ARRAY) return Refused();
    // Numbers, dates and an object's value in the user's locale, as the run time converts them.
    Variant text;
    if (FAILED(VariantChangeTypeEx(text.Get(), plain.Get(), LOCALE_USER_DEFAULT, 0, VT_BSTR))) return Refused();
    printed.text = FromBstr(V_BSTR(text.Get()));
    if (IsNumber(type)) {
        if (printed.text.empty() || printed.text[0] != L'-') printed.text.insert(0, 1, L' ');
        printed.text += L' ';
    }
    return printed;
}

}  // namespace zankit
