#include "app/gui/dialogs/CDlgKVD2BIN.h"

#include "app/CSettingsFile.h"
#include "export/core/CConvertInterface.h"

CDlgKVD2BIN::CDlgKVD2BIN(CConvertInterface* converter, CSondrelDoc* doc, CSettingsFile* settings,
                         QWidget* parent)
    : CDlgSelection(converter, doc, settings, parent)
{
    m_formatStreamKinds = {"analog", "chat", "filter", "digital"};
}

bool CDlgKVD2BIN::OnInitDialog()
{
    if (!CDlgSelection::OnInitDialog())
        return false;
    setWindowTitle(QStringLiteral("Converting to Binary File Format"));
    Control(kIdWriteHeader)->show();
    ConvertOptions& o = m_converter->Options();
    o.WriteHeader = m_settings->GetInt(SettingsKey::kBinary, SettingsKey::kWriteHeader, 0);
    o.ToSigned = m_settings->GetInt(SettingsKey::kBinary, SettingsKey::kToSigned, 0);
    for (int id : {kIdCommentText, kIdCommentChar, kIdBaseIsPressedStart})
        Control(id)->hide();
    LoadControls();
    return true;
}

std::string CDlgKVD2BIN::GetFileFilter() const
{
    return "Binary data (*.raw)|*.raw|All data (*.*)|*.*||";
}

void CDlgKVD2BIN::SaveSettings()
{
    CDlgSelection::SaveSettings();
    m_settings->WriteBinarySettings(m_converter->Options());
}
