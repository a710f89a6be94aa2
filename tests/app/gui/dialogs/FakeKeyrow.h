#pragma once
// A stand-in for the button-panel control: it answers the dispatch calls the export dialog
// makes, checks their argument types as the real control's table does, records every call as
// text, and fires the control's events into the dialog's sink.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "app/gui/controls/CKeyrowPanel.h"
#include "com/Unknown.h"

class FakeKeyrow;

// The fakes the creator hook made, in creation order, and how they answer.
struct FakeKeyrowSet
{
    bool registered = true;
    uint16_t major = 1;
    uint16_t minor = 1;
    DISPID failing = 0;                 // a dispatch id that fails with E_FAIL (0 = none)
    std::vector<FakeKeyrow*> made;      // references held by the set
    std::vector<std::string> log;       // "<child id>: <call>" of every panel

    FakeKeyrowSet();
    ~FakeKeyrowSet();
    FakeKeyrowSet(const FakeKeyrowSet&) = delete;
    FakeKeyrowSet& operator=(const FakeKeyrowSet&) = delete;

    FakeKeyrow& Panel(size_t i) { return *made.at(i); }
    // The log since the last call, then cleared.
    std::vector<std::string> Take();
};

class FakeKeyrow : public IDispatch, public IConnectionPointContainer, public IConnectionPoint
{
public:
    FakeKeyrow(FakeKeyrowSet& set, int childId, QWidget* window);

    HRESULT QueryInterface(const IID& iid, void** out) override;
    uint32_t AddRef() override { return ++m_refs; }
    uint32_t Release() override;
    HRESULT GetTypeInfoCount(uint32_t* count) override;
    HRESULT GetTypeInfo(uint32_t index, ITypeInfo** out) override;
    HRESULT GetIDsOfNames(const std::string&, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, uint16_t flags, DispParams& params, Variant* result) override;
    HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** out) override;
    HRESULT Advise(IUnknown* sink, uint32_t* cookie) override;
    HRESULT Unadvise(uint32_t cookie) override;
    HRESULT GetConnectionInterface(IID* out) override;

    // The user clicks one button, or the all-button over `hwids`.
    void Click(bool selected, int16_t hwid);
    void ClickAll(bool selected, const std::vector<uint16_t>& hwids);
    // Any event with any arguments (malformed ones included).
    void Fire(DISPID id, DispParams& params);

    QWidget* Window() const { return m_window; }
    bool Enabled() const { return m_enabled; }
    const std::vector<uint16_t>& Selected() const { return m_selected; }
    bool HasSink() const { return m_sink != nullptr; }

protected:
    virtual ~FakeKeyrow();

private:
    FakeKeyrowSet& m_set;
    int m_childId;
    QPointer<QWidget> m_window;
    IDispatch* m_sink = nullptr;
    uint32_t m_refs = 1;
    bool m_enabled = true;
    std::vector<uint16_t> m_selected;
};
