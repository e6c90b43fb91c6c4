#include "demo_form.h"

#include "control/interface_description.h"

#include <cstdlib>
#include <functional>
#include <system_error>
#include <utility>
#include <vector>

namespace quorvel::demo {

namespace {

using headless::FormDocument;
using headless::JsonPropertyBag;

constexpr std::string_view kDatabaseKey = "ListDataBaseName";

// The bag with its database name passed through `change`.
JsonPropertyBag withDatabaseName(const JsonPropertyBag& bag,
                                 const std::function<std::string(const std::string&)>& change) {
    std::vector<JsonPropertyBag::Entry> entries = bag.entries();
    for (auto& entry : entries) {
        if (entry.name == kDatabaseKey && entry.value.type() == Variant::Type::String)
            entry.value = Variant(change(entry.value.asString()));
    }
    return JsonPropertyBag(std::move(entries));
}

}  // namespace

DataFolder::DataFolder(std::filesystem::path dir)
    : folder(std::move(dir)), database(folder / kDatabaseFileName), form(folder / kFormFileName) {}

std::filesystem::path defaultDataFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return std::filesystem::path(xdg) / "quorvel-demo";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".local" / "share" / "quorvel-demo";
    return std::filesystem::temp_directory_path() / "quorvel-demo";
}

void configureCustomer(Quorvel2000& control, const std::string& database) {
    control.setColsField("Code;Name;City;BirthDate;Balance");
    control.setColsCaption("Code;Customer;City;Born;Balance");
    control.setColsSize("900;2300;1300;1100;1200");
    // The first ";" of a list is dropped, so four of them lead to three
    // empty formats (the text columns) before the date's and the amount's.
    control.setColsFormat(";;;;dd/mm/yyyy;#,##0.00");
    control.setColsAlignment("0;0;0;2;1");
    control.setBoundField(Variant("Code"));
    control.setListSearchField(Variant("Name"));
    control.setListHeight(3000);
    control.setListDataBaseName(database);
    control.setListRecordSource("SELECT * FROM Customers ORDER BY Name COLLATE FOLD");
}

void configureCity(Quorvel2000& control, const std::string& database) {
    control.setColsField("City;Country");
    control.setColsCaption("City;Country");
    control.setColsSize("1500;1600");
    control.setBoundField(Variant("City"));
    control.setListSearchField(Variant("City"));
    control.setOnListOnly(kFalse);
    control.setListHeight(2055);
    control.setListDataBaseName(database);
    control.setListRecordSource("SELECT * FROM Cities ORDER BY City COLLATE FOLD");
}

std::string storedDatabaseName(const std::string& path, const std::filesystem::path& folder) {
    if (path.empty()) return path;
    std::error_code ec;
    auto file = std::filesystem::weakly_canonical(path, ec);
    if (ec) return path;
    auto base = std::filesystem::weakly_canonical(folder, ec);
    if (ec) return path;
    auto relative = file.lexically_relative(base);
    if (relative.empty() || *relative.begin() == "..") return path;
    return relative.generic_string();
}

std::string resolvedDatabaseName(const std::string& stored, const std::filesystem::path& folder) {
    if (stored.empty()) return stored;
    std::filesystem::path p(stored);
    if (p.is_absolute()) return stored;
    return (folder / p).lexically_normal().string();
}

std::optional<JsonPropertyBag> loadableProperties(FormDocument& form, std::string_view name,
                                                  const std::filesystem::path& folder) {
    FormDocument::Part* part = form.findControl(name);
    if (!part) return std::nullopt;
    return withDatabaseName(part->properties,
                            [&](const std::string& s) { return resolvedDatabaseName(s, folder); });
}

void storeProperties(FormDocument& form, std::string_view name, const std::filesystem::path& folder,
                     const std::function<void(PropertyBag&)>& write) {
    FormDocument::Part* part = form.findControl(name);
    if (!part)
        part = &form.addControl(std::string(name), std::string(idl::kClassName), idl::kClassId.toString());
    // The bag the file holds, its database name as the control knows it, so
    // that a value equal to what the control writes counts as unchanged.
    JsonPropertyBag bag = withDatabaseName(
        part->properties, [&](const std::string& s) { return resolvedDatabaseName(s, folder); });
    write(bag);
    part->properties =
        withDatabaseName(bag, [&](const std::string& s) { return storedDatabaseName(s, folder); });
}

bool loadControl(FormDocument& form, std::string_view name, Quorvel2000& control,
                 const std::filesystem::path& folder) {
    auto bag = loadableProperties(form, name, folder);
    if (!bag) return false;
    control.ReadProperties(*bag);
    return true;
}

void storeControl(FormDocument& form, std::string_view name, Quorvel2000& control,
                  const std::filesystem::path& folder) {
    storeProperties(form, name, folder, [&](PropertyBag& bag) { control.WriteProperties(bag); });
}

}  // namespace quorvel::demo
