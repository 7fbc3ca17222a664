// End-to-end: the development server under the input hostile RCON clients
// send, over TCP on the loopback address, each case on a server of its own
// with the limits it needs.
import { test } from "node:test";
import assert from "node:assert/strict";
import { existsSync, mkdtempSync, mkdirSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { Server, configPath, run, sleep } from "./devserver.js";
import { Auth, ExecCommand, MaximumSize, RawClient, packet } from "./rcon-wire.js";

const password = "hard to guess";

function serverDirectory(config) {
  const dir = mkdtempSync(join(tmpdir(), "ashgrove-hardening-"));
  mkdirSync(dirname(configPath(dir)), { recursive: true });
  writeFileSync(configPath(dir), config);
  return dir;
}

// A server serving RCON with `options`; ended with SIGTERM, which must end
// it cleanly.
async function withServer(options, body, { config = "{}", descriptors } = {}) {
  const dir = serverDirectory(config);
  const server = await Server.start(["--server-dir", dir, "--rcon-port", "0", ...options], {
    env: { ASHGROVE_RCON_PASSWORD: password },
    descriptors,
  });
  try {
    await body(server, dir);
  } finally {
    const ended = await server.stop();
    rmSync(dir, { recursive: true, force: true });
    assert.deepEqual(ended, { code: 0, signal: null });
  }
}

async function loggedIn(server) {
  const client = await RawClient.connect(server.port);
  assert.equal(await client.auth(password), 1);
  return client;
}

function count(text, pattern) {
  return (text.match(new RegExp(pattern, "g")) ?? []).length;
}

test("a wrong password is answered and logged, then the connection closed", async () => {
  await withServer([], async (server) => {
    for (let guess = 1; guess <= 3; guess += 1) {
      const client = await RawClient.connect(server.port);
      assert.equal(await client.auth(`guess ${guess}`), -1);
      await client.closedWithin(2000);
    }
    await server.waitFor(/(rcon: wrong password from 127\.0\.0\.1\n[^]*){3}/);
    assert.equal(count(server.stderr, "rcon: wrong password from 127\\.0\\.0\\.1\n"), 3);
    // Guesses before it keep nobody out.
    const client = await loggedIn(server);
    client.end();
  });
});

test("replies longer than one packet come in parts that end at the end marker", async () => {
  // A long unterminated string: the parse error quotes all of it.
  const token = '"' + "x".repeat(4000) + "\u00e9\u20ac\u{1F600}".repeat(700);
  await withServer([], async (server, dir) => {
    // Broken once the plugin has started: it would not start on it.
    writeFileSync(configPath(dir), `{"a": ${token}`);
    const client = await loggedIn(server);
    const parts = await client.command(7, "Ashgrove.Reload");
    assert.ok(parts.length >= 3, `${parts.length} parts`);
    for (const part of parts) {
      assert.ok(part.size <= MaximumSize, `a part of ${part.size} bytes`);
      assert.equal(part.id, 7);
      // Each part is whole UTF-8 on its own.
      assert.equal(Buffer.from(part.body.toString("utf-8"), "utf-8").compare(part.body), 0);
    }
    const text = Buffer.concat(parts.map((part) => part.body)).toString("utf-8");
    assert.match(text, /^\[json\.exception\.parse_error\.101\] parse error at line 1, column \d+: syntax error while parsing value - invalid string: missing closing quote; last read: '/);
    assert.ok(text.endsWith(`last read: '${token}'`));

    // An unknown command as long as a packet allows gets a two-part answer.
    const long = "\u00e9".repeat(2043);
    const answer = await client.command(8, long);
    assert.equal(answer.length, 2);
    assert.equal(Buffer.concat(answer.map((part) => part.body)).toString("utf-8"), `Unknown command: ${long}`);
    client.end();
  });
});

test("connections that do not authenticate, or stall inside a packet, are closed", async () => {
  await withServer(["--rcon-auth-timeout", "0.3", "--rcon-packet-timeout", "0.3"], async (server) => {
    const idle = await RawClient.connect(server.port);
    const stalled = await loggedIn(server);
    stalled.socket.write(packet(2, ExecCommand, "Ashgrove.Reload").subarray(0, 9));
    await Promise.all([idle.closedWithin(3000), stalled.closedWithin(3000)]);
    await server.waitFor(/not authenticated within 0\.3 s/);
    await server.waitFor(/an incomplete packet stalled for 0\.3 s/);
  });
});

test("a full table turns newcomers away until a place is free", async () => {
  await withServer(["--rcon-max-connections", "2"], async (server) => {
    const first = await loggedIn(server);
    const second = await RawClient.connect(server.port);
    const turnedAway = await RawClient.connect(server.port);
    await turnedAway.closedWithin(2000);
    await server.waitFor(/refusing a connection from 127\.0\.0\.1:\d+: all 2 connections are taken/);
    assert.equal(await second.auth(password), 1);
    const reply = await first.command(5, "Ashgrove.Reload");
    assert.equal(reply[0].body.toString(), "Reloaded config");
    second.end();
    await sleep(200);
    const later = await loggedIn(server);
    for (const client of [first, later]) {
      client.end();
    }
  });
});

// UndefinedBehaviorSanitizer checks a virtual call through a pipe it opens,
// and reports a false error when it cannot open one.
const exhaustion = process.env.ASHGROVE_SANITIZED
  ? { skip: "the sanitizers' runtime needs descriptors of its own" }
  : {};

test("accepting goes on after descriptors run out, and is reported once", exhaustion, async () => {
  await withServer(["--rcon-max-connections", "500", "--rcon-auth-timeout", "60"], async (server) => {
    const idle = [];
    for (let i = 0; i < 80; i += 1) {
      idle.push(await RawClient.connect(server.port));
    }
    await server.waitFor(/cannot accept connections: Too many open files/);
    await sleep(500);
    for (const client of idle) {
      client.end();
    }
    await server.waitFor(/accepting connections again/);
    const client = await loggedIn(server);
    const reply = await client.command(2, "Ashgrove.Reload");
    assert.equal(reply[0].body.toString(), "Reloaded config");
    client.end();
    assert.equal(count(server.stderr, "cannot accept connections"), 1);
  }, { descriptors: 40 });
});

test("a client that floods and never reads is held back, then dropped; others are served", async () => {
  const options = ["--rcon-output-limit", "16384", "--rcon-write-timeout", "1"];
  await withServer(options, async (server) => {
    const flood = await loggedIn(server);
    flood.socket.pause();
    const request = packet(9, ExecCommand, "x".repeat(4000));
    let sent = 0;
    const flooding = setInterval(() => {
      // Enough to fill every buffer on the way several times over.
      for (let i = 0; i < 64 && sent < 20000; i += 1, sent += 1) {
        flood.socket.write(request);
      }
    }, 1);
    const honest = await loggedIn(server);
    for (let i = 0; i < 20; i += 1) {
      const reply = await honest.command(100 + i, "Ashgrove.Reload");
      assert.equal(reply[0].body.toString(), "Reloaded config");
      await sleep(20);
    }
    await flood.closedWithin(10000);
    clearInterval(flooding);
    await server.waitFor(/its replies made no progress for 1 s/);
    honest.end();
  });
});

// The signals a service manager or a person sends.
for (const signal of ["SIGTERM", "SIGINT"]) {
  test(`${signal} ends the server cleanly and removes its temporary directory`, async (t) => {
    const server = await Server.start(["--rcon-port", "0"], { env: { ASHGROVE_RCON_PASSWORD: password }, t });
    assert.ok(server.serverDir && existsSync(server.serverDir));
    const client = await loggedIn(server);
    assert.deepEqual(await server.stop(signal), { code: 0, signal: null });
    assert.equal(existsSync(server.serverDir), false);
    await client.closedWithin(2000);
  });
}

test("with RCON the end of standard input does not end the server", async (t) => {
  const server = await Server.start(["--rcon-port", "0"], { env: { ASHGROVE_RCON_PASSWORD: password }, t });
  server.child.stdin.end();
  await server.waitFor(/standard input has ended; serving RCON until SIGINT or SIGTERM/);
  await sleep(200);
  const client = await loggedIn(server);
  const reply = await client.command(2, "Ashgrove.Reload");
  assert.equal(reply[0].body.toString(), "Reloaded config");
  assert.deepEqual(await server.stop(), { code: 0, signal: null });
  assert.equal(existsSync(server.serverDir), false);
});

test("without RCON the end of standard input ends the session", async () => {
  const result = await run([], { input: "time 5\nadvance 1" });
  assert.equal(result.code, 0);
  assert.match(result.stdout, /^time now=5\ntime now=6\n/m);
});

test("the password comes from one source, and one that cannot work is refused at start", async (t) => {
  const dir = mkdtempSync(join(tmpdir(), "ashgrove-password-"));
  t.after(() => rmSync(dir, { recursive: true, force: true }));
  const file = (name, text) => {
    writeFileSync(join(dir, name), text);
    return join(dir, name);
  };
  const served = [
    { how: "a file, its line ending dropped", args: ["--rcon-password-file", file("crlf", "from file\r\n")], given: "from file" },
    { how: "a file keeps all but one line ending", args: ["--rcon-password-file", file("two", "two\n\n")], given: "two\n" },
    { how: "the environment", args: [], env: { ASHGROVE_RCON_PASSWORD: "from env" }, given: "from env" },
  ];
  for (const c of served) {
    const server = await Server.start(["--rcon-port", "0", ...c.args], { env: c.env ?? {}, t });
    const client = await RawClient.connect(server.port);
    assert.equal(await client.auth(c.given), 1, c.how);
    client.end();
    assert.deepEqual(await server.stop(), { code: 0, signal: null });
  }
  const refused = [
    { args: ["--rcon-password", "a", "--rcon-password-file", file("b", "b")], error: /given more than once/ },
    { args: ["--rcon-password", "a"], env: { ASHGROVE_RCON_PASSWORD: "b" }, error: /given more than once/ },
    { args: ["--rcon-password-file", file("empty", "\n")], error: /the RCON password is empty/ },
    { args: ["--rcon-password", ""], error: /the RCON password is empty/ },
    { args: ["--rcon-password-file", file("long", "p".repeat(4087))], error: /longer than the 4086 bytes/ },
    { args: ["--rcon-password-file", join(dir, "missing")], error: /cannot read the RCON password file/ },
    { args: ["--rcon-password-file", file("nul", "a\0b")], error: /holds a NUL byte/ },
    { args: [], error: /RCON is never served without a password/ },
  ];
  for (const c of refused) {
    const result = await run(["--rcon-port", "0", ...c.args], { env: c.env ?? {} });
    assert.equal(result.code, 2, c.args.join(" "));
    assert.match(result.stderr, c.error);
  }
  // The longest password a packet can carry is served.
  const longest = "p".repeat(4086);
  const server = await Server.start(["--rcon-port", "0", "--rcon-password-file", file("longest", longest)], { t });
  const client = await RawClient.connect(server.port);
  assert.equal(await client.auth(longest), 1);
  client.end();
  assert.deepEqual(await server.stop(), { code: 0, signal: null });
});
