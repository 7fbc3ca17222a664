# ashgrove-config from its command line, as an operator or a deployment
# script runs it: exit statuses, --strict, --json read back, --server-dir,
# a folder with non-ASCII characters in its name and a file with a byte-order
# mark; the usage errors of reload and deploy, which send nothing; the
# schemas and the version. Usage: cmake -DTOOL=... [-DEMULATOR=wine]
# -DSCHEMA=... -DCLUSTER_SCHEMA=... -DVERSION=... -DWORK=...
# -P ConfigToolCommandLine.cmake
file(REMOVE_RECURSE ${WORK})
set(server "${WORK}/Serveur été 配置")
set(plugin "${server}/ArkApi/Plugins/Ashgrove")
file(MAKE_DIRECTORY ${plugin})
file(WRITE ${WORK}/good.json "{\"tamedDinosAffected\": true, \"tamedCorpseDecayTime\": 3600}")
file(WRITE ${WORK}/typo.json "{\n  \"tamedDinoAffected\": true\n}")
file(WRITE ${WORK}/refused.json "{\n  \"wildDinosAffected\": 1\n}")
# A byte-order mark, then the settings.
string(ASCII 239 187 191 bom)
file(WRITE ${plugin}/config.json "${bom}{\"playersBodiesAffected\": true}")

# Runs the tool in WORK, after RUN_PREFIX when it is set; OUT, ERR and
# STATUS hold what it did.
function(run)
  set(input)
  if(RUN_INPUT)
    set(input INPUT_FILE ${RUN_INPUT})
  endif()
  execute_process(COMMAND ${RUN_PREFIX} ${EMULATOR} ${TOOL} ${ARGN} ${input}
    WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REPLACE "\r\n" "\n" out "${out}")
  set(STATUS ${status} PARENT_SCOPE)
  set(OUT "${out}" PARENT_SCOPE)
  set(ERR "${err}" PARENT_SCOPE)
endfunction()

function(fail what)
  message(SEND_ERROR "${what}\n--- stdout:\n${OUT}\n--- stderr:\n${ERR}")
endfunction()

# expect(STATUS PATTERN args...): the exit status, and a regular expression
# that standard output and error together must match.
function(expect status pattern)
  run(${ARGN})
  if(NOT STATUS EQUAL status)
    fail("'${ARGN}': exit status ${STATUS}, expected ${status}")
  elseif(NOT "${OUT}${ERR}" MATCHES "${pattern}")
    fail("'${ARGN}': output does not match '${pattern}'")
  endif()
endfunction()

expect(0 "good.json: the server would load this file" check good.json)
expect(0 "tamed creatures: 3600 s, decomposition multipliers ignored" check good.json)
expect(0 "typo.json:2:3: warning: unknown key \"tamedDinoAffected\" is ignored; did you mean \"tamedDinosAffected\"\\?"
       check typo.json)
expect(1 "warning: unknown key" check --strict typo.json)
expect(0 "good.json" check good.json --strict)
expect(1 "refused.json:2:24: error: \\[json.exception.type_error.302\\] type must be boolean, but is number"
       check refused.json)
expect(2 "cannot read missing.json: no such file" check missing.json)
expect(2 "unknown option --fast" check good.json --fast)
expect(2 "more than one file" check good.json typo.json)
expect(2 "no command")
expect(2 "unknown command" verify good.json)
# A usage error is two lines: what is wrong, with a guess where one is
# close, and where the help is.
run(check --stritc good.json)
string(REPLACE "\r\n" "\n" ERR "${ERR}")
if(NOT STATUS EQUAL 2 OR NOT OUT STREQUAL "" OR NOT ERR STREQUAL
   "ashgrove-config: unknown option --stritc; did you mean --strict?\nsee 'ashgrove-config check --help' for the usage\n")
  fail("check --stritc: exit status ${STATUS}")
endif()
expect(2 "^ashgrove-config: unknown command chekc; did you mean check\\?\nsee 'ashgrove-config --help' for the usage\r?\n$"
       chekc good.json)

# A file on standard input, named <stdin>.
set(RUN_INPUT ${WORK}/typo.json)
expect(0 "<stdin>:2:3: warning: unknown key \"tamedDinoAffected\" is ignored" check -)
set(RUN_INPUT ${WORK}/refused.json)
expect(1 "\"file\": \"<stdin>\".*type must be boolean" check - --json)
unset(RUN_INPUT)

