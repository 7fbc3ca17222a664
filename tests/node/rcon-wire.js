// A raw Source RCON client over node's sockets: packets as bytes, a stream
// parser, and the reload loops the load test and the throughput script share.
import { createConnection } from "node:net";

export const ResponseValue = 0;
export const ExecCommand = 2;
export const AuthResponse = 2;
export const Auth = 3;
export const MaximumSize = 4096;

// Bytes of one packet.
export function packet(id, type, body) {
  const payload = Buffer.isBuffer(body) ? body : Buffer.from(body, "utf-8");
  const buffer = Buffer.alloc(14 + payload.length);
  buffer.writeInt32LE(10 + payload.length, 0);
  buffer.writeInt32LE(id, 4);
  buffer.writeInt32LE(type, 8);
  payload.copy(buffer, 12);
  return buffer;
}

// Cuts a byte stream into packets; `size` is the packet's size field, so a
// caller can check it against the protocol's bound.
export class PacketParser {
  constructor() {
    this.pending = Buffer.alloc(0);
  }

  push(chunk) {
    this.pending = this.pending.length === 0 ? chunk : Buffer.concat([this.pending, chunk]);
    const packets = [];
    let offset = 0;
    while (this.pending.length - offset >= 4) {
      const size = this.pending.readInt32LE(offset);
      if (this.pending.length - offset < 4 + size) {
        break;
      }
      const start = offset + 4;
      packets.push({
        size,
        id: this.pending.readInt32LE(start),
        type: this.pending.readInt32LE(start + 4),
        body: this.pending.subarray(start + 8, start + size - 2),
      });
      offset += 4 + size;
    }
    this.pending = this.pending.subarray(offset);
    return packets;
  }
}

export function connectSocket(port, host = "127.0.0.1") {
  return new Promise((resolve, reject) => {
    const socket = createConnection({ host, port }, () => {
      socket.off("error", reject);
      resolve(socket);
    });
    socket.once("error", reject);
  });
}

// A connection that hands out the packets it receives in order.
export class RawClient {
  static async connect(port, host) {
    return new RawClient(await connectSocket(port, host));
  }

  constructor(socket) {
    this.socket = socket;
    this.socket.setNoDelay(true);
    this.parser = new PacketParser();
    this.queue = [];
    this.waiters = [];
    this.closed = false;
    this.onPacket = null;
    socket.on("data", (chunk) => {
      for (const received of this.parser.push(chunk)) {
        if (this.onPacket) {
          this.onPacket(received);
        } else if (this.waiters.length > 0) {
          this.waiters.shift().resolve(received);
        } else {
          this.queue.push(received);
        }
      }
    });
    socket.on("error", () => {});
    socket.on("close", () => {
      this.closed = true;
      for (const waiter of this.waiters.splice(0)) {
        waiter.reject(new Error("the connection closed"));
      }
    });
  }

  send(id, type, body) {
    this.socket.write(packet(id, type, body));
  }

  // The next packet, or a rejection when the connection closes first or
  // nothing comes within `timeout` milliseconds.
  next(timeout = 5000) {
    if (this.queue.length > 0) {
      return Promise.resolve(this.queue.shift());
    }
    if (this.closed) {
      return Promise.reject(new Error("the connection closed"));
    }
    return new Promise((resolve, reject) => {
      const waiter = {
        resolve: (value) => {
          clearTimeout(timer);
          resolve(value);
        },
        reject: (error) => {
          clearTimeout(timer);
          reject(error);
        },
      };
      const timer = setTimeout(() => {
        this.waiters.splice(this.waiters.indexOf(waiter), 1);
        reject(new Error(`no packet within ${timeout} ms`));
      }, timeout);
      this.waiters.push(waiter);
    });
  }

  // Authenticates; resolves with the id of the auth response (-1 when the
  // password was refused).
  async auth(password, id = 1) {
    this.send(id, Auth, password);
    for (;;) {
      const received = await this.next();
      if (received.type === AuthResponse) {
        return received.id;
      }
    }
  }

  // Runs a command and gathers its reply up to the usual end marker: an empty
  // response-value request sent right after it, answered after the last
  // part. Resolves with the reply's packets.
  async command(id, text, markerId = id + 1_000_000) {
    this.send(id, ExecCommand, text);
    this.send(markerId, ResponseValue, "");
    const parts = [];
    for (;;) {
      const received = await this.next();
      if (received.id === markerId) {
        return parts;
      }
      parts.push(received);
    }
  }

  // Resolves once the server closes the connection, or rejects after
  // `timeout` milliseconds.
  closedWithin(timeout) {
    if (this.closed) {
      return Promise.resolve();
    }
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error(`still open after ${timeout} ms`)), timeout);
      this.socket.on("close", () => {
        clearTimeout(timer);
        resolve();
      });
    });
  }

  end() {
    this.socket.destroy();
  }
}

// Keeps `window` reload requests in flight on one authenticated connection
// until `deadline` (a Date.now() value) or `limit` replies. With
// `endMarkers`, each reload is followed by an end marker and counts once its
// marker is answered, so replies of several packets count once; otherwise
// each reload must be answered by one packet. Resolves with the reloads
// answered and how many of them were answered "Reloaded config".
export async function reloadLoop(port, password, { deadline, limit = Infinity, window = 16, endMarkers = false }) {
  const client = await RawClient.connect(port);
  if ((await client.auth(password)) === -1) {
    client.end();
    throw new Error("the password was refused");
  }
  const marker = 1 << 30;
  let sent = 0;
  let answered = 0;
  let reloaded = 0;
  await new Promise((resolve, reject) => {
    const sendOne = () => {
      sent += 1;
      client.send(sent, ExecCommand, "Ashgrove.Reload");
      if (endMarkers) {
        client.send(marker + sent, ResponseValue, "");
      }
    };
    client.onPacket = (received) => {
      if (received.id < marker && received.body.toString() === "Reloaded config") {
        reloaded += 1;
      }
      if (endMarkers && received.id < marker) {
        return;
      }
      answered += 1;
      if (answered >= limit || Date.now() >= deadline) {
        if (answered === sent) {
          resolve();
        }
        return;
      }
      if (sent < limit) {
        sendOne();
      }
    };
    client.socket.on("close", () => reject(new Error(`the connection closed after ${answered} reloads`)));
    for (let i = 0; i < window && i < limit; i += 1) {
      sendOne();
    }
  });
  client.end();
  return { answered, reloaded };
}

// Runs `clients` reload loops side by side for `seconds`; resolves with the
// reloads answered and the rate.
export async function reloadRate(port, password, { clients = 8, window = 16, seconds = 3 }) {
  const started = Date.now();
  const deadline = started + seconds * 1000;
  const counts = await Promise.all(
    Array.from({ length: clients }, () => reloadLoop(port, password, { deadline, window })),
  );
  const reloads = counts.reduce((sum, count) => sum + count.answered, 0);
  const elapsed = (Date.now() - started) / 1000;
  return { reloads, elapsed, perSecond: Math.round(reloads / elapsed) };
}
