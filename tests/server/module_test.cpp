// The built module, loaded as a host loads it: by its file, through its
// exported entry points only.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "headless/property_bag.h"
#include "headless/site.h"
#include "platform/failure.h"
#include "server/component.h"
#include "server/loaded_module.h"
#include "server/module_exports.h"
#include "server/registry.h"
#include "support/temp_dir.h"

namespace quorvel::component {
namespace {

using quorvel::testing::TempDir;
using Json = nlohmann::json;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

Json readJson(const std::string& path) { return Json::parse(readText(path)); }

// The module opened with the platform loader, its entry points found by
// their exported names.
class Module : public ::testing::Test {
protected:
    void SetUp() override {
        handle = ::dlopen(QUORVEL_MODULE_FILE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << ::dlerror();
        registerServer = symbol<RegisterServerFunction>("DllRegisterServer");
        unregisterServer = symbol<RegisterServerFunction>("DllUnregisterServer");
        getClassObject = symbol<GetClassObjectFunction>("DllGetClassObject");
        canUnloadNow = symbol<CanUnloadNowFunction>("DllCanUnloadNow");
        setRegistryPath = symbol<SetRegistryPathFunction>("QuorvelSetRegistryPath");
        registryPath = symbol<RegistryPathFunction>("QuorvelRegistryPath");
        ASSERT_TRUE(registerServer && unregisterServer && getClassObject && canUnloadNow && setRegistryPath &&
                    registryPath);
        registry = dir.file("registry/components.json");
        setRegistryPath(registry.c_str());
    }
    void TearDown() override {
        if (!handle) return;
        setRegistryPath(nullptr);
        ::dlclose(handle);
    }

    template <class F>
    F symbol(const char* name) {
        return reinterpret_cast<F>(::dlsym(handle, name));
    }

    TempDir dir;
    std::string registry;
    void* handle = nullptr;
    RegisterServerFunction registerServer = nullptr;
    RegisterServerFunction unregisterServer = nullptr;
    GetClassObjectFunction getClassObject = nullptr;
    CanUnloadNowFunction canUnloadNow = nullptr;
    SetRegistryPathFunction setRegistryPath = nullptr;
    RegistryPathFunction registryPath = nullptr;
};

TEST_F(Module, RegistersCreatesRefusesToUnloadWhileAControlLivesAndUnregisters) {
    // Another module's class is in the registry already and must stay.
    std::filesystem::create_directories(dir.path() / "registry");
    {
        std::ofstream out(registry);
        out << R"({"classes": {"{11111111-2222-3333-4444-555555555555}": {"name": "Other",
                   "module": "/opt/other.so"}}, "typeLibraries": {}, "interfaces": {}})";
    }

    ASSERT_EQ(registerServer(), kOk);
    Json doc = readJson(registry);
    const Json& entry = doc["classes"][idl::kClassId.toString()];
    EXPECT_EQ(entry["name"], "Quorvel2000");
    EXPECT_EQ(entry["control"], true);
    EXPECT_EQ(std::filesystem::canonical(entry["module"].get<std::string>()),
              std::filesystem::canonical(QUORVEL_MODULE_FILE));
    EXPECT_EQ(entry["typeLibrary"], "{01182EFA-44CF-4256-8D70-F8584D7976EF}");
    EXPECT_EQ(entry["defaultInterface"], "{4245357A-7754-4641-9D13-E18F1D8DE5F1}");
    EXPECT_EQ(entry["eventInterface"], "{07642C0E-1D70-47EA-A75A-8A5D5E3533C1}");
    EXPECT_EQ(entry["propertyPages"],
              Json::array({"StandardColor", "StandardFont", "StandardPicture", "About"}));
    const Json& library = doc["typeLibraries"]["{01182EFA-44CF-4256-8D70-F8584D7976EF}"];
    EXPECT_EQ(library["version"], "2.0");
    EXPECT_EQ(library["locale"], 0x409);
    EXPECT_EQ(library["helpString"], "Quorvel");
    EXPECT_EQ(doc["interfaces"]["{4245357A-7754-4641-9D13-E18F1D8DE5F1}"]["name"], "_Quorvel2000");
    EXPECT_EQ(doc["interfaces"]["{07642C0E-1D70-47EA-A75A-8A5D5E3533C1}"]["name"], "__Quorvel2000");
    EXPECT_TRUE(doc["classes"].contains("{11111111-2222-3333-4444-555555555555}"));
    // Registering twice replaces, never duplicates.
    ASSERT_EQ(registerServer(), kOk);
    EXPECT_EQ(readJson(registry)["classes"].size(), 2u);

    EXPECT_EQ(canUnloadNow(), kOk);
    headless::HeadlessSite site;
    Ref<ClassFactory> factory;
    ASSERT_EQ(getClassObject(&idl::kClassId, &kClassFactoryId, factory.out()), kOk);
    ASSERT_TRUE(factory);
    EXPECT_EQ(canUnloadNow(), kFalse) << "a factory held by the host is alive";

    Ref<ControlObject> control;
    ASSERT_EQ(factory->createInstance(&site, idl::kDefaultInterfaceId, control.out()), kOk);
    ASSERT_TRUE(control);
    factory.reset();
    EXPECT_EQ(canUnloadNow(), kFalse) << "the control is alive";

    // The control works: late bound and typed.
    control->initNew();
    Variant text("Rossi");
    control->invoke(control->idOfName("Text"), InvokeKind::PropertyLet, std::span<Variant>(&text, 1));
    EXPECT_EQ(control->invoke(0, InvokeKind::PropertyGet, {}), Variant("Rossi"));
    EXPECT_EQ(control->control().ListHeight(), 2055);
    EXPECT_EQ(control->idOfName("listheight"), 0x6803006E);
    headless::MemoryPropertyBag bag;
    control->save(bag);
    EXPECT_EQ(bag.readProperty("Text", Variant()), Variant("Rossi"));
    // A failure of a member comes back as the platform's failure.
    EXPECT_THROW(
        control->invoke(control->idOfName("hwnd"), InvokeKind::PropertyLet, std::span<Variant>(&text, 1)),
        Failure);

    // A second reference counts too.
    Ref<Unknown> unknown;
    ASSERT_EQ(control->queryInterface(kUnknownId, unknown.out()), kOk);
    control.reset();
    EXPECT_EQ(canUnloadNow(), kFalse);
    unknown.reset();
    EXPECT_EQ(canUnloadNow(), kOk);

    ASSERT_EQ(unregisterServer(), kOk);
    doc = readJson(registry);
    EXPECT_FALSE(doc["classes"].contains(idl::kClassId.toString()));
    EXPECT_FALSE(doc["typeLibraries"].contains(idl::kTypeLibraryId.toString()));
    EXPECT_TRUE(doc["interfaces"].empty());
    EXPECT_TRUE(doc["classes"].contains("{11111111-2222-3333-4444-555555555555}"));
    EXPECT_EQ(unregisterServer(), kOk) << "unregistering what is not there is no failure";
}

