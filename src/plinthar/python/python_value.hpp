#pragma once

// JSON values as the interpreter's own objects, the way its json module reads them.

#include <pybind11/pybind11.h>

#include "plinthar/text/json.hpp"

namespace plinthar::python {

// `value` as dicts (in member order), lists, str, int, float, bool and None: equal to
// what json.load gives for the file that holds `value`. Text that is not UTF-8 (a file
// name on disk can be anything) has each stray byte as a lone surrogate, U+DC80 to
// U+DCFF, the character the graph files write for it. Needs the interpreter's lock.
pybind11::object python_value_of(const text::Json& value);

}  // namespace plinthar::python
