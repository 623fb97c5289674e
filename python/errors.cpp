#include "python/errors.h"

namespace py = pybind11;

namespace plover::python {

namespace {

// The classes live as long as the module, which keeps them as attributes too; they are never
// released, so nothing touches them while the interpreter shuts down.
struct TClasses {
  PyObject* Error = nullptr;
  PyObject* Password = nullptr;
  PyObject* Damaged = nullptr;
  PyObject* NotPdf = nullptr;
  PyObject* Unsupported = nullptr;
  PyObject* NoSuchFile = nullptr;
  PyObject* Unreadable = nullptr;
  PyObject* Page = nullptr;
  PyObject* RenderWarning = nullptr;
};
TClasses classes;

PyObject* AddClass(py::module_& m, const char* name, const char* doc, py::object bases) {
  const std::string qualified = std::string("plover.") + name;
  PyObject* type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, bases.ptr(), nullptr);
  if (!type) throw py::error_already_set();
  m.add_object(name, py::reinterpret_borrow<py::object>(type));
  return type;
}

py::object Bases(PyObject* a, PyObject* b = nullptr) {
  return b ? py::make_tuple(py::handle(a), py::handle(b)) : py::make_tuple(py::handle(a));
}

}  // namespace

void AddExceptions(py::module_& m) {
  TClasses& c = classes;
  c.Error = AddClass(m, "Error", "Base class of the errors plover raises.", Bases(PyExc_Exception));
  c.Password = AddClass(m, "PasswordError", "The document is encrypted and the password opens it neither as user nor as owner.", Bases(c.Error));
  c.Damaged = AddClass(m, "DamagedFileError", "The file is a PDF whose structure cannot be read.", Bases(c.Error));
  c.NotPdf = AddClass(m, "NotPdfError", "The data is not a PDF file (no PDF header, an empty file).", Bases(c.Error));
  c.Unsupported = AddClass(m, "UnsupportedError", "The document uses an encryption the engine cannot decrypt.", Bases(c.Error));
  c.NoSuchFile = AddClass(m, "NoSuchFileError", "The file does not exist.", Bases(c.Error, PyExc_FileNotFoundError));
  c.Unreadable = AddClass(m, "UnreadableError", "The file exists but cannot be read.", Bases(c.Error, PyExc_OSError));
  c.Page = AddClass(m, "PageError", "A page produced no image.", Bases(c.Error));
  c.RenderWarning = AddClass(m, "RenderWarning", "A page was drawn only up to an error in its content.", Bases(PyExc_UserWarning));
}

void RaiseProblem(TJobProblem problem, const std::string& reason) {
  PyObject* type = classes.Error;
  switch (problem) {
    case TJobProblem::NoSuchFile: type = classes.NoSuchFile; break;
    case TJobProblem::NotPdf: type = classes.NotPdf; break;
    case TJobProblem::Damaged: type = classes.Damaged; break;
    case TJobProblem::WrongPassword: type = classes.Password; break;
    case TJobProblem::Unsupported: type = classes.Unsupported; break;
    case TJobProblem::Unreadable: type = classes.Unreadable; break;
    case TJobProblem::NoPages:
    case TJobProblem::PageErrors: type = classes.Page; break;
    default: break;
  }
  PyErr_SetString(type, reason.c_str());
  throw py::error_already_set();
}

void RaisePageError(const std::string& reason) { RaiseProblem(TJobProblem::PageErrors, reason); }

void WarnRender(const std::string& note) {
  // Warnings turned into errors (-W error) raise here.
  if (PyErr_WarnEx(classes.RenderWarning, note.c_str(), 1) != 0) throw py::error_already_set();
}

}  // namespace plover::python
