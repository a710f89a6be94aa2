#pragma once
// The reference-counted interfaces of our COM layer and a smart pointer over them. Interfaces
// are abstract classes in the global namespace, with COM's names; calls return HRESULTs and
// never throw.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "com/ComTypes.h"
#include "com/Guid.h"
#include "com/Variant.h"

struct IUnknown
{
    [[nodiscard]] virtual HRESULT QueryInterface(const IID& iid, void** out) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

// Reference counting for an object that deletes itself when the last reference goes. It starts
// with one reference, which its creator owns; `Interfaces` are the interfaces the class implements.
template <class... Interfaces>
class CRefCounted : public Interfaces...
{
public:
    uint32_t AddRef() override { return ++m_references; }
    uint32_t Release() override
    {
        const uint32_t left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    CRefCounted() = default;
    ~CRefCounted() override = default;

private:
    std::atomic<uint32_t> m_references{1};
};

// Holds one reference. Construction from a raw pointer and copying add a reference; Attach takes
// one over without adding, Detach hands it back without releasing.
template <class T>
class ComPtr
{
public:
    ComPtr() = default;
    explicit ComPtr(T* p) : m_p(p)
    {
        if (m_p)
            m_p->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
    ComPtr& operator=(const ComPtr& other)
    {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t)
    {
        Reset();
        return *this;
    }
    ~ComPtr() { Reset(); }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // Releases the current pointer and gives the address for an out parameter.
    T** Address()
    {
        Reset();
        return &m_p;
    }
    // The same, typed for QueryInterface and the class-factory calls.
    void** VoidAddress() { return reinterpret_cast<void**>(Address()); }

    void Attach(T* p)
    {
        Reset();
        m_p = p;
    }
    T* Detach()
    {
        T* p = m_p;
        m_p = nullptr;
        return p;
    }
    void Reset()
    {
        if (T* p = m_p) {
            m_p = nullptr;
            p->Release();
        }
    }
    void Swap(ComPtr& other) noexcept { std::swap(m_p, other.m_p); }

    // QueryInterface into another pointer.
    template <class U>
    [[nodiscard]] HRESULT As(const IID& iid, ComPtr<U>* out) const
    {
        if (!out)
            return E_POINTER;
        if (!m_p) {
            out->Reset();
            return E_POINTER;
        }
        return m_p->QueryInterface(iid, out->VoidAddress());
    }

private:
    T* m_p = nullptr;
};

// Arguments of IDispatch::Invoke, in CALL ORDER (first argument first), unlike COM's reversed
// rgvarg. Named arguments are not supported.
struct DispParams
{
    std::vector<Variant> args;
};

struct ITypeInfo;
struct ITypeLib;
struct InterfaceInfo;
struct MemberInfo;

struct IDispatch : IUnknown
{
    [[nodiscard]] virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
    [[nodiscard]] virtual HRESULT GetTypeInfo(uint32_t index, ITypeInfo** out) = 0;
    // One name, compared without regard to ASCII case; DISP_E_UNKNOWNNAME when missing.
    [[nodiscard]] virtual HRESULT GetIDsOfNames(const std::string& name, DISPID* out) = 0;
    // result may be null when the caller wants none.
    [[nodiscard]] virtual HRESULT Invoke(DISPID id, uint16_t flags, DispParams& params, Variant* result) = 0;
};

struct TLibAttr
{
    GUID guid;
    uint16_t wMajorVerNum = 0;
    uint16_t wMinorVerNum = 0;
};

struct ITypeInfo : IUnknown
{
    [[nodiscard]] virtual HRESULT GetContainingTypeLib(ITypeLib** out, uint32_t* index) = 0;
    // The interface id this type information describes.
    [[nodiscard]] virtual HRESULT GetGuid(IID* out) = 0;
    // Name and help string of a member, or of the interface itself for DISPID_UNKNOWN.
    [[nodiscard]] virtual HRESULT GetDocumentation(DISPID id, std::string* name, std::string* help) = 0;
    [[nodiscard]] virtual HRESULT GetIDsOfNames(const std::string& name, DISPID* out) = 0;
    // The static description behind it (valid while the library that holds it is loaded).
    [[nodiscard]] virtual HRESULT GetInterfaceInfo(const InterfaceInfo** out) = 0;
};

struct ITypeLib : IUnknown
{
    [[nodiscard]] virtual HRESULT GetLibAttr(TLibAttr* out) = 0;
    virtual uint32_t GetTypeInfoCount() = 0;
    [[nodiscard]] virtual HRESULT GetTypeInfo(uint32_t index, ITypeInfo** out) = 0;
    [[nodiscard]] virtual HRESULT GetTypeInfoOfGuid(const IID& iid, ITypeInfo** out) = 0;
    // index -1: the library's name, help string and help file; else those of interface `index`
    // (no help file).
    [[nodiscard]] virtual HRESULT GetDocumentation(int32_t index, std::string* name, std::string* help,
                                     std::string* helpFile) = 0;
};

struct IClassFactory : IUnknown
{
    [[nodiscard]] virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** out) = 0;
    [[nodiscard]] virtual HRESULT LockServer(bool lock) = 0;
};

// Ours: a control that makes its window as a child of a host window. Windows cross as opaque
// handles (a QWidget* inside the programs; host and control share one Qt).
struct IWindowedControl : IUnknown
{
    [[nodiscard]] virtual HRESULT CreateControlWindow(void* parentWindow, int x, int y, int width, int height,
                                        int childId, void** window) = 0;
};

struct IConnectionPoint : IUnknown
{
    // The sink must answer QueryInterface for the event interface id with an IDispatch.
    [[nodiscard]] virtual HRESULT Advise(IUnknown* sink, uint32_t* cookie) = 0;
    [[nodiscard]] virtual HRESULT Unadvise(uint32_t cookie) = 0;
    [[nodiscard]] virtual HRESULT GetConnectionInterface(IID* out) = 0;
};

struct IConnectionPointContainer : IUnknown
{
    [[nodiscard]] virtual HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** out) = 0;
};

// Hands out `object` as `out` with a reference added (the usual tail of QueryInterface).
template <class I>
[[nodiscard]] HRESULT ReturnInterface(I* object, void** out)
{
    object->AddRef();
    *out = static_cast<void*>(object);
    return S_OK;
}
