// The export dialog's controls: their places from the template in dialog units, and the room
// their captions get when the dialog font is wider than the template's.

#include "app/gui/dialogs/CDlgSelection.h"

#include <algorithm>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/gui/controls/CAnimateCtrl.h"
#include "app/gui/controls/CFilenameEdit.h"
#include "app/gui/controls/CFilenameListBox.h"
#include "app/gui/controls/CUpDown.h"
#include "app/gui/dialogs/DluMapper.h"

namespace {

// A control that grows keeps this far from its frame's line, and this far from its neighbours.
constexpr int kFrameMarginDlu = 2;
constexpr int kNeighbourGapDlu = 1;
constexpr int kRightAlignedDlu = 6;

// The width the caption a control shows now needs (0: a control without caption).
int NeededWidth(const QWidget* control)
{
    if (const auto* check = qobject_cast<const QCheckBox*>(control))
        return check->text().isEmpty() ? 0 : check->sizeHint().width();
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text().isEmpty() ? 0 : button->fontMetrics().horizontalAdvance(button->text()) + 8;
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->text().isEmpty() ? 0 : label->sizeHint().width();
    return 0;
}

} // namespace

QWidget* CDlgSelection::AddControl(int id, QWidget* widget, int x, int y, int cx, int cy)
{
    widget->setGeometry(m_dlu->Map(x, y, cx, cy));
    if (id != 0) {
        m_controls[id] = widget;
        widget->setObjectName(QStringLiteral("id%1").arg(id));
    }
    return widget;
}

