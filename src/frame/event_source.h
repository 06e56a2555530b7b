// Outgoing events of a class: one connection point for its source dispinterface, the
// container that finds it, and IProvideClassInfo2 so hosts (VB's WithEvents, .NET) learn
// the event interface. The owning object forwards QueryInterface here and fires through
// Fire(); sinks are called on the owner's thread.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <map>

#include "frame/com_ptr.h"

namespace zankit {

class EventSource final : public IConnectionPointContainer, public IConnectionPoint, public IProvideClassInfo2 {
public:
    // owner: the object's controlling IUnknown (all reference counting goes there).
    EventSource(IUnknown* owner, const CLSID& clsid, const IID& eventIid);
    EventSource(const EventSource&) = delete;
    EventSource& operator=(const EventSource&) = delete;

    // The interface pointer for riid when it is one of the three, else nullptr.
    void* Find(REFIID riid);

    // Calls the event on every advised sink: args in DISPPARAMS order (last argument first).
    void Fire(DISPID id, VARIANT* args, UINT count);
    size_t SinkCount() const { return sinks_.size(); }
    // Drops every advised sink (when the owner ends).
    void DisconnectAll() { sinks_.clear(); }

    // IUnknown, forwarded to the owner
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

    // IConnectionPoint
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** out) override;

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** out) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

private:
    IUnknown* owner_;
    const CLSID& clsid_;
    const IID& eventIid_;
    std::map<DWORD, ComPtr<IDispatch>> sinks_;
    DWORD nextCookie_ = 1;
};

}  // namespace zankit
