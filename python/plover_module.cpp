// The Python module `plover`: open PDFs, render pages into numpy arrays, save pages in every
// output format the engine writes. Rendering releases the GIL.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>

#include "app/conversion_job.h"
#include "app/convert_plan.h"
#include "app/page_file.h"
#include "app/version.h"
#include "python/document_core.h"
#include "python/errors.h"
#include "python/page_array.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace plover::python {

namespace {

constexpr double kMaxDpi = 2400;

// Format number of a name ("png", "JPG", ...), as the command line reads --format.
int FormatIndex(std::string name) {
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper == "JPG") upper = "JPEG";
  if (upper == "TIF") upper = "TIFF";
  auto it = std::find_if(std::begin(kFormatCaptions), std::end(kFormatCaptions),
                         [&](const char* c) { return upper == c; });
  if (it == std::end(kFormatCaptions)) throw py::value_error("unknown format: " + name);
  return static_cast<int>(it - std::begin(kFormatCaptions));
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A PDF given as data (bytes, bytearray, memoryview, any buffer) or as a path.
std::optional<std::string> BytesOf(const py::object& source) {
  if (py::isinstance<py::str>(source) || py::hasattr(source, "__fspath__")) return std::nullopt;
  if (!PyObject_CheckBuffer(source.ptr())) throw py::type_error("plover.open takes a path or the bytes of a PDF");
  py::buffer_info info = py::reinterpret_borrow<py::buffer>(source).request();
  if (info.ndim != 1 && info.ndim != 0) throw py::type_error("plover.open takes a one-dimensional buffer of bytes");
  const auto* data = static_cast<const char*>(info.ptr);
  return std::string(data, data + info.size * info.itemsize);
}

std::string PasswordOf(const py::object& password) {
  if (password.is_none()) return {};
  if (py::isinstance<py::bytes>(password)) return password.cast<std::string>();
  if (py::isinstance<py::str>(password)) return password.cast<std::string>();  // UTF-8
  throw py::type_error("password must be str or bytes");
}

class TDocument {
 public:
  explicit TDocument(std::shared_ptr<TDocumentCore> core) : core_(std::move(core)) {}

  std::shared_ptr<TDocumentCore> Core() const {
    if (!core_) throw py::value_error("the document is closed");
    return core_;
  }
  // Calls in flight keep their own hold on the core and finish.
  void Close() { core_.reset(); }
  bool Closed() const { return !core_; }
  int PageCount() const { return Core()->PageCount(); }

  void CheckPage(int page) const {
    const int count = PageCount();
    if (page < 1) throw py::index_error("page " + std::to_string(page) + " does not exist: pages count from 1");
    if (page > count)
      throw py::index_error("page " + std::to_string(page) + " does not exist: the document has " +
                            std::to_string(count) + (count == 1 ? " page" : " pages"));
  }

  py::tuple PageSize(int page) const {
    CheckPage(page);
    double width = 0, height = 0;
    bool found;
    {
      py::gil_scoped_release release;
      auto lease = Core()->Borrow();
      found = lease.Engine().PageSizeInPoints(lease.Link(), page, width, height);
    }
    if (!found) RaisePageError("page " + std::to_string(page) + ": page not found in the page tree");
    return py::make_tuple(width, height);
  }

