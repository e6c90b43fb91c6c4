// What the control's module (Quorvel2000.so) exports, with C linkage, for a
// host that loads it: the four standard entry points of an in-process
// component server, the place of the registry they use, the version record
// and the toolbox picture.
//
// The registry file is, unless the host names another with
// QuorvelSetRegistryPath, "quorvel-components.json" in the folder of the
// module itself. The module reads no environment variable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "control/interface_description.h"

#define QUORVEL_MODULE_EXPORT __attribute__((visibility("default")))

extern "C" {

// The version record: numbers, then the strings of the Italian (0x0410)
// Unicode (1200) block "041004B0".
struct QuorvelVersionInfo {
    std::uint16_t fileVersion[4];
    std::uint16_t productVersion[4];
    const char* fileVersionText;
    const char* productVersionText;
    const char* fileDescription;
    const char* productName;
    const char* internalName;
    const char* originalFilename;
    std::uint16_t language;
    std::uint16_t codePage;
    const char* translation;
};

// The toolbox picture as the bytes of a BMP file.
struct QuorvelPictureData {
    std::int32_t width;
    std::int32_t height;
    std::int32_t bitsPerPixel;
    const std::uint8_t* bytes;
    std::size_t size;
};

// Writes the class, its type library and its two interfaces into the
// registry file, keeping every other entry there. 0 on success; the
// runtime's registration failure (0x80040201) when the file cannot be read
// or written, leaving it as it was.
QUORVEL_MODULE_EXPORT std::int32_t DllRegisterServer();
// Removes what DllRegisterServer wrote; 0 also when nothing was there.
QUORVEL_MODULE_EXPORT std::int32_t DllUnregisterServer();
// The class factory of the control's class, counted: 0 and *out set, or
// 0x80040111 (class not available) for another class and a null *out.
QUORVEL_MODULE_EXPORT std::int32_t DllGetClassObject(const quorvel::Guid* classId,
                                                     const quorvel::Guid* interfaceId, void** out);
// 0 when no object of the module is alive and no lock is held, 1 otherwise.
QUORVEL_MODULE_EXPORT std::int32_t DllCanUnloadNow();

// Null or "" goes back to the default beside the module.
QUORVEL_MODULE_EXPORT void QuorvelSetRegistryPath(const char* path);
// Valid until the next QuorvelSetRegistryPath.
QUORVEL_MODULE_EXPORT const char* QuorvelRegistryPath();

QUORVEL_MODULE_EXPORT const QuorvelVersionInfo* QuorvelGetVersionRecord();
QUORVEL_MODULE_EXPORT const QuorvelPictureData* QuorvelGetToolboxPicture();

}  // extern "C"

namespace quorvel::component {
using RegisterServerFunction = std::int32_t (*)();
using GetClassObjectFunction = std::int32_t (*)(const Guid*, const Guid*, void**);
using CanUnloadNowFunction = std::int32_t (*)();
using SetRegistryPathFunction = void (*)(const char*);
using RegistryPathFunction = const char* (*)();
using VersionRecordFunction = const QuorvelVersionInfo* (*)();
using ToolboxPictureFunction = const QuorvelPictureData* (*)();
}  // namespace quorvel::component
