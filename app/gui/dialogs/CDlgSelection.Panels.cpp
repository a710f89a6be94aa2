// The export dialog's two button panels: their creation and version check, their set-up from
// the recording's electrode layout, and the selection entries their clicks, the "Tr" button and
// the bit selection add and remove.

#include "app/gui/dialogs/CDlgSelection.h"

#include <QCheckBox>
#include <QPushButton>

#include "app/CSondrelDoc.h"
#include "app/gui/controls/CBitSelection.h"
#include "app/gui/dialogs/DluMapper.h"
#include "app/gui/GuiMessages.h"
#include "com/Unknown.h"
#include "com/Variant.h"
#include "export/core/CConvertInterface.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "export/model/CStreamChannelMap.h"
#include "keyrow/core/KeyrowIds.h"

namespace {

bool Contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

bool StartsWith(const std::string& text, const char* part)
{
    return text.rfind(part, 0) == 0;
}

constexpr char kMaximumReached[] = "Maximum number of channels for this format reached!";

} // namespace

bool CDlgSelection::CreatePanels()
{
    const QRect rects[2] = {QRect(QPoint(m_dlu->X(100), m_dlu->Y(92)), QSize(0, 0)),
                            QRect(QPoint(m_dlu->X(100), m_dlu->Y(199)), QSize(0, 0))};
    const int ids[2] = {kIdPanel1, kIdPanel2};
    const auto endProgram = [](const QString& text) {
        ShowMessage(text);
        EndProgram(1);
        return false;
    };
    for (int i = 0; i < 2; ++i) {
        if (!m_panels[i].Create(this, rects[i], ids[i],
                                [this](DISPID id, DispParams& params) { OnPanelEvent(id, params); }))
            return endProgram(QStringLiteral("KeyrowOcx is not registered, please reinstall Sondrel"));
        if (QWidget* window = m_panels[i].Window()) {
            m_controls[ids[i]] = window;
            window->setObjectName(QStringLiteral("id%1").arg(ids[i]));
        }
    }
    uint16_t major = 0;
    uint16_t minor = 0;
    if (!m_panels[0].GetLibraryVersion(major, minor))
        return endProgram(QStringLiteral("KeyrowOcx is not registered, please reinstall Sondrel"));
    if (major != 1)
        return endProgram(QStringLiteral("Registered version of KeyrowOcx: %1.%2\nYou need a version 1.x\n"
                                         "Please reinstall Sondrel").arg(major).arg(minor));
    if (minor < 1)
        return endProgram(QStringLiteral("Registered version of KeyrowOcx: %1.%2\nYou need a version >= 1.1\n"
                                         "Please reinstall Sondrel").arg(major).arg(minor));
    return true;
}

void CDlgSelection::ShowPanel(int i, bool show)
{
    if (QWidget* window = m_panels[static_cast<size_t>(i)].Window())
        window->setVisible(show);
}

void CDlgSelection::SetUpPanelsForStream()
{
    const std::string& stream = m_currentStream;
    if (stream.empty()) {
        // No stream the format can write: nothing to choose from.
        m_trigger->hide();
        m_bits->hide();
        Control(kIdInitialValues)->hide();
        ShowPanel(0, false);
        ShowPanel(1, false);
        return;
    }
    if (Contains(stream, "Trigger")) {
        m_trigger->raise();
        m_trigger->show();
        m_bits->hide();
        Control(kIdInitialValues)->hide();
        ShowPanel(0, false);
        ShowPanel(1, false);
        return;
    }
    m_trigger->hide();
    if (Contains(stream, "Digital Data")) {
        m_bits->show();
        Control(kIdInitialValues)->setVisible(Contains(stream, "Digital Data Event"));
    } else {
        m_bits->hide();
        Control(kIdInitialValues)->hide();
    }
    std::vector<uint16_t> ids;
    GetStreamChannelIds(stream, ids);
    CKVD* source = m_converter->GetDataSource();
    if (ids.empty() || !source) {
        ShowPanel(0, false);
        ShowPanel(1, false);
        return;
    }
    const CKVLayout& layout = source->GetStreamFile().GetLayout();
    const int type = layout.GetLayoutKind();
    const int sub = layout.GetSubtypeOfRecord(ids[0]);
    std::vector<std::string> names;
    layout.GetRecordNames(names);
    ConfigurePanels(type, sub, static_cast<int>(ids.size()));

    CKeyrowPanel& first = m_panels[0];
    first.SetSelectionMode(0);
    const int electrodes = layout.GetElectrodeChannels();
    const int analog = layout.GetAnalogChannels();
    const int digital = layout.GetDigitalChannels();
    const int total = layout.GetTotalChannels();
    if (type == 3) {
        std::vector<std::string> descriptors;
        layout.GetRecordDescriptors(descriptors, layout.GetUnitIdOfRecord(ids[0]));
        first.InitializeButtons(descriptors, 3, sub, 0, total);
    } else if (sub == 0) {
        if (type == 1 || type == 2)
            first.InitializeButtons(names, type, 0, 0, 64);
        else if (type == 0)
            first.InitializeButtons(names, 0, 0, 0, electrodes);
    } else if (sub == 1) {
        first.InitializeButtons(names, type, 1, electrodes, analog);
    } else if (sub == 2) {
        first.InitializeButtons(names, type, 2, total - digital, digital);
    }

    const auto fit = [&ids](CKeyrowPanel& panel) {
        QWidget* window = panel.Window();
        int width = 0;
        int height = 0;
        if (window && panel.GetBoundingSize(width, height))
            window->setGeometry(window->x(), window->y(), width, height);
        panel.SetExistingChannels(ids);
        panel.SetSelectedChannels({}, 0);
        if (window) {
            window->hide();
            window->show();
        }
    };
    fit(first);
    if (type == 2 && sub == 0) {
        CKeyrowPanel& second = m_panels[1];
        second.SetSelectionMode(0);
        second.InitializeButtons(names, 2, 0, 64, 64);
        fit(second);
    } else {
        ShowPanel(1, false);
    }
}

