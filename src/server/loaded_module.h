// The host's side of the component runtime: a module loaded from its file,
// its entry points, and the creation of a control through its class
// factory, found directly or through the registry.
#pragma once

#include <filesystem>

#include "server/component.h"
#include "server/module_exports.h"

namespace quorvel::component {

class LoadedModule {
public:
    // Failure 48 (error in loading the module) with the loader's reason, or
    // when the file lacks one of the entry points.
    static LoadedModule open(const std::filesystem::path& file);
    // Loads the module that the registry names for the class: Failure 429
    // when the class is not registered, 48 as open.
    static LoadedModule openRegistered(const std::filesystem::path& registryFile, const Guid& classId);

    LoadedModule(LoadedModule&& other) noexcept;
    LoadedModule& operator=(LoadedModule&& other) noexcept;
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;
    // Unloads the module when it allows it; a module with objects alive
    // stays loaded, so that they keep their code.
    ~LoadedModule();

    Result registerServer() const { return register_(); }
    Result unregisterServer() const { return unregister_(); }
    Result getClassObject(const Guid& classId, const Guid& iid, void** out) const {
        return getClassObject_(&classId, &iid, out);
    }
    Result canUnloadNow() const { return canUnloadNow_(); }
    void setRegistryPath(const std::filesystem::path& file) const;
    std::filesystem::path registryPath() const { return registryPath_(); }
    const QuorvelVersionInfo& versionRecord() const { return *versionRecord_(); }
    const QuorvelPictureData& toolboxPicture() const { return *toolboxPicture_(); }

    // A new control on the site through the module's class factory; Failure
    // 429 (cannot create the object) with the factory's result otherwise.
    Ref<ControlObject> createControl(const Guid& classId, ControlSite& site) const;

    // Unloads now if the module allows it; false (and still loaded) if not.
    bool unload();
    bool loaded() const { return handle_ != nullptr; }

private:
    LoadedModule() = default;
    void* handle_ = nullptr;
    RegisterServerFunction register_ = nullptr;
    RegisterServerFunction unregister_ = nullptr;
    GetClassObjectFunction getClassObject_ = nullptr;
    CanUnloadNowFunction canUnloadNow_ = nullptr;
    SetRegistryPathFunction setRegistryPath_ = nullptr;
    RegistryPathFunction registryPath_ = nullptr;
    VersionRecordFunction versionRecord_ = nullptr;
    ToolboxPictureFunction toolboxPicture_ = nullptr;
};

}  // namespace quorvel::component
