// The Ansible role in deploy/ansible, through its example playbook, against
// three hosts that are all this machine (ansible_connection: local), each
// with its own development servers on 127.0.0.1, folders and passwords: a
// deploy to all, a second run, --check and --diff, a host whose server
// refuses the file, files that go to no host, and a wrong variable.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { randomBytes } from "node:crypto";
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, statSync, writeFileSync } from "node:fs";
import { createServer } from "node:net";
import { hostname, tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { Server, configPath } from "./devserver.js";

const tool = process.env.ASHGROVE_CONFIG;
const playbookCommand = process.env.ASHGROVE_ANSIBLE_PLAYBOOK;
const playbook = new URL("../../deploy/ansible/site.example.yml", import.meta.url).pathname;

// The settings files deployed, and the tamed lifespan each puts in force
// (the test class's own, 900, while tamed creatures are left alone). The
// first has Windows line endings and a non-ASCII byte sequence, which must
// arrive as they are.
const oldConfig = readFileSync(new URL("../../config/config.json", import.meta.url), "utf-8");
const newConfig = '{\r\n  "$schema": "./schémas/config.schema.json",\r\n  "tamedDinosAffected": true,\r\n  "tamedCorpseDecayTime": 3600\r\n}\r\n';
const newerConfig = '{\n  "tamedDinosAffected": true,\n  "tamedCorpseDecayTime": 7200\n}\n';
const broken = '{"tamedDinosAffected": tru}';
const tamed = { old: "900", new: "3600", newer: "7200" };

// Each host's servers; the password of a server with passwordEnv comes from
// an encrypted vault file.
const hosts = {
  alpha: [
    { name: "island", password: "file" },
    { name: "scorched", password: "vault" },
  ],
  beta: [{ name: "aberration", password: "file" }],
  gamma: [{ name: "ragnarok", password: "vault" }],
};
const names = Object.values(hosts).flatMap((servers) => servers.map((server) => server.name));

let root;
const servers = {};
const passwords = {};
const pending = new Set();

// Runs a program to its end, or kills it after `ms`; resolves with its
// status and output. The promise holds the process as `child`.
function execute(command, args, { env = {}, ms = 60000 } = {}) {
  const child = spawn(command, args, { env: { ...process.env, ...env }, cwd: root });
  pending.add(child);
  const done = new Promise((resolve) => {
    let stdout = "";
    let stderr = "";
    child.stdout.on("data", (chunk) => (stdout += chunk.toString()));
    child.stderr.on("data", (chunk) => (stderr += chunk.toString()));
    const timer = setTimeout(() => child.kill("SIGKILL"), ms);
    child.on("close", (code, signal) => {
      clearTimeout(timer);
      pending.delete(child);
      resolve({ code, signal, stdout, stderr, output: stdout + stderr });
    });
  });
  return Object.assign(done, { child });
}

// Ansible on its own: no configuration, temporary files or colours from the
// caller.
const ansibleEnv = () => ({
  ...Object.fromEntries(Object.entries(process.env).filter(([key]) => !key.startsWith("ANSIBLE_"))),
  ANSIBLE_CONFIG: join(root, "ansible.cfg"),
  ANSIBLE_HOME: join(root, "ansible-home"),
  ANSIBLE_LOCAL_TEMP: join(root, "ansible-local"),
  ANSIBLE_REMOTE_TMP: join(root, "ansible-remote"),
  ANSIBLE_NOCOLOR: "1",
  ANSIBLE_RETRY_FILES_ENABLED: "0",
});

const serverDir = (name) => join(root, name);
const read = (name, file = "config.json") => {
  const path = join(dirname(configPath(serverDir(name))), file);
  return existsSync(path) ? readFileSync(path, "utf-8") : undefined;
};

// With `wrong`, some hosts' variables replaced.
function inventory({ decoy, wrong = {} } = {}) {
  const host = (name, list) => ({
    ashgrove_servers: list.map(({ name, password }) => ({
      name,
      rcon: `127.0.0.1:${servers[name].port}`,
      ...(password === "file" ? { passwordFile: join(root, "passwords", name) } : { passwordEnv: `${name.toUpperCase()}_PASSWORD` }),
      serverDir: serverDir(name === decoy ? `${name}-decoy` : name),
    })),
    ashgrove_rcon_passwords: Object.fromEntries(
      list.filter(({ password }) => password === "vault").map(({ name }) => [`${name.toUpperCase()}_PASSWORD`, `{{ vault_${name} }}`]),
    ),
    ...wrong[name],
  });
  const file = join(root, "inventory.json");
  writeFileSync(
    file,
    JSON.stringify({
      all: {
        vars: {
          ansible_connection: "local",
          ansible_python_interpreter: "/usr/bin/python3",
          ashgrove_config_tool: tool,
          ashgrove_config_controller_tool: tool,
        },
        children: { ashgrove: { hosts: Object.fromEntries(Object.entries(hosts).map(([name, list]) => [name, host(name, list)])) } },
      },
    }),
  );
  return file;
}

// ansible-playbook with the example playbook, the vault and FILE.
function play(file, { args = [], decoy } = {}) {
  const source = join(root, "settings.json");
  writeFileSync(source, file);
  return execute(
    playbookCommand,
    ["-i", inventory({ decoy }), playbook, "-e", `ashgrove_config_src=${source}`, "-e", "@vault.yml", "--vault-password-file", "vault-password", ...args],
    { env: ansibleEnv() },
  );
}

// The recap, as { host: { ok, changed, failed, ... } }.
function recap(result) {
  const lines = result.stdout.split("PLAY RECAP").at(-1).split("\n");
  const found = {};
  for (const line of lines) {
    const match = line.match(/^(\S+)\s+:\s+(.*\S)\s*$/);
    if (match) {
      found[match[1]] = Object.fromEntries(match[2].split(/\s+/).map((pair) => pair.split("=")).map(([k, v]) => [k, Number(v)]));
    }
  }
  return found;
}

function assertRecap(result, expected) {
  const got = recap(result);
  const outcome = Object.fromEntries(
    Object.entries(got).map(([host, counts]) => [host, { changed: counts.changed, failed: counts.failed, unreachable: counts.unreachable }]),
  );
  assert.deepEqual(outcome, expected, result.output);
}

const everywhere = (counts) => Object.fromEntries(Object.keys(hosts).map((host) => [host, { unreachable: 0, ...counts }]));

// The tamed lifespan a body gets on the server now: what is in force, not
// what is on disk.
let probes = 0;
async function inForce(name) {
  const server = servers[name];
  probes += 1;
  const rex = `rex${probes}`;
  if (!server.probed) {
    server.child.stdin.write("class Rex dino corpse=400 tamed=900\n");
    server.probed = true;
  }
  server.child.stdin.write(`spawn ${rex} Rex team=60000\nkill ${rex}\nshow ${rex}\n`);
  const shown = new RegExp(`^character ${rex} .* TamedCorpseLifespan=(\\S+) `, "m");
  await server.waitFor(shown);
  return server.stdout.match(shown)[1];
}

async function assertServers(expected, message) {
  for (const name of names) {
    const [file, lifespan] = expected(name);
    assert.equal(read(name), file, `${name}'s file: ${message}`);
    assert.equal(await inForce(name), lifespan, `${name}'s settings in force: ${message}`);
  }
}

before(async () => {
  assert.ok(tool, "ASHGROVE_CONFIG must name ashgrove-config");
  assert.ok(playbookCommand, "ASHGROVE_ANSIBLE_PLAYBOOK must name ansible-playbook");
  root = mkdtempSync(join(tmpdir(), "ashgrove-ansible-"));
  writeFileSync(join(root, "ansible.cfg"), "");
  mkdirSync(join(root, "passwords"));
  const vault = [];
  for (const [, list] of Object.entries(hosts)) {
    for (const { name, password } of list) {
      passwords[name] = `${name}-${randomBytes(6).toString("hex")}`;
      mkdirSync(dirname(configPath(serverDir(name))), { recursive: true });
      writeFileSync(configPath(serverDir(name)), oldConfig);
      if (password === "file") {
        writeFileSync(join(root, "passwords", name), `${passwords[name]}\n`, { mode: 0o600 });
      } else {
        vault.push(`vault_${name}: "${passwords[name]}"`);
      }
      servers[name] = await Server.start(["--server-dir", serverDir(name), "--rcon-port", "0"], {
        env: { ASHGROVE_RCON_PASSWORD: passwords[name] },
      });
    }
  }
  writeFileSync(join(root, "vault.yml"), `${vault.join("\n")}\n`);
  writeFileSync(join(root, "vault-password"), randomBytes(12).toString("hex"));
  const encrypted = await execute(
    join(dirname(playbookCommand), "ansible-vault"),
    ["encrypt", "vault.yml", "--vault-password-file", "vault-password"],
    { env: ansibleEnv() },
  );
  assert.equal(encrypted.code, 0, encrypted.output);
  assert.match(readFileSync(join(root, "vault.yml"), "utf-8"), /^\$ANSIBLE_VAULT;/);
});

after(async () => {
  for (const child of pending) {
    child.kill("SIGKILL");
  }
  for (const server of Object.values(servers)) {
    await server.stop();
  }
  rmSync(root, { recursive: true, force: true });
});

test("a deploy to all hosts: every server's file and settings, and no password at -vvv", async () => {
  const result = await play(newConfig, { args: ["-vvv"] });
  assert.equal(result.code, 0, result.output);
  assertRecap(result, everywhere({ changed: 1, failed: 0 }));
  for (const name of names) {
    assert.equal(read(name, "config.json.previous"), oldConfig, name);
  }
  await assertServers(() => [newConfig, tamed.new], "deployed");
  for (const [name, password] of Object.entries(passwords)) {
    assert.ok(!result.output.includes(password), `${name}'s password is in the output`);
  }
  assert.match(result.output, /"passwords": \{\s*"SCORCHED_PASSWORD": "VALUE_SPECIFIED_IN_NO_LOG_PARAMETER"/);
});

test("a second run changes nothing, and still reloads: a server that missed a reload takes the file", async () => {
  // island's settings in force drift from its file, which stays the same.
  servers.island.child.stdin.write('config-write {}\nrcon Ashgrove.Reload\n');
  await servers.island.waitFor(/rcon-reply id=\d+ type=0 body="Reloaded config"/);
  writeFileSync(configPath(serverDir("island")), newConfig);
  assert.equal(await inForce("island"), tamed.old);

  // One host at a time, as a rolling deploy.
  const result = await play(newConfig, { args: ["-e", "ashgrove_serial=1"] });
  assert.equal(result.code, 0, result.output);
  assertRecap(result, everywhere({ changed: 0, failed: 0 }));
  assert.equal(result.stdout.match(/^TASK \[ashgrove_config : Deploy the file/gm).length, 3, result.stdout);
  await assertServers(() => [newConfig, tamed.new], "after the second run");
});

test("--check --diff shows each server's changes and changes nothing", async () => {
  const before = Object.fromEntries(names.map((name) => [name, statSync(configPath(serverDir(name))).mtimeMs]));
  const result = await play(newerConfig, { args: ["--check", "--diff"] });
  assert.equal(result.code, 0, result.output);
  // In check mode, changed says what would change.
  assertRecap(result, everywhere({ changed: 1, failed: 0 }));
  for (const name of names) {
    assert.match(result.stdout, new RegExp(`^${name}: tamedCorpseDecayTime 3600 \u2192 7200$`, "m"));
    assert.equal(statSync(configPath(serverDir(name))).mtimeMs, before[name], name);
  }
  assert.doesNotMatch(result.stdout, /tamedDinosAffected/);
  await assertServers(() => [newConfig, tamed.new], "after --check");
});

test("a host whose server refuses the file fails, its server is rolled back, the others are deployed", async () => {
  // scorched's server reads its own folder, where the file is now broken,
  // while the inventory deploys to another: it refuses whatever comes.
  writeFileSync(configPath(serverDir("scorched")), broken);
  mkdirSync(dirname(configPath(serverDir("scorched-decoy"))), { recursive: true });
  writeFileSync(configPath(serverDir("scorched-decoy")), newConfig);
  const result = await play(newerConfig, { args: ["--diff"], decoy: "scorched" });
  assert.equal(result.code, 2, result.output);
  assertRecap(result, {
    alpha: { changed: 0, failed: 1, unreachable: 0 },
    beta: { changed: 1, failed: 0, unreachable: 0 },
    gamma: { changed: 1, failed: 0, unreachable: 0 },
  });
  assert.match(
    result.stdout,
    /^fatal: \[alpha\]: FAILED! => .*"msg": "ashgrove-config deploy exited with status 1: scorched: rolled-back: \[json\.exception\.parse_error\.101\] .*; its previous file is back, and reloading it again: refused \[json\.exception\.parse_error\.101\] .*; reloaded: island"/m,
  );
  for (const name of ["island", "aberration", "ragnarok"]) {
    assert.equal(read(name), newerConfig, name);
    assert.equal(read(name, "config.json.previous"), newConfig, name);
    assert.equal(await inForce(name), tamed.newer, name);
  }
  for (const name of ["aberration", "ragnarok"]) {
    assert.match(result.stdout, new RegExp(`^${name}: tamedCorpseDecayTime 3600 \u2192 7200$`, "m"));
  }
  assert.equal(read("scorched-decoy"), newConfig);
  assert.equal(read("scorched-decoy", "config.json.previous"), newConfig);
  // The refused reloads left its settings as they were.
  assert.equal(await inForce("scorched"), tamed.new);
  writeFileSync(configPath(serverDir("scorched")), newConfig);
});

test("a file the server would refuse, with ashgrove_strict one with warnings, or one not checked, reaches no host", async () => {
  const cases = [
    {
      file: '{\n  "wildDinosAffected": "yes"\n}\n',
      args: [],
      message: /goes to no host: the server would refuse it: \S+settings\.json:2:24: \[json\.exception\.type_error\.302\] type must be boolean, but is string \(the value of \\"wildDinosAffected\\"\)/,
    },
    {
      file: '{\n  "tamedDinoAffected": true\n}\n',
      args: ["-e", "ashgrove_strict=true"],
      message: /goes to no host: ashgrove_strict is set, and it has warnings: \S+settings\.json:2:3: unknown key \\"tamedDinoAffected\\" is ignored; did you mean \\"tamedDinosAffected\\"\?/,
    },
    {
      file: newerConfig,
      args: ["-e", "ashgrove_config_controller_tool=/nonexistent/ashgrove-config"],
      message: /settings\.json could not be checked on the controller \(\/nonexistent\/ashgrove-config\): .*No such file or directory/,
    },
  ];
  const files = () => Object.fromEntries(names.map((name) => [name, [read(name), statSync(configPath(serverDir(name))).mtimeMs]]));
  for (const { file, args, message } of cases) {
    const before = files();
    const result = await play(file, { args });
    assert.equal(result.code, 2, result.output);
    assertRecap(result, everywhere({ changed: 0, failed: 1 }));
    for (const host of Object.keys(hosts)) {
      assert.match(result.stdout, new RegExp(`^fatal: \\[${host}\\]: FAILED! => .*${message.source}`, "m"));
    }
    assert.doesNotMatch(result.stdout, /TASK \[ashgrove_config : Deploy the file/);
    assert.deepEqual(files(), before);
  }
});

test("a server folder another deploy holds is waited for, then left as it was, and named", async () => {
  // A deploy by hand that holds aberration's folder: its server (a silent
  // one) accepts and never answers, so it waits on the reload.
  const silent = createServer(() => {});
  await new Promise((resolve) => silent.listen(0, "127.0.0.1", resolve));
  const holding = join(root, "holding.json");
  writeFileSync(
    holding,
    JSON.stringify({
      servers: [{ name: "aberration", rcon: `127.0.0.1:${silent.address().port}`, passwordFile: join(root, "passwords", "aberration"), serverDir: serverDir("aberration") }],
    }),
  );
  const held = read("aberration");
  writeFileSync(join(root, "held.json"), held);
  const holder = execute(tool, ["deploy", join(root, "held.json"), "--cluster", holding, "--timeout", "30"], { ms: 40000 });
  const until = Date.now() + 10000;
  while (!/^process \d+ on /.test(read("aberration", "config.json.lock") ?? "") && Date.now() < until) {
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
  try {
    const result = await play(newConfig, { args: ["-e", "ashgrove_lock_timeout=0.5", "--limit", "beta"] });
    assert.equal(result.code, 2, result.output);
    assertRecap(result, { beta: { changed: 0, failed: 1, unreachable: 0 } });
    const host = hostname().replace(/[.*+?^${}()|[\]\\]/g, "\\$&");
    assert.match(
      result.stdout,
      new RegExp(`"msg": "ashgrove-config deploy exited with status 1: aberration: not-deployed: another deploy holds it \\(process \\d+ on ${host} since [^)]*\\)"`),
    );
    assert.equal(read("aberration"), held);
  } finally {
    holder.child.kill("SIGKILL");
    await holder;
    silent.close();
  }
});

// Ansible rejects by meta/argument_specs.yml what that file can say, the role says
// the rest in the inventory's terms before the tool runs, and the tool's own
// refusal comes without its usage text: a host of each, in one run.
test("a wrong variable is rejected with its reason, and touches nothing", async () => {
  const source = join(root, "settings.json");
  writeFileSync(source, newConfig);
  const wrong = {
    alpha: { ashgrove_timeout: "soon", ashgrove_servers: [{ name: "x", rcon: "127.0.0.1:1", passwordFile: "/x", serverdir: "/x" }] },
    beta: {
      ashgrove_servers: [
        { name: "x", rcon: "127.0.0.1:1", passwordFile: "/x", passwordEnv: "X", serverDir: "relative/x" },
        { name: "y", rcon: "127.0.0.1:1", passwordEnv: "Y", serverDir: serverDir("aberration") },
      ],
    },
    gamma: { ashgrove_timeout: 0 },
  };
  const result = await execute(
    playbookCommand,
    ["-i", inventory({ wrong }), playbook, "-e", `ashgrove_config_src=${source}`, "-e", "@vault.yml", "--vault-password-file", "vault-password"],
    { env: ansibleEnv() },
  );
  assert.equal(result.code, 2, result.output);
  assertRecap(result, everywhere({ changed: 0, failed: 1 }));
  const failure = (host) => result.stdout.match(new RegExp(`^fatal: \\[${host}\\]: FAILED! => (.*)$`, "m"))?.[1] ?? "";
  assert.match(failure("alpha"), /argument 'ashgrove_timeout' is of type <class 'str'> and we were unable to convert to float/);
  assert.match(failure("alpha"), /ashgrove_servers\.serverdir\. Supported parameters include: name, passwordEnv, passwordFile, rcon, serverDir/);
  assert.match(
    failure("beta"),
    /"msg": "ashgrove_servers: x needs passwordFile or passwordEnv, one of them; ashgrove_rcon_passwords has no X for x; x's serverDir is no absolute path: relative\/x; ashgrove_rcon_passwords has no Y for y"/,
  );
  assert.match(failure("gamma"), /"msg": "ashgrove-config deploy exited with status 2: [^"]*timeout[^"]*"/);
  assert.doesNotMatch(failure("gamma"), /usage:/);
  for (const name of names) {
    assert.equal(read(name), name === "scorched" ? newConfig : newerConfig, name);
  }
});

test("the example inventory: two hosts, three maps on one and one on the other, no password in it", async () => {
  const example = new URL("../../deploy/ansible/inventory.example.yml", import.meta.url).pathname;
  const result = await execute(join(dirname(playbookCommand), "ansible-inventory"), ["-i", example, "--list"], { env: ansibleEnv() });
  assert.equal(result.code, 0, result.output);
  const { _meta: meta, ashgrove } = JSON.parse(result.stdout);
  assert.deepEqual(
    ashgrove.hosts.map((host) => meta.hostvars[host].ashgrove_servers.length),
    [3, 1],
  );
  for (const host of ashgrove.hosts) {
    for (const server of meta.hostvars[host].ashgrove_servers) {
      assert.equal(Object.keys(server).some((key) => key === "password"), false);
    }
    for (const value of Object.values(meta.hostvars[host].ashgrove_rcon_passwords)) {
      assert.match(value, /^\{\{ vault_\w+ \}\}$/);
    }
  }
});