void CDlgSelection::ConfigurePanels(int layoutType, int subType, int count)
{
    for (CKeyrowPanel& panel : m_panels) {
        panel.SetTitleType(1);
        panel.SetTitle("", 0);
    }
    if (subType == 0 && layoutType == 2) {
        m_panels[0].SetTitle("MEA A", 0);
        m_panels[1].SetTitle("MEA B", 0);
    } else if (subType == 0 && (layoutType == 0 || layoutType == 1 || layoutType == 3)) {
        m_panels[0].SetTitle(" All ", 0);
    } else if (subType == 1 && layoutType == 3 && count > 8) {
        m_panels[0].SetTitle(" All ", 0);
    }
}

void CDlgSelection::SyncPanelSelection()
{
    const CKVDataSelection* selection = m_converter->GetSelection();
    const std::string& stream = m_currentStream;
    if (Contains(stream, "Trigger")) {
        m_trigger->setChecked(selection && selection->ContainsStream(stream));
        return;
    }
    if (Contains(stream, "Digital Data")) {
        for (int b = 0; b < 16; ++b) {
            bool on = false;
            for (int i = 0; selection && i < selection->GetCount(); ++i)
                on = on || (selection->At(i)->streamName == stream && selection->At(i)->bit == b);
            m_bits->SetCheck(b, on);
        }
    }
    if (stream.empty())
        return;
    std::vector<uint16_t> hwids;
    for (int i = 0; selection && i < selection->GetCount(); ++i) {
        const CKVDataSelection::Entry& e = *selection->At(i);
        if (e.streamName == stream && e.bit < 0 && e.channelId >= 0)
            hwids.push_back(static_cast<uint16_t>(e.channelId));
    }
    for (CKeyrowPanel& panel : m_panels)
        panel.SetSelectedChannels(hwids, 0);
}

void CDlgSelection::UpdatePanelAvailability()
{
    std::vector<std::string> names;
    CollectSelectedStreamNames(names);
    names.push_back(m_currentStream);
    const CStreamChannelMap& map = Map();
    const auto rate = [&map](const std::string& name) {
        const CStreamChannelMap::CStream* s = map.FindStream(name);
        return s ? s->m_sampleRate : 0;
    };
    bool sameRate = true;
    bool foreignParameter = false;
    const auto all = [&names](const std::function<bool(const std::string&)>& is) {
        for (const std::string& name : names)
            if (!is(name))
                return false;
        return true;
    };
    for (const std::string& name : names) {
        sameRate = sameRate && rate(name) == rate(names.front());
        foreignParameter = foreignParameter || (StartsWith(name, "Parameter") && name != m_currentStream);
    }
    const bool anyKind =
        all([](const std::string& n) {
            return Contains(n, "Electrode Raw Data") || Contains(n, "Channel Tool Data")
                   || Contains(n, "Analog Raw Data") || Contains(n, "Filtered Data")
                   || (Contains(n, "Digital Data") && !Contains(n, "Digital Data Event"));
        })
        || all([](const std::string& n) { return Contains(n, "Spikes"); })
        || all([](const std::string& n) { return Contains(n, "Averager"); })
        || all([](const std::string& n) { return StartsWith(n, "Parameter"); })
        || all([](const std::string& n) { return Contains(n, "Spike Parameter"); })
        || all([](const std::string& n) { return Contains(n, "Burst Parameter"); })
        || all([](const std::string& n) { return Contains(n, "Trigger"); })
        || all([](const std::string& n) { return Contains(n, "Digital Data Event"); });
    const bool enabled = sameRate && !foreignParameter && anyKind;
    for (CKeyrowPanel& panel : m_panels)
        panel.EnableControl(enabled);
    m_trigger->setEnabled(enabled);
    for (int b = 0; b < 16; ++b)
        if (QAbstractButton* button = m_bits->Button(b))
            button->setEnabled(enabled);
    m_bits->setEnabled(enabled);
    Control(kIdInitialValues)->setEnabled(enabled);
}

