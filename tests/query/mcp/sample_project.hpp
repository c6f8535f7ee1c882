#pragma once

// A small project on disk for the server's tools: a page importing an API module, a
// Python module with its test, a README mentioning the page and three jobs defining the
// same function; its data directory lies outside the project.

#include <filesystem>
#include <string>

#include "plinthar/query/data/locations.hpp"
#include "test_util.hpp"

namespace plinthar::query::mcp::testing_samples {

class SampleProject {
 public:
  SampleProject() {
    dir_.write("proj/web/src/pages/OrdersPage.tsx",
               "import { cancelOrder } from '../api/orders';\n"
               "export function OrdersPage() {\n  return null;\n}\n"
               "export function CancelButton() {\n  return cancelOrder(1);\n}\n");
    dir_.write("proj/web/src/api/orders.ts",
               "export function cancelOrder(id) {\n  return fetch('/api/orders/' + id);\n}\n");
    dir_.write(
        "proj/api/billing.py",
        "def charge(amount):\n    return _round(amount)\n\n\ndef _round(x):\n    return x\n");
    dir_.write(
        "proj/tests/test_billing.py",
        "from api.billing import charge\n\n\ndef test_charge():\n    assert charge(1) == 1\n");
    dir_.write("proj/README.md", "# Shop\n\nThe orders page is web/src/pages/OrdersPage.tsx.\n");
    for (const char* job : {"a", "b", "c"}) {
      dir_.write(std::string("proj/jobs/") + job + ".py", "def handler():\n    pass\n");
    }
    root_ = std::filesystem::canonical(dir_ / "proj");
  }

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path write(const std::string& relative, const std::string& content) const {
    return dir_.write("proj/" + relative, content);
  }
  Locations locations() const {
    return compute_locations(dir_ / "tool", dir_ / "tool" / "data", root_,
                             [](std::string_view) { return std::nullopt; });
  }

 private:
  testing::TempDir dir_;
  std::filesystem::path root_;
};

}  // namespace plinthar::query::mcp::testing_samples
