// First paint of the dropped list on the Qt host, at a million rows, against
// the same list of a thousand rows in the same run.
//
// Each iteration drops the list of a control on a shown form and paints it
// (the grid's rows read from the recordset as the view draws them), then
// folds it again outside the timing. A second pair reopens the recordset
// first, so that the view's model is rebuilt and the row cache is cold: the
// list as a user drops it right after the data source was (re)configured.
// The counter `ratio` is the large list's time over the small one's; a
// grid that read every row would make it grow with the row count.
//
// A key release in the edit box with the list dropped is timed too: the
// find, the move of the list and the repaint of the form and the list, each
// key on its own (p50, p99), the large list against the small one in the
// same run. QUORVEL_BENCH_ROWS (default 1000000) sets the large list's size.
//
// Runs on whatever platform Qt picks; without a display, the offscreen one.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#include "control/quorvel2000.h"
#include "engine/recordset.h"
#include "qt/quorvel_widget.h"
#include "qt/site.h"

namespace {

using quorvel::qt::QuorvelWidget;

std::filesystem::path benchFolder() {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("quorvel-qt-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

std::string makeList(int rows) {
    std::string file = (benchFolder() / ("items-" + std::to_string(rows) + ".db")).string();
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot create " + file);
    std::string sql =
        "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
        "CREATE TABLE Items (Code TEXT, Name TEXT, City TEXT, Balance REAL);"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        std::to_string(rows) +
        ") INSERT INTO Items SELECT printf('C%07d', i), printf('Customer %07d', i), "
        "printf('City %03d', i % 997), (i % 10007) / 7.0 FROM n;";
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "?";
        sqlite3_free(error);
        sqlite3_close(db);
        throw std::runtime_error(message);
    }
    sqlite3_close(db);
    return file;
}

// A form with one control on a list of `rows` records, shown.
struct Form {
    explicit Form(int rows) {
        window.resize(640, 480);
        widget = new QuorvelWidget(&window);
        widget->setMessageBoxHandler(
            [](const QString& p) { throw std::runtime_error("message box: " + p.toStdString()); });
        widget->setDropDownAuto(false);
        widget->setBoundField("Code");
        widget->setListSearchField("Name");
        widget->setColsField("Code;Name;City;Balance");
        widget->setColsSize("900;1800;1200;900");
        widget->setColsFormat(";;;#,##0.00");
        widget->setListDataBaseName(QString::fromStdString(makeList(rows)));
        widget->setListRecordSource("Items");
        widget->setGeometry(40, 20, 173, 19);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window)) throw std::runtime_error("form not shown");
        settle();
    }
    static void settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }
    // Drops the list and paints it at once.
    void dropAndPaint() {
        widget->ListaApri();
        // The column layout reaches the view at the next turn of the loop.
        QCoreApplication::processEvents();
        widget->repaint();
    }
    QWidget window;
    QuorvelWidget* widget;
};

// The forms of the run; they close before the application ends.
std::map<int, std::unique_ptr<Form>>& forms() {
    static std::map<int, std::unique_ptr<Form>> all;
    return all;
}

Form& formOf(int rows) {
    auto& f = forms()[rows];
    if (!f) f = std::make_unique<Form>(rows);
    return *f;
}

std::map<std::string, double>& medians() {
    static std::map<std::string, double> m;
    return m;
}

void run(benchmark::State& state, bool reopen) {
    const int rows = static_cast<int>(state.range(0));
    Form& form = formOf(rows);
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        form.widget->ListaChiudi();
        if (reopen) form.widget->control().data1().refresh();
        Form::settle();
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        form.dropAndPaint();
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    const double perIteration = total / static_cast<double>(state.iterations());
    state.counters["ms"] = perIteration;
    const std::string key = std::string(reopen ? "reopen" : "drop");
    if (rows <= 1000) {
        medians()[key] = perIteration;
    } else if (medians().count(key) && medians()[key] > 0) {
        state.counters["ratio"] = perIteration / medians()[key];
    }
    form.widget->ListaChiudi();
}

void BM_DropAndPaint(benchmark::State& state) { run(state, false); }
void BM_ReopenDropAndPaint(benchmark::State& state) { run(state, true); }

int largeRows() {
    const char* env = std::getenv("QUORVEL_BENCH_ROWS");
    return env != nullptr ? std::atoi(env) : 1000000;
}

// Types "Customer " and then digits, a key at a time, into the edit box of
// the dropped list: each key release finds the name typed so far and moves
// the list there, then the form and the list are painted.
void BM_KeyReleaseAndRepaint(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    Form& form = formOf(rows);
    QLineEdit* edit = form.widget->site().lineEdit("Text2");
    QTableView* view = form.widget->site().tableView("DBGrid1");
    form.window.activateWindow();
    edit->setFocus();
    form.dropAndPaint();
    Form::settle();
    // Typing starts once the engine's indexes are in: the keys of a list
    // just configured are the engine bench's first finds.
    auto recordset = form.widget->control().data1().recordset();
    if (auto* engine = dynamic_cast<quorvel::engine::EngineRecordset*>(recordset.get()))
        engine->waitForIndexes();
    edit->selectAll();
    QTest::keyClicks(edit, "Customer 0");
    if (auto* engine = dynamic_cast<quorvel::engine::EngineRecordset*>(recordset.get()))
        engine->waitForIndexes();
    const char digits[] = "0123456";  // names run "Customer 0000001" on
    std::vector<double> micros;
    std::size_t typed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (typed % 7 == 0) {
            edit->selectAll();
            QTest::keyClicks(edit, "Customer ");
            Form::settle();
        }
        const char key = digits[typed++ % 7];
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        QTest::keyClick(edit, key);
        form.window.repaint();
        if (view->window() != &form.window) view->window()->repaint();
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(micros.begin(), micros.end());
    auto at = [&](double q) {
        return micros[std::min(micros.size() - 1,
                               static_cast<std::size_t>(q * static_cast<double>(micros.size())))];
    };
    state.counters["p50_us"] = at(0.50);
    state.counters["p99_us"] = at(0.99);
    const std::string key = "key";
    if (rows <= 1000) {
        medians()[key] = at(0.99);
    } else if (medians().count(key) && medians()[key] > 0) {
        state.counters["p99_ratio"] = at(0.99) / medians()[key];
    }
    form.widget->ListaChiudi();
}

// The small list first: it is the baseline of the ratio.
BENCHMARK(BM_DropAndPaint)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReopenDropAndPaint)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyReleaseAndRepaint)
    ->Arg(1000)
    ->Arg(largeRows())
    ->Iterations(2100)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    forms().clear();
    std::error_code ignored;
    std::filesystem::remove_all(benchFolder(), ignored);
    return 0;
}
