#pragma once
// The export dialog for binary ".raw" files: raw streams, the text head and signed samples.

#include "app/gui/dialogs/CDlgSelection.h"

class CDlgKVD2BIN : public CDlgSelection
{
    Q_OBJECT
public:
    CDlgKVD2BIN(CConvertInterface* converter, CSondrelDoc* doc, CSettingsFile* settings,
                QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;
    std::string GetFileFilter() const override;
    void ApplyFormatOptions(int) override {}
    void SaveSettings() override;
};
