#pragma once
// Where the programs find the files installed beside them (README, the sample PDF). An
// installed program looks relative to its own location first, so a package or prefix can be
// moved; a program run from its build folder finds the files in the source tree.
#include <filesystem>
#include <string_view>

namespace plover {

// The installed documentation file `name` ("README.md", "sample.pdf"); empty when none exists.
std::filesystem::path DocumentationFile(std::string_view name);

}  // namespace plover
