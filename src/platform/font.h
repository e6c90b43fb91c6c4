// The host's standard font and picture objects. Both are shared by
// reference: a text box that holds a font shows every later change of that
// object, so a host that reads a font, changes its size and does nothing
// else has changed the text box.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/variant.h"

namespace quorvel {

struct FontDescription {
    std::string name = "Sans Serif";
    float size = 8.25f;         // points
    std::int16_t weight = 400;  // 400 normal, 700 bold
    std::int16_t charset = 0;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    bool operator==(const FontDescription&) const = default;
};

class Font : public Object {
public:
    explicit Font(FontDescription description = {}) : d_(std::move(description)) {}
    static std::shared_ptr<Font> make(FontDescription description = {}) {
        return std::make_shared<Font>(std::move(description));
    }

    const FontDescription& description() const { return d_; }
    const std::string& name() const { return d_.name; }
    float size() const { return d_.size; }
    std::int16_t weight() const { return d_.weight; }
    bool bold() const { return d_.weight >= 700; }
    bool italic() const { return d_.italic; }
    bool underline() const { return d_.underline; }
    bool strikethrough() const { return d_.strikethrough; }
    std::int16_t charset() const { return d_.charset; }

    // clang-format off
    void setName(std::string v) { d_.name = std::move(v); changed(); }
    void setSize(float v) { d_.size = v; changed(); }
    void setWeight(std::int16_t v) { d_.weight = v; changed(); }
    void setBold(bool v) { d_.weight = v ? 700 : 400; changed(); }
    void setItalic(bool v) { d_.italic = v; changed(); }
    void setUnderline(bool v) { d_.underline = v; changed(); }
    void setStrikethrough(bool v) { d_.strikethrough = v; changed(); }
    void setCharset(std::int16_t v) { d_.charset = v; changed(); }
    // clang-format on

    // Counts the changes, so a view can tell that it must re-apply the font.
    std::uint64_t revision() const { return revision_; }
    // Called after every change; a view that shows the font registers here.
    void setChangeListener(std::function<void()> listener) { listener_ = std::move(listener); }

private:
    void changed() {
        ++revision_;
        if (listener_) listener_();
    }
    FontDescription d_;
    std::uint64_t revision_ = 0;
    std::function<void()> listener_;
};

// An image as the host keeps it: the encoded bytes and their format.
class Picture : public Object {
public:
    Picture(std::string format, std::vector<std::uint8_t> bytes)
        : format_(std::move(format)), bytes_(std::move(bytes)) {}
    const std::string& format() const { return format_; }  // "gif", "bmp", "ico", ...
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::string format_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace quorvel
