// End-to-end: the development server with the real plugin, driven over TCP
// by a Source RCON client from the npm registry.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { mkdtempSync, mkdirSync, writeFileSync, rmSync } from "node:fs";
import { createConnection } from "node:net";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { configPath } from "./devserver.js";
import { Rcon } from "rcon-client";
import { packet } from "./rcon-wire.js";

const devserver = process.env.ASHGROVE_DEVSERVER;
const password = "s3cret pass";
let server;
let port;
let serverDir;
let output = "";

function writeConfig(text) {
  writeFileSync(configPath(serverDir), text);
}

// Resolves once the server's output matches, or fails after five seconds.
async function outputMatching(pattern) {
  for (let waited = 0; waited < 5000; waited += 20) {
    if (pattern.test(output)) {
      return;
    }
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
  assert.match(output, pattern);
}

async function connect() {
  return Rcon.connect({ host: "127.0.0.1", port, password, timeout: 5000 });
}

// Sends raw bytes and resolves once the server closes the connection.
function closedAfter(bytes) {
  return new Promise((resolve, reject) => {
    const socket = createConnection({ host: "127.0.0.1", port }, () => socket.write(bytes));
    const timer = setTimeout(() => {
      socket.destroy();
      reject(new Error("the server kept the connection open"));
    }, 5000);
    socket.on("data", () => {});
    socket.on("error", () => {});
    socket.on("close", () => {
      clearTimeout(timer);
      resolve();
    });
  });
}

before(async () => {
  assert.ok(devserver, "ASHGROVE_DEVSERVER must name the development server");
  serverDir = mkdtempSync(join(tmpdir(), "ashgrove-rcon-"));
  mkdirSync(dirname(configPath(serverDir)), { recursive: true });
  writeConfig("{}");
  server = spawn(devserver, ["--server-dir", serverDir, "--rcon-port", "0", "--rcon-password", password], {
    stdio: ["pipe", "pipe", "inherit"],
  });
  port = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error("the server did not start: " + output)), 10000);
    server.stdout.on("data", (chunk) => {
      output += chunk.toString();
      const match = output.match(/rcon-listening address=\S+ port=(\d+)/);
      if (match) {
        clearTimeout(timer);
        resolve(Number(match[1]));
      }
    });
    server.on("exit", (code) => reject(new Error(`the server exited with ${code}: ${output}`)));
  });
});

// With RCON served, the end of standard input does not end the server;
// SIGTERM does, cleanly.
after(async () => {
  const closed = new Promise((resolve) => server.on("close", (code, signal) => resolve({ code, signal })));
  server.stdin.end();
  server.kill("SIGTERM");
  assert.deepEqual(await closed, { code: 0, signal: null });
  rmSync(serverDir, { recursive: true, force: true });
});

test("a wrong password is refused", async () => {
  await assert.rejects(
    Rcon.connect({ host: "127.0.0.1", port, password: "wrong", timeout: 5000 }),
    /Authentication failed/,
  );
});

test("a reload that works is answered", async () => {
  writeConfig('{"wildDinosAffected": true}');
  const rcon = await connect();
  assert.equal(await rcon.send("Ashgrove.Reload"), "Reloaded config");
  assert.equal(await rcon.send("ashgrove.reload with words after it"), "Reloaded config");
  await rcon.end();
});

test("a failed reload is answered with its reason, in UTF-8", async () => {
  writeConfig('{"a": "caf\u00e9 {}%s');
  const rcon = await connect();
  const reply = await rcon.send("Ashgrove.Reload");
  assert.equal(
    reply,
    "[json.exception.parse_error.101] parse error at line 1, column 18: syntax error while parsing value - " +
      "invalid string: missing closing quote; last read: '\"caf\u00e9 {}%s'",
  );
  await rcon.end();
  await outputMatching(/log .*\[Ashgrove\]\[error\] \[json\.exception\.parse_error\.101\]/);
});

test("misbehaving clients are dropped and others keep being served", async () => {
  const rcon = await connect();
  const negative = Buffer.alloc(4);
  negative.writeInt32LE(-1, 0);
  await closedAfter(negative);
  const oversized = Buffer.alloc(4);
  oversized.writeInt32LE(4097, 0);
  await closedAfter(oversized);
  await closedAfter(packet(7, 2, "Ashgrove.Reload")); // a command before authentication
  writeConfig("{}");
  assert.equal(await rcon.send("Ashgrove.Reload"), "Reloaded config");
  assert.equal(await rcon.send("NoSuchCommand"), "Unknown command: NoSuchCommand");
  await rcon.end();
});