TEST_F(Module, ALockKeepsTheModuleLoadedWithNoObjectAlive) {
    Ref<ClassFactory> factory;
    ASSERT_EQ(getClassObject(&idl::kClassId, &kClassFactoryId, factory.out()), kOk);
    EXPECT_EQ(factory->lockServer(true), kOk);
    factory.reset();
    EXPECT_EQ(canUnloadNow(), kFalse);
    ASSERT_EQ(getClassObject(&idl::kClassId, &kUnknownId, factory.out()), kOk);
    EXPECT_EQ(factory->lockServer(false), kOk);
    factory.reset();
    EXPECT_EQ(canUnloadNow(), kOk);
}

TEST_F(Module, AsksForWhatItDoesNotServeAreRefusedCleanly) {
    headless::HeadlessSite site;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(&idl::kTypeLibraryId, &kClassFactoryId, &out), kClassNotAvailable);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(getClassObject(&idl::kClassId, &idl::kEventInterfaceId, &out), kNoInterface);
    EXPECT_EQ(getClassObject(&idl::kClassId, &kClassFactoryId, nullptr), kPointer);

    Ref<ClassFactory> factory;
    ASSERT_EQ(getClassObject(&idl::kClassId, &kClassFactoryId, factory.out()), kOk);
    Ref<ControlObject> control;
    EXPECT_EQ(factory->createInstance(nullptr, idl::kDefaultInterfaceId, control.out()), kPointer);
    // The event interface is the control's outgoing one: it does not implement it.
    EXPECT_EQ(factory->createInstance(&site, idl::kEventInterfaceId, control.out()), kNoInterface);
    EXPECT_FALSE(control);
    factory.reset();
    EXPECT_EQ(canUnloadNow(), kOk) << "a refused creation leaves nothing alive";
}

