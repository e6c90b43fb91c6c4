#include "runner.h"

#include <sqlite3.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>

#include "control/dispatch.h"
#include "control/interface_description.h"
#include "control/members.h"
#include "control/quorvel2000.h"
#include "headless/json_property_bag.h"
#include "headless/site.h"
#include "host/trace.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace quorvel::run {

namespace {

using headless::FormDocument;
using headless::HeadlessSite;
using headless::JsonPropertyBag;
using host::traceString;
using host::traceValue;

constexpr std::int32_t kFailureInternal = 51;
constexpr std::int32_t kFailureFileNotFound = 53;
constexpr std::int32_t kFailureFileAccess = 75;

// A coordinate or size as the trace shows it: the shortest text that reads
// back to the same single-precision number.
std::string number(float v) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    if (ec != std::errc()) return "?";
    return std::string(buf, end);
}

std::string boolean(VBool v) {
    if (v == kTrue) return "True";
    if (v == kFalse) return "False";
    return std::to_string(v);
}

bool isNumber(const Variant& v) {
    switch (v.type()) {
        case Variant::Type::Integer:
        case Variant::Type::Long:
        case Variant::Type::Single:
        case Variant::Type::Double: return true;
        default: return false;
    }
}

// An expected value written without its type matches a number of any type
// with the same value; everything else matches by type and value.
bool matches(const Variant& actual, const Literal& expected) {
    if (!expected.typed && isNumber(expected.value) && isNumber(actual))
        return actual.toDouble() == expected.value.toDouble();
    return actual == expected.value;
}

headless::Target hostTarget(Target t) {
    switch (t) {
        case Target::Text: return headless::Target::Text;
        case Target::Button: return headless::Target::Button;
        case Target::Surface: return headless::Target::Surface;
        case Target::Grid: return headless::Target::Grid;
    }
    return headless::Target::Text;
}

std::int16_t int16(double v) { return static_cast<std::int16_t>(v); }
std::int32_t int32(double v) { return static_cast<std::int32_t>(v); }
float single(double v) { return static_cast<float>(v); }

std::string readWholeFile(const std::string& file) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) fail(kFailureFileNotFound, "File not found: " + file);
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) fail(kFailureFileAccess, "Cannot read " + file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) fail(kFailureFileAccess, "Cannot read " + file);
    return text;
}

// A form document says what it is in its "format" member; a bag document
// is a plain object of properties.
bool looksLikeForm(const std::string& text) {
    try {
        JsonPropertyBag bag = JsonPropertyBag::parse(text);
        return bag.contains("format") && bag.contains("controls");
    } catch (const Failure&) {
        // A form's "container" and "controls" are no bag values: a document
        // that names its format is a form whatever else fails in it.
        return text.find("\"format\"") != std::string::npos;
    }
}

}  // namespace

std::optional<Locale> localeNamed(std::string_view name) {
    if (name == "en-US") return Locale::english();
    if (name == "it-IT") return Locale::italian();
    if (name == "system") return Locale::fromEnvironment();
    return std::nullopt;
}

// One control on its own host, with the bag it was loaded from: saving
// writes into that bag, so names the control does not read are kept.
struct Runner::Host {
    std::unique_ptr<HeadlessSite> site;
    std::unique_ptr<Quorvel2000> control;
    std::unique_ptr<ControlDispatch> dispatch;
    JsonPropertyBag bag;
    // When the control came from a form file: the form and the control's
    // place in it, written back whole by save.
    std::optional<FormDocument> form;
    std::size_t formIndex = 0;

    ~Host() {
        // The control lets go of its host before the host ends.
        dispatch.reset();
        control.reset();
        site.reset();
    }
};

Runner::Runner(std::ostream& out, std::ostream& err, Locale locale)
    : out_(out), err_(err), locale_(std::move(locale)) {}

Runner::~Runner() = default;

void Runner::print(const std::string& line) { out_ << line << '\n'; }

void Runner::check(const std::vector<Command>& commands) const {
    for (const Command& c : commands) {
        if (c.op != Op::On && c.op != Op::Off) continue;
        const idl::EventInterfaceEntry* e = idl::findEvent(c.name);
        if (!e) throw ScriptError(c.line, "the control has no event named \"" + c.name + "\"");
        for (const auto& [argument, value] : c.assignments) {
            bool found = false;
            for (int i = 0; i < e->event->argumentCount; ++i)
                found = found || equalsIgnoringCase(e->event->argumentNames[i], argument);
            if (!found)
                throw ScriptError(c.line, "the event " + std::string(e->event->name) +
                                              " has no argument named \"" + argument + "\"");
        }
    }
}

