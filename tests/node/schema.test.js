// The settings file's JSON Schema against the server's own reader: over the
// fuzz corpus and the settings tests' files, every file the reader refuses
// for a type or range reason is invalid under the schema, and every file it
// loads is valid. The reader's verdict comes from ashgrove-config, which is
// built on that reader; the schema is checked with a standard validator.
import { test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { readFileSync, readdirSync } from "node:fs";
import { join } from "node:path";
import Ajv2020 from "ajv/dist/2020.js";

const tool = process.env.ASHGROVE_CONFIG;
const schemaFile = process.env.ASHGROVE_SCHEMA;
const folders = (process.env.ASHGROVE_SETTINGS_FILES ?? "").split(":").filter(Boolean);

// What the server would do with the file, as ashgrove-config reports it.
function verdict(file) {
  let output;
  try {
    output = execFileSync(tool, ["check", "--json", file], { encoding: "utf-8" });
  } catch (failed) {
    if (failed.status !== 1) {
      throw failed;
    }
    output = failed.stdout;
  }
  return JSON.parse(output);
}

// The first JSON value of the text, as the reader takes it: a leading
// byte-order mark skipped, whatever follows the value ignored.
function firstValue(bytes) {
  let text = bytes.toString("utf-8");
  if (text.startsWith("\uFEFF")) {
    text = text.slice(1);
  }
  let depth = 0;
  let inString = false;
  let started = false;
  for (let i = 0; i < text.length; ++i) {
    const c = text[i];
    if (inString) {
      if (c === "\\") {
        ++i;
      } else if (c === '"') {
        inString = false;
        if (depth === 0) {
          return JSON.parse(text.slice(0, i + 1));
        }
      }
      continue;
    }
    if (c === '"') {
      inString = true;
      started = true;
    } else if (c === "{" || c === "[") {
      ++depth;
      started = true;
    } else if (c === "}" || c === "]") {
      --depth;
      if (depth === 0) {
        return JSON.parse(text.slice(0, i + 1));
      }
    } else if (!started && !/\s/.test(c)) {
      // A bare number or literal: the longest one the text starts with.
      const token = text.slice(i).match(/^(-?(0|[1-9]\d*)(\.\d+)?([eE][+-]?\d+)?|true|false|null)/);
      return JSON.parse(token ? token[0] : text.slice(i));
    }
  }
  return JSON.parse(text);
}

test("the schema agrees with the reader on every known settings file", () => {
  assert.ok(tool && schemaFile && folders.length > 0, "the test needs ASHGROVE_CONFIG, ASHGROVE_SCHEMA and ASHGROVE_SETTINGS_FILES");
  const ajv = new Ajv2020({ strict: true, allErrors: true });
  const validate = ajv.compile(JSON.parse(readFileSync(schemaFile, "utf-8")));
  const counts = { loads: 0, refused: 0, notJudged: 0 };
  for (const folder of folders) {
    for (const name of readdirSync(folder)) {
      const file = join(folder, name);
      const result = verdict(file);
      const where = `${file}: ${JSON.stringify(result.error ?? result.settings)}`;
      if (result.outcome === "loads") {
        assert.ok(validate(firstValue(readFileSync(file))), `${where} loads, but the schema says ${ajv.errorsText(validate.errors)}`);
        counts.loads += 1;
      } else if (["type", "range", "document"].includes(result.error.kind)) {
        assert.equal(validate(firstValue(readFileSync(file))), false, `${where} is refused, but the schema accepts it`);
        counts.refused += 1;
      } else {
        // Not JSON at all, or a number no double holds: no schema speaks of that.
        counts.notJudged += 1;
      }
    }
  }
  // Both directions are exercised, or the test proves nothing.
  console.log(JSON.stringify(counts));
  assert.ok(counts.loads >= 10 && counts.refused >= 10, JSON.stringify(counts));
});
