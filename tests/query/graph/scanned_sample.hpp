#pragma once

// A small scanned tree in the pretty graph form: non-ASCII text, quotes, backslashes and
// tabs in file contents, symbols and edges, as the scanner writes them.

#include <string>

#include "plinthar/scanner/scan.hpp"
#include "plinthar/text/json_writer.hpp"
#include "test_util.hpp"

namespace plinthar::query::testing_samples {

inline std::string scanned_tree_text() {
  testing::TempDir dir;
  dir.write("app/main.py",
            "\"\"\"Entry point – résumé ✓.\"\"\"\nimport os\nfrom .models import User\n\n"
            "def run(path=\"C:\\\\tmp\"):\n    return User(os.sep)\n");
  dir.write("app/models.py", "class User:\n    \"\"\"A user 😀.\"\"\"\n    pass\n");
  dir.write("web/Page.tsx", "import { Button } from './Button';\nexport function Page() {}\n");
  dir.write("README.md", "# Shop\n\nTabs\there, quotes \"x\", backslash \\.\n");
  return text::to_pretty(scanner::scan(dir.path()));
}

}  // namespace plinthar::query::testing_samples
