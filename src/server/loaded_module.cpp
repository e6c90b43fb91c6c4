#include "server/loaded_module.h"

#include <dlfcn.h>

#include <cstdio>
#include <utility>

#include "platform/failure.h"
#include "server/registry.h"

namespace quorvel::component {

namespace {

inline constexpr std::int32_t kCannotLoadModule = 48;
inline constexpr std::int32_t kCannotCreateObject = 429;

std::string hex(Result r) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(r));
    return buf;
}

}  // namespace

LoadedModule LoadedModule::open(const std::filesystem::path& file) {
    LoadedModule m;
    m.handle_ = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m.handle_) {
        const char* why = ::dlerror();
        fail(kCannotLoadModule, "Cannot load " + file.string() + ": " + (why ? why : "unknown reason"));
    }
    auto find = [&](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(::dlsym(m.handle_, name));
        if (!slot) fail(kCannotLoadModule, file.string() + " has no entry point " + name);
    };
    find(m.register_, "DllRegisterServer");
    find(m.unregister_, "DllUnregisterServer");
    find(m.getClassObject_, "DllGetClassObject");
    find(m.canUnloadNow_, "DllCanUnloadNow");
    find(m.setRegistryPath_, "QuorvelSetRegistryPath");
    find(m.registryPath_, "QuorvelRegistryPath");
    find(m.versionRecord_, "QuorvelGetVersionRecord");
    find(m.toolboxPicture_, "QuorvelGetToolboxPicture");
    return m;
}

LoadedModule LoadedModule::openRegistered(const std::filesystem::path& registryFile, const Guid& classId) {
    auto registration = Registry(registryFile).find(classId);
    if (!registration)
        fail(kCannotCreateObject,
             "The class " + classId.toString() + " is not registered in " + registryFile.string());
    return open(registration->module);
}

LoadedModule::LoadedModule(LoadedModule&& o) noexcept { *this = std::move(o); }

LoadedModule& LoadedModule::operator=(LoadedModule&& o) noexcept {
    if (this == &o) return *this;
    unload();
    handle_ = std::exchange(o.handle_, nullptr);
    register_ = o.register_;
    unregister_ = o.unregister_;
    getClassObject_ = o.getClassObject_;
    canUnloadNow_ = o.canUnloadNow_;
    setRegistryPath_ = o.setRegistryPath_;
    registryPath_ = o.registryPath_;
    versionRecord_ = o.versionRecord_;
    toolboxPicture_ = o.toolboxPicture_;
    return *this;
}

LoadedModule::~LoadedModule() { unload(); }

bool LoadedModule::unload() {
    if (!handle_) return true;
    if (canUnloadNow_ && canUnloadNow_() != kOk) return false;
    ::dlclose(handle_);
    handle_ = nullptr;
    return true;
}

void LoadedModule::setRegistryPath(const std::filesystem::path& file) const {
    setRegistryPath_(file.empty() ? nullptr : file.c_str());
}

Ref<ControlObject> LoadedModule::createControl(const Guid& classId, ControlSite& site) const {
    Ref<ClassFactory> factory;
    Result r = getClassObject(classId, kClassFactoryId, factory.out());
    if (!succeeded(r))
        fail(kCannotCreateObject, "No class factory for " + classId.toString() + " (" + hex(r) + ")");
    Ref<ControlObject> control;
    r = factory->createInstance(&site, idl::kDefaultInterfaceId, control.out());
    if (!succeeded(r)) fail(kCannotCreateObject, "The class factory refused the control (" + hex(r) + ")");
    return control;
}

}  // namespace quorvel::component
