#include "app/gui/dialogs/CDlgKVD2ASCII.h"

#include "app/CSettingsFile.h"
#include "export/core/CConvertInterface.h"

CDlgKVD2ASCII::CDlgKVD2ASCII(CConvertInterface* converter, CSondrelDoc* doc, CSettingsFile* settings,
                             QWidget* parent)
    : CDlgSelection(converter, doc, settings, parent)
{
    m_formatStreamKinds = {"analog", "chat", "filter", "digital", "digitalevent", "spikes",
                           "average", "params", "spkparam", "bstparam", "trigger"};
}

bool CDlgKVD2ASCII::OnInitDialog()
{
    if (!CDlgSelection::OnInitDialog())
        return false;
    setWindowTitle(QStringLiteral("Converting to ASCII format"));
    ConvertOptions& o = m_converter->Options();
    o.SweepHeader = m_settings->GetInt(SettingsKey::kAscii, SettingsKey::kSweepHeader, 0);
    o.DigitalEventInitialValue = m_settings->GetInt(SettingsKey::kAscii, SettingsKey::kDigitalEventInitialValue, 0);
    Control(kIdSigned)->hide();
    LoadControls();
    return true;
}

void CDlgKVD2ASCII::ShowSweepControls(bool show)
{
    CDlgSelection::ShowSweepControls(show);
    Control(kIdSweepHeader)->setVisible(show);
}

std::string CDlgKVD2ASCII::GetFileFilter() const
{
    return "Ascii data (*.txt)|*.txt|All data (*.*)|*.*||";
}

void CDlgKVD2ASCII::SaveSettings()
{
    CDlgSelection::SaveSettings();
    m_settings->WriteAsciiSettings(m_converter->Options());
}
