// Starts the development server for a test and reads what it prints.
import { spawn } from "node:child_process";
import { join } from "node:path";

export const devserver = process.env.ASHGROVE_DEVSERVER;

// The password comes from where a test says, never from the caller's
// environment.
function environment(extra) {
  const inherited = { ...process.env };
  delete inherited.ASHGROVE_RCON_PASSWORD;
  return { ...inherited, ...extra };
}

// Output kept for matching: the end of it, so that a long run stays small.
const KeptOutput = 1 << 20;

export class Server {
  // Starts `ashgrove-devserver ARGS`; with `descriptors`, under that limit
  // of open files. Resolves once it has loaded the plugin and serves RCON.
  // With a test context `t`, the server is killed after the test whatever
  // happened, so that a failing test leaves nothing running.
  static async start(args, { env = {}, descriptors, t } = {}) {
    const [command, argv] = descriptors
      ? ["sh", ["-c", `ulimit -n ${descriptors} && exec "$0" "$@"`, devserver, ...args]]
      : [devserver, args];
    const server = new Server(spawn(command, argv, { env: environment(env), stdio: ["pipe", "pipe", "pipe"] }));
    t?.after(() => server.child.kill("SIGKILL"));
    try {
      await server.waitFor(/^(loaded|load-failed)/m, 10000);
    } catch (error) {
      server.child.kill("SIGKILL");
      throw error;
    }
    const match = server.stdout.match(/rcon-listening address=\S+ port=(\d+)/);
    server.port = match ? Number(match[1]) : undefined;
    const dir = server.stdout.match(/^server-dir (.*)$/m);
    server.serverDir = dir ? dir[1] : undefined;
    return server;
  }

  constructor(child) {
    this.child = child;
    this.stdout = "";
    this.stderr = "";
    this.exit = new Promise((resolve) => child.on("close", (code, signal) => resolve({ code, signal })));
    child.stdout.on("data", (chunk) => {
      this.stdout = (this.stdout + chunk.toString()).slice(-KeptOutput);
    });
    child.stderr.on("data", (chunk) => {
      this.stderr = (this.stderr + chunk.toString()).slice(-KeptOutput);
    });
  }

  // Resolves once stdout or stderr matches, or rejects after `timeout` ms.
  async waitFor(pattern, timeout = 5000) {
    const started = Date.now();
    let ended = false;
    this.exit.then(() => {
      ended = true;
    });
    while (!pattern.test(this.stdout) && !pattern.test(this.stderr)) {
      if (Date.now() - started > timeout || ended) {
        throw new Error(`no ${pattern} in the server's output:\n${this.stdout}\n${this.stderr}`);
      }
      await new Promise((resolve) => setTimeout(resolve, 10));
    }
  }

  // Ends it with a signal; resolves with how it ended.
  async stop(signal = "SIGTERM") {
    this.child.kill(signal);
    return this.exit;
  }

  get pid() {
    return this.child.pid;
  }
}

// How a program run to its end finished: its status and what it printed.
export function run(args, { env = {}, input = "" } = {}) {
  return new Promise((resolve) => {
    const child = spawn(devserver, args, { env: environment(env), stdio: ["pipe", "pipe", "pipe"] });
    let stdout = "";
    let stderr = "";
    child.stdout.on("data", (chunk) => {
      stdout += chunk.toString();
    });
    child.stderr.on("data", (chunk) => {
      stderr += chunk.toString();
    });
    child.on("close", (code) => resolve({ code, stdout, stderr }));
    // A program that ends at once may not read its input.
    child.stdin.on("error", () => {});
    child.stdin.end(input);
  });
}

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Where the server reads the settings file below a server directory.
export function configPath(serverDir) {
  return join(serverDir, "ArkApi", "Plugins", "Ashgrove", "config.json");
}