void CDlgSelection::CreateControls()
{
    setFixedSize(m_dlu->X(529), m_dlu->Y(334));
    const auto frame = [this](const char* title, int id, int x, int y, int cx, int cy) {
        QGroupBox* box = new QGroupBox(QString::fromLatin1(title), this);
        // The frame line runs through the middle of the title, as the dialog units expect: a
        // control placed just below a frame's top must stay inside the frame, not cross its line.
        box->setStyleSheet(QStringLiteral(
            "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.5em; }"
            "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
            " left: 6px; padding: 0 2px; }"));
        AddControl(id, box, x, y, cx, cy);
        m_frames.push_back(box);
        return box;
    };
    const auto check = [this](int id, const char* text, int x, int y, int cx, int cy) {
        return static_cast<QCheckBox*>(AddControl(id, new QCheckBox(QString::fromLatin1(text), this), x, y, cx, cy));
    };
    const auto button = [this](int id, const char* text, int x, int y, int cx, int cy) {
        return static_cast<QPushButton*>(AddControl(id, new QPushButton(QString::fromLatin1(text), this), x, y, cx, cy));
    };

    frame("KV Data Streams ", 0, 2, 0, 348, 332);
    frame("Selection", 0, 353, 0, 173, 152);
    frame("Save to file", 0, 353, 155, 173, 155);
    frame("Extract Sweeps", kIdSweepGroup, 6, 58, 328, 28);

    AddControl(kIdInputName, new CFilenameEdit(this), 5, 15, 328, 14);
    AddControl(kIdInputList, new CFilenameListBox(this), 5, 15, 233, 43);
    check(kIdAssumeSplitted, "Assume Splitted Files", 241, 17, 82, 10);
    check(kIdSingleOutfile, "Single Output File", 241, 28, 91, 10);
    check(kIdBaseIsPressedStart, "Base time is \"Pressed Start\"", 241, 39, 103, 10);
    AddControl(kIdStartLabel, new QLabel(QStringLiteral("Start"), this), 13, 71, 16, 8);
    AddControl(kIdStopLabel, new QLabel(QStringLiteral("Stop"), this), 90, 71, 16, 8);
    QLineEdit* start = new QLineEdit(this);
    QLineEdit* stop = new QLineEdit(this);
    AddControl(kIdSweepStart, start, 31, 68, 35, 14);
    AddControl(kIdSweepStop, stop, 108, 68, 35, 14);
    AddControl(kIdStartSpin, new CUpDown(start, this), 67, 68, 10, 14);
    AddControl(kIdStopSpin, new CUpDown(stop, this), 144, 68, 10, 14);
    check(kIdSingleFile, "Single File", 163, 64, 44, 10);
    check(kIdSweepHeader, "Sweep Header", 163, 75, 63, 10);
    AddControl(kIdStreamList, new QListWidget(this), 5, 92, 92, 109);
    check(kIdInitialValues, "Initial Values", 107, 148, 63, 10);
    AddControl(kIdSelectionList, new QListWidget(this), 358, 10, 92, 136);
    button(kIdDelete, "Delete", 479, 113, 43, 14);
    button(kIdDeleteAll, "Delete All", 479, 132, 43, 14);
    AddControl(kIdOutputName, new CFilenameEdit(this), 357, 166, 166, 14);
    // The template's list (48 high) reaches two units into Browse below it; its list box showed
    // whole lines only and so ended above the button. This one ends there too.
    AddControl(kIdOutputList, new CFilenameListBox(this), 357, 166, 166, 44);
    m_animation = new CAnimateCtrl(this);
    AddControl(kIdAnimation, m_animation, 367, 222, 20, 20);
    AddControl(kIdStatus, new QLabel(this), 404, 231, 114, 8);
    button(kIdBrowse, "Browse", 479, 212, 43, 14);
    check(kIdCommentChar, "Comment Char In Header Lines", 358, 251, 112, 10);
    AddControl(kIdCommentText, new QLineEdit(this), 471, 250, 11, 14);
    check(kIdWriteHeader, "Write header", 358, 264, 56, 9);
    check(kIdSigned, "Signed 16bit", 358, 277, 55, 10);
    button(kIdSave, "Save", 479, 291, 43, 14);
    button(kIdCommandLine, "Command Line", 359, 291, 53, 14);
    button(kIdClose, "Close", 479, 314, 43, 14);
    for (QGroupBox* box : m_frames)
        box->lower();

    for (int id : {kIdInputList, kIdOutputList})
        ControlAs<QListWidget>(id)->setSelectionMode(QAbstractItemView::NoSelection);
    ControlAs<QListWidget>(kIdSelectionList)->setSelectionMode(QAbstractItemView::SingleSelection);
    // The converters and the console's option take one comment character.
    ControlAs<QLineEdit>(kIdCommentText)->setMaxLength(1);

    connect(ControlAs<QPushButton>(kIdSave), &QPushButton::clicked, this, &CDlgSelection::ExportSelection);
    connect(ControlAs<QPushButton>(kIdDelete), &QPushButton::clicked, this, &CDlgSelection::OnDelete);
    connect(ControlAs<QPushButton>(kIdDeleteAll), &QPushButton::clicked, this, &CDlgSelection::OnDeleteAll);
    connect(ControlAs<QPushButton>(kIdBrowse), &QPushButton::clicked, this, &CDlgSelection::OnBrowse);
    connect(ControlAs<QPushButton>(kIdCommandLine), &QPushButton::clicked, this,
            &CDlgSelection::WriteCommandLineFile);
    connect(ControlAs<QPushButton>(kIdClose), &QPushButton::clicked, this, &CDlgSelection::reject);
    connect(ControlAs<QListWidget>(kIdStreamList), &QListWidget::itemSelectionChanged, this,
            &CDlgSelection::OnStreamChosen);
    connect(start, &QLineEdit::textEdited, this, [this] { ArmSweepCheck(kIdSweepStart); });
    connect(stop, &QLineEdit::textEdited, this, [this] { ArmSweepCheck(kIdSweepStop); });
    for (int id : {kIdAssumeSplitted, kIdSingleFile, kIdSingleOutfile})
        connect(ControlAs<QCheckBox>(id), &QCheckBox::clicked, this, &CDlgSelection::OnOutputOptionClicked);
    connect(ControlAs<QCheckBox>(kIdCommentChar), &QCheckBox::clicked, this,
            &CDlgSelection::OnCommentCharClicked);
    ControlAs<QPushButton>(kIdSave)->setDefault(true);
}

void CDlgSelection::FitCaptions()
{
    // The template's widths fit its own font; with a wider one every caption gets the room it
    // needs, within its frame and beside its neighbours.
    FitOptionColumn();
    QWidget* comment = Control(kIdCommentChar);
    for (QWidget* control : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (control != comment && !InOptionColumn(control) && NeededWidth(control) > 0)
            FitCaption(control, NeededWidth(control));
    }
    // The comment character stays just behind its box.
    QWidget* text = Control(kIdCommentText);
    const int distance = TemplatePlace(text).left() - TemplatePlace(comment).right();
    FitCaption(comment, NeededWidth(comment), text);
    text->move(comment->geometry().right() + distance, text->y());
    // The status line shows one text, during Save only: its room is taken now.
    QLabel* status = ControlAs<QLabel>(kIdStatus);
    const QString shown = status->text();
    status->setText(QString::fromLatin1(kConvertingText));
    FitCaption(status, NeededWidth(status));
    status->setText(shown);
}

