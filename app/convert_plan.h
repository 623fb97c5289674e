#pragma once
// Pure rules of the Convert command: where a file's images go and what the overall bar shows.
#include <string>

namespace plover {

// The folder that receives the images of `fileName`: the row's folder, or `customFolder` when
// the custom output is chosen, with "/" appended when missing, followed by the file name
// without its last extension and "/". report.final.pdf gives ".../report.final/"; a name with
// nothing before its extension (".pdf") is kept whole.
std::string OutputFolderFor(const std::string& rowFolder, const std::string& fileName, bool custom,
                            const std::string& customFolder);

// The overall bar while file n (1-based) of total is converted: the middle of its share.
int ProgressAtFileStart(int n, int total);
// The overall bar after file n of total.
int ProgressAtFileEnd(int n, int total);

}  // namespace plover
