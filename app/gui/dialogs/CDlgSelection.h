#pragma once
// The export dialog that the three format dialogs share: the streams of the opened recording(s),
// the channels on two button panels, the selection, the sweep range, the output name or folder
// and the options; Save runs the export, "Command Line" writes an option file for the console.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>
#include <QRect>
#include <QString>

#include "app/gui/controls/CKeyrowPanel.h"

class CAnimateCtrl;
class CBitSelection;
class CConvertInterface;
class CFilenameEdit;
class CFilenameListBox;
class CKVD;
class CProgressScope;
class CSettingsFile;
class CSondrelDoc;
class CStreamChannelMap;
class CUpDown;
class DluMapper;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

class CDlgSelection : public QDialog
{
    Q_OBJECT
public:
    // Control ids of the dialog.
    enum ControlId : int {
        kIdStreamList = 1001, kIdSelectionList = 1130, kIdInputName = 1137, kIdDelete = 1151,
        kIdSave = 1152, kIdOutputName = 1153, kIdStatus = 1154, kIdBrowse = 1155,
        kIdCommandLine = 1156, kIdAnimation = 1157, kIdSweepGroup = 1158, kIdSweepStart = 1159,
        kIdSweepStop = 1160, kIdStartSpin = 1161, kIdStopSpin = 1162, kIdStartLabel = 1163,
        kIdStopLabel = 1164, kIdSingleFile = 1165, kIdSweepHeader = 1166, kIdInitialValues = 1167,
        kIdPanel1 = 1173, kIdPanel2 = 1174, kIdWriteHeader = 1176, kIdInputList = 1177,
        kIdOutputList = 1178, kIdTrigger = 1179, kIdDeleteAll = 1180, kIdBitSelection = 1181,
        kIdAssumeSplitted = 1182, kIdSingleOutfile = 1183, kIdCommentText = 1184,
        kIdCommentChar = 1185, kIdBaseIsPressedStart = 1186, kIdSigned = 1187, kIdClose = 2,
    };

    // The converter and the document stay the caller's and outlive the dialog; `settings` is
    // the settings file. The dialog becomes the converter's progress receiver.
    CDlgSelection(CConvertInterface* converter, CSondrelDoc* doc, CSettingsFile* settings,
                  QWidget* parent = nullptr);
    ~CDlgSelection() override;

    // Set by the creator before the dialog is shown: the opened files are parts of one split
    // recording, so one output file may take them all.
    void SetSplitPermission(int permission) { m_splitPermission = permission; }

    // Builds the run-time controls and loads the settings, once. False when the dialog cannot
    // work (the button panels are missing); the program is then ended.
    [[nodiscard]] bool Initialize();
    // Initialize, then the modal loop.
    int exec() override;

    // A control by its id (tests and the format dialogs); nullptr when there is none.
    QWidget* Control(int id) const;
    template <class T> T* ControlAs(int id) const { return qobject_cast<T*>(Control(id)); }
    CKeyrowPanel& Panel(int i) { return m_panels[static_cast<size_t>(i)]; }

    // Where the animation is looked up: the program's folder. Tests point it elsewhere
    // (empty = the program's folder).
    static void SetAnimationFolder(const std::string& folder);
    // What ends the program when the button panels are missing or too old: exit status 1.
    // Tests replace it; when it returns, Initialize returns false.
    static void SetExitHook(std::function<void(int status)> hook);

    // The Save button and the progress receiver of the converter: nonzero asks to stop.
    void ExportSelection();
    int OnProgress(int percent, const std::string& message);
    // The "Command Line" button.
    void WriteCommandLineFile();

protected:
    // Overridden by the format dialogs.
    virtual bool OnInitDialog();
    virtual void ShowSweepControls(bool show);
    virtual int AdjustOutputNameForSweeps(const std::string& name, std::string& shown);
    virtual std::string GetFileFilter() const = 0;
    virtual void ApplyFormatOptions(int id) = 0;
    virtual bool RemoveSelectedChannel(const std::string& stream, const std::string& channel, int bit);
    virtual void RemoveSelectionEntry(int index);
    virtual void ClearSelection();
    virtual void GetStreamChannelIds(const std::string& stream, std::vector<uint16_t>& ids) const;
    virtual int ListStreams(std::vector<std::string>& names) const;
    virtual void ListStreamKinds(std::vector<std::string>& kinds) const;
    virtual void RefreshSelectionList();
    virtual bool AddSelectionEntry(int index, const std::string& stream, const std::string& channel,
                                   int bit, int sampleRate);
    virtual int GetSelectionCount() const;
    virtual bool CollectSelectedStreamNames(std::vector<std::string>& names) const;
    virtual void ConfigurePanels(int layoutType, int subType, int count);
    virtual void SyncPanelSelection();
    virtual void SaveSettings();

