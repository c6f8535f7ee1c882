// The extension module plinthar._plinthar: the two programs' command lines and the
// scanner's `scan`, behind the modules plinthar.crv and plinthar.mapforge.

#include <filesystem>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>
#include <unistd.h>

#include "plinthar/error.hpp"
#include "plinthar/python/fd_output.hpp"
#include "plinthar/python/python_value.hpp"
#include "plinthar/query/cli/crv_cli.hpp"
#include "plinthar/scanner/mapforge_cli.hpp"
#include "plinthar/scanner/scan.hpp"
#include "plinthar/text/file_io.hpp"

namespace plinthar::python {
namespace py = pybind11;
namespace {

// What the executables' standard output gathers before it writes (the C++ library's
// buffer size).
constexpr std::size_t STANDARD_OUTPUT_BUFFER = 8192;

// Calls run with the interpreter's lock released, so that its other threads go on, but
// one at a time: the libraries' compiled patterns share their match buffers.
std::mutex& library_turn() {
  static std::mutex turn;
  return turn;
}

// A program's `argv`: its name, then the arguments as the interpreter encodes file
// names (bytes).
class Argv {
 public:
  Argv(const char* program, const std::vector<std::string>& arguments) : words_(arguments) {
    pointers_.push_back(program);
    for (const std::string& word : words_) pointers_.push_back(word.c_str());
  }
  int argc() const { return static_cast<int>(pointers_.size()); }
  const char* const* argv() const { return pointers_.data(); }

 private:
  std::vector<std::string> words_;
  std::vector<const char*> pointers_;
};

// Runs a program's `main` on the process's standard output and error and returns its
// exit status.
template <typename Main>
int run_program(const char* program, const std::vector<std::string>& arguments, Main main) {
  const Argv argv(program, arguments);
  const py::gil_scoped_release unlocked;
  const std::lock_guard turn(library_turn());
  FdOutputBuffer out_buffer(STDOUT_FILENO, STANDARD_OUTPUT_BUFFER);
  FdOutputBuffer err_buffer(STDERR_FILENO, 0);
  std::ostream out(&out_buffer);
  std::ostream err(&err_buffer);
  const int status = main(argv.argc(), argv.argv(), out, err);
  out.flush();
  return status;
}

int crv_main(const std::vector<std::string>& arguments, const std::filesystem::path& base_dir) {
  return run_program(
      "crv", arguments,
      [&base_dir](int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
        return query::crv_main(argc, argv, base_dir, out, err);
      });
}

int mapforge_main(const std::vector<std::string>& arguments) {
  return run_program("mapforge", arguments, scanner::mapforge_main);
}

py::object scan(const std::filesystem::path& root) {
  text::Json graph;
  {
    const py::gil_scoped_release unlocked;
    const std::lock_guard turn(library_turn());
    graph = scanner::scan(text::resolve_path(root));
  }
  return python_value_of(graph);
}

}  // namespace
}  // namespace plinthar::python

PYBIND11_MODULE(_plinthar, module) {
  namespace py = pybind11;
  using namespace plinthar::python;
  module.doc() =
      "The programs crv and mapforge and the scanner's scan, for plinthar.crv and "
      "plinthar.mapforge.";
  py::register_exception<plinthar::Error>(module, "Error", PyExc_RuntimeError);
  module.def("crv_main", &crv_main, py::arg("arguments"), py::arg("base_dir"),
             "Runs crv with `arguments` (bytes, without the program name) and its data "
             "directory in `base_dir`; returns the exit status.");
  module.def("mapforge_main", &mapforge_main, py::arg("arguments"),
             "Runs mapforge with `arguments` (bytes, without the program name); returns the "
             "exit status.");
  module.def("scan", &scan, py::arg("root"),
             "The information graph of the project under `root` (made absolute, symbolic "
             "links resolved), as json.load reads the graph file of the same scan.");
}
