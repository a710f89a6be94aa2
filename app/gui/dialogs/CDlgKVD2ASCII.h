#pragma once
// The export dialog for tab-separated text: every stream kind, digital streams also as events,
// the sweep header and the digital events' initial values.

#include "app/gui/dialogs/CDlgSelection.h"

class CDlgKVD2ASCII : public CDlgSelection
{
    Q_OBJECT
public:
    CDlgKVD2ASCII(CConvertInterface* converter, CSondrelDoc* doc, CSettingsFile* settings,
                  QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;
    void ShowSweepControls(bool show) override;
    std::string GetFileFilter() const override;
    void ApplyFormatOptions(int) override {}
    void SaveSettings() override;
};
