// The control's module: its class factory, the control object a host holds,
// the registration entry points and the resources a designer reads.
//
// The module counts every object it has handed out (factories and controls)
// and every lock; it may be unloaded only when both counts are 0, since
// unloading it takes away the code those objects run.
#include <dlfcn.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "control/dispatch.h"
#include "control/interface_description.h"
#include "control/quorvel2000.h"
#include "control/toolbox_picture.h"
#include "platform/failure.h"
#include "server/component.h"
#include "server/module_exports.h"
#include "server/registry.h"

namespace quorvel::component {

namespace {

// A host may ask DllCanUnloadNow from another thread than the one its
// controls live on.
std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

std::mutex registryPathMutex;
std::string registryPathOverride;
std::string registryPathReturned;

std::filesystem::path modulePath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&DllCanUnloadNow), &info) == 0 || !info.dli_fname) return {};
    std::error_code ec;
    auto absolute = std::filesystem::absolute(info.dli_fname, ec);
    return ec ? std::filesystem::path(info.dli_fname) : absolute;
}

std::filesystem::path registryPath() {
    std::lock_guard lock(registryPathMutex);
    if (!registryPathOverride.empty()) return registryPathOverride;
    return modulePath().parent_path() / "quorvel-components.json";
}

// Counts the references of one object and tells the module while it lives.
class Counted {
protected:
    Counted() { ++liveObjects; }
    virtual ~Counted() { --liveObjects; }
    std::uint32_t addRefCount() { return ++references_; }
    std::uint32_t releaseCount() {
        const std::uint32_t left = --references_;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<std::uint32_t> references_{1};
};

class ControlInstance final : public ControlObject, private Counted {
public:
    explicit ControlInstance(ControlSite& site) : control_(site), dispatch_(control_, site) {}

    Result queryInterface(const Guid& iid, void** out) override {
        if (!out) return kPointer;
        *out = nullptr;
        if (iid != kUnknownId && iid != idl::kDefaultInterfaceId) return kNoInterface;
        *out = static_cast<ControlObject*>(this);
        addRef();
        return kOk;
    }
    std::uint32_t addRef() override { return addRefCount(); }
    std::uint32_t release() override { return releaseCount(); }

    std::int32_t idOfName(std::string_view name) override { return ControlDispatch::idOfName(name); }
    Variant invoke(std::int32_t dispid, InvokeKind kind, std::span<Variant> arguments) override {
        return dispatch_.invoke(dispid, kind, arguments);
    }
    void initNew() override { control_.InitProperties(); }
    void load(PropertyBag& bag) override { control_.ReadProperties(bag); }
    void save(PropertyBag& bag) override { control_.WriteProperties(bag); }
    Quorvel2000& control() override { return control_; }

private:
    Quorvel2000 control_;
    ControlDispatch dispatch_;
};

class Factory final : public ClassFactory, private Counted {
public:
    Result queryInterface(const Guid& iid, void** out) override {
        if (!out) return kPointer;
        *out = nullptr;
        if (iid != kUnknownId && iid != kClassFactoryId) return kNoInterface;
        *out = static_cast<ClassFactory*>(this);
        addRef();
        return kOk;
    }
    std::uint32_t addRef() override { return addRefCount(); }
    std::uint32_t release() override { return releaseCount(); }

    Result createInstance(ControlSite* site, const Guid& iid, void** out) override {
        if (!out) return kPointer;
        *out = nullptr;
        if (!site) return kPointer;
        ControlInstance* instance = nullptr;
        try {
            instance = new ControlInstance(*site);
        } catch (const std::bad_alloc&) { return kOutOfMemory; } catch (const Failure&) {
            // The site refused one of the children.
            return kFail;
        }
        const Result r = instance->queryInterface(iid, out);
        instance->release();
        return r;
    }

