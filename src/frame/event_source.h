// Outgoing events of a class: one connection point for its source dispinterface, the
// container that finds it, and IProvideClassInfo2 so hosts (VB's WithEvents, .NET) learn
// the event interface. The owning object forwards QueryInterface here and fires its events
// by name; sinks are called on the owner's thread.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <map>
#include <string>
#include <string_view>

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

    // Calls the named event of the event interface on every advised sink. The text and number
    // overloads pass one [in, out] argument; a sink may change it, and the caller gets the last
    // value back. A failing sink neither stops the others nor leaks what it handed back.
    void Fire(std::wstring_view eventName);
    void Fire(std::wstring_view eventName, std::wstring& text);
    void Fire(std::wstring_view eventName, LONG& number);
    // Any other argument list, in DISPPARAMS order (last argument first); by-reference
    // arguments come back changed as the sinks left them.
    void Fire(std::wstring_view eventName, VARIANT* args, UINT count) { FireToSinks(EventId(eventName), args, count); }
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
    // The dispid of an event, looked up in the type library once per name.
    DISPID EventId(std::wstring_view eventName);
    // args in DISPPARAMS order (last argument first).
    void FireToSinks(DISPID id, VARIANT* args, UINT count);

    IUnknown* owner_;
    const CLSID& clsid_;
    const IID& eventIid_;
    std::map<DWORD, ComPtr<IDispatch>> sinks_;
    DWORD nextCookie_ = 1;
    std::map<std::wstring, DISPID, std::less<>> eventIds_;
};

}  // namespace zankit
