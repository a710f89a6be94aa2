#include "app/gui/dialogs/CDlgKVD2ABF.h"

#include <QCheckBox>

#include "app/CSettingsFile.h"
#include "app/CSondrelDoc.h"
#include "export/abf/CConvertToABF.h"
#include "export/model/CStreamChannelMap.h"

CDlgKVD2ABF::CDlgKVD2ABF(CConvertToABF* converter, CSondrelDoc* doc, CSettingsFile* settings,
                         QWidget* parent)
    : CDlgSelection(converter, doc, settings, parent)
    , m_abf(converter)
{
    m_formatStreamKinds = {"analog", "chat", "filter", "digital"};
}

bool CDlgKVD2ABF::OnInitDialog()
{
    if (!CDlgSelection::OnInitDialog())
        return false;
    setWindowTitle(QStringLiteral("Converting to Axon Binary File"));
    if (Map().HasTriggerStream()) {
        QWidget* base = Control(kIdBaseIsPressedStart);
        const int step = base->y() - Control(kIdSingleOutfile)->y();
        m_saveTags = new QCheckBox(QStringLiteral("Save Triggers as Tags"), this);
        m_saveTags->setGeometry(base->x(), base->y() + step, base->width(), base->height());
        m_saveTags->setFont(Control(kIdStreamList)->font());
        m_saveTags->setObjectName(QStringLiteral("id%1").arg(kIdSaveTags));
        m_saveTags->setChecked(m_abf->GetSaveTriggersAsTags());
        m_saveTags->show();
        connect(m_saveTags, &QCheckBox::clicked, this, [this] { ApplyFormatOptions(kIdSaveTags); });
        AddControl(kIdSaveTags, m_saveTags, 0, 0, 0, 0);
        m_saveTags->setGeometry(base->x(), base->y() + step, base->width(), base->height());
    } else {
        // Without a trigger stream there are no tags to save.
        m_abf->SetSaveTriggersAsTags(false);
    }
    Control(kIdAssumeSplitted)->setEnabled(false);
    m_storedAssumeSplittedFile = m_assumeSplittedFile;
    m_assumeSplittedFile = 0;
    LoadControls();
    UpdateOutputControls();
    for (int id : {kIdCommentChar, kIdCommentText, kIdBaseIsPressedStart, kIdSigned, kIdCommandLine})
        Control(id)->hide();
    LoadControls();
    return true;
}

std::string CDlgKVD2ABF::GetFileFilter() const
{
    return "ABF data (*.abf)|*.abf|All data (*.*)|*.*||";
}

void CDlgKVD2ABF::ApplyFormatOptions(int id)
{
    if (id == kIdSaveTags && m_saveTags)
        m_abf->SetSaveTriggersAsTags(m_saveTags->isChecked());
}

bool CDlgKVD2ABF::AddSelectionEntry(int index, const std::string& stream, const std::string& channel,
                                    int bit, int sampleRate)
{
    if (index >= kMaxEntries)
        return false;
    return CDlgSelection::AddSelectionEntry(index, stream, channel, bit, sampleRate);
}

void CDlgKVD2ABF::ConfigurePanels(int layoutType, int subType, int)
{
    for (int i = 0; i < 2; ++i)
        Panel(i).SetTitleType(0);
    const bool mea = subType == 0 && layoutType == 2;
    Panel(0).SetTitle(mea ? "MEA A" : "", 0);
    Panel(1).SetTitle(mea ? "MEA B" : "", 0);
}

void CDlgKVD2ABF::SaveSettings()
{
    CDlgSelection::ReadControls(false);
    m_assumeSplittedFile = m_storedAssumeSplittedFile;
    LoadControls();
    CDlgSelection::SaveSettings();
}
