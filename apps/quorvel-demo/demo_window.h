// The demo's window: a form of two controls on the sample database, and a
// panel that logs everything the controls tell their host as it happens.
#pragma once

#include <QStringList>
#include <QWidget>

#include <string>
#include <string_view>
#include <vector>

#include "demo_form.h"
#include "headless/json_property_bag.h"
#include "platform/locale.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;

namespace quorvel::qt {
class QuorvelWidget;
}

namespace quorvel::demo {

class DemoWindow : public QWidget {
    Q_OBJECT

public:
    // The controls take their property sets from the form document; a
    // control that has no entry there gets its first settings (and the
    // form is then worth saving: firstSettingsUsed()).
    // With `logMessages`, message boxes go to the log and the standard
    // error instead of a modal dialog: a scripted session never waits for
    // a click.
    DemoWindow(DataFolder data, headless::FormDocument form, const Locale& locale, bool logMessages,
               QWidget* parent = nullptr);
    ~DemoWindow() override;

    qt::QuorvelWidget& customer() { return *customer_; }
    qt::QuorvelWidget& city() { return *city_; }
    QWidget& formArea() { return *formArea_; }

    bool firstSettingsUsed() const { return firstSettings_; }

    // A comment line ("# text") in the log, as the headless example writes.
    void mark(const QString& text);
    // Every line logged so far, in order.
    const QStringList& logLines() const { return lines_; }
    // How many lines so far are exactly this one (an event, say).
    int count(const QString& line) const { return static_cast<int>(lines_.count(line)); }

    // Writes both controls' property sets and the window's to the form
    // file. On failure returns false with the reason in *error; the old file
    // stays whole.
    bool saveForm(QString* error);
    // The controls' settings of these names are this session's only (given
    // on the command line): saving keeps the form file's own values.
    void keepOutOfForm(std::vector<std::string> names) { sessionOnly_ = std::move(names); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    qt::QuorvelWidget* addControl(std::string_view name, const QString& label, int top, const Locale& locale);
    void append(std::string_view source, const QString& line);
    void showValues();

    DataFolder data_;
    headless::FormDocument form_;
    bool firstSettings_ = false;
    bool messagesLogged_ = false;
    QWidget* formArea_ = nullptr;
    QLabel* values_ = nullptr;
    QCheckBox* comboKeys_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    qt::QuorvelWidget* customer_ = nullptr;
    qt::QuorvelWidget* city_ = nullptr;
    QStringList lines_;
    std::string lastSource_;
    std::vector<std::string> sessionOnly_;
};

}  // namespace quorvel::demo