int CDlgSelection::CurrentSampleRate() const
{
    const CStreamChannelMap::CStream* stream = Map().FindStream(m_currentStream);
    return stream ? stream->m_sampleRate / 1000 : 0;
}

std::string CDlgSelection::NameOfHwid(uint16_t hwid) const
{
    CKVD* source = m_converter->GetDataSource();
    return source ? source->GetStreamFile().GetLayout().GetSecondName(hwid) : std::string();
}

bool CDlgSelection::AddForCurrentStream(const std::string& channel, int bit)
{
    return AddSelectionEntry(GetSelectionCount(), m_currentStream, channel, bit, CurrentSampleRate());
}

void CDlgSelection::RefuseAddition()
{
    SyncPanelSelection();
    ShowMessage(QString::fromLatin1(kMaximumReached));
}

void CDlgSelection::OnPanelEvent(DISPID id, DispParams& params)
{
    const auto flag = [](const Variant& v, bool& out) {
        switch (v.vt) {
        case VT_BOOL: out = v.boolVal != 0; return true;
        case VT_I2: out = v.iVal != 0; return true;
        case VT_I4: out = v.lVal != 0; return true;
        default: return false;
        }
    };
    if (id == kEvtButtonClicked && params.args.size() == 2) {
        bool selected = false;
        const Variant& hwid = params.args[1];
        if (!flag(params.args[0], selected) || (hwid.vt != VT_I2 && hwid.vt != VT_UI2 && hwid.vt != VT_I4))
            return;
        const int value = hwid.vt == VT_I2 ? hwid.iVal : hwid.vt == VT_UI2 ? hwid.uiVal : hwid.lVal;
        if (value < 0 || value > 0xFFFF)
            return;
        OnButtonClicked(selected, static_cast<uint16_t>(value));
    } else if (id == kEvtFireAllClickedV && params.args.size() == 2) {
        bool selected = false;
        std::vector<uint16_t> hwids;
        if (flag(params.args[0], selected) && CKeyrowPanel::ReadHwidList(params.args[1], hwids))
            OnAllClicked(selected, hwids);
    }
}

void CDlgSelection::OnButtonClicked(bool selected, uint16_t hwid)
{
    CKVD* source = m_converter->GetDataSource();
    // A button whose hwid no layout record has stands for no channel.
    if (!source || hwid >= source->GetStreamFile().GetLayout().GetRecordCount())
        return;
    const std::string name = NameOfHwid(hwid);
    if (!selected)
        RemoveSelectedChannel(m_currentStream, name, -1);
    else if (!AddForCurrentStream(name, -1))
        RefuseAddition();
    RefreshSelectionList();
}

void CDlgSelection::OnAllClicked(bool selected, const std::vector<uint16_t>& hwids)
{
    CKVD* source = m_converter->GetDataSource();
    if (!source)
        return;
    const int records = source->GetStreamFile().GetLayout().GetRecordCount();
    std::vector<uint16_t> known;
    for (uint16_t hwid : hwids)
        if (hwid < records)
            known.push_back(hwid);
    for (uint16_t hwid : known)
        RemoveSelectedChannel(m_currentStream, NameOfHwid(hwid), -1);
    if (selected) {
        for (uint16_t hwid : known) {
            if (!AddForCurrentStream(NameOfHwid(hwid), -1)) {
                RefuseAddition();
                break;
            }
        }
    }
    RefreshSelectionList();
}

void CDlgSelection::OnTriggerClicked()
{
    if (!m_trigger->isChecked())
        RemoveSelectedChannel(m_currentStream, "Tr", -1);
    else if (!AddForCurrentStream("Tr", -1))
        RefuseAddition();
    RefreshSelectionList();
}

void CDlgSelection::OnBitCommand()
{
    const CKVDataSelection* selection = m_converter->GetSelection();
    for (int b = 0; b < 16; ++b) {
        if (m_bits->GetCheck(b)) {
            bool present = false;
            for (int i = 0; selection && i < selection->GetCount(); ++i)
                present = present || (selection->At(i)->streamName == m_currentStream && selection->At(i)->bit == b);
            if (!present && !AddForCurrentStream("D1", b)) {
                RefuseAddition();
                break;
            }
        } else {
            RemoveSelectedChannel(m_currentStream, "D1", b);
        }
    }
    RefreshSelectionList();
}
