// Qt Designer's plugin, loaded as Designer loads it.
#include <QPluginLoader>
#include <QXmlStreamReader>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <gtest/gtest.h>

#include "qt/quorvel_widget.h"

namespace quorvel::qt::testing {
namespace {

TEST(DesignerPlugin, LoadsCreatesTheWidgetAndDescribesItsPlacing) {
    QPluginLoader loader(QUORVEL_DESIGNER_PLUGIN);
    ASSERT_TRUE(loader.load()) << loader.errorString().toStdString();
    auto* plugin = qobject_cast<QDesignerCustomWidgetInterface*>(loader.instance());
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->name(), "quorvel::qt::QuorvelWidget");
    EXPECT_EQ(plugin->group(), "Quorvel");
    EXPECT_EQ(plugin->includeFile(), "qt/quorvel_widget.h");
    EXPECT_FALSE(plugin->toolTip().isEmpty());
    EXPECT_FALSE(plugin->icon().isNull());
    EXPECT_FALSE(plugin->isContainer());

    QWidget form;
    auto* widget = qobject_cast<QuorvelWidget*>(plugin->createWidget(&form));
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), &form);
    // What the property editor does: properties by name.
    EXPECT_TRUE(widget->setProperty("ListHeight", 1500));
    EXPECT_EQ(widget->ListHeight(), 1500);

    // The widget box's entry: the class and the closed control's size.
    QXmlStreamReader xml(plugin->domXml());
    QString widgetClass;
    QMap<QString, int> rect;
    QString element;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            element = xml.name().toString();
            if (element == "widget") widgetClass = xml.attributes().value("class").toString();
        } else if (xml.isCharacters() && !xml.isWhitespace()) {
            rect[element] = xml.text().toInt();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(widgetClass, plugin->name());
    EXPECT_EQ(rect.value("width"), 173);
    EXPECT_EQ(rect.value("height"), 19);
}

}  // namespace
}  // namespace quorvel::qt::testing