void Runner::run(const std::vector<Command>& commands) {
    check(commands);
    for (const Command& c : commands) {
        try {
            execute(c);
            // Keys queued while the command ran reach their window now.
            if (host_) host_->site->pumpKeys();
        } catch (const ScriptError&) { throw; } catch (const Failure& f) {
            print("failure " + std::to_string(f.number()) + " " + traceString(f.description()));
        } catch (const std::exception& e) {
            print("failure " + std::to_string(kFailureInternal) + " " + traceString(e.what()));
        }
        out_.flush();
    }
}

Runner::Host& Runner::host() {
    if (!host_) fail(failure::kObjectNotSet, "No control: the script makes one with new or load");
    return *host_;
}

void Runner::configure(HeadlessSite& site) {
    site.setLocale(locale_);
    if (containerSize_)
        site.setContainer(containerSize_->first, containerSize_->second, containerScaleHeight_);
    site.setEditAnswer(editAllowed_);
    for (const auto& [name, allow] : editAnswers_) site.setEditAnswer(name, allow);
    for (const auto& [event, handler] : handlers_) site.setEventHandler(event, eventHandler(handler));
    site.setLogListener([this](const std::string& line) { print(line); });
}

std::function<void(host::EventCall&)> Runner::eventHandler(const Handler& handler) {
    return [this, handler](host::EventCall& call) {
        for (const auto& [name, value] : handler.values)
            if (call.has(name)) call[name] = value;
        // A control that is ending has no program left to call it.
        if (!handler.action || !host_ || !host_->dispatch) return;
        execute(*handler.action);
    };
}

void Runner::callMember(const Command& c, bool isGet) {
    std::vector<Variant> arguments;
    for (const Literal& l : c.values) arguments.push_back(l.value);
    ControlDispatch& dispatch = *host().dispatch;
    Variant result = isGet ? dispatch.get(c.name, arguments) : dispatch.call(c.name, arguments);
    const idl::MemberDescription* m = idl::findMember(c.name);
    if (isGet || (m && m->type != idl::ValueType::None)) print(c.name + " = " + traceValue(result));
}

void Runner::startControl(const JsonPropertyBag* bag) {
    // The old control and its host end before the new ones begin.
    host_.reset();
    auto h = std::make_unique<Host>();
    h->site = std::make_unique<HeadlessSite>();
    configure(*h->site);
    h->control = std::make_unique<Quorvel2000>(*h->site);
    h->dispatch = std::make_unique<ControlDispatch>(*h->control, *h->site);
    if (bag) h->bag = *bag;
    host_ = std::move(h);
    if (bag) host_->control->ReadProperties(host_->bag);
    else host_->control->InitProperties();
}

void Runner::load(const Command& c) {
    const std::string& file = c.name;
    std::string text = readWholeFile(file);
    if (!looksLikeForm(text)) {
        JsonPropertyBag bag = JsonPropertyBag::parse(text, file);
        startControl(&bag);
        return;
    }
    FormDocument form = FormDocument::parse(text, file);
    std::optional<std::size_t> index;
    for (std::size_t i = 0; i < form.controls().size() && !index; ++i)
        if (form.controls()[i].className == idl::kClassName) index = i;
    if (!index)
        fail(failure::kItemNotFound,
             file + ": the form holds no control of class " + std::string(idl::kClassName));
    JsonPropertyBag bag = form.controls()[*index].properties;
    startControl(&bag);
    host_->form = std::move(form);
    host_->formIndex = *index;
}

void Runner::save(const Command& c) {
    const std::string& file = c.name;
    Host& h = host();
    JsonPropertyBag bag = h.bag;
    h.control->WriteProperties(bag);
    if (h.form) {
        FormDocument form = *h.form;
        form.controls()[h.formIndex].properties = bag;
        form.writeFile(file);
        h.form = std::move(form);
    } else {
        headless::replaceFile(file, bag.dump() + "\n");
    }
    h.bag = std::move(bag);
}

void Runner::exec(const Command& c) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(c.name.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    std::string message;
    if (rc == SQLITE_OK) {
        char* error = nullptr;
        rc = sqlite3_exec(db, c.text.c_str(), nullptr, nullptr, &error);
        if (rc != SQLITE_OK) message = error ? error : sqlite3_errstr(rc);
        sqlite3_free(error);
    } else {
        message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    }
    sqlite3_close(db);
    if (rc != SQLITE_OK) throw ScriptError(c.line, "exec on " + c.name + ": " + message);
}

