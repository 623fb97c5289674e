#include "app/conversion_job.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "engine/kestrel.h"

namespace plover {

namespace {

// A private copy of the source in the temporary folder, created with a unique name that no
// other process can take over, and removed when the job ends however it ends.
class TTempCopy {
 public:
  explicit TTempCopy(const std::string& bytes) {
    std::string pattern = (std::filesystem::temp_directory_path() / "plover-src-XXXXXX").string();
    path_.assign(pattern.begin(), pattern.end());
    path_.push_back('\0');
    int fd = ::mkstemp(path_.data());
    if (fd < 0) throw std::runtime_error("cannot create a temporary file: " + std::string(std::strerror(errno)));
    created_ = true;
    std::size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ::close(fd);
        throw std::runtime_error("cannot write the temporary file");
      }
      done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) throw std::runtime_error("cannot write the temporary file");
  }
  ~TTempCopy() {
    if (created_) ::unlink(path_.data());
  }
  TTempCopy(const TTempCopy&) = delete;
  TTempCopy& operator=(const TTempCopy&) = delete;
  std::string Path() const { return std::string(path_.data()); }

 private:
  std::vector<char> path_;
  bool created_ = false;
};

// Writes a page file through a temporary name in the same folder, so that a failed write never
// leaves a truncated image under the page's name.
void WritePageFile(const std::filesystem::path& target, const std::string& bytes) {
  std::filesystem::path temp = target;
  temp += ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + temp.string());
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ec;
      std::filesystem::remove(temp, ec);
      throw std::runtime_error("cannot write " + target.string());
    }
  }
  std::filesystem::rename(temp, target);
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("cannot read " + path);
  return bytes;
}

int CountPages(const std::string& filePath, const std::string& password) {
  kestrel::TKestrel0725 engine;
  const std::string bytes = ReadWholeFile(filePath);
  kestrel::TSmartPDFLink* handle = engine.OpenDocument(bytes, password);
  return engine.GetPageCount(handle);
}

int ConvertFileWith(const std::string& sourcePath, const std::string& password, const std::string& extension,
                    int formatIndex, const std::string& outputFolder, const TConvertOptions& options) {
  int result = kJobOpenFailed;
  kestrel::TKestrel0725 engine;
  std::string buffer;
  try {
    buffer = ReadWholeFile(sourcePath);
    {
      // The engine reads a private copy, never the user's file.
      TTempCopy copy(buffer);
      buffer.clear();
      buffer = ReadWholeFile(copy.Path());
    }
    kestrel::TSmartPDFLink* handle = engine.OpenDocument(buffer, password);
    const int count = engine.GetPageCount(handle);
    if (!handle || count <= 0) {
      // A file that cannot be opened is a failure, not an empty success.
      if (options.OpenError) {
        *options.OpenError = handle ? "the document has no pages"
                                    : "cannot open (code " + std::to_string(engine.LastErrorCode) + ")";
      }
      return kJobOpenFailed;
    }
    result = kJobFailed;
    // Pages are numbered on the fly: a declared count can be huge.
    const std::size_t total = options.Pages.empty() ? static_cast<std::size_t>(count) : options.Pages.size();
    bool allWritten = true;
    // A page tree that holds far fewer pages than its declared count (a count of two billion
    // is possible) would keep the loop busy for hours: stop after a long run of missing pages.
    constexpr int kMaxMissingRun = 1000;
    int missingRun = 0;
    for (std::size_t k = 0; k < total; ++k) {
      if (options.Cancel && options.Cancel->load()) return kJobFailed;
      const int n = options.Pages.empty() ? static_cast<int>(k + 1) : options.Pages[k];
      std::string stream;
      std::string problem;
      kestrel::TPDFIndRef* ref = n >= 1 && n <= count ? engine.FindPage(handle, n) : nullptr;
      if (!ref) problem = n > count || n < 1 ? "no such page" : "page not found in the page tree";
      missingRun = ref ? 0 : missingRun + 1;
      if (missingRun > kMaxMissingRun) {
        if (options.PageFailed)
          options.PageFailed(0, "stopped: the page tree holds fewer pages than the document declares");
        return kJobFailed;
      }
      if (ref && engine.RenderPageToStream(handle, ref, stream, options.Dpi, formatIndex) == 0)
        problem = "the page reference was refused";
      if (problem.empty()) problem = engine.LastRenderProblem;
      if (stream.empty()) {
        // No image for this page: write no empty file, go on, and report the file as failed.
        allWritten = false;
        if (options.PageFailed) options.PageFailed(n, problem.empty() ? "no image produced" : problem);
      } else {
        WritePageFile(std::filesystem::path(outputFolder) / (std::to_string(n) + "." + extension), stream);
      }
      if (options.Progress)
        options.Progress(static_cast<int>(std::trunc(static_cast<double>(k + 1) / static_cast<double>(total) * 100.0)));
    }
    result = allWritten ? kJobComplete : kJobFailed;
  } catch (const std::exception& e) {
    if (result == kJobOpenFailed && options.OpenError) *options.OpenError = e.what();
    if (result == kJobFailed && options.PageFailed) options.PageFailed(0, e.what());
  }
  return result;
}

int ConvertFile(const std::string& sourceFolder, const std::string& fileName, const std::string& password,
                const std::string& extension, int formatIndex, int scaleIndex, const std::string& outputFolder,
                const std::function<void(int)>& progress) {
  TConvertOptions options;
  options.Dpi = DpiForScaleIndex(scaleIndex);
  options.Progress = progress;
  return ConvertFileWith(sourceFolder + fileName, password, extension, formatIndex, outputFolder, options);
}

}  // namespace plover
