// Measures how many reloads a second a development server answers over RCON
// on the loopback address, with the same client the load test uses, so that
// two builds of the server can be compared fairly:
//
//   node reload-rate.js PATH/TO/ashgrove-devserver [clients] [window] [seconds] [runs]
//
// The server is started with its own temporary server directory and ended
// by closing its standard input (and SIGTERM, for a server that keeps
// serving RCON after that).
import { spawn } from "node:child_process";
import { reloadRate } from "./rcon-wire.js";

const [devserver, clients = "8", window = "16", seconds = "3", runs = "3"] = process.argv.slice(2);
if (!devserver) {
  console.error("usage: node reload-rate.js DEVSERVER [clients] [window] [seconds] [runs]");
  process.exit(2);
}
const password = "measure";
const server = spawn(devserver, ["--rcon-port", "0", "--rcon-password", password], {
  stdio: ["pipe", "pipe", "inherit"],
});
let output = "";
const port = await new Promise((resolve, reject) => {
  server.stdout.on("data", (chunk) => {
    output = (output + chunk.toString()).slice(-4096);
    const match = output.match(/rcon-listening address=\S+ port=(\d+)/);
    if (match) {
      resolve(Number(match[1]));
    }
  });
  server.on("exit", (code) => reject(new Error(`the server exited with ${code}`)));
});

for (let run = 1; run <= Number(runs); run += 1) {
  const result = await reloadRate(port, password, {
    clients: Number(clients),
    window: Number(window),
    seconds: Number(seconds),
  });
  console.log(
    `run ${run}: ${result.reloads} reloads in ${result.elapsed.toFixed(2)} s = ${result.perSecond} reloads/s ` +
      `(${clients} clients, ${window} in flight each)`,
  );
}
server.stdin.end();
const timer = setTimeout(() => server.kill("SIGTERM"), 1000);
await new Promise((resolve) => server.on("close", resolve));
clearTimeout(timer);
