#pragma once
// The module's exception classes, with the reasons the command line prints.
#include <pybind11/pybind11.h>

#include <string>

#include "app/conversion_job.h"

namespace plover::python {

// Adds plover.Error and its subclasses, and plover.RenderWarning, to the module.
void AddExceptions(pybind11::module_& m);

// Raises the class that stands for `problem` with `reason`.
[[noreturn]] void RaiseProblem(TJobProblem problem, const std::string& reason);
// Raises plover.PageError: a page that produced no image.
[[noreturn]] void RaisePageError(const std::string& reason);
// Issues plover.RenderWarning: a page drawn only up to an error.
void WarnRender(const std::string& note);

}  // namespace plover::python