    Result lockServer(bool lock) override {
        if (lock) {
            ++serverLocks;
        } else if (serverLocks.load() > 0) {
            --serverLocks;
        }
        return kOk;
    }
};

ClassRegistration registration() {
    ClassRegistration r;
    r.classId = idl::kClassId;
    r.name = std::string(idl::kClassName);
    r.module = modulePath();
    r.control = true;
    r.typeLibrary = idl::kTypeLibraryId;
    r.typeLibraryMajor = idl::kTypeLibrary.majorVersion;
    r.typeLibraryMinor = idl::kTypeLibrary.minorVersion;
    r.typeLibraryLocale = idl::kTypeLibrary.locale;
    r.typeLibraryHelp = std::string(idl::kTypeLibrary.helpString);
    r.defaultInterface = {idl::kDefaultInterfaceId, std::string(idl::kDefaultInterfaceName)};
    r.eventInterface = {idl::kEventInterfaceId, std::string(idl::kEventInterfaceName)};
    for (std::string_view page : idl::kPropertyPages) r.propertyPages.emplace_back(page);
    return r;
}

const QuorvelVersionInfo kVersionInfo = [] {
    const idl::VersionRecord& v = idl::kVersionRecord;
    QuorvelVersionInfo info{};
    for (int i = 0; i < 4; ++i) {
        info.fileVersion[i] = v.fileVersion[static_cast<std::size_t>(i)];
        info.productVersion[i] = v.productVersion[static_cast<std::size_t>(i)];
    }
    // The views of the record point at string literals, which end in a 0.
    info.fileVersionText = v.fileVersionText.data();
    info.productVersionText = v.productVersionText.data();
    info.fileDescription = v.fileDescription.data();
    info.productName = v.productName.data();
    info.internalName = v.internalName.data();
    info.originalFilename = v.originalFilename.data();
    info.language = v.language;
    info.codePage = v.codePage;
    info.translation = v.translation.data();
    return info;
}();

}  // namespace

}  // namespace quorvel::component

using namespace quorvel;
using namespace quorvel::component;

extern "C" {

std::int32_t DllRegisterServer() {
    try {
        Registry(registryPath()).add(registration());
        return kOk;
    } catch (const Failure&) { return kRegistrationFailed; } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

std::int32_t DllUnregisterServer() {
    try {
        Registry(registryPath()).remove(idl::kClassId);
        return kOk;
    } catch (const Failure&) { return kRegistrationFailed; } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

std::int32_t DllGetClassObject(const Guid* classId, const Guid* interfaceId, void** out) {
    if (!out) return kPointer;
    *out = nullptr;
    if (!classId || !interfaceId) return kInvalidArgument;
    if (*classId != idl::kClassId) return kClassNotAvailable;
    Factory* factory = new (std::nothrow) Factory;
    if (!factory) return kOutOfMemory;
    const Result r = factory->queryInterface(*interfaceId, out);
    factory->release();
    return r;
}

std::int32_t DllCanUnloadNow() {
    return liveObjects.load() == 0 && serverLocks.load() == 0 ? kOk : component::kFalse;
}

void QuorvelSetRegistryPath(const char* path) {
    std::lock_guard lock(registryPathMutex);
    registryPathOverride = path ? path : "";
}

const char* QuorvelRegistryPath() {
    std::string path = registryPath().string();
    std::lock_guard lock(registryPathMutex);
    registryPathReturned = std::move(path);
    return registryPathReturned.c_str();
}

const QuorvelVersionInfo* QuorvelGetVersionRecord() { return &kVersionInfo; }

const QuorvelPictureData* QuorvelGetToolboxPicture() {
    static const QuorvelPictureData picture = [] {
        auto bytes = toolboxPictureBmp();
        return QuorvelPictureData{kToolboxPictureWidth, kToolboxPictureHeight, kToolboxPictureBitsPerPixel,
                                  bytes.data(), bytes.size()};
    }();
    return &picture;
}

}  // extern "C"