    void reject() override;

    // Data exchange: the fields into the controls, and back. ReadControls is false (after a
    // message) when `sweeps` asks for the sweep range too and it is not 1 <= first <= last <=
    // the sweep count.
    void LoadControls();
    bool ReadControls(bool sweeps = true);
    void UpdateOutputControls();
    bool IsMultiFile() const;
    // Split files may go into one output: permitted by the creator, and several files open.
    // Otherwise "AssumeSplittedFile" is neither shown, read nor written.
    bool SplitFilesPermitted() const;
    bool HasOneOutput() const;
    std::string GetOutputFolder() const;
    std::string BuildOutputName() const;
    const CStreamChannelMap& Map() const;
    QWidget* AddControl(int id, QWidget* widget, int x, int y, int cx, int cy);

    CConvertInterface* m_converter;
    CSondrelDoc* m_doc;
    CSettingsFile* m_settings;
    std::vector<std::string> m_formatStreamKinds;
    std::string m_currentStream;
    int m_assumeSplittedFile = 0;
    int m_singleOutfile = 0;
    int m_baseIsPressedStart = 0;
    int m_splitPermission = 0;
    bool m_skipOverwriteCheck = false;
    std::string m_confirmedOutputName;   // the name the user confirmed after Browse
    bool m_initialized = false;
    // The status line's text while a Save runs.
    static constexpr char kConvertingText[] = "... Converting Data, take a break ...";

private:
    static void EndProgram(int status);
    // Captions: each control gets the room its caption needs (CDlgSelection.Layout.cpp).
    void FitCaptions();
    void SetBrowseCaption(const QString& text);
    QRect TemplatePlace(QWidget* control);
    // The pixels a control at `place` may span, edges included: inside its frame, clear of its
    // neighbours; `attached` is no neighbour but moves with the control, on its right.
    struct Room
    {
        int left = 0;
        int right = 0;
        bool endsAtFrame = false;   // no neighbour ends it on the right
    };
    Room HorizontalRoom(const QWidget* control, const QRect& place,
                        const QWidget* attached = nullptr) const;
    void FitCaption(QWidget* control, int need, const QWidget* attached = nullptr);
    bool InOptionColumn(QWidget* control);
    void FitOptionColumn();
    void CreateControls();
    void CreateRunTimeControls();
    bool CreatePanels();
    void FillStreamList();
    void OpenAnimation();
    void SetSweepRange(unsigned count);
    void FillFileLists();
    void OnBrowse();
    void OnDelete();
    void OnDeleteAll();
    void OnStreamChosen();
    void ArmSweepCheck(int field);
    void CheckSweepField();
    void OnOutputOptionClicked();
    void OnCommentCharClicked();
    bool ShowExportQuestion(bool perFile);
    int ConvertFiles(bool perFile, int& removedTotal);
    void ShowResult(int result, int removedTotal);

    // Panels (the binding of the two controls).
    void SetUpPanelsForStream();
    void UpdatePanelAvailability();
    void OnPanelEvent(DISPID id, DispParams& params);
    void OnButtonClicked(bool selected, uint16_t hwid);
    void OnAllClicked(bool selected, const std::vector<uint16_t>& hwids);
    void OnTriggerClicked();
    void OnBitCommand();
    bool AddForCurrentStream(const std::string& channel, int bit);
    void RefuseAddition();
    int CurrentSampleRate() const;
    std::string NameOfHwid(uint16_t hwid) const;
    void ShowPanel(int i, bool show);

    std::unique_ptr<DluMapper> m_dlu;
    std::map<int, QWidget*> m_controls;
    std::array<CKeyrowPanel, 2> m_panels;
    QPushButton* m_trigger = nullptr;
    CBitSelection* m_bits = nullptr;
    CAnimateCtrl* m_animation = nullptr;
    QTimer* m_sweepTimer = nullptr;
    int m_sweepTimerField = 0;
    std::unique_ptr<CProgressScope> m_progress;
    bool m_exporting = false;   // a Save is running: the dialog does not close
    std::vector<QGroupBox*> m_frames;
    std::map<QWidget*, QRect> m_templatePlaces;
};