void Runner::dump(const Command&) {
    HeadlessSite& site = *host().site;
    Extender& ext = site.extender();
    HostSurface& surface = site.surface();
    print("control left=" + number(ext.left()) + " top=" + number(ext.top()) +
          " width=" + number(surface.width()) + " height=" + number(surface.height()) +
          " zorder=" + std::to_string(site.lastZOrder()));
    auto& edit = site.textBox(HeadlessSite::kEditBox);
    print("Text2 left=" + number(edit.left()) + " top=" + number(edit.top()) +
          " width=" + number(edit.width()) + " height=" + number(edit.height()) +
          " visible=" + boolean(edit.visible()) + " text=" + traceString(edit.text()) +
          " selstart=" + std::to_string(edit.selStart()) + " sellength=" + std::to_string(edit.selLength()));
    print("Text1 text=" + traceString(site.textBox("Text1").text()));
    auto& button = site.button(HeadlessSite::kButton);
    print("Command1 left=" + number(button.left()) + " top=" + number(button.top()) +
          " width=" + number(button.width()) + " height=" + number(button.height()) +
          " visible=" + boolean(button.visible()));
    auto& grid = site.grid(HeadlessSite::kGrid);
    print("DBGrid1 left=" + number(grid.left()) + " top=" + number(grid.top()) +
          " width=" + number(grid.width()) + " height=" + number(grid.height()) +
          " row=" + std::to_string(grid.row()) + " col=" + std::to_string(grid.col()));
    std::string focus = site.focusName();
    if (focus.empty()) focus = site.hasFocus() ? "control" : "none";
    print("focus " + focus);
    auto& columns = grid.columnModel();
    for (std::int32_t i = 0; i < columns.count(); ++i) {
        auto column = columns.column(i);
        print("column " + std::to_string(i) + " field=" + traceString(column->dataField()) +
              " caption=" + traceString(column->caption()) + " width=" + number(column->width()) +
              " format=" + traceString(column->numberFormat()) +
              " alignment=" + std::to_string(column->alignment()) + " visible=" + boolean(column->visible()));
    }
}

void Runner::dumpState(const Command&) {
    forEachMember(host().control->members(), [this](std::string_view name, const Variant& value) {
        print(std::string(name) + " = " + traceValue(value));
    });
}

void Runner::dumpBag(const Command&) {
    Host& h = host();
    JsonPropertyBag bag = h.bag;
    h.control->WriteProperties(bag);
    std::istringstream lines(bag.dump());
    for (std::string line; std::getline(lines, line);) print(line);
}

void Runner::expect(const Command& c) {
    const Literal& expected = c.values.front();
    ControlDispatch& dispatch = *host().dispatch;
    std::optional<Variant> actual;
    std::string problem;
    try {
        actual = dispatch.get(c.name);
    } catch (const Failure& f) {
        print("failure " + std::to_string(f.number()) + " " + traceString(f.description()));
        problem = "failure " + std::to_string(f.number());
    }
    if (actual && matches(*actual, expected)) return;
    expectFailed_ = true;
    err_ << "error " << c.line << ": expected " << c.name << " = " << traceValue(expected.value) << ", found "
         << (actual ? traceValue(*actual) : problem) << '\n';
}

void Runner::execute(const Command& c) {
    using Action = void (Runner::*)(const Command&);
    static constexpr Action kActions[] = {
#define QUORVEL_RUN_ACTION(op, words, reach, arguments, action) &Runner::action,
        QUORVEL_RUN_COMMANDS(QUORVEL_RUN_ACTION)
#undef QUORVEL_RUN_ACTION
    };
    if (command_table::specOf(c.op).reach != Reach::Host) host();
    (this->*kActions[static_cast<std::size_t>(c.op)])(c);
}

// --- The host's settings ---------------------------------------------------

void Runner::changeLocale(const Command& c) {
    locale_ = *localeNamed(c.name);
    if (host_) host_->site->setLocale(locale_);
}

void Runner::sizeContainer(const Command& c) {
    const auto& n = c.numbers;
    containerSize_ = std::make_pair(single(n[0]), single(n[1]));
    containerScaleHeight_.reset();
    if (n.size() > 2) containerScaleHeight_ = single(n[2]);
    if (host_)
        host_->site->setContainer(containerSize_->first, containerSize_->second, containerScaleHeight_);
}

