#pragma once
// The export dialog for ABF files: at most 16 channels, never one output for several inputs,
// and "Save Triggers as Tags" when the recording has a trigger stream.

#include "app/gui/dialogs/CDlgSelection.h"

class CConvertToABF;
class QCheckBox;

class CDlgKVD2ABF : public CDlgSelection
{
    Q_OBJECT
public:
    static constexpr int kIdSaveTags = 1128;
    static constexpr int kMaxEntries = 16;

    CDlgKVD2ABF(CConvertToABF* converter, CSondrelDoc* doc, CSettingsFile* settings,
                QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;
    std::string GetFileFilter() const override;
    void ApplyFormatOptions(int id) override;
    bool AddSelectionEntry(int index, const std::string& stream, const std::string& channel, int bit,
                           int sampleRate) override;
    void ConfigurePanels(int layoutType, int subType, int count) override;
    void SaveSettings() override;

private:
    CConvertToABF* m_abf;
    QCheckBox* m_saveTags = nullptr;
    int m_storedAssumeSplittedFile = 0;
};
