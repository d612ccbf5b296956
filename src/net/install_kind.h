#pragma once
// How this copy of the program was installed, which decides the package the
// updater fetches. The names are the release manifest's kind names.
#include <cstdint>
#include <string_view>

namespace qm {

enum InstallKind : std::uint8_t {
    ikNone = 0,  // this copy cannot update itself
    ikExe = 1,
    ikMsi = 2,
    ikZip = 3,
    ikAppImage = 4,
    ikTar = 5,  // a plain program file
    ikDeb = 6,
    ikRpm = 7,
};

// The manifest's name of a kind; empty for ikNone.
constexpr std::string_view installKindName(InstallKind kind)
{
    switch (kind) {
    case ikNone:
        return "";
    case ikExe:
        return "exe";
    case ikMsi:
        return "msi";
    case ikZip:
        return "zip";
    case ikAppImage:
        return "appimage";
    case ikTar:
        return "tar";
    case ikDeb:
        return "deb";
    case ikRpm:
        return "rpm";
    }
    return "";
}

}  // namespace qm