void CDlgSelection::SetBrowseCaption(const QString& text)
{
    QPushButton* browse = ControlAs<QPushButton>(kIdBrowse);
    browse->setText(text);
    // From the template's place each time: back to "Browse" it is as narrow as before.
    FitCaption(browse, NeededWidth(browse));
}

QRect CDlgSelection::TemplatePlace(QWidget* control)
{
    // The first call keeps the place the template gave; every later fit starts from it.
    return m_templatePlaces.try_emplace(control, control->geometry()).first->second;
}

CDlgSelection::Room CDlgSelection::HorizontalRoom(const QWidget* control, const QRect& place,
                                                  const QWidget* attached) const
{
    QRect area = rect();
    for (const QGroupBox* frame : m_frames) {
        if (frame->geometry().contains(place) && frame->width() < area.width())
            area = frame->geometry();
    }
    Room room;
    room.left = area.left() + m_dlu->X(kFrameMarginDlu);
    room.right = area.right() - m_dlu->X(kFrameMarginDlu);
    const int frameRight = room.right;
    const int gap = m_dlu->X(kNeighbourGapDlu);
    for (const auto& [id, other] : m_controls) {
        // The panels size themselves over the area the template leaves them.
        if (other == control || other == attached || id == kIdPanel1 || id == kIdPanel2
            || qobject_cast<const QGroupBox*>(other))
            continue;
        const QRect r = other->geometry();
        if (r.bottom() < place.top() || r.top() > place.bottom())
            continue;
        if (r.right() < place.left())
            room.left = std::max(room.left, r.right() + 1 + gap);
        else if (r.left() > place.right())
            room.right = std::min(room.right, r.left() - 1 - gap);
    }
    room.endsAtFrame = room.right == frameRight;
    if (attached)
        room.right -= attached->width() + gap;
    return room;
}

void CDlgSelection::FitCaption(QWidget* control, int need, const QWidget* attached)
{
    const QRect place = TemplatePlace(control);
    const Room room = HorizontalRoom(control, place, attached);
    const int width = std::max(place.width(), need);
    // Grow to the right. A control that ends just before its frame (the column of buttons on
    // the right), or whose room ends too soon, keeps its right edge and grows to the left, as
    // far as the room goes.
    const bool rightAligned = room.endsAtFrame && room.right - place.right() <= m_dlu->X(kRightAlignedDlu);
    int x = place.left();
    if (rightAligned || x + width - 1 > room.right)
        x = std::max(room.left, std::min(x, place.right() + 1 - width));
    control->setGeometry(x, place.top(), std::min(width, room.right - x + 1), place.height());
}

bool CDlgSelection::InOptionColumn(QWidget* control)
{
    return qobject_cast<QCheckBox*>(control)
           && TemplatePlace(control).left() == TemplatePlace(Control(kIdBaseIsPressedStart)).left();
}

void CDlgSelection::FitOptionColumn()
{
    // The boxes beside the input files (and those a format dialog adds below them) keep one left
    // edge. When the widest does not fit before the frame, the column moves left and the input
    // list beside it narrows by as much.
    std::vector<QWidget*> column;
    int need = 0;
    for (QWidget* control : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (InOptionColumn(control)) {
            column.push_back(control);
            need = std::max({need, NeededWidth(control), TemplatePlace(control).width()});
        }
    }
    const QRect base = TemplatePlace(Control(kIdBaseIsPressedStart));
    const int right = HorizontalRoom(Control(kIdBaseIsPressedStart), base).right;
    const int x = std::min(base.left(), right + 1 - need);
    for (QWidget* box : column) {
        const QRect place = TemplatePlace(box);
        box->setGeometry(x, place.top(), right - x + 1, place.height());
    }
    QWidget* inputs = Control(kIdInputList);
    QRect list = TemplatePlace(inputs);
    list.setRight(list.right() - (base.left() - x));
    inputs->setGeometry(list);
}