# The server's own place for the file, below a folder whose name is not
# ASCII; the file starts with a byte-order mark.
expect(0 "Serveur été 配置/ArkApi/Plugins/Ashgrove/config.json: the server would load this file"
       check --server-dir ${server})
expect(0 "players' bodies: 1800 s" check "${plugin}/config.json")

# With no file, config.json in the current folder.
file(COPY_FILE ${WORK}/refused.json ${WORK}/config.json)
expect(1 "config.json:2:24: error:" check)

# --json reads back as the same result.
run(check --json refused.json)
if(NOT STATUS EQUAL 1)
  fail("--json refused.json: exit status ${STATUS}")
endif()
string(JSON outcome GET "${OUT}" outcome)
string(JSON kind GET "${OUT}" error kind)
string(JSON key GET "${OUT}" error key)
string(JSON line GET "${OUT}" error position line)
string(JSON column GET "${OUT}" error position column)
if(NOT outcome STREQUAL "refused" OR NOT kind STREQUAL "type" OR NOT key STREQUAL "wildDinosAffected"
   OR NOT line EQUAL 2 OR NOT column EQUAL 24)
  fail("--json: ${outcome} ${kind} ${key} ${line}:${column}")
endif()
run(check --json --server-dir ${server})
string(JSON players GET "${OUT}" settings playersBodiesAffected)
string(JSON file GET "${OUT}" file)
if(NOT STATUS EQUAL 0 OR NOT players STREQUAL "ON" OR NOT file MATCHES "Serveur été 配置")
  fail("--json --server-dir: status ${STATUS}, playersBodiesAffected ${players}, file ${file}")
endif()

# The schema it prints, made from the settings table, is the one shipped
# beside the sample settings: a setting added to the table alone shows here.
run(schema)
file(READ ${SCHEMA} shipped)
if(NOT STATUS EQUAL 0 OR NOT OUT STREQUAL shipped)
  fail("${SCHEMA} is not the schema the settings table makes; after changing the table, write it "
       "anew with: ashgrove-config schema > config/config.schema.json")
endif()

# reload and deploy refuse what cannot work before they contact anyone.
file(WRITE ${WORK}/cluster.json "{\"servers\": [{\"name\": \"a\", \"rcon\": \"127.0.0.1:1\",\n  \"password\": \"open\"}]}")
expect(2 "cluster.json:2:3: error: a password is never written in the cluster file"
       reload --cluster cluster.json)
expect(2 "reload needs --rcon HOST:PORT or --cluster FILE" reload)
expect(2 "give either --rcon or --cluster, not both" reload --rcon 127.0.0.1:1 --cluster cluster.json)
expect(2 "--rcon 127.0.0.1:99999: the port must be a number from 1 to 65535" reload --rcon 127.0.0.1:99999)
expect(2 "--timeout takes seconds, from 0.01 to 3600, not 'soon'" reload --rcon 127.0.0.1:1 --timeout soon)
expect(2 "deploy needs --cluster FILE" deploy good.json)
# Set to nothing, the variable still gives the password a second time.
set(RUN_PREFIX ${CMAKE_COMMAND} -E env ASHGROVE_RCON_PASSWORD=)
expect(2 "the RCON password is given twice, in --password-file and in ASHGROVE_RCON_PASSWORD: give one"
       reload --rcon 127.0.0.1:1 --password-file good.json)
# Alone, it is a password that cannot be used.
expect(2 "the RCON password is empty" reload --rcon 127.0.0.1:1)
unset(RUN_PREFIX)
expect(2 "cannot read the cluster file missing.json: no such file" deploy good.json --cluster missing.json)

# One version, the project's.
expect(0 "^ashgrove-config ${VERSION}\n$" --version)

# The cluster file's schema is the one shipped beside the sample.
run(schema --cluster)
file(READ ${CLUSTER_SCHEMA} shipped)
if(NOT STATUS EQUAL 0 OR NOT OUT STREQUAL shipped)
  fail("${CLUSTER_SCHEMA} is not the schema ashgrove-config makes; write it anew with: "
       "ashgrove-config schema --cluster > config/cluster.schema.json")
endif()

file(REMOVE_RECURSE ${WORK})
