#pragma once
// The packer's check of a name against what Windows and the installer accept.

#include <string>

namespace pack {

// Why a relative name (backslash-separated) cannot be a file path on Windows, or would be refused
// by the installer; empty when it can be packed.
std::string WindowsNameProblem(const std::u16string& name);

}  // namespace pack
