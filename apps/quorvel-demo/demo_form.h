// The demo's form file and data folder: where the sample database and the
// form file live, the two controls' first settings, and moving their
// property sets between the controls and the form document.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "control/quorvel2000.h"
#include "headless/json_property_bag.h"

namespace quorvel::demo {

inline constexpr std::string_view kDatabaseFileName = "customers.db";
inline constexpr std::string_view kFormFileName = "demo-form.json";
inline constexpr std::string_view kFormName = "DemoForm";
// The controls of the form, by name.
inline constexpr std::string_view kCustomerControl = "Customer";
inline constexpr std::string_view kCityControl = "City";

struct DataFolder {
    std::filesystem::path folder;
    std::filesystem::path database;
    std::filesystem::path form;

    explicit DataFolder(std::filesystem::path dir);
};

// $XDG_DATA_HOME/quorvel-demo, else ~/.local/share/quorvel-demo, else a
// folder of that name in the temporary directory.
std::filesystem::path defaultDataFolder();

// The customer control: bound to Code, showing and searching Name, five
// columns with formats and alignments, on the Customers table sorted by name.
void configureCustomer(Quorvel2000& control, const std::string& database);
// The city control in mirror mode: the bound field is the search field
// (City) and OnListOnly is False, so the edit box's text is the value.
void configureCity(Quorvel2000& control, const std::string& database);

// The property set of the form document's entry of that name, ready to
// load: a relative ListDataBaseName is taken from the form file's folder,
// so the data folder can move as a whole. None when there is no such entry.
std::optional<headless::JsonPropertyBag> loadableProperties(headless::FormDocument& form,
                                                            std::string_view name,
                                                            const std::filesystem::path& folder);
// Lets `write` save a property set into the document's entry of that name
// (added when missing), keeping the document's values that it does not
// write. A ListDataBaseName inside `folder` is stored relative to it.
void storeProperties(headless::FormDocument& form, std::string_view name, const std::filesystem::path& folder,
                     const std::function<void(PropertyBag&)>& write);

// The same for a control itself: false, leaving the control alone, when
// the document has no entry of that name.
bool loadControl(headless::FormDocument& form, std::string_view name, Quorvel2000& control,
                 const std::filesystem::path& folder);
void storeControl(headless::FormDocument& form, std::string_view name, Quorvel2000& control,
                  const std::filesystem::path& folder);

// The database path as the form file keeps it: relative to `folder` when
// the file lies inside it, unchanged otherwise; and back.
std::string storedDatabaseName(const std::string& path, const std::filesystem::path& folder);
std::string resolvedDatabaseName(const std::string& stored, const std::filesystem::path& folder);

}  // namespace quorvel::demo
