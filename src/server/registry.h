// The runtime's registry of class identifiers: one JSON file that says, for
// each registered class, which module serves it, and what its type library
// and interfaces are. Several modules share the file; each adds and removes
// only its own entries. The file's place is the caller's choice.
//
//   {
//     "classes": {
//       "{B40B980D-...}": { "name": "Quorvel2000", "module": "/opt/.../Quorvel2000.so",
//                           "control": true, "typeLibrary": "{01182EFA-...}",
//                           "defaultInterface": "{4245357A-...}",
//                           "eventInterface": "{07642C0E-...}",
//                           "propertyPages": ["StandardColor", ...] } },
//     "typeLibraries": {
//       "{01182EFA-...}": { "version": "2.0", "locale": 1033, "helpString": "Quorvel",
//                           "module": "/opt/.../Quorvel2000.so" } },
//     "interfaces": {
//       "{4245357A-...}": { "name": "_Quorvel2000", "typeLibrary": "{01182EFA-...}" } }
//   }
//
// Writing goes to a temporary file beside the registry that then replaces
// it, under an advisory lock on "<file>.lock", so a reader never sees half a
// file and two registrations at once do not lose each other's entries.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "control/interface_description.h"

namespace quorvel::component {

struct InterfaceRegistration {
    Guid id;
    std::string name;
};

struct ClassRegistration {
    Guid classId;
    std::string name;
    std::filesystem::path module;
    bool control = false;
    Guid typeLibrary;
    std::uint16_t typeLibraryMajor = 0;
    std::uint16_t typeLibraryMinor = 0;
    std::uint32_t typeLibraryLocale = 0;
    std::string typeLibraryHelp;
    InterfaceRegistration defaultInterface;
    InterfaceRegistration eventInterface;
    std::vector<std::string> propertyPages;
};

class Registry {
public:
    explicit Registry(std::filesystem::path file) : file_(std::move(file)) {}
    const std::filesystem::path& file() const { return file_; }

    // Adds the class, its type library and its interfaces, replacing an
    // earlier registration of the same identifiers; creates the file (and
    // its folder) when there is none. Failure 75 when the file cannot be
    // written, 321 when it is not a registry; the file is then unchanged.
    void add(const ClassRegistration& registration);
    // Removes the class and the type library and interfaces it named;
    // nothing when the class is not there. Failures as for add.
    void remove(const Guid& classId);
    // The registration of a class; nothing when it is not registered or the
    // file does not exist. Failure 321 for a file that is not a registry.
    std::optional<ClassRegistration> find(const Guid& classId) const;

private:
    std::filesystem::path file_;
};

}  // namespace quorvel::component
