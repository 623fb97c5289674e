#include "output/image_oracle.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace kestrel::oracle {

namespace {

constexpr const char* kPython = "/usr/bin/python3";

// A file in the temporary folder, removed when the object goes.
class TTempFile {
 public:
  TTempFile() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kestrel-oracle-XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd >= 0) {
      close(fd);
      Path_ = pattern;
    }
  }
  ~TTempFile() {
    if (!Path_.empty()) std::remove(Path_.c_str());
  }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;
  const std::string& Path() const { return Path_; }

 private:
  std::string Path_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool WriteFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  return bool(out);
}

bool RunPython(const std::string& script) {
  TTempFile scriptFile;
  if (scriptFile.Path().empty() || !WriteFile(scriptFile.Path(), script)) return false;
  const std::string command = std::string(kPython) + " " + scriptFile.Path() + " 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

// Writes "key=value" lines, an empty line, then the raw pixels.
constexpr const char* kDecodeScript = R"PY(
import sys
from PIL import Image
src, mode, dst = sys.argv[1], sys.argv[2], sys.argv[3]
im = Image.open(src)
im.load()
info = {"format": im.format, "mode": im.mode}
if "dpi" in im.info:
    info["dpi"] = "%g,%g" % tuple(float(v) for v in im.info["dpi"])
if "icc_profile" in im.info and im.info["icc_profile"]:
    info["icc"] = im.info["icc_profile"].hex()
if "compression" in im.info:
    info["compression"] = str(im.info["compression"])
if im.format == "TIFF":
    info["predictor"] = str(im.tag_v2.get(317, 1))
    info["xresolution"] = str(float(im.tag_v2[282])) if 282 in im.tag_v2 else "none"
if im.format == "JPEG":
    info["progressive"] = str(int(bool(im.info.get("progressive", 0))))
    info["layers"] = str(im.layers)
out = im.convert(mode)
with open(dst, "wb") as f:
    f.write(("w=%d\nh=%d\n" % out.size).encode())
    for k, v in info.items():
        f.write(("%s=%s\n" % (k, v)).encode())
    f.write(b"\n")
    f.write(out.tobytes())
)PY";

}  // namespace

bool OracleAvailable() {
  static const bool available =
      std::system((std::string(kPython) + " -c 'import PIL' >/dev/null 2>&1").c_str()) == 0;
  return available;
}

std::optional<TOracleImage> DecodeWithOracle(const std::string& file, const std::string& mode) {
  TTempFile input, output, script;
  if (input.Path().empty() || output.Path().empty() || script.Path().empty()) return std::nullopt;
  if (!WriteFile(input.Path(), file) || !WriteFile(script.Path(), kDecodeScript)) {
    return std::nullopt;
  }
  const std::string command = std::string(kPython) + " " + script.Path() + " " + input.Path() +
                              " " + mode + " " + output.Path() + " 2>/dev/null";
  if (std::system(command.c_str()) != 0) return std::nullopt;
  const std::string result = ReadFile(output.Path());
  const std::size_t end = result.find("\n\n");
  if (end == std::string::npos) return std::nullopt;
  TOracleImage image;
  std::istringstream lines(result.substr(0, end + 1));
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    image.Info[line.substr(0, eq)] = line.substr(eq + 1);
  }
  image.Width = std::atoi(image.Info["w"].c_str());
  image.Height = std::atoi(image.Info["h"].c_str());
  image.Pixels.assign(result.begin() + static_cast<std::ptrdiff_t>(end + 2), result.end());
  return image;
}

std::optional<std::string> EncodeWithOracle(const std::vector<std::uint8_t>& pixels, int width,
                                            int height, const std::string& mode,
                                            const std::string& format, const std::string& options,
                                            const std::string& convertTo) {
  TTempFile raw, output;
  if (raw.Path().empty() || output.Path().empty()) return std::nullopt;
  if (!WriteFile(raw.Path(), std::string(pixels.begin(), pixels.end()))) return std::nullopt;
  std::ostringstream script;
  script << "from PIL import Image\n"
         << "data = open('" << raw.Path() << "', 'rb').read()\n"
         << "im = Image.frombytes('" << mode << "', (" << width << ", " << height << "), data)\n";
  if (!convertTo.empty()) script << "im = im.convert('" << convertTo << "')\n";
  script << "im.save('" << output.Path() << "', '" << format << "'" << (options.empty() ? "" : ", ")
         << options << ")\n";
  if (!RunPython(script.str())) return std::nullopt;
  std::string bytes = ReadFile(output.Path());
  if (bytes.empty()) return std::nullopt;
  return bytes;
}

}  // namespace kestrel::oracle
