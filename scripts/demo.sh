#!/usr/bin/env bash
# Packs examples/hello (its jar, and the runtime jar through "launcherRuntime") into
# build/demo/hello-setup for Linux and runs it with the installed OpenJDK; then into
# build/demo/setup.exe and runs it under Wine: the launcher checks and extracts its payload,
# searches a Java runtime, loads that runtime's jvm.dll into its own process and starts the
# Java side through JNI.
#
# Wine has no Windows Java runtime, so a stand-in made from the test fixtures takes its place
# (build/demo/java-standin, found through QUOLL_JAVA_HOME): its java.exe answers "-version"
# with 1.8.0_181, and its jvm.dll records every VM option, lookup and call instead of running
# Java. The demo prints that record, which is exactly what a real runtime would be given.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
out=build/demo
# The build trees `make build` fills; another set can be given through these variables.
host_tree=${DEMO_HOST_TREE:-build/host}
win32_tree=${DEMO_WIN32_TREE:-build/win32}
win64_tree=${DEMO_WIN64_TREE:-build/win64}
export WINEPREFIX="${WINEPREFIX:-$top/build/wineprefix}" WINEDEBUG=-all

# Host path -> the Windows path Wine shows for it (drive Z: maps the host root).
winpath() { local p; p="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; echo "Z:${p//\//\\}"; }

rm -rf "$out/classes"
mkdir -p "$out/classes"
javac --release 8 -d "$out/classes" examples/hello/src/hello/Hello.java
jar cf "$out/hello.jar" -C "$out/classes" hello

# The same description for Linux: packed onto build/linux/launcher, the installer runs for
# real here, and the installed OpenJDK prints what the hello program says.
"$host_tree/mediapack" build examples/hello/hello.json -o "$out/hello-setup" --linux
echo "packed $out/hello-setup (Linux)"
echo "running $out/hello-setup -q demo-argument \"zwei Wörter\""
set +e
timeout 120 "$out/hello-setup" -q demo-argument "zwei Wörter" </dev/null
code=$?
set -e
echo "exit code: $code"
echo

# The product: the i686 stub.
"$host_tree/mediapack" build examples/hello/hello.json -o "$out/setup.exe" --stub "$win32_tree/launcher.exe"
echo "packed $out/setup.exe"
"$host_tree/mediapack" inspect "$out/setup.exe" | sed 's/^/  /'

# Where this machine executes 32-bit code, setup.exe itself - the shipped i686 stub - runs under
# 32-bit Wine with i686 fixtures. Elsewhere the same installer is packed onto the x86_64 build
# of the launcher and runs with x86_64 fixtures.
if scripts/runs-32bit.sh --quiet && [ -x /usr/lib/wine/wine ]; then
  run="$out/setup.exe"
  fixtures="$win32_tree/fixtures"
  echo "this machine runs 32-bit code: running the shipped i686 stub"
else
  "$host_tree/mediapack" build examples/hello/hello.json -o "$out/setup-x64.exe" --stub "$win64_tree/launcher.exe"
  run="$out/setup-x64.exe"
  fixtures="$win64_tree/fixtures"
  echo "this machine runs no 32-bit code: running the same installer on the x86_64 build ($run)"
fi

# The stand-in runtime: bin\java.exe (+ what it prints) and bin\server\jvm.dll.
standin="$out/java-standin"
rm -rf "$standin"
mkdir -p "$standin/bin/server"
cp "$fixtures/java/java.exe" "$standin/bin/java.exe"
printf 'stderr=java version "1.8.0_181"\nstderr=Java(TM) SE Runtime Environment (stand-in)\n' >"$standin/bin/java.exe.cfg"
cp "$fixtures/jvm.dll" "$standin/bin/server/jvm.dll"
record="$out/jvm-record.txt"
rm -f "$record" "$out/launcher.log"

scripts/wine-up.sh >/dev/null
echo
echo "running $run -q demo-argument under Wine, QUOLL_JAVA_HOME=$(winpath "$standin")"
set +e
QUOLL_JAVA_HOME="$(winpath "$standin")" QUOLL_LOG=yes TESTJVM_RECORD="$(winpath "$record")" \
  timeout 120 scripts/wine "$run" -q demo-argument </dev/null >"$out/stdout.txt" 2>"$out/stderr.txt"
code=$?
set -e
echo "exit code: $code"
cat "$out/stdout.txt" "$out/stderr.txt"

if [ -f "$record" ]; then
  echo
  echo "---- what the Java runtime was given ($record) ----"
  tr -d '\r' <"$record" | sed -n 's/^module /jvm.dll:  /p'
  echo "VM options:"
  tr -d '\r' <"$record" | sed -n 's/^option /  /p'
  echo "class path:"
  tr -d '\r' <"$record" | sed -n 's/^option -Djava\.class\.path=//p' | tr ';' '\n' | sed '/^$/d; s/^/  /'
  echo "main called:"
  tr -d '\r' <"$record" | sed -n 's/^CallStaticVoidMethod /  /p'
  echo "String[] for main:"
  tr -d '\r' <"$record" | sed -n 's/^arg \([0-9]*\) \(.*\)$/  [\1] "\2"/p; s/^arg \([0-9]*\)$/  [\1] ""/p'
fi

# The kept log lies in Wine's temporary directory (Wine takes TEMP from its registry): the one
# whose header names this run's executable. It is moved to build/demo, and the directory the
# run extracted into is removed again.
header="Started executable $(winpath "$run") at"
log=""
for f in $(ls -t "$WINEPREFIX"/drive_c/users/*/Temp/vnq_nlog* "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp/vnq_nlog* 2>/dev/null); do
  if head -c ${#header} "$f" | grep -qF "$header"; then log="$f"; break; fi
done
if [ -n "$log" ]; then
  tr -d '\r' <"$log" >"$out/launcher.log"
  rm -f "$log"
  extracted=$(sed -n 's/^Temp dir: //p' "$out/launcher.log" | head -n 1)
  if [ -n "$extracted" ]; then
    drive=$(echo "${extracted:0:1}" | tr 'A-Z' 'a-z')
    host="$WINEPREFIX/dosdevices/$drive:$(echo "${extracted:2}" | tr '\\' '/')"
    case "$host" in
      */qlz*.tmp_dir) rm -rf "$host"; rm -f "${host%_dir}" ;;
    esac
  fi
  echo
  echo "---- diagnostic log (kept as $out/launcher.log) ----"
  cat "$out/launcher.log"
fi

# A real Java side clears the start marker once its window is up; the stand-in does not, and
# a marker left behind would make the next start in this Wine prefix ask about a failed run.
timeout 60 scripts/wine reg delete 'HKCU\Software\northgale\quoll' /v InstallStarted /f </dev/null >/dev/null 2>&1 || true
exit "$code"
