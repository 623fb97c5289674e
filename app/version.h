#pragma once
// The program's version, shown by the window's caption and About window and by plover-cli.
namespace plover {
inline constexpr const char* kVersionText = "3.6.1";
}  // namespace plover
