// Shows the demo-like form with the list open on the offscreen platform at
// whatever QT_SCALE_FACTOR the caller set, saves a screenshot into the
// folder given, and prints what a comparison across scales needs: every
// piece's geometry in twips, the screenshot's size in device pixels, and
// where the edit box's text ink lies inside the box.
//
//   quorvel-qt-shot FOLDER
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QTableView>
#include <QHeaderView>
#include <QToolButton>

#include <cstdio>
#include <string>

#include "qt/convert.h"
#include "qt/quorvel_widget.h"
#include "qt/site.h"
#include "support/sqlite_files.h"

using quorvel::qt::QuorvelWidget;

namespace {

void printGeometry(const char* name, const QWidget* w, const QWidget* relativeTo) {
    const QRect r(w->mapTo(relativeTo, QPoint(0, 0)), w->size());
    const double tx = quorvel::qt::twipsPerPixelX(w), ty = quorvel::qt::twipsPerPixelY(w);
    std::printf("%s %ld %ld %ld %ld\n", name, std::lround(r.x() * tx), std::lround(r.y() * ty),
                std::lround(r.width() * tx), std::lround(r.height() * ty));
}

// The rows of the image, inside rect, holding a pixel much darker than the
// background: the text's ink.
void printInk(const char* name, const QImage& image, const QRect& rect) {
    int top = -1, bottom = -1, left = rect.right() + 1, right = -1;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (qGray(image.pixel(x, y)) < 96) {
                if (top < 0) top = y;
                bottom = y;
                left = std::min(left, x);
                right = std::max(right, x);
            }
    std::printf("ink %s %d %d %d %d in %d %d %d %d\n", name, left, top, right, bottom, rect.left(),
                rect.top(), rect.right(), rect.bottom());
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvel-qt-shot FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::string db = folder + "/shot.db";
    quorvel::testing::makeDatabase(
        db,
        "CREATE TABLE People (Code TEXT(10), Name TEXT(50));"
        "INSERT INTO People VALUES ('A01', 'Amato'), ('B07', 'Bianchi'), ('R05', 'Romano'),"
        " ('Q01', 'Quagliarella'), ('Y02', 'Yeats');");
    QWidget form;
    form.resize(400, 300);
    auto* widget = new QuorvelWidget(&form);
    widget->setMessageBoxHandler([](const QString& p) { std::fprintf(stderr, "%s\n", qPrintable(p)); });
    widget->setDropDownAuto(false);
    widget->setBoundField("Code");
    widget->setListSearchField("Name");
    widget->setColsField("Name;Code");
    widget->setListDataBaseName(QString::fromStdString(db));
    widget->setListRecordSource("People");
    widget->setGeometry(40, 20, 173, 19);
    form.show();
    QApplication::processEvents();
    widget->setBoundText("Q01");
    widget->ListaApri();
    QApplication::processEvents();

    auto& site = widget->site();
    printGeometry("control", widget, &form);
    printGeometry("edit", site.lineEdit("Text2"), widget);
    printGeometry("button", site.toolButton("Command1"), widget);
    printGeometry("grid", site.tableView("DBGrid1"), widget);
    const QTableView* view = site.tableView("DBGrid1");
    std::printf("row %ld\n", std::lround(view->rowHeight(0) * quorvel::qt::twipsPerPixelY(view)));

    const QPixmap shot = form.grab();
    const QImage image = shot.toImage().convertToFormat(QImage::Format_RGB32);
    const double ratio = shot.devicePixelRatio();
    std::printf("image %d %d ratio %g\n", image.width(), image.height(), ratio);
    image.save(QString::fromStdString(folder + "/form.png"));

    // The edit box's inner rectangle and the grid's first cell, in device pixels.
    const QLineEdit* edit = site.lineEdit("Text2");
    const QRect editRect(edit->mapTo(&form, edit->rect().topLeft()) * ratio, edit->size() * ratio);
    printInk("edit", image, editRect.adjusted(2, 2, -2, -2));
    const QRect cell = view->visualRect(view->model()->index(0, 0));
    const QPoint cellTop = view->viewport()->mapTo(&form, cell.topLeft());
    printInk("cell", image, QRect(cellTop * ratio, cell.size() * ratio).adjusted(1, 1, -1, -1));
    return 0;
}