void Runner::newControl(const Command&) { startControl(nullptr); }

void Runner::edit(const Command& c) {
    if (c.name.empty()) {
        editAllowed_ = c.allow;
        editAnswers_.clear();
        if (host_) {
            host_->site->clearEditAnswers();
            host_->site->setEditAnswer(c.allow);
        }
        return;
    }
    editAnswers_[c.name] = c.allow;
    if (host_) host_->site->setEditAnswer(c.name, c.allow);
}

void Runner::on(const Command& c) {
    const EventDescription& event = *idl::findEvent(c.name)->event;
    std::vector<std::pair<std::string, Variant>> values;
    for (const auto& [argument, literal] : c.assignments) {
        std::string name = argument;
        for (int i = 0; i < event.argumentCount; ++i)
            if (equalsIgnoringCase(event.argumentNames[i], argument))
                name = std::string(event.argumentNames[i]);
        values.emplace_back(std::move(name), literal.value);
    }
    std::string eventName(event.name);
    Handler handler{std::move(values), std::nullopt};
    if (!c.action.empty()) handler.action = c.action.front();
    handlers_[eventName] = handler;
    if (host_) host_->site->setEventHandler(eventName, eventHandler(handler));
}

void Runner::off(const Command& c) {
    std::string eventName(idl::findEvent(c.name)->event->name);
    handlers_.erase(eventName);
    if (host_) host_->site->clearEventHandler(eventName);
}

void Runner::echo(const Command& c) {
    std::istringstream lines(c.text);
    std::string line;
    if (c.text.empty()) print("");
    while (std::getline(lines, line)) print(line);
}

// --- The host on the control -----------------------------------------------

void Runner::place(const Command& c) {
    const auto& n = c.numbers;
    host().site->place(single(n[0]), single(n[1]), single(n[2]), single(n[3]));
}

void Runner::moveControl(const Command& c) { host().site->move(single(c.numbers[0]), single(c.numbers[1])); }

void Runner::paint(const Command&) { host().site->paint(); }

// --- The program's calls -----------------------------------------------------

void Runner::let(const Command& c) { host().dispatch->let(c.name, c.values.front().value); }

void Runner::set(const Command& c) { host().dispatch->set(c.name, c.values.front().value); }

void Runner::get(const Command& c) { callMember(c, true); }

void Runner::call(const Command& c) { callMember(c, false); }

// --- The user --------------------------------------------------------------

void Runner::type(const Command& c) { host().site->type(c.text); }

void Runner::keyDown(const Command& c) { host().site->keyDown(int16(c.numbers[0]), int16(c.numbers[1])); }

void Runner::keyPress(const Command& c) {
    // 0 to 65535 reach the control as the 16-bit character code they are.
    host().site->keyPress(static_cast<std::int16_t>(static_cast<std::uint16_t>(int32(c.numbers[0]))));
}

void Runner::keyUp(const Command& c) { host().site->keyUp(int16(c.numbers[0]), int16(c.numbers[1])); }

void Runner::click(const Command& c) { host().site->click(hostTarget(c.target)); }

void Runner::dblClick(const Command& c) { host().site->dblClick(hostTarget(c.target)); }

void Runner::mouseDown(const Command& c) {
    const auto& n = c.numbers;
    host().site->mouseDown(hostTarget(c.target), int16(n[0]), int16(n[1]), single(n[2]), single(n[3]));
}

void Runner::mouseMove(const Command& c) {
    const auto& n = c.numbers;
    host().site->mouseMove(hostTarget(c.target), int16(n[0]), int16(n[1]), single(n[2]), single(n[3]));
}

void Runner::mouseUp(const Command& c) {
    const auto& n = c.numbers;
    host().site->mouseUp(hostTarget(c.target), int16(n[0]), int16(n[1]), single(n[2]), single(n[3]));
}

void Runner::caret(const Command& c) { host().site->caret(int32(c.numbers[0]), int32(c.numbers[1])); }

void Runner::gridRow(const Command& c) { host().site->gridRow(int32(c.numbers[0])); }

void Runner::gridKey(const Command& c) { host().site->gridKey(int16(c.numbers[0]), int16(c.numbers[1])); }

void Runner::gridClick(const Command& c) { host().site->gridClick(int32(c.numbers[0])); }

void Runner::focusIn(const Command&) { host().site->focusIn(); }

void Runner::focusOut(const Command&) { host().site->focusOut(); }

}  // namespace quorvel::run
