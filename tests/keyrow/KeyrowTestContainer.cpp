// The test container of the control's COM tests.

#include "tests/keyrow/KeyrowTestContainer.h"

#include <QTest>

#include "com/CConnectionPoint.h"

HRESULT Call(IDispatch* control, DISPID id, std::vector<Variant> args, Variant* result,
             uint16_t flags)
{
    DispParams params;
    params.args = std::move(args);
    Variant ignored;
    return control->Invoke(id, flags, params, result ? result : &ignored);
}

HRESULT Put(IDispatch* control, DISPID id, Variant value)
{
    return Call(control, id, {std::move(value)}, nullptr, DISPATCH_PROPERTYPUT);
}

Variant Get(IDispatch* control, DISPID id)
{
    Variant result;
    Call(control, id, {}, &result, DISPATCH_PROPERTYGET);
    return result;
}

Variant UI2Array(const std::vector<uint16_t>& values)
{
    return MakeUI2Array(values);
}

Variant StringArray(const std::vector<std::string>& values)
{
    return MakeStringArray(values);
}

KeyrowTestContainer::KeyrowTestContainer() : host(std::make_unique<QWidget>())
{
    host->resize(400, 300);
    host->show();
}

KeyrowTestContainer::~KeyrowTestContainer()
{
    if (control && cookie) {
        ComPtr<IConnectionPointContainer> points;
        ComPtr<IConnectionPoint> point;
        if (SUCCEEDED(control.As(IID_IConnectionPointContainer, &points))
            && SUCCEEDED(points->FindConnectionPoint(kDKeyrowEventsIid, point.Address())))
            point->Unadvise(cookie);
    }
    control = nullptr;
    host.reset();
    // The library stays loaded, as CreateControl keeps it.
    if (library)
        FreeLibrary(library);
}

HRESULT KeyrowTestContainer::Register()
{
    if (!library)
        library = LoadLibraryA(KEYROW_OCX);
    if (!library)
        return E_FAIL;
    auto reg = reinterpret_cast<DllRegisterServerFunction>(GetProcAddress(library, "DllRegisterServer"));
    return reg ? reg() : E_FAIL;
}

HRESULT KeyrowTestContainer::Unregister()
{
    auto unreg = reinterpret_cast<DllRegisterServerFunction>(
        GetProcAddress(library, "DllUnregisterServer"));
    return unreg ? unreg() : E_FAIL;
}

HRESULT KeyrowTestContainer::CanUnloadNow() const
{
    auto canUnload = reinterpret_cast<DllRegisterServerFunction>(
        GetProcAddress(library, "DllCanUnloadNow"));
    return canUnload ? canUnload() : E_FAIL;
}

bool KeyrowTestContainer::Create(int childId)
{
    void* handle = nullptr;
    if (FAILED(CreateControl(kKeyrowClsid, host.get(), 10, 10, 0, 0, childId, control.Address(),
                             &handle)))
        return false;
    window = static_cast<QWidget*>(handle);
    return window != nullptr;
}

bool KeyrowTestContainer::Advise()
{
    ComPtr<IConnectionPointContainer> points;
    ComPtr<IConnectionPoint> point;
    if (FAILED(control.As(IID_IConnectionPointContainer, &points))
        || FAILED(points->FindConnectionPoint(kDKeyrowEventsIid, point.Address())))
        return false;
    sink.Attach(new TestSink);
    return SUCCEEDED(point->Advise(sink.Get(), &cookie));
}

QAbstractButton* KeyrowTestContainer::Button(int index) const
{
    return window ? window->findChild<QAbstractButton*>(QString("KeyrowButton%1").arg(index))
                  : nullptr;
}

QAbstractButton* KeyrowTestContainer::TitleButton() const
{
    return window ? window->findChild<QAbstractButton*>("KeyrowTitleButton") : nullptr;
}

void KeyrowTestContainer::Click(QAbstractButton* button) const
{
    QTest::mouseClick(button, Qt::LeftButton);
}
