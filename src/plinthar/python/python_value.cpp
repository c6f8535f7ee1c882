#include "plinthar/python/python_value.hpp"

#include <cstdint>
#include <string>
#include <unordered_map>

#include "plinthar/error.hpp"

namespace plinthar::python {
namespace py = pybind11;
namespace {

py::str text_of(const std::string& text) {
  PyObject* decoded =
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
  if (decoded == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(decoded);
}

// Converts one value; member names are made once and shared, as json.load shares them,
// since a graph repeats the same few names for every node.
class Converter {
 public:
  py::object value_of(const text::Json& value) {
    using Type = text::Json::value_t;
    switch (value.type()) {
      case Type::null:
        return py::none();
      case Type::boolean:
        return py::bool_(value.get<bool>());
      case Type::number_integer:
        return py::int_(value.get<std::int64_t>());
      case Type::number_unsigned:
        return py::int_(value.get<std::uint64_t>());
      case Type::number_float:
        return py::float_(value.get<double>());
      case Type::string:
        return text_of(value.get_ref<const std::string&>());
      case Type::array:
        return list_of(value);
      case Type::object:
        return dict_of(value);
      case Type::binary:
      case Type::discarded:
        break;
    }
    throw Error("a JSON value of this kind has no Python form");
  }

 private:
  py::list list_of(const text::Json& array) {
    py::list list(array.size());
    std::size_t index = 0;
    for (const text::Json& item : array) list[index++] = value_of(item);
    return list;
  }

  py::dict dict_of(const text::Json& object) {
    py::dict dict;
    for (const auto& [name, item] : object.items()) dict[name_of(name)] = value_of(item);
    return dict;
  }

  const py::str& name_of(const std::string& name) {
    auto found = names_.find(name);
    if (found == names_.end()) found = names_.emplace(name, text_of(name)).first;
    return found->second;
  }

  std::unordered_map<std::string, py::str> names_;
};

}  // namespace

py::object python_value_of(const text::Json& value) { return Converter().value_of(value); }

}  // namespace plinthar::python
