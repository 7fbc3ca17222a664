// ashgrove-config reload and deploy against a cluster of development
// servers on 127.0.0.1, each on its own port and folder, beside what goes
// wrong in a real cluster: a server that is down, a wrong password, a server
// that accepts and never answers, a folder that cannot be written, a server
// that refuses the file, one without the plugin.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { createServer } from "node:net";
import { existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, symlinkSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { ashgroveConfig, tool } from "./configtool.js";
import { Server, configPath } from "./devserver.js";

const oldConfig = readFileSync(new URL("../../config/config.json", import.meta.url), "utf-8");
const newConfig = '{\n  "tamedDinosAffected": true,\n  "tamedCorpseDecayTime": 3600\n}\n';
const broken = '{"tamedDinosAffected": tru}';

let root;
const running = [];
let silent;
let port = {};

function folder(name, config = oldConfig) {
  const dir = join(root, name);
  mkdirSync(dirname(configPath(dir)), { recursive: true });
  if (config !== null) {
    writeFileSync(configPath(dir), config);
  }
  return dir;
}

function password(name, text) {
  const file = join(root, "passwords", name);
  mkdirSync(dirname(file), { recursive: true });
  writeFileSync(file, `${text}\n`);
  return `passwords/${name}`;
}

async function devServer(name, dir) {
  const server = await Server.start(["--server-dir", dir, "--rcon-port", "0"], {
    env: { ASHGROVE_RCON_PASSWORD: `${name} secret` },
  });
  running.push(server);
  return server.port;
}

// A port nothing listens on: bound once, then let go.
function closedPort() {
  return new Promise((resolve) => {
    const probe = createServer();
    probe.listen(0, "127.0.0.1", () => {
      const { port: free } = probe.address();
      probe.close(() => resolve(free));
    });
  });
}

function cluster(file, servers) {
  writeFileSync(join(root, file), JSON.stringify({ servers }, null, 2));
  return join(root, file);
}

before(async () => {
  assert.ok(tool, "ASHGROVE_CONFIG must name ashgrove-config");
  root = mkdtempSync(join(tmpdir(), "ashgrove-cluster-"));
  // Accepts and never answers.
  silent = createServer(() => {});
  await new Promise((resolve) => silent.listen(0, "127.0.0.1", resolve));
  port = {
    island: await devServer("island", folder("island")),
    scorched: await devServer("scorched", folder("scorched", newConfig)),
    ragnarok: await devServer("ragnarok", folder("ragnarok")),
    // Reads another folder than the cluster file says, and finds a broken
    // file there: it refuses whatever is deployed.
    fjordur: await devServer("fjordur", folder("fjordur-elsewhere")),
    hermit: await devServer("hermit", folder("hermit", null)),
    center: await closedPort(),
    valguero: silent.address().port,
  };
  writeFileSync(configPath(join(root, "fjordur-elsewhere")), broken);
  folder("fjordur");
  folder("center");
  folder("valguero");
  // The plugin's folder of genesis is a file: nothing can be written there.
  mkdirSync(join(root, "genesis", "ArkApi", "Plugins"), { recursive: true });
  writeFileSync(join(root, "genesis", "ArkApi", "Plugins", "Ashgrove"), "not a folder");
});

after(async () => {
  for (const server of running) {
    await server.stop();
  }
  silent.close();
  rmSync(root, { recursive: true, force: true });
});

function servers() {
  const at = (name) => `127.0.0.1:${port[name]}`;
  return [
    { name: "island", rcon: at("island"), passwordFile: password("island", "island secret"), serverDir: "island" },
    { name: "scorched", rcon: at("scorched"), passwordEnv: "SCORCHED_PASSWORD", serverDir: "scorched" },
    { name: "center", rcon: at("center"), passwordFile: password("center", "x"), serverDir: "center" },
    { name: "ragnarok", rcon: at("ragnarok"), passwordFile: password("ragnarok", "not it"), serverDir: "ragnarok" },
    { name: "valguero", rcon: at("valguero"), passwordFile: password("valguero", "x"), serverDir: "valguero" },
    { name: "genesis", rcon: at("island"), passwordFile: password("island", "island secret"), serverDir: "genesis" },
    { name: "fjordur", rcon: at("fjordur"), passwordFile: password("fjordur", "fjordur secret"), serverDir: "fjordur" },
    { name: "hermit", rcon: at("hermit"), passwordFile: password("hermit", "hermit secret") },
  ];
}

const env = { SCORCHED_PASSWORD: "scorched secret" };

// Where a server's field stands in a cluster file written by cluster():
// LINE:COLUMN of its value (or of its key), as the tool places it.
function placeIn(file, name, key, { ofKey = false } = {}) {
  const lines = readFileSync(file, "utf-8").split("\n");
  const start = lines.findIndex((text) => text.includes(`"name": "${name}"`));
  for (let i = start; i < lines.length; i += 1) {
    const column = lines[i].indexOf(`"${key}": `);
    if (column >= 0) {
      return `${i + 1}:${column + 1 + (ofKey ? 0 : key.length + 4)}`;
    }
  }
  throw new Error(`no ${key} for ${name} in ${file}`);
}

function line(stdout, name) {
  const found = stdout.split("\n").find((text) => text.startsWith(`${name} `));
  assert.ok(found, `no line for ${name} in:\n${stdout}`);
  return found.replace(/\s+/g, " ");
}

test("reload: every server at once, a line each, the worst outcome's status", async () => {
  const file = cluster("reload.json", servers());
  const result = await ashgroveConfig(["reload", "--cluster", file, "--timeout", "1"], env);
  const out = result.stdout;
  assert.equal(result.code, 3, out + result.stderr);
  assert.match(line(out, "island"), /^island 127\.0\.0\.1:\d+ reloaded in \d+ ms$/);
  assert.match(line(out, "scorched"), /^scorched 127\.0\.0\.1:\d+ reloaded in \d+ ms$/);
  assert.match(line(out, "center"), /^center 127\.0\.0\.1:\d+ unreachable Connection refused$/);
  assert.equal(
    line(out, "ragnarok").replace(/:\d+ /, ":PORT "),
    `ragnarok 127.0.0.1:PORT auth-failed wrong password; check the password in ${join(root, "passwords", "ragnarok")} (passwordFile at ${file}:${placeIn(file, "ragnarok", "passwordFile")})`,
  );
  assert.match(line(out, "valguero"), /^valguero 127\.0\.0\.1:\d+ timed-out no answer to the login within 1 s$/);
  assert.match(line(out, "genesis"), /^genesis 127\.0\.0\.1:\d+ reloaded in \d+ ms$/);
  assert.match(
    line(out, "fjordur"),
    /^fjordur 127\.0\.0\.1:\d+ refused \[json\.exception\.parse_error\.101\] parse error at line 1, column 27: .*$/,
  );
  assert.match(
    line(out, "hermit"),
    /^hermit 127\.0\.0\.1:\d+ unexpected answered "Unknown command: Ashgrove\.Reload"; is the plugin loaded on this server\?$/,
  );
  assert.match(out, /^8 servers in \d+\.\d\d s: 3 reloaded, 1 refused, 1 unreachable, 1 auth-failed, 1 timed-out, 1 unexpected$/m);
  // The silent server costs its timeout, once: all are contacted at once.
  assert.ok(result.ms < 3000, `took ${result.ms} ms`);
  assert.doesNotMatch(out + result.stderr, /secret/);
});

test("reload --json and --server: the named servers only, as one object", async () => {
  const file = cluster("reload.json", servers());
  const result = await ashgroveConfig(
    ["reload", "--cluster", file, "--server", "fjordur", "--server", "island", "--json"],
    env,
  );
  assert.equal(result.code, 1, result.stdout + result.stderr);
  const report = JSON.parse(result.stdout);
  assert.equal(report.status, 1);
  assert.deepEqual(
    report.servers.map((server) => [server.name, server.outcome]),
    [["island", "reloaded"], ["fjordur", "refused"]],
  );
  const [island, fjordur] = report.servers;
  assert.equal(island.address, `127.0.0.1:${port.island}`);
  assert.equal(island.reply, "Reloaded config");
  assert.equal(island.error, null);
  assert.equal(typeof island.milliseconds, "number");
  assert.match(fjordur.reply, /^\[json\.exception\.parse_error\.101\]/);
});

test("reload of one server by its address, its password from the environment", async () => {
  const ok = await ashgroveConfig(["reload", "--rcon", `127.0.0.1:${port.island}`], {
    ASHGROVE_RCON_PASSWORD: "island secret",
  });
  assert.equal(ok.code, 0, ok.stdout + ok.stderr);
  assert.match(ok.stdout, /^127\.0\.0\.1:\d+ {2}reloaded {2}in \d+ ms\n1 server in \d+\.\d\d s: 1 reloaded\n$/);
  const none = await ashgroveConfig(["reload", "--rcon", `127.0.0.1:${port.island}`]);
  assert.equal(none.code, 2);
  assert.match(none.stderr, /give the RCON password in --password-file FILE or in ASHGROVE_RCON_PASSWORD/);
});

test("a cluster file that will not do stops everything before anything is sent", async () => {
  const list = servers();
  list[1] = { ...list[1], password: "in the open" };
  list[2] = { ...list[2], name: "island" };
  list[3] = { ...list[3], rcon: "127.0.0.1" };
  const file = cluster("bad.json", list);
  const result = await ashgroveConfig(["deploy", join(root, "island", "ArkApi", "Plugins", "Ashgrove", "config.json"), "--cluster", file], env);
  assert.equal(result.code, 2);
  assert.match(result.stderr, /bad\.json:\d+:\d+: error: a password is never written in the cluster file/);
  assert.match(result.stderr, /bad\.json:\d+:\d+: error: the name "island" is given to another server too, at .*bad\.json:\d+:\d+/);
  assert.match(result.stderr, /bad\.json:\d+:\d+: error: "127\.0\.0\.1" is no RCON address: no port/);
  assert.equal(result.stdout, "");
});

// Reads the files in a tight loop until told to stop, and counts what it
// saw of each: only whole old or whole new files may show.
function startReader(files) {
  const stop = join(root, "stop-reading");
  const code = `
    const { readFileSync, existsSync } = require("node:fs");
    const [stop, ...files] = process.argv.slice(1);
    const seen = {};
    const until = Date.now() + 30000;
    while (!existsSync(stop) && Date.now() < until) {
      for (const file of files) {
        let text;
        try { text = readFileSync(file, "utf-8"); } catch (error) { text = "<" + error.code + ">"; }
        seen[file] ??= {};
        seen[file][text] = (seen[file][text] ?? 0) + 1;
      }
    }
    process.stdout.write(JSON.stringify(seen));`;
  const child = spawn(process.execPath, ["-e", code, stop, ...files]);
  let out = "";
  child.stdout.on("data", (chunk) => (out += chunk.toString()));
  const done = new Promise((resolve) => child.on("close", () => resolve(JSON.parse(out))));
  return {
    stop: async () => {
      writeFileSync(stop, "");
      return done;
    },
  };
}

test("deploy: checked, put in place atomically, reloaded, rolled back where refused", async () => {
  const file = cluster("deploy.json", servers());
  const update = join(root, "new.json");
  writeFileSync(update, newConfig);
  const watched = ["island", "fjordur"].map((name) => configPath(join(root, name)));
  const reader = startReader(watched);
  await new Promise((resolve) => setTimeout(resolve, 200));
  const result = await ashgroveConfig(["deploy", update, "--cluster", file, "--timeout", "1"], env);
  const seen = await reader.stop();
  assert.doesNotMatch(result.stdout + result.stderr, /\x1b|\r/, "a pipe gets no colours and no status line");
  const out = result.stdout;
  assert.equal(result.code, 3, out + result.stderr);

  assert.match(out, /the server would load this file/);
  assert.match(line(out, "island"), /^island 127\.0\.0\.1:\d+ reloaded in \d+ ms$/);
  assert.match(out, /\n {4}tamedDinosAffected {4}false \u2192 true\n {4}tamedCorpseDecayTime {2}1800 \u2192 3600\n/);
  assert.match(line(out, "scorched"), /^scorched 127\.0\.0\.1:\d+ reloaded in \d+ ms$/);
  assert.match(out, /\n {4}unchanged: the same bytes are in place\n/);
  // The command that finishes the job waits as this one was told to.
  const finish = `ashgrove-config reload --cluster ${file} --timeout 1 --server`;
  for (const [name, why] of [
    ["center", "Connection refused; "],
    ["ragnarok", `wrong password; check the password in ${join(root, "passwords", "ragnarok")} (passwordFile at ${file}:${placeIn(file, "ragnarok", "passwordFile")}); then, `],
    ["valguero", "no answer to the login within 1 s; "],
  ]) {
    assert.equal(line(out, name).replace(/:\d+ /, ":PORT "), `${name} 127.0.0.1:PORT deployed-not-reloaded ${why}to reload it: ${finish} ${name}`);
  }
  // The folder and where the cluster file sets it; never a temporary file.
  assert.equal(
    line(out, "genesis").replace(/:\d+ /, ":PORT "),
    `genesis 127.0.0.1:PORT not-deployed cannot create a file in ${join(root, "genesis", "ArkApi", "Plugins", "Ashgrove")}: Not a directory (its serverDir is set at ${file}:${placeIn(file, "genesis", "serverDir")})`,
  );
  assert.match(
    line(out, "fjordur"),
    /^fjordur 127\.0\.0\.1:\d+ rolled-back \[json\.exception\.parse_error\.101\] .*; the previous file is back, but the server refuses it too: \[json\.exception.*$/,
  );
  // What a rolled-back server was to get is not in force.
  assert.match(out, /^fjordur .*\n {4}not in force:\n {4}tamedDinosAffected {4}false \u2192 true\n/m);
  assert.match(line(out, "hermit"), /^hermit 127\.0\.0\.1:\d+ skipped no serverDir in the cluster file$/);
  assert.match(out, /^8 servers in \d+\.\d\d s: 2 reloaded, 1 rolled-back, 3 deployed-not-reloaded, 1 not-deployed, 1 skipped$/m);

  // What each folder holds now.
  const read = (name, file = "config.json") => {
    const path = join(root, name, "ArkApi", "Plugins", "Ashgrove", file);
    return existsSync(path) ? readFileSync(path, "utf-8") : undefined;
  };
  for (const name of ["island", "center", "ragnarok", "valguero"]) {
    assert.equal(read(name), newConfig, name);
    assert.equal(read(name, "config.json.previous"), oldConfig, name);
  }
  assert.equal(read("scorched"), newConfig);
  assert.equal(read("scorched", "config.json.previous"), undefined);
  assert.equal(read("fjordur"), oldConfig);
  assert.equal(read("fjordur", "config.json.previous"), oldConfig);
  assert.equal(readFileSync(join(root, "genesis", "ArkApi", "Plugins", "Ashgrove"), "utf-8"), "not a folder");

  // A reader in a tight loop saw whole files only, old or new.
  for (const path of watched) {
    const texts = Object.keys(seen[path] ?? {});
    assert.ok(texts.length > 0, `the reader never read ${path}`);
    for (const text of texts) {
      assert.ok(text === oldConfig || text === newConfig, `${path} was read as ${JSON.stringify(text)}`);
    }
  }
  assert.ok(seen[watched[0]][newConfig] > 0, "island's new file was never read");
});

// A dry run tells, server by server, the outcome and status the deploy then
// gives; only a server's refusal of the file itself cannot be foreseen.
test("deploy --dry-run predicts what the deploy then does, and writes and reloads nothing", async () => {
  for (const name of ["island", "fjordur"]) {
    writeFileSync(configPath(join(root, name)), oldConfig);
  }
  // A lock file the deploy cannot open, and a config.json that is a folder.
  mkdirSync(join(dirname(configPath(folder("lock-dir"))), "config.json.lock"));
  mkdirSync(configPath(folder("cfg-dir", null)));
  const alsoIsland = (name, serverDir) => ({
    name,
    rcon: `127.0.0.1:${port.island}`,
    passwordFile: password("island", "island secret"),
    serverDir,
  });
  const file = cluster("dry.json", [
    ...servers(),
    alsoIsland("nowhere", "no-such-folder"),
    alsoIsland("lockdir", "lock-dir"),
    alsoIsland("cfgdir", "cfg-dir"),
  ]);
  const update = join(root, "new.json");
  writeFileSync(update, newConfig);
  const args = ["deploy", update, "--cluster", file, "--timeout", "1"];
  const dry = await ashgroveConfig([...args, "--dry-run"], env);
  const dryJson = JSON.parse((await ashgroveConfig([...args, "--dry-run", "--json"], env)).stdout);
  assert.equal(dry.code, 3, dry.stdout + dry.stderr);
  assert.equal(dryJson.status, 3);
  assert.match(dry.stdout, /^a dry run: .*new\.json would go to .*dry\.json; nothing is written or reloaded:$/m);
  assert.match(line(dry.stdout, "island"), /^island 127\.0\.0\.1:\d+ dry-run the folder takes the file and the server its password; nothing written or reloaded$/);
  assert.match(line(dry.stdout, "ragnarok"), /^ragnarok 127\.0\.0\.1:\d+ deployed-not-reloaded wrong password; check the password in .*; the file would be put in place and not reloaded$/);
  assert.equal(
    line(dry.stdout, "nowhere").replace(/:\d+ /, ":PORT "),
    `nowhere 127.0.0.1:PORT not-deployed cannot create a file in ${join(root, "no-such-folder", "ArkApi", "Plugins", "Ashgrove")}: No such file or directory (its serverDir is set at ${file}:${placeIn(file, "nowhere", "serverDir")})`,
  );
  assert.match(line(dry.stdout, "lockdir"), /^lockdir 127\.0\.0\.1:\d+ not-deployed cannot open the lock file .*config\.json\.lock: Is a directory/);
  assert.match(line(dry.stdout, "cfgdir"), /^cfgdir 127\.0\.0\.1:\d+ not-deployed .*config\.json is a folder: move it away, and deploy again$/);
  const island = dryJson.servers.find((server) => server.name === "island");
  assert.deepEqual(island.changes.settings, [
    { key: "tamedDinosAffected", old: false, new: true },
    { key: "tamedCorpseDecayTime", old: 1800, new: 3600 },
  ]);
  // Nothing written, nothing left, nothing made.
  assert.equal(readFileSync(configPath(join(root, "island")), "utf-8"), oldConfig);
  assert.deepEqual(readdirSync(dirname(configPath(join(root, "island")))).filter((name) => name.includes(".ashgrove-")), []);
  assert.ok(!existsSync(join(root, "no-such-folder")));

  const real = JSON.parse((await ashgroveConfig([...args, "--json"], env)).stdout);
  assert.equal(real.status, dryJson.status);
  // Only where a new file stays was one written: not where the same bytes
  // were in place, nor where the previous file went back.
  assert.deepEqual(
    real.servers.filter((server) => server.written).map((server) => server.name),
    ["island"],
  );
  assert.ok(dryJson.servers.every((server) => server.written === false));
  for (const [i, predicted] of dryJson.servers.entries()) {
    const done = real.servers[i];
    const expected = { "dry-run": "reloaded" }[predicted.outcome] ?? predicted.outcome;
    if (predicted.name === "fjordur") {
      assert.equal(done.outcome, "rolled-back");
      continue;
    }
    assert.equal(done.outcome, expected, predicted.name);
    if (predicted.outcome !== "dry-run") {
      assert.equal(done.error, predicted.error, predicted.name);
    }
  }
});

// Every problem of a cluster file in one pass: its structure and the
// password sources it names, each with its place, and a guess for a
// misspelt key or server name.
test("a cluster file's problems come in one pass, with guesses, and as objects in JSON", async () => {
  const list = servers();
  const { serverDir, ...island } = list[0];
  list[0] = { ...island, serverdir: serverDir };
  const file = cluster("problems.json", list);
  const update = join(root, "new.json");
  const text = await ashgroveConfig(["deploy", update, "--cluster", file]);
  assert.equal(text.code, 2);
  assert.equal(text.stdout, "");
  assert.equal(
    text.stderr,
    `ashgrove-config: ${file}:${placeIn(file, "island", "serverdir", { ofKey: true })}: error: unknown key "serverdir"; did you mean "serverDir"?\n` +
      `${file}:${placeIn(file, "scorched", "passwordEnv")}: error: the environment variable SCORCHED_PASSWORD is not set (the password of "scorched")\n`,
  );
  const json = await ashgroveConfig(["deploy", update, "--cluster", file, "--json"]);
  assert.equal(json.code, 2);
  const report = JSON.parse(json.stdout);
  assert.equal(report.status, 2);
  assert.deepEqual(
    report.errors.map(({ file: at, message }) => [at, message]),
    [
      [file, 'unknown key "serverdir"; did you mean "serverDir"?'],
      [file, 'the environment variable SCORCHED_PASSWORD is not set (the password of "scorched")'],
    ],
  );
  assert.ok(report.errors.every(({ line: row, column }) => row > 0 && column > 0));

  const misspelt = await ashgroveConfig(["reload", "--cluster", cluster("names.json", servers()), "--server", "islnd"], env);
  assert.equal(misspelt.code, 2);
  assert.match(
    misspelt.stderr,
    /has no server named "islnd"; did you mean "island"\? \(its servers: island, scorched, center, ragnarok, valguero, genesis, fjordur, hermit\)\n$/,
  );
});

// The tool under a pseudo-terminal: a status line while servers are still
// awaited, rewritten in place and erased before the report; outcome words
// in colour, unless NO_COLOR is set.
test("on a terminal: a status line while servers are awaited, and coloured outcomes", async () => {
  const file = cluster("terminal.json", servers());
  const quoted = (word) => `'${word.replace(/'/g, "'\\''")}'`;
  const command = [tool, "reload", "--cluster", file, "--server", "island", "--server", "valguero", "--timeout", "1"]
    .map(quoted)
    .join(" ");
  const onTerminal = (extra) =>
    new Promise((resolve) => {
      const child = spawn("script", ["-qefc", command, "/dev/null"], { env: { ...process.env, ...extra, TERM: "xterm" } });
      let out = "";
      child.stdout.on("data", (chunk) => (out += chunk.toString()));
      child.on("close", (code) => resolve({ code, out }));
    });
  const coloured = await onTerminal({});
  assert.equal(coloured.code, 3, coloured.out);
  assert.match(coloured.out, /\r\x1b\[Kreloading: waiting for 1 of 2 \(valguero\) 0\.\d s/);
  // Erased before the report, which starts at the line's beginning.
  assert.match(coloured.out, /\r\x1b\[Kisland +127\.0\.0\.1:\d+ +\x1b\[32mreloaded\x1b\[0m +in \d+ ms\r\n/);
  assert.match(coloured.out, /valguero +127\.0\.0\.1:\d+ +\x1b\[33mtimed-out\x1b\[0m +no answer to the login within 1 s/);
  const plain = await onTerminal({ NO_COLOR: "1" });
  assert.doesNotMatch(plain.out, /\x1b\[3\dm/);
  assert.match(plain.out, /island +127\.0\.0\.1:\d+ +reloaded +in \d+ ms/);
});

test("deploy refuses to deploy a file the server would refuse", async () => {
  const file = cluster("refused.json", servers());
  const update = join(root, "bad-settings.json");
  writeFileSync(update, '{"wildDinosAffected": "yes"}');
  const before = readFileSync(configPath(join(root, "island")), "utf-8");
  const result = await ashgroveConfig(["deploy", update, "--cluster", file], env);
  assert.equal(result.code, 1);
  assert.match(result.stdout, /bad-settings\.json is deployed nowhere: the server would refuse it/);
  assert.equal(readFileSync(configPath(join(root, "island")), "utf-8"), before);
});

// Servers that share one file through a link: it goes back only when every
// server that loads it refused it. A refuser started on a file of its own
// that is broken since: it refuses whatever is deployed.
test("deploy: a shared file goes back only when all its servers refused it", async () => {
  const refuser = async (name) => {
    const elsewhere = folder(`${name}-elsewhere`);
    const rcon = `127.0.0.1:${await devServer(name, elsewhere)}`;
    writeFileSync(configPath(elsewhere), broken);
    return { name, rcon };
  };
  const linkedTo = (target, name) => {
    const dir = folder(name, null);
    symlinkSync(configPath(join(root, target)), configPath(dir));
    return name;
  };
  const update = join(root, "shared-new.json");
  writeFileSync(update, newConfig);
  const read = (name, file = "config.json") => readFileSync(join(root, name, "ArkApi", "Plugins", "Ashgrove", file), "utf-8");

  // The refuser writes the shared file (it comes first), the taker loads it.
  folder("shared");
  const taker = { name: "taker", rcon: `127.0.0.1:${await devServer("taker", join(root, "shared"))}` };
  const first = await refuser("first");
  const kept = cluster("shared-kept.json", [
    { ...first, passwordFile: password("first", "first secret"), serverDir: linkedTo("shared", "first-dir") },
    { ...taker, passwordFile: password("taker", "taker secret"), serverDir: "shared" },
  ]);
  let result = await ashgroveConfig(["deploy", update, "--cluster", kept, "--timeout", "2"]);
  assert.equal(result.code, 1, result.stdout + result.stderr);
  assert.match(
    line(result.stdout, "first"),
    /^first 127\.0\.0\.1:\d+ refused \[json\.exception\.parse_error\.101\] .*; the refused file stays in place: it is shared with taker, which did not refuse it$/,
  );
  assert.match(line(result.stdout, "taker"), /^taker 127\.0\.0\.1:\d+ reloaded in \d+ ms$/);
  assert.equal(read("shared"), newConfig);

  // Both refuse: the file goes back once, and both are reloaded again.
  writeFileSync(configPath(join(root, "shared")), oldConfig);
  const second = await refuser("second");
  const back = cluster("shared-back.json", [
    { ...first, passwordFile: password("first", "first secret"), serverDir: "first-dir" },
    { ...second, passwordFile: password("second", "second secret"), serverDir: linkedTo("shared", "second-dir") },
  ]);
  result = await ashgroveConfig(["deploy", update, "--cluster", back, "--timeout", "2", "--json"]);
  assert.equal(result.code, 1, result.stdout + result.stderr);
  const report = JSON.parse(result.stdout);
  assert.deepEqual(
    report.servers.map((server) => [server.name, server.outcome, server.afterRollback?.outcome]),
    [
      ["first", "rolled-back", "refused"],
      ["second", "rolled-back", "refused"],
    ],
  );
  assert.equal(read("shared"), oldConfig);
  assert.equal(read("first-dir", "config.json.previous"), oldConfig);
});

// Reloading N servers at once against one alone: the wall time grows far
// slower than N. Printed, not asserted tightly.
test("reloading many servers at once takes about as long as one", async () => {
  const count = 24;
  const many = [];
  for (let i = 0; i < count; i += 1) {
    const name = `map${i}`;
    const server = await Server.start(["--server-dir", folder(name), "--rcon-port", "0"], {
      env: { ASHGROVE_RCON_PASSWORD: "many secret" },
    });
    running.push(server);
    many.push({ name, rcon: `127.0.0.1:${server.port}`, passwordFile: password("many", "many secret") });
  }
  const timed = async (servers) => {
    const file = cluster(`time-${servers.length}.json`, servers);
    const times = [];
    for (let round = 0; round < 5; round += 1) {
      const result = await ashgroveConfig(["reload", "--cluster", file]);
      assert.equal(result.code, 0, result.stdout + result.stderr);
      times.push(result.ms);
    }
    return times.sort((a, b) => a - b)[2];
  };
  const figures = {};
  for (const n of [1, 4, 12, count]) {
    figures[`${n} at once (median ms)`] = Math.round((await timed(many.slice(0, n))) * 10) / 10;
  }
  // As an operator did before: one server, and one command, at a time.
  const file = cluster(`time-one-by-one.json`, many);
  let oneByOne = 0;
  for (const server of many) {
    const result = await ashgroveConfig(["reload", "--cluster", file, "--server", server.name]);
    assert.equal(result.code, 0, result.stdout + result.stderr);
    oneByOne += result.ms;
  }
  figures[`${count} one at a time (ms)`] = Math.round(oneByOne * 10) / 10;
  console.log(JSON.stringify(figures, null, 2));
  assert.ok(figures[`${count} at once (median ms)`] < 5000);
});
