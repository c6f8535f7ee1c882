// crv mcp driven by the official TypeScript SDK's client, as an assistant drives it: on a
// copy of examples/shop, each tool called once, bad arguments, an edit of the tree between
// two calls, and the end of standard input. The SDK checks every structured result
// against the output schema the server published.
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { cpSync, mkdtempSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

import { Client } from "@modelcontextprotocol/sdk/client/index.js";
import { StdioClientTransport } from "@modelcontextprotocol/sdk/client/stdio.js";
import { McpError } from "@modelcontextprotocol/sdk/types.js";

const crv = process.env.CRV;
const work = mkdtempSync(join(tmpdir(), "plinthar-mcp-client-"));
const project = join(work, "shop");
const data = join(work, "data");
cpSync(process.env.SHOP, project, { recursive: true });
const env = { ...process.env, CRV_DATA_DIR: data };
delete env.CORVEL_PROJECT_ROOT;

after(() => rmSync(work, { recursive: true, force: true }));

const TOOLS = ["context_block", "find_symbol", "neighbours", "record_action", "relevant_files"];
const TASK = "fix the cancel button on the orders page";

function text(result) {
  assert.equal(result.content[0].type, "text");
  return result.content[0].text;
}

describe("crv mcp with the SDK client", () => {
  let client;
  let transport;
  let stderr = "";
  let negotiated;

  before(async () => {
    // Looks at the tree before every call, so that an edit shows in the next one.
    transport = new StdioClientTransport({
      command: crv, args: ["mcp", "--refresh-interval", "0"], cwd: project, env, stderr: "pipe",
    });
    transport.stderr.on("data", (chunk) => { stderr += chunk; });
    // The client hands the agreed revision to a transport that takes it.
    transport.setProtocolVersion = (version) => { negotiated = version; };
    client = new Client({ name: "plinthar-client-test", version: "1.0.0" });
    await client.connect(transport);
  });

  after(async () => {
    await client?.close();
  });

  test("initialises with the server's name, version and tools", () => {
    const server = client.getServerVersion();
    assert.equal(server.name, "plinthar");
    assert.match(server.version, /^\d+\.\d+\.\d+/);
    assert.ok(client.getServerCapabilities().tools);
    assert.match(client.getInstructions(), /relevant_files/);
    // The SDK offers a later revision than the server speaks; the server's latest is agreed.
    assert.equal(negotiated, "2025-06-18");
  });

  test("lists the five tools with input and output schemas", async () => {
    const { tools } = await client.listTools();
    assert.deepEqual(tools.map((tool) => tool.name).sort(), TOOLS);
    for (const tool of tools) {
      assert.equal(tool.inputSchema.type, "object", tool.name);
      assert.equal(tool.outputSchema.type, "object", tool.name);
      assert.ok(tool.description.length > 20, tool.name);
    }
  });

  test("relevant_files ranks the page with its reasons and symbols", async () => {
    const result = await client.callTool({ name: "relevant_files", arguments: { task: TASK, limit: 5 } });
    assert.equal(result.isError, false);
    const files = result.structuredContent.files;
    assert.ok(files.length > 0 && files.length <= 5);
    const page = files.find((file) => file.path === "web/src/pages/OrdersPage.tsx");
    assert.ok(page, JSON.stringify(files.map((file) => file.path)));
    assert.ok(page.reasons.length > 0);
    assert.ok(page.matched_terms.some((match) => match.word === "orders"));
    assert.equal(page.symbols[0].name, "OrdersPage");
    assert.ok(page.symbols[0].first_line >= 1);
    assert.match(text(result), /web\/src\/pages\/OrdersPage\.tsx/);
  });

  test("context_block is the prompt hook's block within max_chars", async () => {
    const result = await client.callTool({ name: "context_block", arguments: { task: TASK, max_chars: 2000 } });
    const block = result.structuredContent.block;
    assert.match(block, /^# Corvel Active\n/);
    assert.match(block, /\n- web\/src\/pages\/OrdersPage\.tsx\n/);
    assert.ok(block.length <= 2000);
    assert.equal(text(result), block);
  });

  test("find_symbol gives the definition's file and lines", async () => {
    const result = await client.callTool({ name: "find_symbol", arguments: { name: "OrderTable" } });
    const [definition] = result.structuredContent.definitions;
    assert.equal(definition.path, "web/src/components/features/OrderTable.tsx");
    assert.equal(definition.exported, true);
    assert.ok(definition.last_line >= definition.first_line);
  });

  test("neighbours go both ways", async () => {
    const page = await client.callTool({ name: "neighbours", arguments: { path: "web/src/pages/OrdersPage.tsx" } });
    assert.ok(page.structuredContent.outgoing.some(
      (edge) => edge.file === "web/src/components/features/OrderTable.tsx"));
    const table = await client.callTool({
      name: "neighbours", arguments: { path: "web/src/components/features/OrderTable.tsx" },
    });
    assert.ok(table.structuredContent.incoming.some((edge) => edge.file === "web/src/pages/OrdersPage.tsx"));
  });

  test("record_action lands in the context block's action trail", async () => {
    const recorded = await client.callTool({
      name: "record_action", arguments: { kind: "edit", summary: "made the button cancel" },
    });
    assert.equal(recorded.structuredContent.kind, "edit");
    const block = await client.callTool({ name: "context_block", arguments: { task: TASK } });
    assert.match(block.structuredContent.block, /- \[edit\] made the button cancel\n/);
  });

  test("bad arguments are tool errors, unknown tools protocol errors", async () => {
    for (const [args, message] of [
      [{}, /task is missing/],
      [{ task: "" }, /task must not be empty/],
      [{ task: "x", limit: "3" }, /limit must be an integer/],
      [{ task: "x", colour: "red" }, /colour is not known/],
    ]) {
      const result = await client.callTool({ name: "relevant_files", arguments: args });
      assert.equal(result.isError, true);
      assert.match(text(result), message);
    }
    const missing = await client.callTool({ name: "neighbours", arguments: { path: "no/such/file.ts" } });
    assert.equal(missing.isError, true);
    await assert.rejects(client.callTool({ name: "no_such_tool", arguments: {} }),
      (error) => error instanceof McpError && error.code === -32602);
    // The server is still there.
    assert.deepEqual(await client.ping(), {});
  });

  test("an edit of the tree shows in the next call", async () => {
    const before = await client.callTool({ name: "find_symbol", arguments: { name: "RefundPage" } });
    assert.equal(before.structuredContent.total, 0);
    writeFileSync(join(project, "web/src/pages/RefundPage.tsx"),
      "export function RefundPage() {\n  return null;\n}\n");
    const after = await client.callTool({ name: "find_symbol", arguments: { name: "RefundPage" } });
    assert.equal(after.structuredContent.total, 1);
    const ranked = await client.callTool({ name: "relevant_files", arguments: { task: "the refund page" } });
    assert.equal(ranked.structuredContent.files[0].path, "web/src/pages/RefundPage.tsx");
  });

  test("closing standard input ends the server at once", async () => {
    const started = Date.now();
    await client.close();
    client = undefined;
    // The transport waits 2 s before it kills a server that stays.
    assert.ok(Date.now() - started < 1500, `took ${Date.now() - started} ms`);
    assert.match(stderr, /crv mcp: serving /);
  });
});

describe("crv mcp on its own", () => {
  test("answers an older revision, a malformed line and a ping, then exits 0", async () => {
    const child = spawn(crv, ["mcp"], { cwd: project, env, stdio: ["pipe", "pipe", "ignore"] });
    let out = "";
    child.stdout.on("data", (chunk) => { out += chunk; });
    child.stdin.write(JSON.stringify({
      jsonrpc: "2.0", id: 1, method: "initialize",
      params: { protocolVersion: "2024-11-05", capabilities: {}, clientInfo: { name: "raw", version: "1" } },
    }) + "\n");
    child.stdin.write("{not json\n");
    child.stdin.write(JSON.stringify({ jsonrpc: "2.0", method: "notifications/initialized" }) + "\n");
    child.stdin.write(JSON.stringify({ jsonrpc: "2.0", id: "p", method: "ping" }) + "\n");
    child.stdin.end();
    const status = await new Promise((resolve) => child.on("exit", resolve));
    assert.equal(status, 0);
    const replies = out.trimEnd().split("\n").map((line) => JSON.parse(line));
    assert.equal(replies.length, 3);
    assert.equal(replies[0].result.protocolVersion, "2024-11-05");
    assert.equal(replies[1].id, null);
    assert.equal(replies[1].error.code, -32700);
    assert.deepEqual(replies[2], { jsonrpc: "2.0", id: "p", result: {} });
  });
});
