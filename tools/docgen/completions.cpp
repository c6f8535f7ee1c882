#include "completions.hpp"

namespace plinthar::docgen {
namespace {

// `text` as one single-quoted shell word.
std::string quoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// "/hook/prompt" for the path hook, prompt: how the scripts name where a command line is.
std::string slashed(const std::vector<std::string>& path) {
  std::string out;
  for (const std::string& word : path) out += "/" + word;
  return out;
}

std::string joined(const std::vector<std::string>& words, const std::string& separator) {
  std::string out;
  for (const std::string& word : words) out += (out.empty() ? "" : separator) + word;
  return out;
}

// The shell pattern matching every "<path so far>/<word>" that enters a subcommand.
std::string subcommand_pattern(const CommandDoc& program) {
  std::vector<std::string> paths;
  for (const CommandAt& at : all_commands(program)) {
    if (!at.path.empty()) paths.push_back(quoted(slashed(at.path)));
  }
  return joined(paths, "|");
}

// The shared first half of the bash and zsh functions: `cmdpath` becomes the subcommands
// given so far, from the words before the cursor starting at `first_word`. (zsh ties
// `path`, `commands` and `options` to the shell's own state, hence the other names.)
std::string path_scan(const CommandDoc& program, const std::string& words,
                      const std::string& first_word, const std::string& current) {
  std::string text = "  local cmdpath='' word i\n";
  text += "  for ((i = " + first_word + "; i < " + current + "; i++)); do\n";
  text += "    word=${" + words + "[i]}\n";
  if (program.subcommands.empty()) return text + "  done\n";
  text += "    case \"$cmdpath/$word\" in\n";
  text += "      " + subcommand_pattern(program) + ") cmdpath=\"$cmdpath/$word\" ;;\n";
  text += "    esac\n  done\n";
  return text;
}

// The options of `command` that take a value of type `value_name`.
std::vector<std::string> options_taking(const CommandDoc& command, const std::string& value_name) {
  std::vector<std::string> names;
  for (const OptionDoc& option : command.options) {
    if (option.value_name != value_name) continue;
    for (const std::string& name : option.names) names.push_back(quoted(name));
  }
  return names;
}

}  // namespace

std::string bash_completion(const CommandDoc& program) {
  const std::string function = "_" + program.name;
  std::string text =
      "# bash completion for " + program.name + ", generated from its command table\n";
  text += function + "() {\n";
  text += "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}\n";
  text += path_scan(program, "COMP_WORDS", "1", "COMP_CWORD");
  text += "  local words=''\n  case \"$cmdpath\" in\n";
  for (const CommandAt& at : all_commands(program)) {
    std::vector<std::string> words;
    for (const OptionDoc& option : at.command->options) {
      for (const std::string& name : option.names) words.push_back(name);
    }
    for (const CommandDoc& sub : at.command->subcommands) words.push_back(sub.name);
    text += "    " + quoted(slashed(at.path)) + ")\n";
    const auto text_options = options_taking(*at.command, "TEXT");
    const auto integer_options = options_taking(*at.command, "INT");
    if (!text_options.empty()) {
      text += "      case \"$prev\" in " + joined(text_options, "|") +
              ") COMPREPLY=($(compgen -f -- \"$cur\")); return ;; esac\n";
    }
    if (!integer_options.empty()) {
      text += "      case \"$prev\" in " + joined(integer_options, "|") +
              ") COMPREPLY=(); return ;; esac\n";
    }
    text += "      words=" + quoted(joined(words, " ")) + " ;;\n";
  }
  text += "  esac\n  COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n}\n";
  text += "complete -F " + function + " " + program.name + "\n";
  return text;
}

std::string zsh_completion(const CommandDoc& program) {
  const std::string function = "_" + program.name;
  std::string text = "#compdef " + program.name + "\n";
  text += "# zsh completion for " + program.name + ", generated from its command table\n";
  text += function + "() {\n";
  text += path_scan(program, "words", "2", "CURRENT");
  text += "  local -a subcommands flags\n  case \"$cmdpath\" in\n";
  for (const CommandAt& at : all_commands(program)) {
    text += "    " + quoted(slashed(at.path)) + ")\n";
    const auto text_options = options_taking(*at.command, "TEXT");
    const auto integer_options = options_taking(*at.command, "INT");
    if (!text_options.empty()) {
      text += "      case \"${words[CURRENT - 1]}\" in " + joined(text_options, "|") +
              ") _files; return ;; esac\n";
    }
    if (!integer_options.empty()) {
      text += "      case \"${words[CURRENT - 1]}\" in " + joined(integer_options, "|") +
              ") return 1 ;; esac\n";
    }
    std::vector<std::string> commands;
    for (const CommandDoc& sub : at.command->subcommands) {
      commands.push_back(quoted(sub.name + ":" + sub.help));
    }
    std::vector<std::string> options;
    for (const OptionDoc& option : at.command->options) {
      for (const std::string& name : option.names)
        options.push_back(quoted(name + ":" + option.help));
    }
    text += "      subcommands=(" + joined(commands, " ") + ")\n";
    text += "      flags=(" + joined(options, " ") + ") ;;\n";
  }
  text += "  esac\n";
  text += "  if [[ ${words[CURRENT]} == -* || ${#subcommands} -eq 0 ]]; then\n";
  text += "    _describe -t options option flags\n";
  text += "  else\n    _describe -t commands command subcommands\n  fi\n}\n";
  text += function + " \"$@\"\n";
  return text;
}

std::string fish_completion(const CommandDoc& program) {
  const std::string head = "complete -c " + program.name;
  std::string text =
      "# fish completion for " + program.name + ", generated from its command table\n";
  text += head + " -f\n";
  for (const CommandAt& at : all_commands(program)) {
    // Where the words of this command are offered: after its own path and before any
    // of its subcommands.
    std::vector<std::string> tests;
    for (const std::string& word : at.path) tests.push_back("__fish_seen_subcommand_from " + word);
    std::vector<std::string> subs;
    for (const CommandDoc& sub : at.command->subcommands) subs.push_back(sub.name);
    if (!subs.empty() && !program.subcommands.empty()) {
      tests.push_back(at.path.empty() ? "__fish_use_subcommand"
                                      : "not __fish_seen_subcommand_from " + joined(subs, " "));
    }
    const std::string condition = tests.empty() ? "" : " -n " + quoted(joined(tests, "; and "));
    for (const CommandDoc& sub : at.command->subcommands) {
      text += head + condition + " -a " + quoted(sub.name) + " -d " + quoted(sub.help) + "\n";
    }
    for (const OptionDoc& option : at.command->options) {
      std::string line = head + condition;
      for (const std::string& name : option.names) {
        line += name.starts_with("--") ? " -l " + name.substr(2) : " -s " + name.substr(1);
      }
      if (option.value_name == "TEXT") line += " -r -F";
      if (option.value_name == "INT") line += " -x";
      if (!option.help.empty()) line += " -d " + quoted(option.help);
      text += line + "\n";
    }
  }
  return text;
}

}  // namespace plinthar::docgen
