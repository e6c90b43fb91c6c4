// The headless host's persistent property bags: JSON documents of named,
// typed values, and the form file that holds a container and its controls,
// each with its bag. docs/property-bag.md describes the document.
//
// Every value keeps its type through a save and a load: text, Integer,
// Long, Single, Double, Boolean, colour, Date, Empty, Null, font objects and
// picture objects. A name that nobody reads stays in the bag and is written
// out again. A document that does not read is a Failure 321 whose
// description names the place (line and column, or the entry and key), and
// nothing of it is taken over; that includes a document nested deeper than
// kMaxDocumentDepth levels and one with an object that has two members of
// one name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_replace.h"
#include "platform/host.h"

namespace quorvel::headless {

inline constexpr std::int32_t kFailureInvalidFileFormat = 321;
// How deep objects and arrays may nest in a document.
inline constexpr std::size_t kMaxDocumentDepth = 256;

// The form files are written through the platform's replaceFile.
using quorvel::replaceFile;

class JsonPropertyBag final : public PropertyBag {
public:
    struct Entry {
        std::string name;
        Variant value;
        // Written as a colour: stored by a colour property, or read as one.
        bool colour = false;
    };

    JsonPropertyBag() = default;
    explicit JsonPropertyBag(std::vector<Entry> entries) : entries_(std::move(entries)) {}

    // A bag document: one JSON object of named values. `source` starts
    // every failure's description (a file name, say).
    static JsonPropertyBag parse(std::string_view text, std::string_view source = "bag");
    // The bag as a JSON object, names in the order they were first stored.
    std::string dump(int indent = 2) const;

    // The stored value, or the default when the name was never written.
    // Names are compared exactly, letter case included.
    Variant readProperty(std::string_view name, const Variant& defaultValue) override;
    // Stores nothing when the value equals the default, and drops an earlier
    // value of that name then. Fonts and pictures equal a default that looks
    // the same: the document keeps them by value, not by identity. Failure
    // 380 for an object that a document cannot hold (a recordset, say).
    void writeProperty(std::string_view name, const Variant& value, const Variant& defaultValue) override;

    bool contains(std::string_view name) const;
    std::size_t size() const { return entries_.size(); }
    // The stored names, in order.
    std::vector<std::string> names() const;
    void clear() { entries_.clear(); }

    const std::vector<Entry>& entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};

// A form file: the container with its bag, and its controls in order, each
// with its name, its class and its bag. Members of the document that this
// host does not know are kept exactly as they were written (numbers of any
// length, -0, the layout inside them) and written out again after the known
// ones.
class FormDocument {
public:
    // A member kept as written: its name, and the text of its key and value.
    struct RawMember {
        std::string name;
        std::string key;
        std::string value;
    };

    struct Part {
        std::string name;
        std::string className;
        // The class identifier as the component registry knows it; may be "".
        std::string classId;
        JsonPropertyBag properties;
        // Members of the entry that this host does not read.
        std::vector<RawMember> unknownMembers;
    };

    FormDocument();

    static FormDocument parse(std::string_view text, std::string_view source = "form");
    // Failure 53 when the file is not there, 75 when it cannot be read.
    static FormDocument readFile(const std::filesystem::path& file);
    std::string dump(int indent = 2) const;
    // The document, then a line break, through replaceFile. Failure 75.
    void writeFile(const std::filesystem::path& file) const;

    Part& container() { return container_; }
    const Part& container() const { return container_; }
    std::vector<Part>& controls() { return controls_; }
    const std::vector<Part>& controls() const { return controls_; }
    // None when no control has that name (compared exactly).
    Part* findControl(std::string_view name);
    // Failure 5 when a control of that name is already there.
    Part& addControl(std::string name, std::string className, std::string classId = "");

private:
    Part container_;
    std::vector<Part> controls_;
    std::vector<RawMember> unknownMembers_;
};

}  // namespace quorvel::headless