  py::array Render(int page, std::optional<double> dpi, std::optional<int> width, std::optional<int> height,
                   const std::string& colour, const std::string& box) const {
    CheckPage(page);
    const std::string mode = Lower(colour);
    if (mode != "rgb" && mode != "gray" && mode != "grey") throw py::value_error("colour takes \"rgb\" or \"gray\"");
    if (Lower(box) != "crop") throw py::value_error("box takes \"crop\"");
    const double resolution = Resolution(page, dpi, width, height);
    std::shared_ptr<TDocumentCore> core = Core();
    std::optional<kestrel::TRasterImage> bitmap;
    std::string problem;
    {
      py::gil_scoped_release release;
      auto lease = core->Borrow();
      kestrel::TPDFIndRef* ref = lease.Engine().FindPage(lease.Link(), page);
      if (ref) bitmap = lease.Engine().RenderPageToBitmap(lease.Link(), ref, resolution);
      problem = ref ? lease.Engine().LastRenderProblem : "page not found in the page tree";
    }
    const std::string where = "page " + std::to_string(page) + ": ";
    if (!bitmap) RaisePageError(where + (problem.empty() ? "no image produced" : problem));
    if (!problem.empty()) WarnRender(where + problem);
    return PageArray(std::move(*bitmap), mode != "rgb");
  }

  void Save(int page, const py::object& path, const std::optional<std::string>& format, int dpi) const {
    CheckPage(page);
    if (dpi < 1 || dpi > kMaxDpi) throw py::value_error("dpi takes 1 to 2400");
    const std::filesystem::path target(py::str(py::module_::import("os").attr("fspath")(path)).cast<std::string>());
    std::string extension = target.extension().string();
    if (!format && extension.size() < 2) throw py::value_error("no format given and the file name has no extension");
    const int formatIndex = FormatIndex(format ? *format : extension.substr(1));
    std::shared_ptr<TDocumentCore> core = Core();
    std::string bytes, problem, writeError;
    {
      py::gil_scoped_release release;
      auto lease = core->Borrow();
      kestrel::TPDFIndRef* ref = lease.Engine().FindPage(lease.Link(), page);
      if (ref) lease.Engine().RenderPageToStream(lease.Link(), ref, bytes, dpi, formatIndex);
      problem = ref ? lease.Engine().LastRenderProblem : "page not found in the page tree";
      if (!bytes.empty()) {
        try {
          const std::string folder = target.parent_path().empty() ? "." : target.parent_path().string();
          WritePageFile(folder, target.filename().string(), bytes);
        } catch (const std::exception& e) {
          writeError = e.what();
        }
      }
    }
    const std::string where = "page " + std::to_string(page) + ": ";
    if (bytes.empty()) RaisePageError(where + (problem.empty() ? "no image produced" : problem));
    if (!writeError.empty()) {
      PyErr_SetString(PyExc_OSError, writeError.c_str());
      throw py::error_already_set();
    }
    if (!problem.empty()) WarnRender(where + problem);
  }

  py::dict Info() const {
    std::shared_ptr<TDocumentCore> core = Core();
    py::dict info;
    auto lease = core->Borrow();
    kestrel::TSmartPDFLink* link = lease.Link();
    info["pages"] = core->PageCount();
    info["version"] = link->Reader()->Version();
    info["encryption"] = link->Info()->Describe();
    info["repaired"] = link->Repaired();
    info["repair_reason"] = link->Repaired() ? py::object(py::str(link->RepairReason())) : py::none();
    return info;
  }

 private:
  // Dots per inch of a render: given, or the largest that fits the page into width x height.
  double Resolution(int page, std::optional<double> dpi, std::optional<int> width, std::optional<int> height) const {
    if (dpi && (width || height)) throw py::value_error("give dpi or width/height, not both");
    if (!width && !height) {
      const double d = dpi.value_or(96);
      if (!(d >= 1 && d <= kMaxDpi)) throw py::value_error("dpi takes 1 to 2400");
      return d;
    }
    if ((width && *width < 1) || (height && *height < 1)) throw py::value_error("width and height must be positive");
    py::tuple size = PageSize(page);
    const double w = size[0].cast<double>(), h = size[1].cast<double>();
    double fit = kMaxDpi;
    // The bitmap side is the points x dpi / 72 rounded up: step below any rounding error.
    auto fitSide = [&](double points, int pixels) {
      if (points <= 0) return;
      double d = pixels * 72.0 / points;
      while (d > 0 && points * d > pixels * 72.0) d = std::nextafter(d, 0.0);
      fit = std::min(fit, d);
    };
    if (width) fitSide(w, *width);
    if (height) fitSide(h, *height);
    return fit;
  }

