#pragma once
// The control's only property page, "General". It exchanges no property: it cannot be hosted
// in a property frame here, so it is registered, listed and opened on its own.

#include <QWidget>

class CKeyrowPropPage : public QWidget
{
    Q_OBJECT

public:
    explicit CKeyrowPropPage(QWidget* parent = nullptr);
    // The page's caption (string 200).
    static QString Caption();
};
