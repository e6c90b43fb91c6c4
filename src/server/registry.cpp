#include "server/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <charconv>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>

#include "platform/failure.h"
#include "platform/file_replace.h"

namespace quorvel::component {

namespace {

using Json = nlohmann::ordered_json;

inline constexpr std::int32_t kFileAccessError = 75;
inline constexpr std::int32_t kInvalidFileFormat = 321;

// Holds the advisory lock that serialises writers of one registry.
class FileLock {
public:
    explicit FileLock(const std::filesystem::path& file) {
        const std::string lockName = file.string() + ".lock";
        fd_ = ::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0) fail(kFileAccessError, "Cannot lock the registry " + file.string());
        if (::flock(fd_, LOCK_EX) != 0) {
            ::close(fd_);
            fail(kFileAccessError, "Cannot lock the registry " + file.string());
        }
    }
    ~FileLock() {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_ = -1;
};

Json emptyRegistry() {
    return Json{
        {"classes", Json::object()}, {"typeLibraries", Json::object()}, {"interfaces", Json::object()}};
}

Json readRegistry(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return emptyRegistry();
    std::ifstream in(file, std::ios::binary);
    if (!in) fail(kFileAccessError, "Cannot read the registry " + file.string());
    std::stringstream text;
    text << in.rdbuf();
    Json doc = Json::parse(text.str(), nullptr, /*allow_exceptions=*/false);
    if (doc.is_discarded() || !doc.is_object())
        fail(kInvalidFileFormat, file.string() + " is not a component registry");
    for (const char* section : {"classes", "typeLibraries", "interfaces"}) {
        if (!doc.contains(section)) doc[section] = Json::object();
        if (!doc[section].is_object())
            fail(kInvalidFileFormat, file.string() + ": \"" + section + "\" is not an object");
    }
    return doc;
}

void writeRegistry(const std::filesystem::path& file, const Json& doc) {
    std::error_code ec;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
    replaceFile(file, doc.dump(2) + "\n", "Cannot write the registry");
}

std::string text(const Json& j, const char* key) {
    auto it = j.find(key);
    return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

Guid guidOf(const std::string& s) { return Guid::parse(s).value_or(Guid{}); }

}  // namespace

void Registry::add(const ClassRegistration& r) {
    FileLock lock(file_);
    Json doc = readRegistry(file_);
    const std::string library = r.typeLibrary.toString();

    Json pages = Json::array();
    for (const std::string& p : r.propertyPages) pages.push_back(p);
    doc["classes"][r.classId.toString()] = Json{
        {"name", r.name},
        {"module", r.module.string()},
        {"control", r.control},
        {"typeLibrary", library},
        {"defaultInterface", r.defaultInterface.id.toString()},
        {"eventInterface", r.eventInterface.id.toString()},
        {"propertyPages", pages},
    };
    doc["typeLibraries"][library] = Json{
        {"version", std::to_string(r.typeLibraryMajor) + "." + std::to_string(r.typeLibraryMinor)},
        {"locale", r.typeLibraryLocale},
        {"helpString", r.typeLibraryHelp},
        {"module", r.module.string()},
    };
    for (const InterfaceRegistration* i : {&r.defaultInterface, &r.eventInterface})
        doc["interfaces"][i->id.toString()] = Json{{"name", i->name}, {"typeLibrary", library}};
    writeRegistry(file_, doc);
}

void Registry::remove(const Guid& classId) {
    FileLock lock(file_);
    Json doc = readRegistry(file_);
    Json& classes = doc["classes"];
    auto it = classes.find(classId.toString());
    if (it == classes.end()) return;
    const Json entry = *it;
    classes.erase(it);
    doc["typeLibraries"].erase(text(entry, "typeLibrary"));
    doc["interfaces"].erase(text(entry, "defaultInterface"));
    doc["interfaces"].erase(text(entry, "eventInterface"));
    writeRegistry(file_, doc);
}

std::optional<ClassRegistration> Registry::find(const Guid& classId) const {
    const Json doc = readRegistry(file_);
    const Json& classes = doc["classes"];
    auto it = classes.find(classId.toString());
    if (it == classes.end() || !it->is_object()) return std::nullopt;
    const Json& c = *it;

    ClassRegistration r;
    r.classId = classId;
    r.name = text(c, "name");
    r.module = text(c, "module");
    if (auto control = c.find("control"); control != c.end() && control->is_boolean())
        r.control = control->get<bool>();
    r.typeLibrary = guidOf(text(c, "typeLibrary"));
    r.defaultInterface.id = guidOf(text(c, "defaultInterface"));
    r.eventInterface.id = guidOf(text(c, "eventInterface"));
    if (auto pages = c.find("propertyPages"); pages != c.end() && pages->is_array())
        for (const Json& p : *pages)
            if (p.is_string()) r.propertyPages.push_back(p.get<std::string>());

    const Json& libraries = doc["typeLibraries"];
    if (auto lib = libraries.find(text(c, "typeLibrary")); lib != libraries.end() && lib->is_object()) {
        const std::string version = text(*lib, "version");
        if (auto dot = version.find('.'); dot != std::string::npos) {
            std::from_chars(version.data(), version.data() + dot, r.typeLibraryMajor);
            std::from_chars(version.data() + dot + 1, version.data() + version.size(), r.typeLibraryMinor);
        }
        if (auto locale = lib->find("locale"); locale != lib->end() && locale->is_number_unsigned())
            r.typeLibraryLocale = locale->get<std::uint32_t>();
        r.typeLibraryHelp = text(*lib, "helpString");
    }
    const Json& interfaces = doc["interfaces"];
    auto nameOf = [&](const Guid& id) {
        auto i = interfaces.find(id.toString());
        return i != interfaces.end() && i->is_object() ? text(*i, "name") : std::string();
    };
    r.defaultInterface.name = nameOf(r.defaultInterface.id);
    r.eventInterface.name = nameOf(r.eventInterface.id);
    return r;
}

}  // namespace quorvel::component
