// Runs ashgrove-config for a test, the Linux program or, with ASHGROVE_WINE
// and ASHGROVE_CONFIG_EXE, the Windows one under wine, and reads what it
// prints.
import { spawn } from "node:child_process";

export const underWine = Boolean(process.env.ASHGROVE_WINE && process.env.ASHGROVE_CONFIG_EXE);
const [program, ...first] = underWine
  ? [process.env.ASHGROVE_WINE, process.env.ASHGROVE_CONFIG_EXE]
  : [process.env.ASHGROVE_CONFIG];
export const tool = program;

// Starts it; `done` resolves with its status, signal, output and wall time.
// The password comes from where a test says, never from the caller's
// environment.
export function startConfigTool(args, env = {}) {
  const inherited = { ...process.env };
  delete inherited.ASHGROVE_RCON_PASSWORD;
  const started = process.hrtime.bigint();
  const child = spawn(program, [...first, ...args], { env: { ...inherited, ...env } });
  let stdout = "";
  let stderr = "";
  child.stdout.on("data", (chunk) => (stdout += chunk.toString()));
  child.stderr.on("data", (chunk) => (stderr += chunk.toString()));
  const done = new Promise((resolve) =>
    child.on("close", (code, signal) =>
      resolve({
        code,
        signal,
        stdout: stdout.replace(/\r\n/g, "\n"),
        stderr: stderr.replace(/\r\n/g, "\n"),
        ms: Number(process.hrtime.bigint() - started) / 1e6,
      }),
    ),
  );
  return { child, done };
}

export function ashgroveConfig(args, env = {}) {
  return startConfigTool(args, env).done;
}
