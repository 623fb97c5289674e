#include "app/install_paths.h"

#include <system_error>

namespace plover {
namespace {

std::filesystem::path ProgramFolder() {
  std::error_code error;
  const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : program.parent_path();
}

bool IsFile(const std::filesystem::path& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_regular_file(path, error);
}

}  // namespace

std::filesystem::path DocumentationFile(std::string_view name) {
  const std::filesystem::path program = ProgramFolder();
  // bin/ and share/ are siblings under any prefix; the compiled-in folder covers a program that
  // was copied elsewhere; the source tree covers a program run from its build folder (the
  // README sits at its root, the sample under resources/).
  const std::filesystem::path candidates[] = {
      program.empty() ? program : program / PLOVER_INSTALL_DOCDIR_RELATIVE / name,
      std::filesystem::path(PLOVER_INSTALL_DOCDIR) / name,
      std::filesystem::path(PLOVER_SOURCE_DIR) / name,
      std::filesystem::path(PLOVER_SOURCE_DIR) / "resources" / name,
  };
  for (const auto& candidate : candidates)
    if (IsFile(candidate)) return candidate;
  return {};
}

}  // namespace plover
