#include "frame/interface_info.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "frame/bstr.h"
#include "frame/type_library.h"

namespace zankit {
namespace {

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
};

bool KindFits(INVOKEKIND kind, WORD flags) {
    bool wantsPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (wantsPut) return kind == INVOKE_PROPERTYPUT || kind == INVOKE_PROPERTYPUTREF;
    return kind == INVOKE_FUNC || kind == INVOKE_PROPERTYGET;
}

// Higher is better: the invoke kind the caller named first, then the other readable one.
int KindScore(INVOKEKIND kind, WORD flags) {
    if (!KindFits(kind, flags)) return 0;
    if ((flags & DISPATCH_METHOD) && kind == INVOKE_FUNC) return 3;
    if ((flags & DISPATCH_PROPERTYGET) && kind == INVOKE_PROPERTYGET) return 3;
    if ((flags & DISPATCH_PROPERTYPUT) && kind == INVOKE_PROPERTYPUT) return 3;
    if ((flags & DISPATCH_PROPERTYPUTREF) && kind == INVOKE_PROPERTYPUTREF) return 3;
    return 1;
}

// The TKIND_INTERFACE part of a dual interface, given its TKIND_DISPATCH type info.
HRESULT VtableTypeInfo(ITypeInfo* dispatchInfo, ITypeInfo** out) {
    bool isDualDispatch = false;
    {
        TypeAttributes attr(dispatchInfo);
        if (!attr.Valid()) return TYPE_E_ELEMENTNOTFOUND;
        isDualDispatch = attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL);
    }
    if (!isDualDispatch) {
        dispatchInfo->AddRef();
        *out = dispatchInfo;
        return S_OK;
    }
    HREFTYPE ref = 0;
    HRESULT hr = dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);
    if (FAILED(hr)) return hr;
    return dispatchInfo->GetRefTypeInfo(ref, out);
}

// Member names are ASCII identifiers and compare without regard to case.
std::wstring UpperAscii(const wchar_t* name) {
    std::wstring upper(name);
    for (wchar_t& c : upper) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return upper;
}

}  // namespace

HRESULT InterfaceInfo::For(REFIID iid, const InterfaceInfo** out) {
    static std::mutex lock;
    static std::map<GUID, std::unique_ptr<InterfaceInfo>, GuidLess> loaded;
    std::lock_guard<std::mutex> guard(lock);
    auto found = loaded.find(iid);
    if (found == loaded.end()) {
        auto info = std::make_unique<InterfaceInfo>();
        HRESULT hr = info->Load(iid);
        if (FAILED(hr)) return hr;  // not cached: a later call tries again
        found = loaded.emplace(iid, std::move(info)).first;
    }
    *out = found->second.get();
    return S_OK;
}

HRESULT InterfaceInfo::Load(REFIID iid) {
    HRESULT hr = GetLibraryTypeInfo(iid, dispatchInfo_.Put());
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> vtableInfo;
    hr = VtableTypeInfo(dispatchInfo_.Get(), vtableInfo.Put());
    if (FAILED(hr)) return hr;
    hr = ReadMemberPlans(vtableInfo.Get(), members_);
    if (FAILED(hr)) return hr;
    for (const MemberPlan& member : members_) {
        Bstr name;
        UINT found = 0;
        if (SUCCEEDED(vtableInfo->GetNames(member.id, name.Put(), 1, &found)) && found == 1 && name.Get()) {
            memberIds_.emplace(UpperAscii(name.Get()), member.id);
        }
    }
    return S_OK;
}

HRESULT InterfaceInfo::IdsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const {
    if (count == 1 && names[0]) {
        auto found = memberIds_.find(UpperAscii(names[0]));
        if (found != memberIds_.end()) {
            ids[0] = found->second;
            return S_OK;
        }
    }
    return dispatchInfo_->GetIDsOfNames(names, count, ids);
}

const MemberPlan* InterfaceInfo::Find(DISPID id, WORD flags) const {
    const MemberPlan* best = nullptr;
    int bestScore = 0;
    for (const MemberPlan& member : members_) {
        int score = member.id == id ? KindScore(member.kind, flags) : 0;
        if (score > bestScore) {
            best = &member;
            bestScore = score;
        }
    }
    // JScript's Enumerator asks for _NewEnum with DISPATCH_METHOD only.
    if (!best && id == DISPID_NEWENUM) return Find(id, DISPATCH_PROPERTYGET);
    return best;
}

}  // namespace zankit
