// A QuorvelWidget on a form of its own, shown and active on the offscreen
// platform, with its list on a real SQLite file and every event and
// notification traced in order.
#pragma once

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTableView>
#include <QToolButton>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/quorvel2000.h"
#include "qt/quorvel_widget.h"
#include "qt/site.h"
#include "support/temp_dir.h"

namespace quorvel::qt::testing {

// Lets Qt deliver its events until the condition holds, at least one pass;
// false when the time ran out first.
bool pumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

// People sorted by name: Amato, Bianchi, O'Brien, Romano, Rossi, Verdi.
std::string sortedPeopleSql();

class QtControlTest : public ::testing::Test {
protected:
    QtControlTest();
    ~QtControlTest() override;

    // A SQLite file in the test's folder made by the statements.
    std::string database(const std::string& sql, const std::string& name = "list.db");

    // The list on the sorted people, bound to Code and searching Name; the
    // control at (40, 20) px, 173 x 19 px (600, 300 and 2595 x 285 twips)
    // on a form of 400 x 300 px; the form shown and active, the focus on
    // the line edit outside the control.
    void configure(const std::string& boundField = "Code", const std::string& searchField = "Name");
    void showForm();
    // The focus into the edit box, as a user's click would put it there.
    void focusEditBox();
    // Lets Qt deliver what is posted until the queued keys are delivered.
    void settle();

    QLineEdit* edit() const { return widget->site().lineEdit("Text2"); }
    QToolButton* button() const { return widget->site().toolButton("Command1"); }
    QTableView* view() const { return widget->site().tableView("DBGrid1"); }
    Quorvel2000& control() const { return widget->control(); }
    QtSite& site() const { return widget->site(); }
    int currentViewRow() const;
    int currentRecord() const;

    quorvel::testing::TempDir dir;
    std::unique_ptr<QWidget> form;
    // A line edit beside the control, first in the form's focus chain: the
    // form's activation gives it the focus, not the control.
    QLineEdit* outside = nullptr;
    QuorvelWidget* widget = nullptr;
    std::vector<std::string> messages;
};

}  // namespace quorvel::qt::testing
