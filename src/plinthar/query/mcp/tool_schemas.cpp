#include "plinthar/query/mcp/tool_schemas.hpp"

#include "plinthar/text/json_reader.hpp"

namespace plinthar::query::mcp {
namespace {

// The schemas close their objects (additionalProperties false) so that a misspelt
// argument is reported instead of silently ignored.
constexpr std::string_view TOOLS = R"json([
{
  "name": "relevant_files",
  "title": "Relevant files",
  "description": "The files of the project that matter for a task, best first, ranked over their paths, symbol names, text and imports. Each comes with the reasons it was chosen (the task's words it matches and where, the symbols of it the task names, the files it imports, requires or mentions or is imported, required or mentioned by, and its same-named companions such as its tests, that match the task) and its main symbols with their line ranges.",
  "inputSchema": {
    "type": "object",
    "properties": {
      "task": {"type": "string", "minLength": 1, "description": "The task in plain language, as the user put it."},
      "limit": {"type": "integer", "minimum": 1, "maximum": 100, "default": 12, "description": "Most files to return."}
    },
    "required": ["task"],
    "additionalProperties": false
  },
  "outputSchema": {
    "type": "object",
    "properties": {
      "task": {"type": "string"},
      "files": {
        "type": "array",
        "items": {
          "type": "object",
          "properties": {
            "path": {"type": "string"},
            "score": {"type": "integer"},
            "reasons": {"type": "array", "items": {"type": "string"}},
            "matched_terms": {
              "type": "array",
              "items": {
                "type": "object",
                "properties": {
                  "term": {"type": "string", "description": "The term as ranking matched it: a stemmed, lower-case part of a word."},
                  "word": {"type": "string", "description": "The word of the task it comes from."},
                  "fields": {"type": "array", "items": {"type": "string", "enum": ["path", "symbols", "text"]}}
                },
                "required": ["term", "word", "fields"]
              }
            },
            "named_symbols": {"type": "array", "items": {"type": "string"}, "description": "Symbols of the file whose names hold a word of the task (at most 10)."},
            "linked_files": {
              "type": "array",
              "items": {
                "type": "object",
                "properties": {
                  "path": {"type": "string"},
                  "link": {"type": "string", "enum": ["neighbour", "companion"]},
                  "words": {"type": "array", "items": {"type": "string"}, "description": "The task's words the linked file matches."}
                },
                "required": ["path", "link", "words"]
              }
            },
            "symbols": {"type": "array", "items": "@SYMBOL@"}
          },
          "required": ["path", "score", "reasons", "matched_terms", "named_symbols", "linked_files", "symbols"]
        }
      }
    },
    "required": ["task", "files"]
  },
  "annotations": {"readOnlyHint": true, "openWorldHint": false}
},
{
  "name": "context_block",
  "title": "Context block",
  "description": "The markdown context block for a task, as the prompt hook gives it: rules, the relevant files, the relations between them and the recent actions, cut to at most max_chars characters by dropping whole lines from the end of the relations, then of the files.",
  "inputSchema": {
    "type": "object",
    "properties": {
      "task": {"type": "string", "minLength": 1, "description": "The task in plain language."},
      "max_chars": {"type": "integer", "minimum": 1, "maximum": 1000000, "default": 9000, "description": "Most characters of the block."}
    },
    "required": ["task"],
    "additionalProperties": false
  },
  "outputSchema": {
    "type": "object",
    "properties": {
      "task": {"type": "string"},
      "block": {"type": "string"},
      "characters": {"type": "integer"}
    },
    "required": ["task", "block", "characters"]
  },
  "annotations": {"readOnlyHint": true, "openWorldHint": false}
},
{
  "name": "find_symbol",
  "title": "Find a symbol",
  "description": "Where a function, class, component or route is defined: its file, kind, line range and whether it is exported. Give a plain name (exact case first, any case when nothing matches exactly) or an id of the form path::name.",
  "inputSchema": {
    "type": "object",
    "properties": {
      "name": {"type": "string", "minLength": 1, "description": "The symbol's name, or path::name."},
      "limit": {"type": "integer", "minimum": 1, "maximum": 200, "default": 20, "description": "Most definitions to return."}
    },
    "required": ["name"],
    "additionalProperties": false
  },
  "outputSchema": {
    "type": "object",
    "properties": {
      "name": {"type": "string"},
      "exact_case": {"type": "boolean"},
      "total": {"type": "integer"},
      "definitions": {"type": "array", "items": "@SYMBOL@"}
    },
    "required": ["name", "exact_case", "total", "definitions"]
  },
  "annotations": {"readOnlyHint": true, "openWorldHint": false}
},
{
  "name": "neighbours",
  "title": "Neighbours of a file",
  "description": "What a file imports, requires and mentions, and which files import, require or mention it. A target that is a file of the project is given as its path; package imports keep their name only.",
  "inputSchema": {
    "type": "object",
    "properties": {
      "path": {"type": "string", "minLength": 1, "description": "The file's path from the project root."},
      "limit": {"type": "integer", "minimum": 1, "maximum": 1000, "default": 50, "description": "Most relations to return each way."}
    },
    "required": ["path"],
    "additionalProperties": false
  },
  "outputSchema": {
    "type": "object",
    "properties": {
      "path": {"type": "string"},
      "outgoing": {
        "type": "array",
        "items": {
          "type": "object",
          "properties": {
            "rel": {"type": "string"},
            "target": {"type": "string"},
            "file": {"type": ["string", "null"]}
          },
          "required": ["rel", "target", "file"]
        }
      },
      "incoming": {
        "type": "array",
        "items": {
          "type": "object",
          "properties": {
            "rel": {"type": "string"},
            "file": {"type": "string"}
          },
          "required": ["rel", "file"]
        }
      },
      "outgoing_total": {"type": "integer"},
      "incoming_total": {"type": "integer"}
    },
    "required": ["path", "outgoing", "incoming", "outgoing_total", "incoming_total"]
  },
  "annotations": {"readOnlyHint": true, "openWorldHint": false}
},
{
  "name": "record_action",
  "title": "Record an action",
  "description": "Appends an event to the project's action log, which the context block lists as its action trail: a kind such as edit, command or decision, and a one-line summary.",
  "inputSchema": {
    "type": "object",
    "properties": {
      "kind": {"type": "string", "minLength": 1, "description": "What kind of action: edit, command, read, decision, ..."},
      "summary": {"type": "string", "default": "", "description": "One line on what was done."}
    },
    "required": ["kind"],
    "additionalProperties": false
  },
  "outputSchema": {
    "type": "object",
    "properties": {
      "timestamp": {"type": "string"},
      "kind": {"type": "string"},
      "summary": {"type": "string"}
    },
    "required": ["timestamp", "kind", "summary"]
  },
  "annotations": {"readOnlyHint": false, "destructiveHint": false, "idempotentHint": false, "openWorldHint": false}
}
])json";

