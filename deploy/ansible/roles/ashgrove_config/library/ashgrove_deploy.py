#!/usr/bin/python
# Runs `ashgrove-config deploy` on this host and reads its JSON report.
#
# A module rather than a command task for two reasons. The passwords of the
# servers with a passwordEnv reach the tool in its own environment, from a
# no_log parameter: a task's `environment` is printed with the command line
# at -vvv, no_log or not, and a password file would put them on disk. And the
# changes the tool judged are returned as a diff, which a command task cannot
# give. Everything else is the tool's: the check, the atomic writes and the
# rollback.

import base64
import json
import os
import shutil
import tempfile

from ansible.module_utils.basic import AnsibleModule

DOCUMENTATION = r"""
module: ashgrove_deploy
short_description: Deploy a settings file to this host's servers with ashgrove-config
description:
  - Stages the file and a cluster file of I(servers) in a private temporary folder, runs
    C(ashgrove-config deploy --json) (with C(--dry-run) in check mode) and removes the folder.
  - Changed when a server's file was written, or in check mode would be.
options:
  tool: {type: str, required: true, description: The tool on this host.}
  content: {type: str, required: true, description: The settings file, base64-encoded, byte for byte.}
  servers: {type: list, elements: dict, required: true, description: The servers, as in the tool's cluster file.}
  passwords: {type: dict, default: {}, description: The passwords of the servers with a passwordEnv, by that name.}
  strict: {type: bool, default: false, description: Deploy no file with warnings.}
  timeout: {type: float, default: 5, description: Seconds each step of a reload may wait.}
  lock_timeout: {type: float, default: 30, description: Seconds to wait for a server folder another deploy holds.}
"""

# Outcomes of a server that took the file, or had nothing to take.
TOOK_IT = ("reloaded", "skipped", "dry-run")


def faults(servers, passwords):
    """What in this host's servers the tool would refuse, or read wrongly,
    said in the inventory's terms rather than the staged cluster file's."""
    found = []
    for server in servers:
        name = server.get("name")
        sources = [key for key in ("passwordFile", "passwordEnv") if key in server]
        if len(sources) != 1:
            found.append("%s needs passwordFile or passwordEnv, one of them" % name)
        if "passwordEnv" in server and server["passwordEnv"] not in passwords:
            found.append("ashgrove_rcon_passwords has no %s for %s" % (server["passwordEnv"], name))
        # The cluster file is staged in a temporary folder: a relative path
        # in it would be taken from there.
        for key in ("passwordFile", "serverDir"):
            if key in server and not os.path.isabs(server[key]):
                found.append("%s's %s is no absolute path: %s" % (name, key, server[key]))
    return found


def as_json(value):
    return json.dumps(value, ensure_ascii=False)


def changes_text(servers):
    lines = []
    for server in servers:
        name, changes = server["name"], server.get("changes")
        if changes is None:
            lines.append("%s: %s%s" % (name, server["outcome"], ", " + server["error"] if server.get("error") else ""))
            continue
        if changes["unchanged"]:
            lines.append("%s: unchanged, the same bytes are in place" % name)
            continue
        if changes["inPlace"] == "missing":
            lines.append("%s: no config.json in place yet" % name)
        elif changes["inPlace"] == "refused":
            lines.append("%s: the file in place is refused: %s" % (name, changes["refusal"]))
        for setting in changes["settings"]:
            old = "" if setting["old"] is None else as_json(setting["old"]) + " "
            lines.append("%s: %s %s\u2192 %s" % (name, setting["key"], old, as_json(setting["new"])))
    return "\n".join(lines) + "\n"


def reason(server):
    text = "%s: %s: %s" % (server["name"], server["outcome"], server.get("error") or server.get("reply"))
    if server["outcome"] == "rolled-back":
        again = server.get("afterRollback") or {}
        text += "; its previous file is back, and reloading it again: %s" % again.get("outcome")
        if again.get("outcome") != "reloaded":
            text += " %s" % (again.get("error") or again.get("reply"))
    elif server["outcome"] == "deployed-not-reloaded":
        text += "; the new file is in place, and the next run reloads it"
    return text


def written(server, check_mode):
    """Whether the server's file was written: as the tool says, or, in a dry
    run, whether it would be."""
    if not check_mode:
        return server.get("written", False)
    changes = server.get("changes")
    return changes is not None and not changes["unchanged"] and server["outcome"] != "not-deployed"


def run(module, stage):
    params = module.params
    source = os.path.join(stage, "config.json")
    cluster = os.path.join(stage, "cluster.json")
    with open(source, "wb") as file:
        file.write(base64.b64decode(params["content"]))
    with open(cluster, "w") as file:
        json.dump({"servers": params["servers"]}, file, indent=2)
    argv = [params["tool"], "deploy", source, "--cluster", cluster, "--json"]
    argv += ["--timeout", "%g" % params["timeout"], "--lock-timeout", "%g" % params["lock_timeout"]]
    if params["strict"]:
        argv.append("--strict")
    if module.check_mode:
        argv.append("--dry-run")
    environment = {name: str(password) for name, password in params["passwords"].items()}
    try:
        return module.run_command(argv, environ_update=environment, handle_exceptions=False)
    except OSError as error:
        module.fail_json(msg="cannot run %s on this host (ashgrove_config_tool): %s" % (params["tool"], error.strerror))


def main():
    module = AnsibleModule(
        argument_spec=dict(
            tool=dict(type="str", required=True),
            content=dict(type="str", required=True),
            servers=dict(type="list", elements="dict", required=True),
            passwords=dict(type="dict", default={}, no_log=True),
            strict=dict(type="bool", default=False),
            timeout=dict(type="float", default=5),
            lock_timeout=dict(type="float", default=30),
        ),
        supports_check_mode=True,
    )
    wrong = faults(module.params["servers"], module.params["passwords"])
    if wrong:
        module.fail_json(msg="ashgrove_servers: " + "; ".join(wrong))

    stage = tempfile.mkdtemp(prefix="ashgrove-deploy-")
    try:
        status, stdout, stderr = run(module, stage)
    finally:
        shutil.rmtree(stage, ignore_errors=True)

    # Wrong usage prints no report: its reason is the first paragraph of
    # what it said, above the usage.
    said = stderr.strip().split("\n\n")[0]
    try:
        report = json.loads(stdout)
    except ValueError:
        module.fail_json(msg="ashgrove-config deploy exited with status %d: %s" % (status, said), rc=status)
    reported = report.get("servers", [])
    result = dict(changed=any(written(server, module.check_mode) for server in reported), rc=status, diff=dict(prepared=changes_text(reported)))
    if status != 0:
        failing = [reason(server) for server in reported if server["outcome"] not in TOOK_IT]
        took = [server["name"] for server in reported if server["outcome"] == "reloaded"]
        # Without a failing server, the tool stopped before deploying:
        # its report says why.
        why = "; ".join(failing + (["reloaded: " + ", ".join(took)] if failing and took else []))
        why = why or report.get("error") or said
        module.fail_json(msg="ashgrove-config deploy exited with status %d: %s" % (status, why), **result)
    module.exit_json(servers=reported, **result)


if __name__ == "__main__":
    main()
