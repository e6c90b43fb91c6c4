// quorvel-demo: two controls on a form, on a sample database of 100,000
// customers that the demo makes on its first run, with a log of everything
// the controls tell their host.
//
// With a display it opens the window. Without one (or with --offscreen) it
// runs on Qt's offscreen platform, plays a short scripted session, and
// writes a screenshot with the list dropped and the session's log.
#include <QApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>

#include "demo_form.h"
#include "demo_window.h"
#include "platform/failure.h"
#include "platform/locale.h"
#include "qt/quorvel_widget.h"
#include "engine/odbc_handle.h"
#include "sample_database.h"
#include "server_database.h"
#include "scripted_session.h"

namespace {

using namespace quorvel::demo;
namespace fs = std::filesystem;

const char* kUsage =
    "usage: quorvel-demo [--data DIR] [--offscreen] [--screenshot FILE] [--log FILE]\n"
    "                    [--locale en-US|it-IT|system] [--connect \"ODBC;...\"] [--help]\n"
    "\n"
    "Shows a form with two controls on a sample database of 100,000 customers,\n"
    "and a log of the controls' events. The database and the form file live in\n"
    "the data folder (default: $XDG_DATA_HOME/quorvel-demo, else\n"
    "~/.local/share/quorvel-demo); the first run makes both there.\n"
    "\n"
    "Without a display (no DISPLAY or WAYLAND_DISPLAY), or with --offscreen, it\n"
    "plays a short scripted session on Qt's offscreen platform, writes a\n"
    "screenshot with the list dropped and the session's event log, prints their\n"
    "paths and exits.\n"
    "\n"
    "  --data DIR         the data folder\n"
    "  --offscreen        no window, even with a display\n"
    "  --screenshot FILE  where the screenshot goes (default: DIR/demo-screenshot.png)\n"
    "  --log FILE         where the event log goes (default: DIR/demo-events.log)\n"
    "  --locale NAME      the controls' number and date conventions (default en-US)\n"
    "  --connect TEXT     the lists on a database server: the controls' Connect,\n"
    "                     \"ODBC;\" and a connection string naming the database;\n"
    "                     the first use loads the sample customers into it\n";

struct Options {
    std::optional<fs::path> data;
    bool offscreen = false;
    std::optional<fs::path> screenshot;
    std::optional<fs::path> log;
    std::string locale = "en-US";
    std::optional<std::string> connect;
};

// 0 to go on, otherwise the exit code.
int parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) return std::nullopt;
            return std::string(argv[++i]);
        };
        std::optional<std::string> v;
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return -1;
        } else if (arg == "--offscreen") {
            options.offscreen = true;
        } else if (arg == "--data" && (v = value())) {
            options.data = fs::path(*v);
        } else if (arg == "--screenshot" && (v = value())) {
            options.screenshot = fs::path(*v);
        } else if (arg == "--log" && (v = value())) {
            options.log = fs::path(*v);
        } else if (arg == "--connect" && (v = value())) {
            options.connect = *v;
        } else if (arg == "--locale" && (v = value()) && (*v == "en-US" || *v == "it-IT" || *v == "system")) {
            options.locale = *v;
        } else {
            std::cerr << "quorvel-demo: unknown or incomplete option " << arg << "\n" << kUsage;
            return 2;
        }
    }
    return 0;
}

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* v = std::getenv(name);
        if (v && *v) return true;
    }
    return false;
}

bool writeLog(const fs::path& file, const QStringList& lines) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const QString& line : lines) out << line.toStdString() << '\n';
    out.close();
    return static_cast<bool>(out);
}

fs::path fullPath(const fs::path& p) {
    std::error_code ec;
    fs::path a = fs::absolute(p, ec);
    return ec ? p : a.lexically_normal();
}

