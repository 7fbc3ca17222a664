// The honest client of the load test, on a worker thread of its own so that
// the load generators' busy event loop does not delay its timings: it
// reloads one request at a time, every few milliseconds, until told to stop,
// and reports how long each answer took.
import { parentPort, workerData } from "node:worker_threads";
import { performance } from "node:perf_hooks";
import { RawClient } from "./rcon-wire.js";

const { port, password, pauseMs } = workerData;
let stopping = false;
parentPort.on("message", () => {
  stopping = true;
});

const client = await RawClient.connect(port);
if ((await client.auth(password)) !== 1) {
  throw new Error("the honest client's password was refused");
}
parentPort.postMessage({ ready: true });
const times = [];
let failures = 0;
for (let id = 1; !stopping; id += 1) {
  const started = performance.now();
  const parts = await client.command(id, "Ashgrove.Reload", id + 1_000_000);
  times.push(performance.now() - started);
  if (parts.length === 0 || parts[0].id !== id) {
    failures += 1;
  }
  await new Promise((resolve) => setTimeout(resolve, pauseMs));
}
client.end();
times.sort((a, b) => a - b);
parentPort.postMessage({
  answered: times.length,
  failures,
  worstMs: times[times.length - 1],
  p99Ms: times[Math.floor(times.length * 0.99)],
  medianMs: times[Math.floor(times.length / 2)],
});
