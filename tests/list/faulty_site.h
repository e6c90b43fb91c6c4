// A host whose extender can be told to refuse the next move of the control,
// for the failure paths of opening and closing. Everything else goes to the
// headless host unchanged.
#pragma once

#include <optional>

#include "headless/site.h"
#include "platform/failure.h"

namespace quorvel::testing {

class FaultySite final : public ControlSite {
public:
    // The next setTop of the extender fails with this number and text.
    void refuseNextTop(std::int32_t number, std::string description) {
        extender_.refusal = Failure(number, std::move(description));
    }

    headless::HeadlessSite& host() { return host_; }

    HostSurface& surface() override { return host_.surface(); }
    Extender& extender() override { return extender_; }
    std::shared_ptr<Font> ambientFont() override { return host_.ambientFont(); }
    const Locale& locale() const override { return host_.locale(); }
    void propertyChanged(std::string_view name) override { host_.propertyChanged(name); }
    bool canPropertyChange(std::string_view name) override { return host_.canPropertyChange(name); }
    void raiseEvent(const EventDescription& event, std::span<Variant> arguments) override {
        host_.raiseEvent(event, arguments);
    }
    void msgBox(const std::string& prompt) override { host_.msgBox(prompt); }
    void sendKeys(std::string_view keys) override { host_.sendKeys(keys); }
    TextBox& createTextBox(std::string_view name, TextBoxEvents& events) override {
        return host_.createTextBox(name, events);
    }
    CommandButton& createCommandButton(std::string_view name, CommandButtonEvents& events) override {
        return host_.createCommandButton(name, events);
    }
    DataControl& createDataControl(std::string_view name, DataControlEvents& events) override {
        return host_.createDataControl(name, events);
    }
    Grid& createGrid(std::string_view name, GridEvents& events) override {
        return host_.createGrid(name, events);
    }
    Subscription attach(SurfaceEvents& events) override { return host_.attach(events); }

private:
    struct RefusingExtender final : Extender {
        explicit RefusingExtender(Extender& wrapped) : inner(wrapped) {}
        float left() const override { return inner.left(); }
        void setLeft(float v) override { inner.setLeft(v); }
        float top() const override { return inner.top(); }
        void setTop(float v) override {
            if (refusal) {
                Failure f = *refusal;
                refusal.reset();
                throw f;
            }
            inner.setTop(v);
        }
        Container& container() override { return inner.container(); }
        void zOrder(std::int16_t position) override { inner.zOrder(position); }

        Extender& inner;
        std::optional<Failure> refusal;
    };

    headless::HeadlessSite host_;
    RefusingExtender extender_{host_.extender()};
};

}  // namespace quorvel::testing
