// Draws the button panel in each layout kind (plain, one array, double array, free) offscreen
// and writes one PNG per kind into the folder given as the argument, for the README.
//   keyrow-screenshots docs/screenshots

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QPixmap>

#include "datafile/layout/CKVLayout.h"
#include "keyrow/CKeyrowWidget.h"
#include "keyrow/core/CKeyrowLogic.h"

namespace {

struct Panel
{
    explicit Panel(QWidget* parent) : widget(new CKeyrowWidget(parent)), logic(*widget) {}
    CKeyrowWidget* widget;
    CKeyrowLogic logic;

    void Fit(int x, int y)
    {
        const KeyrowSize size = logic.GetBoundingSize();
        widget->setGeometry(x, y, size.cx, size.cy);
    }
};

std::vector<uint16_t> Range(int first, int count)
{
    std::vector<uint16_t> ids;
    for (int i = 0; i < count; ++i)
        ids.push_back(static_cast<uint16_t>(first + i));
    return ids;
}

bool Save(QWidget& page, const QString& folder, const char* name)
{
    page.show();
    QApplication::processEvents();
    // The first button would show the focus rectangle of a freshly activated window.
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();
    const QString path = QDir(folder).filePath(name);
    if (!page.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
        return false;
    }
    std::printf("%s\n", path.toLocal8Bit().constData());
    return true;
}

QWidget* NewPage(int width, int height)
{
    auto* page = new QWidget;
    page->setAutoFillBackground(true);
    page->setFixedSize(width, height);
    return page;
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    setlocale(LC_NUMERIC, "C");
    if (argc != 2) {
        std::fprintf(stderr, "usage: keyrow-screenshots FOLDER\n");
        return 1;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QApplication::setFont(QFont("Liberation Sans", 9));
    bool ok = true;

    {   // Kind 0: plain channels, toggle buttons under an "all" button.
        std::unique_ptr<QWidget> page(NewPage(196, 90));
        Panel p(page.get());
        std::vector<std::string> names;
        for (int i = 0; i < 16; ++i)
            names.push_back("A" + std::to_string(i + 1));
        p.logic.SetSelectionMode(0);
        p.logic.SetTitleType(1);
        p.logic.SetTitle(" All ", 0);
        p.logic.CreateButtons(names, 0, 0, 0, 16);
        p.logic.SelectChannels({2, 5, 6, 11}, 0);
        p.Fit(10, 10);
        ok = Save(*page, folder, "layout0-plain.png") && ok;
    }
    {   // Kind 1: one 60-electrode array in its 8 x 8 grid; the corners are not electrodes.
        CKVLayout layout;
        layout.BuildDefault(1, 64, 60, 3, 1);
        std::vector<std::string> names;
        layout.GetRecordNames(names);
        std::unique_ptr<QWidget> page(NewPage(196, 186));
        Panel p(page.get());
        p.logic.SetSelectionMode(0);
        p.logic.SetTitleType(1);
        p.logic.SetTitle(" All ", 0);
        p.logic.CreateButtons(names, 1, 0, 0, 64);
        p.logic.ShowChannels(Range(0, 60));
        p.logic.SelectChannels({12, 13, 14, 33, 47}, 0);
        p.Fit(10, 10);
        ok = Save(*page, folder, "layout1-mea.png") && ok;
    }
    {   // Kind 2: a double array, one panel per array.
        CKVLayout layout;
        layout.BuildDefault(2, 128, 120, 6, 2);
        std::vector<std::string> names;
        layout.GetRecordNames(names);
        std::unique_ptr<QWidget> page(NewPage(392, 186));
        Panel a(page.get());
        Panel b(page.get());
        for (Panel* p : {&a, &b}) {
            p->logic.SetSelectionMode(0);
            p->logic.SetTitleType(1);
        }
        a.logic.SetTitle("MEA A", 0);
        b.logic.SetTitle("MEA B", 0);
        a.logic.CreateButtons(names, 2, 0, 0, 64);
        b.logic.CreateButtons(names, 2, 0, 64, 64);
        a.logic.ShowChannels(Range(0, 60));
        b.logic.ShowChannels(Range(64, 60));
        a.logic.SelectChannels({3, 4, 5}, 0);
        b.logic.SelectChannels({70, 100}, 0);
        a.Fit(10, 10);
        b.Fit(206, 10);
        ok = Save(*page, folder, "layout2-double-mea.png") && ok;
    }
    {   // Kind 3: a free layout from descriptor strings, painted in quad states.
        CKVLayout layout;
        layout.BuildDefault(1, 64, 60, 3, 1);
        std::vector<std::string> descriptors;
        layout.GetRecordDescriptors(descriptors, 0);
        std::unique_ptr<QWidget> page(NewPage(196, 180));
        Panel p(page.get());
        p.logic.SetSelectionMode(3);
        p.logic.SetTitleType(0);
        p.logic.SetTitle("Free layout", 1);
        p.logic.CreateButtons(descriptors, 3, 0, 0, 64);
        p.logic.ShowChannels(Range(0, 60));
        p.logic.ApplyQuadStates({0, 1, 2, 3, 10, 11, 20, 30, 31, 40},
                                {1, 1, 1, 1, 2, 2, 4, 4, 3, 1});
        p.Fit(10, 10);
        ok = Save(*page, folder, "layout3-free.png") && ok;
    }
    return ok ? 0 : 1;
}
