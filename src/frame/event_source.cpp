#include "frame/event_source.h"

#include <oleauto.h>

#include <new>
#include <vector>

#include "frame/bstr.h"
#include "frame/dispatch_call.h"
#include "frame/module.h"
#include "frame/simple_object.h"
#include "frame/type_library.h"

namespace zankit {
namespace {

// A small enumerator over a fixed list of COM items (connection points or connections).
template <typename EnumInterface, typename Item, const IID& EnumIid>
class ListEnumerator final : public SimpleObject<EnumInterface, EnumIid> {
public:
    using Copier = void (*)(const Item& from, Item* to);
    using Releaser = void (*)(Item& item);

    ListEnumerator(std::vector<Item> items, Copier copy, Releaser release, size_t position = 0)
        : items_(std::move(items)), copy_(copy), release_(release), position_(position) {}
    STDMETHODIMP Next(ULONG wanted, Item* out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG given = 0;
        while (given < wanted && position_ < items_.size()) copy_(items_[position_++], &out[given++]);
        if (fetched) *fetched = given;
        return given == wanted ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        size_t left = items_.size() - position_;
        position_ += count > left ? left : count;
        return count > left ? S_FALSE : S_OK;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(EnumInterface** out) override {
        if (!out) return E_POINTER;
        std::vector<Item> copy(items_.size());
        for (size_t i = 0; i < items_.size(); ++i) copy_(items_[i], &copy[i]);
        auto* clone = new (std::nothrow) ListEnumerator(std::move(copy), copy_, release_, position_);
        *out = clone;
        return clone ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~ListEnumerator() override {
        for (Item& item : items_) release_(item);
    }

    std::vector<Item> items_;
    Copier copy_;
    Releaser release_;
    size_t position_;
};

void CopyPoint(IConnectionPoint* const& from, IConnectionPoint** to) {
    *to = from;
    if (from) from->AddRef();
}
void ReleasePoint(IConnectionPoint*& item) {
    if (item) item->Release();
}
void CopyConnection(const CONNECTDATA& from, CONNECTDATA* to) {
    *to = from;
    if (from.pUnk) from.pUnk->AddRef();
}
void ReleaseConnection(CONNECTDATA& item) {
    if (item.pUnk) item.pUnk->Release();
}

using PointEnumerator = ListEnumerator<IEnumConnectionPoints, IConnectionPoint*, IID_IEnumConnectionPoints>;
using ConnectionEnumerator = ListEnumerator<IEnumConnections, CONNECTDATA, IID_IEnumConnections>;

}  // namespace

EventSource::EventSource(IUnknown* owner, const CLSID& clsid, const IID& eventIid)
    : owner_(owner), clsid_(clsid), eventIid_(eventIid) {}

void* EventSource::Find(REFIID riid) {
    if (IsEqualIID(riid, IID_IConnectionPointContainer)) return static_cast<IConnectionPointContainer*>(this);
    if (IsEqualIID(riid, IID_IProvideClassInfo) || IsEqualIID(riid, IID_IProvideClassInfo2)) {
        return static_cast<IProvideClassInfo2*>(this);
    }
    return nullptr;
}

STDMETHODIMP EventSource::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IConnectionPoint)) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    return owner_->QueryInterface(riid, out);
}
STDMETHODIMP_(ULONG) EventSource::AddRef() { return owner_->AddRef(); }
STDMETHODIMP_(ULONG) EventSource::Release() { return owner_->Release(); }

STDMETHODIMP EventSource::EnumConnectionPoints(IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    IConnectionPoint* point = static_cast<IConnectionPoint*>(this);
    point->AddRef();
    auto* enumerator =
        new (std::nothrow) PointEnumerator(std::vector<IConnectionPoint*>{point}, &CopyPoint, &ReleasePoint);
    if (!enumerator) {
        point->Release();
        *out = nullptr;
        return E_OUTOFMEMORY;
    }
    *out = enumerator;
    return S_OK;
}

STDMETHODIMP EventSource::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(riid, eventIid_)) return CONNECT_E_NOCONNECTION;
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP EventSource::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = eventIid_;
    return S_OK;
}

STDMETHODIMP EventSource::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    *out = static_cast<IConnectionPointContainer*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP EventSource::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    ComPtr<IDispatch> target;
    if (FAILED(sink->QueryInterface(eventIid_, target.PutVoid())) &&
        FAILED(sink->QueryInterface(IID_IDispatch, target.PutVoid()))) {
        return CONNECT_E_CANNOTCONNECT;
    }
    try {
        sinks_.emplace(nextCookie_, std::move(target));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = nextCookie_++;
    return S_OK;
}

STDMETHODIMP EventSource::Unadvise(DWORD cookie) { return sinks_.erase(cookie) == 1 ? S_OK : CONNECT_E_NOCONNECTION; }

STDMETHODIMP EventSource::EnumConnections(IEnumConnections** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        std::vector<CONNECTDATA> connections;
        for (auto& [cookie, sink] : sinks_) {
            CONNECTDATA data = {sink.Get(), cookie};
            sink->AddRef();
            connections.push_back(data);
        }
        auto* enumerator =
            new (std::nothrow) ConnectionEnumerator(std::move(connections), &CopyConnection, &ReleaseConnection);
        if (!enumerator) return E_OUTOFMEMORY;
        *out = enumerator;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP EventSource::GetClassInfo(ITypeInfo** out) {
    if (!out) return E_POINTER;
    return GetLibraryTypeInfo(clsid_, out);
}

STDMETHODIMP EventSource::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = eventIid_;
    return S_OK;
}

DISPID EventSource::EventId(std::wstring_view eventName) {
    auto known = eventIds_.find(eventName);
    if (known != eventIds_.end()) return known->second;
    DISPID id = DISPID_UNKNOWN;
    ComPtr<ITypeInfo> events;
    if (SUCCEEDED(GetLibraryTypeInfo(eventIid_, events.Put()))) {
        std::wstring name(eventName);
        LPOLESTR names[] = {name.data()};
        if (FAILED(events->GetIDsOfNames(names, 1, &id))) id = DISPID_UNKNOWN;
    }
    eventIds_.emplace(std::wstring(eventName), id);
    return id;
}

void EventSource::FireToSinks(DISPID id, VARIANT* args, UINT count) {
    if (id == DISPID_UNKNOWN || sinks_.empty()) return;
    // A sink may release the last reference to the owner while it handles the event.
    ComPtr<IUnknown> keepOwner(owner_);
    // Snapshot first: a handler may advise or unadvise while we call it. A sink unadvised by an
    // earlier handler is not called any more.
    std::vector<std::pair<DWORD, ComPtr<IDispatch>>> targets(sinks_.begin(), sinks_.end());
    for (auto& [cookie, sink] : targets) {
        if (sinks_.find(cookie) == sinks_.end()) continue;
        InvokeMethod(sink.Get(), id, args, count);
    }
}

void EventSource::Fire(std::wstring_view eventName) { FireToSinks(EventId(eventName), nullptr, 0); }

void EventSource::Fire(std::wstring_view eventName, std::wstring& text) {
    const DISPID id = EventId(eventName);
    if (id == DISPID_UNKNOWN || sinks_.empty()) return;
    Bstr value(text);
    if (!value.Get() && !text.empty()) throw std::bad_alloc();
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&arg) = value.InOut();
    FireToSinks(id, &arg, 1);
    text = FromBstr(value.Get());
}

void EventSource::Fire(std::wstring_view eventName, LONG& number) {
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_BYREF | VT_I4;
    V_I4REF(&arg) = &number;
    FireToSinks(EventId(eventName), &arg, 1);
}

}  // namespace zankit
