// The demo program end to end on Qt's offscreen platform: the first run
// makes its data folder, plays its session and writes a picture and a log;
// the next run takes up what the first left.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "demo_form.h"
#include "headless/json_property_bag.h"
#include "support/temp_dir.h"

namespace quorvel::demo {
namespace {

namespace fs = std::filesystem;
using quorvel::testing::TempDir;

struct DemoRun {
    int status = -1;
    std::string out;
};

std::string quoted(const std::string& s) { return "'" + s + "'"; }

DemoRun runDemo(const std::string& arguments) {
    DemoRun run;
    const std::string command = quoted(QUORVEL_DEMO_PROGRAM) + " --offscreen " + arguments;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) run.out.append(buffer, n);
    int rc = pclose(pipe);
    run.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return run;
}

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

TEST(DemoSession, FirstRunMakesEverythingAndTheNextReusesIt) {
    TempDir dir;
    const fs::path data = dir.path() / "data";
    const fs::path picture = dir.path() / "shot.png";
    const fs::path log = dir.path() / "events.log";

    DemoRun first = runDemo("--data " + quoted(data.string()) + " --screenshot " + quoted(picture.string()) +
                            " --log " + quoted(log.string()));
    ASSERT_EQ(first.status, 0) << first.out;
    DataFolder folder(data);
    EXPECT_TRUE(has(first.out, "database: " + folder.database.string() + " (made, 100000 customers)"))
        << first.out;
    EXPECT_TRUE(has(first.out, "(written with the first settings)")) << first.out;
    EXPECT_TRUE(has(first.out, "screenshot: " + picture.string())) << first.out;
    EXPECT_TRUE(has(first.out, "event log: " + log.string())) << first.out;

    const std::string png = contents(picture);
    ASSERT_GT(png.size(), 1000u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));

    // The log is the host's trace: the typed capital R with its Shift, the
    // search's key release, the choice and the value it gave.
    const std::string events = contents(log);
    EXPECT_TRUE(has(events, "# Customer\n")) << events;
    EXPECT_TRUE(has(events, "event KeyDown KeyCode=Integer 82 Shift=Integer 1\n")) << events;
    EXPECT_TRUE(has(events, "event KeyPress KeyAscii=Integer 82\n")) << events;
    EXPECT_TRUE(has(events, "event KeyUp KeyCode=Integer 73 Shift=Integer 0\n")) << events;
    EXPECT_TRUE(has(events, "event Drop\n")) << events;
    EXPECT_TRUE(has(events, "event BeenChosen\n")) << events;
    EXPECT_TRUE(has(events, "event Change\n")) << events;
    EXPECT_TRUE(has(events, "# City\n")) << events;
    EXPECT_LT(events.find("event Drop"), events.find("event BeenChosen"));

    // The form file keeps the choices.
    auto form = headless::FormDocument::readFile(folder.form);
    ASSERT_NE(form.findControl(kCustomerControl), nullptr);
    ASSERT_NE(form.findControl(kCityControl), nullptr);
    auto& customer = form.findControl(kCustomerControl)->properties;
    const std::string code = customer.readProperty("BoundText", Variant("")).asString();
    EXPECT_EQ(code.size(), 7u) << code;
    EXPECT_EQ(code[0], 'C');
    EXPECT_EQ(customer.readProperty("ListDataBaseName", Variant("")).asString(), "customers.db");
    EXPECT_FALSE(customer.contains("DropDown")) << "saved with the list closed";
    EXPECT_EQ(form.findControl(kCityControl)->properties.readProperty("BoundText", Variant("")).asString(),
              "Venezia");

    // The second run takes the same database and form; its picture and log
    // go to the data folder.
    const auto madeAt = fs::last_write_time(folder.database);
    DemoRun second = runDemo("--data " + quoted(data.string()));
    ASSERT_EQ(second.status, 0) << second.out;
    EXPECT_TRUE(has(second.out, "database: " + folder.database.string() + " (reused)")) << second.out;
    EXPECT_TRUE(has(second.out, "form file: " + folder.form.string() + " (loaded)")) << second.out;
    EXPECT_EQ(fs::last_write_time(folder.database), madeAt);
    EXPECT_GT(fs::file_size(data / "demo-screenshot.png"), 1000u);
    const std::string secondEvents = contents(data / "demo-events.log");
    EXPECT_TRUE(has(secondEvents, "event BeenChosen\n"));
    // Reopened, the form shows the saved choices: the customer's code with
    // its name, the city.
    const std::string name = customer.readProperty("Text", Variant("")).asString();
    EXPECT_FALSE(name.empty());
    EXPECT_TRUE(has(secondEvents, "# Customer: loaded value " + code + ", shown as " + name + "\n"))
        << secondEvents;
    EXPECT_TRUE(has(secondEvents, "# City: loaded value Venezia, shown as Venezia\n")) << secondEvents;
    // What is typed replaces the loaded values' text: the same choices again.
    auto again = headless::FormDocument::readFile(folder.form);
    EXPECT_EQ(
        again.findControl(kCustomerControl)->properties.readProperty("BoundText", Variant("")).asString(),
        code);
    EXPECT_EQ(again.findControl(kCityControl)->properties.readProperty("BoundText", Variant("")).asString(),
              "Venezia");
}

TEST(DemoSession, AFormFileThatDoesNotReadIsLeftAlone) {
    TempDir dir;
    DataFolder folder(dir.path());
    { std::ofstream(folder.form) << "{ \"format\": \"quorvel-form\", "; }
    const std::string before = contents(folder.form);
    DemoRun run = runDemo("--data " + quoted(dir.path().string()));
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_EQ(contents(folder.form), before);
    EXPECT_FALSE(fs::exists(dir.path() / "demo-screenshot.png"));

    EXPECT_EQ(runDemo("--help").status, 0);
    EXPECT_EQ(runDemo("--no-such-option").status, 2);
}

}  // namespace
}  // namespace quorvel::demo