// A symbol definition, shared by the tools that list symbols.
constexpr std::string_view SYMBOL = R"json({
  "type": "object",
  "properties": {
    "id": {"type": "string"},
    "path": {"type": "string"},
    "name": {"type": "string"},
    "symbol_type": {"type": ["string", "null"]},
    "first_line": {"type": ["integer", "null"], "description": "Counting from 1."},
    "last_line": {"type": ["integer", "null"], "description": "Counting from 1, inclusive."},
    "exported": {"type": ["boolean", "null"]}
  },
  "required": ["id", "path", "name", "symbol_type", "first_line", "last_line", "exported"]
})json";

// `value` with every "@SYMBOL@" placeholder replaced by the symbol schema.
void put_symbol_schema(Json& value, const Json& symbol) {
  if (value == "@SYMBOL@") {
    value = symbol;
    return;
  }
  if (!value.is_structured()) return;
  for (Json& member : value) put_symbol_schema(member, symbol);
}

Json with_symbol_schema(Json tools) {
  put_symbol_schema(tools, text::parse_json(SYMBOL));
  return tools;
}

}  // namespace

const Json& tool_descriptions() {
  static const Json tools = with_symbol_schema(text::parse_json(TOOLS));
  return tools;
}

const Json* tool_description(std::string_view name) {
  for (const Json& tool : tool_descriptions()) {
    if (tool["name"] == name) return &tool;
  }
  return nullptr;
}

}  // namespace plinthar::query::mcp
