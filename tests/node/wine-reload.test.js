// The Windows ashgrove-config.exe, under wine, reloads a Linux development
// server over the loopback address.
import { test } from "node:test";
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { mkdirSync, mkdtempSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { Server, configPath } from "./devserver.js";

const wine = process.env.ASHGROVE_WINE;
const tool = process.env.ASHGROVE_CONFIG_EXE;

test("ashgrove-config.exe reloads a development server over RCON", async (t) => {
  const root = mkdtempSync(join(tmpdir(), "ashgrove-wine-"));
  t.after(() => rmSync(root, { recursive: true, force: true }));
  mkdirSync(dirname(configPath(root)), { recursive: true });
  writeFileSync(configPath(root), "{}");
  const server = await Server.start(["--server-dir", root, "--rcon-port", "0"], {
    env: { ASHGROVE_RCON_PASSWORD: "wine secret" },
    t,
  });
  writeFileSync(join(root, "password"), "wine secret\r\n");
  const result = spawnSync(
    wine,
    [tool, "reload", "--rcon", `127.0.0.1:${server.port}`, "--password-file", join(root, "password")],
    { encoding: "utf-8", timeout: 60000 },
  );
  await server.stop();
  assert.equal(result.status, 0, `${result.stdout}\n${result.stderr}`);
  assert.match(result.stdout.replace(/\r\n/g, "\n"), /^127\.0\.0\.1:\d+ {2}reloaded {2}in \d+ ms\n1 server in /);
});