  std::shared_ptr<TDocumentCore> core_;
};

TDocument OpenDocument(const py::object& source, const py::object& password) {
  std::optional<std::string> bytes = BytesOf(source);
  std::string path;
  if (!bytes) path = py::str(py::module_::import("os").attr("fspath")(source)).cast<std::string>();
  const std::string pw = PasswordOf(password);
  std::shared_ptr<TDocumentCore> core;
  TJobProblem problem = TJobProblem::None;
  std::string reason;
  {
    py::gil_scoped_release release;
    try {
      if (!bytes) {
        try {
          bytes = ReadWholeFile(path);
        } catch (const std::exception&) {
          TJobReport report;
          DescribeUnreadable(path, report);
          throw TOpenFailed(report.Problem, report.Reason);
        }
      }
      core = TDocumentCore::Open(std::move(*bytes), pw);
    } catch (const TOpenFailed& e) {
      problem = e.Problem;
      reason = e.what();
    }
  }
  if (!core) RaiseProblem(problem, reason);
  return TDocument(std::move(core));
}

}  // namespace

}  // namespace plover::python

PYBIND11_MODULE(plover, m) {
  using namespace plover::python;
  m.doc() = "Render PDF pages into numpy arrays and image files with the Kestrel engine.";
  m.attr("__version__") = plover::kVersionText;
  py::list formats;
  for (const char* caption : plover::kFormatCaptions) formats.append(Lower(caption));
  m.attr("formats") = py::tuple(formats);
  AddExceptions(m);

  py::class_<TDocument>(m, "Document", "An open PDF document. Its methods may be called from several threads at once.")
      .def_property_readonly("page_count", &TDocument::PageCount, "Number of pages.")
      .def("__len__", &TDocument::PageCount)
      .def("page_size", &TDocument::PageSize, "page"_a,
           "(width, height) of a page in points as it is shown: the crop box turned by /Rotate.")
      .def("render", &TDocument::Render, "page"_a, py::kw_only(), "dpi"_a = py::none(), "width"_a = py::none(),
           "height"_a = py::none(), "colour"_a = "rgb", "box"_a = "crop",
           "Renders a page (1-based) into a numpy uint8 array, H x W x 3 for \"rgb\" or H x W for \"gray\",\n"
           "at dpi (default 96) or at the largest size that fits width and/or height pixels.\n"
           "The array owns the page bitmap; the rgb array is a strided view on it\n"
           "(numpy.ascontiguousarray makes a packed copy). The GIL is released while it renders.")
      .def("save", &TDocument::Save, "page"_a, "path"_a, py::kw_only(), "format"_a = py::none(), "dpi"_a = 96,
           "Renders a page into a file in one of plover.formats (by default the one the file's extension names).")
      .def("info", &TDocument::Info, "PDF version, encryption, page count and repair of the document.")
      .def("close", &TDocument::Close, "Frees the document; calls already running finish first.")
      .def_property_readonly("closed", &TDocument::Closed)
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__", [](TDocument& d, py::args) { d.Close(); })
      .def("__repr__", [](const TDocument& d) {
        return d.Closed() ? std::string("<plover.Document closed>")
                          : "<plover.Document with " + std::to_string(d.PageCount()) + " pages>";
      });

  m.def("folder_name", &plover::FolderNameFor, "file_name"_a,
        "The name of the folder plover-cli gives a PDF's pages: \"report.final.pdf\" -> \"report.final\".");
  m.def("open", &OpenDocument, "source"_a, "password"_a = py::none(),
        "Opens a PDF from a path or from its bytes. Raises plover.PasswordError, plover.DamagedFileError,\n"
        "plover.NotPdfError, plover.NoSuchFileError, ... with the reason plover-cli prints.");
}
