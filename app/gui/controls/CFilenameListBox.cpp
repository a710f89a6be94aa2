#include "app/gui/controls/CFilenameListBox.h"

#include <QPainter>
#include <QStyledItemDelegate>

#include "app/gui/ElidePath.h"

namespace {

// Draws an item's full path with the middle replaced by "..." when it is wider than the row.
class PathDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const int margin = 6;  // the style's text margins on both sides
        option->text = ElidePath(option->text, option->fontMetrics, option->rect.width() - margin);
        option->textElideMode = Qt::ElideNone;
    }
};

} // namespace

CFilenameListBox::CFilenameListBox(QWidget* parent)
    : QListWidget(parent)
{
    setItemDelegate(new PathDelegate(this));
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void CFilenameListBox::SetPaths(const QStringList& paths)
{
    clear();
    for (const QString& path : paths)
        AddPath(path);
}

void CFilenameListBox::AddPath(const QString& path)
{
    auto* item = new QListWidgetItem(path, this);
    item->setToolTip(path);
}

QString CFilenameListBox::Path(int row) const
{
    const QListWidgetItem* it = item(row);
    return it ? it->text() : QString();
}

QStringList CFilenameListBox::Paths() const
{
    QStringList paths;
    for (int row = 0; row < count(); ++row)
        paths.append(item(row)->text());
    return paths;
}
