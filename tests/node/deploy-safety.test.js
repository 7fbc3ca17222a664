// ashgrove-config deploy on a team's bad day, against development servers
// on 127.0.0.1: two deploys at once over one cluster, a source file
// rewritten in place while it is deployed, deploys killed half-way, and a
// deploy that holds the folders while others wait. With ASHGROVE_WINE and
// ASHGROVE_CONFIG_EXE, the Windows ashgrove-config.exe is attacked the same
// way under wine, in fewer rounds.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { createServer } from "node:net";
import { existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from "node:fs";
import { hostname, tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { ashgroveConfig, startConfigTool, underWine } from "./configtool.js";
import { Server, configPath, sleep } from "./devserver.js";

const rounds = underWine ? 4 : 12;
const names = ["ark", "bay", "cove"];
// Versions of one length, told apart by their settings.
const version = (seconds) => `{\n  "wildDinosAffected": true,\n  "wildCorpseDecayTime": ${seconds}\n}\n`;
const initial = version(300);

let root;
let clusterFile;
const running = [];
let silent;

const plugin = (name) => dirname(configPath(join(root, name)));
const inPlace = (name, file = "config.json") => {
  const path = join(plugin(name), file);
  return existsSync(path) ? readFileSync(path, "utf-8") : undefined;
};
const seconds = (text) => JSON.parse(text).wildCorpseDecayTime;
const line = (stdout, name) => (stdout.split("\n").find((text) => text.startsWith(`${name} `)) ?? "").replace(/\s+/g, " ");

function write(name, text) {
  const file = join(root, name);
  writeFileSync(file, text);
  return file;
}

before(async () => {
  root = mkdtempSync(join(tmpdir(), "ashgrove-deploy-safety-"));
  const servers = [];
  for (const name of names) {
    mkdirSync(plugin(name), { recursive: true });
    writeFileSync(configPath(join(root, name)), initial);
    const server = await Server.start(["--server-dir", join(root, name), "--rcon-port", "0"], {
      env: { ASHGROVE_RCON_PASSWORD: `${name} secret` },
    });
    running.push(server);
    write(`${name}.password`, `${name} secret\n`);
    servers.push({ name, rcon: `127.0.0.1:${server.port}`, passwordFile: `${name}.password`, serverDir: name });
  }
  clusterFile = write("cluster.json", JSON.stringify({ servers }, null, 2));
  // Accepts and never answers: a deploy that reloads it holds its folders
  // for as long as its timeout.
  silent = createServer(() => {});
  await new Promise((resolve) => silent.listen(0, "127.0.0.1", resolve));
  mkdirSync(plugin("silent"), { recursive: true });
  write("silent.password", "x\n");
  write(
    "with-silent.json",
    JSON.stringify({
      servers: [
        servers[0],
        { name: "silent", rcon: `127.0.0.1:${silent.address().port}`, passwordFile: "silent.password", serverDir: "silent" },
      ],
    }),
  );
  // Sources written a moment ago are left to settle; these are old enough.
  write("x.json", version(111));
  write("y.json", version(222));
  await sleep(150);
});

after(async () => {
  for (const server of running) {
    await server.stop();
  }
  silent.close();
  rmSync(root, { recursive: true, force: true });
});

// What a deploy's report says was in force on a server before it: the old
// value of the setting it changes, or its own when nothing changed.
function inForceBefore(server, own) {
  if (server.changes.unchanged) {
    return own;
  }
  const change = server.changes.settings.find((setting) => setting.key === "wildCorpseDecayTime");
  return change ? change.old : own;
}

test("two deploys at once: each runs whole, and every line of each report is true", async () => {
  const deploy = (file) => ashgroveConfig(["deploy", join(root, file), "--cluster", clusterFile, "--json"]);
  for (let round = 0; round < rounds; round += 1) {
    const before = Object.fromEntries(names.map((name) => [name, seconds(inPlace(name))]));
    const [x, y] = await Promise.all([deploy("x.json"), deploy("y.json")]);
    const reports = {};
    for (const [file, result] of [
      [111, x],
      [222, y],
    ]) {
      assert.equal(result.code, 0, result.stdout + result.stderr);
      reports[file] = JSON.parse(result.stdout);
      assert.deepEqual(
        reports[file].servers.map((server) => server.outcome),
        names.map(() => "reloaded"),
      );
    }
    // The deploy that ran second left its file on every server, whole, and
    // found the first one's file there on every server.
    const last = seconds(inPlace(names[0]));
    const first = last === 111 ? 222 : 111;
    for (const [i, name] of names.entries()) {
      assert.equal(inPlace(name), version(last), `round ${round}: ${name}`);
      assert.equal(inForceBefore(reports[last].servers[i], last), first, `round ${round}: ${name}`);
      assert.equal(inForceBefore(reports[first].servers[i], first), before[name], `round ${round}: ${name}`);
    }
  }
  // And the servers load what is in place.
  const reload = await ashgroveConfig(["reload", "--cluster", clusterFile]);
  assert.equal(reload.code, 0, reload.stdout + reload.stderr);
});

// Rewrites the file in place (truncated, then written) in bursts, with
// pauses long enough for a deploy to go through, until told to stop.
function startEditor(file, texts) {
  const stop = join(root, "stop-editing");
  const code = `
    const { writeFileSync, existsSync } = require("node:fs");
    const [file, stop, ...texts] = process.argv.slice(1);
    const until = Date.now() + 60000;
    let n = 0;
    const pause = (ms) => Atomics.wait(new Int32Array(new SharedArrayBuffer(4)), 0, 0, ms);
    while (!existsSync(stop) && Date.now() < until) {
      const burst = Date.now() + Math.random() * 300;
      while (Date.now() < burst) writeFileSync(file, texts[n++ % texts.length]);
      pause(Math.random() * 400);
    }`;
  const child = spawn(process.execPath, ["-e", code, file, stop, ...texts]);
  const done = new Promise((resolve) => child.on("close", resolve));
  return {
    stop: async () => {
      writeFileSync(stop, "");
      await done;
    },
  };
}

test("a source rewritten in place while it is deployed: no server gets bytes other than those checked", async () => {
  const source = write("edited.json", version(333));
  const editor = startEditor(source, [version(333), version(444)]);
  const seen = { 0: 0, 1: 0, 2: 0 };
  try {
    for (let i = 0; i < rounds * 2; i += 1) {
      const result = await ashgroveConfig(["deploy", source, "--cluster", clusterFile, "--server", "ark", "--json"]);
      seen[result.code] += 1;
      const report = JSON.parse(result.stdout);
      if (result.code === 2) {
        assert.match(report.error, /edited\.json changed while it was read.*try again once the file is saved$/);
        continue;
      }
      if (result.code === 1) {
        // Read between the truncation and the write: refused, sent nowhere.
        assert.equal(report.servers.length, 0, result.stdout);
        continue;
      }
      assert.equal(result.code, 0, result.stdout + result.stderr);
      const text = inPlace("ark");
      assert.ok(text === version(333) || text === version(444), `ark holds ${JSON.stringify(text)}`);
      assert.equal(seconds(text), report.check.settings.wildCorpseDecayTime);
    }
  } finally {
    await editor.stop();
  }
  console.log(`deploys of a file being edited: ${JSON.stringify(seen)} by exit status`);
  assert.ok(seen[2] > 0, "no deploy saw the file change");
});

test("deploys killed half-way leave nothing behind once one finishes", async () => {
  // What a deploy killed in an earlier run left, beside other files.
  writeFileSync(join(plugin("ark"), "config.json.ashgrove-99999-1-0.tmp"), "half");
  writeFileSync(join(plugin("bay"), "config.json.previous.ashgrove-99999-1-1.tmp"), "half");
  writeFileSync(join(plugin("bay"), "notes.txt"), "kept");
  const kills = underWine ? 5 : 30;
  for (let i = 0; i < kills; i += 1) {
    const run = startConfigTool(["deploy", join(root, i % 2 ? "x.json" : "y.json"), "--cluster", clusterFile]);
    await sleep(Math.random() * (underWine ? 800 : 40));
    run.child.kill("SIGKILL");
    await run.done;
  }
  const result = await ashgroveConfig(["deploy", join(root, "x.json"), "--cluster", clusterFile]);
  assert.equal(result.code, 0, result.stdout + result.stderr);
  assert.equal(result.stderr, "");
  for (const name of names) {
    const left = readdirSync(plugin(name)).filter((file) => /\.ashgrove-.*\.tmp$/.test(file));
    assert.deepEqual(left, [], `${name} keeps ${left}`);
    assert.equal(inPlace(name), version(111), name);
    // Whole, and one of the files deployed in this run, the edited ones included.
    const whole = [initial, ...[111, 222, 333, 444].map(version)];
    assert.ok(whole.includes(inPlace(name, "config.json.previous")), `${name}: ${inPlace(name, "config.json.previous")}`);
  }
  assert.equal(inPlace("bay", "notes.txt"), "kept");
});

test("a deploy holding the folders makes others wait and name it; killed, it holds nothing", async () => {
  const holder = startConfigTool(["deploy", join(root, "y.json"), "--cluster", join(root, "with-silent.json"), "--timeout", "30"]);
  const lock = join(plugin("ark"), "config.json.lock");
  const until = Date.now() + 20000;
  while (!/^process \d+ on /.test(inPlace("ark", "config.json.lock") ?? "") && Date.now() < until) {
    await sleep(20);
  }
  const record = readFileSync(lock, "utf-8");
  const owner = underWine ? "process \\d+" : `process ${holder.child.pid}`;
  const host = underWine ? "\\S+" : hostname().replace(/[.*+?^${}()|[\]\\]/g, "\\$&");
  const held = `another deploy holds it \\(${owner} on ${host} since \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d UTC\\)`;
  assert.match(record, new RegExp(`^${owner} on ${host} since `));

  const blocked = await ashgroveConfig(["deploy", join(root, "x.json"), "--cluster", clusterFile, "--lock-timeout", "0.5"]);
  assert.equal(blocked.code, 1, blocked.stdout + blocked.stderr);
  assert.match(line(blocked.stdout, "ark"), new RegExp(`^ark 127\\.0\\.0\\.1:\\d+ not-deployed ${held}$`));
  assert.match(line(blocked.stdout, "bay"), /^bay 127\.0\.0\.1:\d+ reloaded in \d+ ms$/);
  assert.equal(inPlace("ark"), version(222), "the held folder was written");

  const reload = await ashgroveConfig(["reload", "--cluster", clusterFile, "--lock-timeout", "0.3"]);
  assert.equal(reload.code, 3, reload.stdout + reload.stderr);
  assert.match(line(reload.stdout, "ark"), new RegExp(`^ark 127\\.0\\.0\\.1:\\d+ timed-out not sent: ${held}$`));

  holder.child.kill("SIGKILL");
  await holder.done;
  const next = await ashgroveConfig(["deploy", join(root, "x.json"), "--cluster", clusterFile, "--lock-timeout", "10"]);
  assert.equal(next.code, 0, next.stdout + next.stderr);
  assert.ok(next.ms < 5000, `the next deploy waited ${next.ms} ms for a dead holder`);
  assert.equal(inPlace("ark"), version(111));
});