// Without a window system the offscreen platform says what it cannot do
// (raise a window, find a runtime folder); that is no news to the user of a
// script.
QtMessageHandler defaultMessageHandler = nullptr;
void quietOffscreenMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && (text.startsWith(QLatin1String("This plugin does not support")) ||
                                 text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))))
        return;
    if (defaultMessageHandler) defaultMessageHandler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (int rc = parse(argc, argv, options); rc != 0) return rc < 0 ? 0 : rc;

    // The platform is chosen before the application exists; one that the
    // environment names already (QT_QPA_PLATFORM) is left alone.
    if (options.offscreen || (!hasDisplay() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform == "offscreen" || platform == "minimal")
        defaultMessageHandler = qInstallMessageHandler(quietOffscreenMessages);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvel-demo"));
    const bool scripted = QGuiApplication::platformName() == QLatin1String("offscreen") ||
                          QGuiApplication::platformName() == QLatin1String("minimal");

    DataFolder data(fullPath(options.data.value_or(defaultDataFolder())));
    std::cout << "data folder: " << data.folder.string() << "\n";
    std::error_code ec;
    fs::create_directories(data.folder, ec);
    if (ec) {
        std::cerr << "quorvel-demo: cannot make the data folder " << data.folder.string() << ": "
                  << ec.message() << "\n";
        return 1;
    }

    // The form file: read when there, else the first settings, saved at once.
    quorvel::headless::FormDocument form;
    bool formFound = fs::exists(data.form, ec);
    if (formFound) {
        try {
            form = quorvel::headless::FormDocument::readFile(data.form);
        } catch (const quorvel::Failure& f) {
            std::cerr << "quorvel-demo: cannot read the form file: " << f.number() << " " << f.description()
                      << "\n(it is left as it is; move it away to start afresh)\n";
            return 1;
        }
    }

    // The database: made once, then reused. A file of that name that is not
    // a sample database is someone's; it is left alone.
    if (fs::exists(data.database, ec)) {
        if (!isSampleDatabase(data.database)) {
            std::cerr << "quorvel-demo: " << data.database.string()
                      << " is not a sample database of this demo; move it away to have a new one made\n";
            return 1;
        }
        std::cout << "database: " << data.database.string() << " (reused)\n";
    } else {
        try {
            createSampleDatabase(data.database);
        } catch (const std::exception& e) {
            std::cerr << "quorvel-demo: " << e.what() << "\n";
            return 1;
        }
        std::cout << "database: " << data.database.string() << " (made, " << kSampleCustomers
                  << " customers)\n";
    }

    // On a database server: the sample is loaded there on the first use.
    if (options.connect) {
        try {
            ServerSample sample = loadSampleOnServer(*options.connect);
            std::cout << "server: "
                      << quorvel::engine::describeConnection(
                             quorvel::engine::odbcConnectionString(*options.connect))
                      << (sample.made ? " (made, " : " (reused, ") << sample.customers << " customers)\n";
        } catch (const std::exception& e) {
            std::cerr << "quorvel-demo: " << e.what() << "\n";
            return 1;
        }
    }

    const quorvel::Locale locale = options.locale == "it-IT"    ? quorvel::Locale::italian()
                                   : options.locale == "system" ? quorvel::Locale::fromEnvironment()
                                                                : quorvel::Locale::english();
    DemoWindow window(data, std::move(form), locale, scripted);
    if (window.firstSettingsUsed()) {
        QString error;
        if (!window.saveForm(&error)) {
            std::cerr << "quorvel-demo: " << error.toStdString() << "\n";
            return 1;
        }
    }
    if (options.connect) {
        // The file name and the file's record sources go first: with the
        // server's Connect the name would name the database. These are the
        // session's: the form file keeps its own (and no password).
        window.keepOutOfForm({"Connect", "ListDataBaseName", "ListRecordSource"});
        window.customer().control().setListDataBaseName("");
        window.customer().control().setListRecordSource(kServerCustomerSource);
        window.city().control().setListDataBaseName("");
        window.city().control().setListRecordSource(kServerCitySource);
        for (auto* widget : {&window.customer(), &window.city()})
            widget->control().setConnect(*options.connect);
    }
    std::cout << "form file: " << data.form.string()
              << (formFound ? (window.firstSettingsUsed() ? " (completed)" : " (loaded)")
                            : " (written with the first settings)")
              << "\n";

    if (!scripted) {
        window.show();
        return app.exec();
    }

    const fs::path screenshot = fullPath(options.screenshot.value_or(data.folder / "demo-screenshot.png"));
    const fs::path log = fullPath(options.log.value_or(data.folder / "demo-events.log"));
    QString problem;
    const bool played = playScriptedSession(window, QString::fromStdString(screenshot.string()), &problem);
    if (played) std::cout << "screenshot: " << screenshot.string() << "\n";
    if (!writeLog(log, window.logLines())) {
        std::cerr << "quorvel-demo: cannot write the event log " << log.string() << "\n";
        return 1;
    }
    std::cout << "event log: " << log.string() << " (" << window.logLines().size() << " lines)\n";
    // What the session chose is kept, as closing the window keeps it.
    QString error;
    if (!window.saveForm(&error)) {
        std::cerr << "quorvel-demo: " << error.toStdString() << "\n";
        return 1;
    }
    if (!played) {
        std::cerr << "quorvel-demo: the scripted session failed: " << problem.toStdString() << "\n";
        return 1;
    }
    return 0;
}