TEST_F(Module, AnUnreadableRegistryIsLeftAsItWas) {
    std::filesystem::create_directories(dir.path() / "registry");
    {
        std::ofstream out(registry);
        out << "{ this is not a registry";
    }
    EXPECT_EQ(registerServer(), kRegistrationFailed);
    EXPECT_EQ(unregisterServer(), kRegistrationFailed);
    EXPECT_EQ(readText(registry), "{ this is not a registry");
}

TEST_F(Module, TheRegistryIsBesideTheModuleUnlessTheHostNamesIt) {
    EXPECT_EQ(std::string(registryPath()), registry);
    setRegistryPath(nullptr);
    EXPECT_EQ(std::filesystem::path(registryPath()),
              std::filesystem::absolute(QUORVEL_MODULE_FILE).parent_path() / "quorvel-components.json");
    setRegistryPath("");
    EXPECT_EQ(std::filesystem::path(registryPath()).filename(), "quorvel-components.json");
}

TEST_F(Module, CarriesItsVersionRecordAndToolboxPicture) {
    auto version = symbol<VersionRecordFunction>("QuorvelGetVersionRecord");
    auto picture = symbol<ToolboxPictureFunction>("QuorvelGetToolboxPicture");
    ASSERT_TRUE(version && picture);

    const QuorvelVersionInfo& v = *version();
    EXPECT_EQ(std::vector<int>(v.fileVersion, v.fileVersion + 4), (std::vector<int>{2, 0, 0, 2}));
    EXPECT_EQ(std::vector<int>(v.productVersion, v.productVersion + 4), (std::vector<int>{2, 0, 0, 2}));
    EXPECT_STREQ(v.fileVersionText, "2.00.0002");
    EXPECT_STREQ(v.productVersionText, "2.00.0002");
    EXPECT_STREQ(v.fileDescription, "ComboBox multicolonna per database");
    EXPECT_STREQ(v.productName, "Quorvel");
    EXPECT_STREQ(v.internalName, "Quorvel2000");
    EXPECT_STREQ(v.originalFilename, "Quorvel2000.ocx");
    EXPECT_EQ(v.language, 0x0410);
    EXPECT_EQ(v.codePage, 1200);
    EXPECT_STREQ(v.translation, "041004B0");

    const QuorvelPictureData& p = *picture();
    EXPECT_EQ(p.width, 16);
    EXPECT_EQ(p.height, 15);
    EXPECT_EQ(p.bitsPerPixel, 24);
    ASSERT_EQ(p.size, 54u + 15u * 48u);
    auto u16 = [&](std::size_t at) { return p.bytes[at] | (p.bytes[at + 1] << 8); };
    auto u32 = [&](std::size_t at) { return std::uint32_t(u16(at)) | (std::uint32_t(u16(at + 2)) << 16); };
    EXPECT_EQ(p.bytes[0], 'B');
    EXPECT_EQ(p.bytes[1], 'M');
    EXPECT_EQ(u32(2), p.size);  // file size
    EXPECT_EQ(u32(10), 54u);    // pixels start
    EXPECT_EQ(u32(14), 40u);    // info header
    EXPECT_EQ(u32(18), 16u);    // width
    EXPECT_EQ(u32(22), 15u);    // height, bottom-up
    EXPECT_EQ(u16(26), 1);      // planes
    EXPECT_EQ(u16(28), 24);     // bits a pixel
    EXPECT_EQ(u32(30), 0u);     // no compression
    // The lower-left pixel is the ground; the frame of the edit box is
    // black and its inside white (second pixel of the third row from the top).
    auto pixel = [&](int x, int yFromTop) {
        const std::size_t at = 54 + std::size_t(14 - yFromTop) * 48 + std::size_t(x) * 3;
        return std::array<int, 3>{p.bytes[at + 2], p.bytes[at + 1], p.bytes[at]};
    };
    EXPECT_EQ(pixel(0, 14), (std::array<int, 3>{192, 192, 192}));
    EXPECT_EQ(pixel(0, 1), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(pixel(1, 2), (std::array<int, 3>{255, 255, 255}));
}

TEST(ComponentRuntime, AHostFindsTheModuleThroughTheRegistryAndCreatesTheControl) {
    TempDir dir;
    const std::string registry = dir.file("components.json");
    {
        LoadedModule module = LoadedModule::open(QUORVEL_MODULE_FILE);
        module.setRegistryPath(registry);
        ASSERT_EQ(module.registerServer(), kOk);
        module.setRegistryPath({});
    }
    auto found = Registry(registry).find(idl::kClassId);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, "Quorvel2000");
    EXPECT_EQ(found->defaultInterface.name, "_Quorvel2000");
    EXPECT_EQ(found->typeLibraryMajor, 2);
    EXPECT_EQ(found->typeLibraryLocale, 0x409u);
    EXPECT_FALSE(Registry(registry).find(idl::kTypeLibraryId));

    headless::HeadlessSite site;
    LoadedModule module = LoadedModule::openRegistered(registry, idl::kClassId);
    EXPECT_STREQ(module.versionRecord().productName, "Quorvel");
    {
        Ref<ControlObject> control = module.createControl(idl::kClassId, site);
        control->initNew();
        EXPECT_EQ(control->control().DropDownAuto(), kTrue);
        EXPECT_FALSE(module.unload()) << "the control still runs the module's code";
        EXPECT_TRUE(module.loaded());
    }
    EXPECT_TRUE(module.unload());
    EXPECT_FALSE(module.loaded());

    try {
        LoadedModule::openRegistered(registry, idl::kTypeLibraryId);
        FAIL() << "an unregistered class was loaded";
    } catch (const Failure& f) { EXPECT_EQ(f.number(), 429); }
    try {
        LoadedModule::open(dir.file("missing.so"));
        FAIL() << "a missing module was loaded";
    } catch (const Failure& f) { EXPECT_EQ(f.number(), 48); }
}

}  // namespace
}  // namespace quorvel::component

namespace quorvel::component {
namespace {

// The registry was written through a fixed "<file>.new", so a link planted
// under that name sent the write into whatever file it pointed at.
TEST(ComponentRuntime, ARegistryWriteFollowsNoPlantedLink) {
    TempDir dir;
    const std::string registry = dir.file("components.json");
    const std::string victim = dir.file("victim.txt");
    {
        std::ofstream out(victim);
        out << "untouched";
    }
    std::filesystem::create_symlink(victim, registry + ".new");
    ClassRegistration r;
    r.classId = idl::kClassId;
    r.name = "Quorvel2000";
    Registry(registry).add(r);
    EXPECT_EQ(readText(victim), "untouched");
    ASSERT_TRUE(Registry(registry).find(idl::kClassId));
    EXPECT_FALSE(std::filesystem::is_symlink(registry));
}

}  // namespace
}  // namespace quorvel::component
