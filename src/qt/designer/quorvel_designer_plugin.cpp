#include "quorvel_designer_plugin.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include "qt/quorvel_widget.h"

namespace quorvel::qt {

QuorvelDesignerPlugin::QuorvelDesignerPlugin(QObject* parent) : QObject(parent) {}

QString QuorvelDesignerPlugin::name() const { return QStringLiteral("quorvel::qt::QuorvelWidget"); }
QString QuorvelDesignerPlugin::group() const { return QStringLiteral("Quorvel"); }

QString QuorvelDesignerPlugin::toolTip() const { return tr("Multi-column, data-bound combo box"); }

QString QuorvelDesignerPlugin::whatsThis() const {
    return tr(
        "An edit box with a drop-down list of records from a database: typing finds the "
        "record, choosing one makes its bound field the value (BoundText).");
}

QString QuorvelDesignerPlugin::includeFile() const { return QStringLiteral("qt/quorvel_widget.h"); }

QIcon QuorvelDesignerPlugin::icon() const {
    // An edit box with its button over a list of rows, drawn at the widget
    // box's size.
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(Qt::white);
    p.drawRect(1, 2, 19, 6);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(15, 2, 5, 6);
    p.setBrush(Qt::white);
    p.drawRect(1, 10, 19, 10);
    p.setPen(QColor(40, 110, 200));
    for (int y : {13, 16, 19}) p.drawLine(3, y - 1, 17, y - 1);
    p.end();
    return QIcon(pixmap);
}

bool QuorvelDesignerPlugin::isContainer() const { return false; }

QWidget* QuorvelDesignerPlugin::createWidget(QWidget* parent) {
    auto* widget = new QuorvelWidget(parent);
    // At design time nothing waits for a user to close a message box.
    widget->setMessageBoxHandler([](const QString&) {});
    return widget;
}

bool QuorvelDesignerPlugin::isInitialized() const { return initialized_; }
void QuorvelDesignerPlugin::initialize(QDesignerFormEditorInterface*) { initialized_ = true; }

QString QuorvelDesignerPlugin::domXml() const {
    // The closed control's size: 173 x 19 pixels, 2595 x 285 twips.
    return QStringLiteral(
        "<ui language=\"c++\" displayname=\"Quorvel combo box\">\n"
        " <widget class=\"quorvel::qt::QuorvelWidget\" name=\"quorvelWidget\">\n"
        "  <property name=\"geometry\">\n"
        "   <rect><x>0</x><y>0</y><width>173</width><height>19</height></rect>\n"
        "  </property>\n"
        "  <property name=\"toolTip\">\n"
        "   <string>Type to find a record; F4 or the button shows the list</string>\n"
        "  </property>\n"
        " </widget>\n"
        "</ui>\n");
}

}  // namespace quorvel::qt
