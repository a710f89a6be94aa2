#pragma once
// The export dialog's side of one button-panel control: created by class id through the COM
// layer, called by dispatch id, its events delivered to a handler. Every failing call shows one
// message and the dialog goes on.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QPointer>
#include <QRect>
#include <QWidget>

#include "com/ComTypes.h"
#include "com/Guid.h"

struct DispParams;
struct IConnectionPoint;
struct IDispatch;
struct Variant;

class CKeyrowPanel
{
public:
    // Stands in for CreateControl (tests hand out a fake control); empty = the COM layer.
    using Creator = std::function<HRESULT(const CLSID& clsid, void* parentWindow, int x, int y,
                                          int width, int height, int childId,
                                          IDispatch** dispatch, void** window)>;
    static void SetCreatorHook(Creator creator);

    // An event of the control: its dispatch id and arguments in call order.
    using EventHandler = std::function<void(DISPID id, DispParams& params)>;

    CKeyrowPanel();
    ~CKeyrowPanel();
    CKeyrowPanel(const CKeyrowPanel&) = delete;
    CKeyrowPanel& operator=(const CKeyrowPanel&) = delete;

    // Creates the control's window as a child of `parent` at `rect` with `childId` and connects
    // `events` to its event interface. False when the control cannot be created.
    [[nodiscard]] bool Create(QWidget* parent, const QRect& rect, int childId, EventHandler events);
    // The registered type library's version, read from the control's type information. False
    // when the control gives none.
    bool GetLibraryVersion(uint16_t& major, uint16_t& minor) const;

    QWidget* Window() const { return m_window; }

    // The control's operations, by dispatch id. Lists are built into SAFEARRAYs here and
    // cleared after the call: the control copies what it keeps.
    void SetSelectionMode(int mode);
    bool GetBoundingSize(int& width, int& height);
    void InitializeButtons(const std::vector<std::string>& names, int layoutType, int subType,
                           int offset, int count);
    void SetExistingChannels(const std::vector<uint16_t>& hwids);
    void SetSelectedChannels(const std::vector<uint16_t>& hwids, int state);
    void EnableControl(bool enable);
    void SetTitleType(int type);
    void SetTitle(const std::string& title, int flags);

    // The hwids of an event's list argument: a one-dimensional UI2 array, by reference or not.
    // False (and `hwids` empty) for anything else.
    static bool ReadHwidList(const Variant& argument, std::vector<uint16_t>& hwids);

private:
    class CEventSink;

    // Calls the control; a refusal is shown to the user here, so setters may drop the result.
    HRESULT Call(DISPID id, uint16_t flags, DispParams& params, Variant* result = nullptr);
    void Disconnect();

    IDispatch* m_dispatch = nullptr;
    QPointer<QWidget> m_window;
    CEventSink* m_sink = nullptr;
    IConnectionPoint* m_point = nullptr;
    uint32_t m_cookie = 0;
};
