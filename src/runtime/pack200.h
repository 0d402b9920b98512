// Restoring Pack200-packed jars with the runtime's own unpacker ("bin\unpack200.exe"), once
// per packed file. A runtime home is packed when "lib\rt.jar.pack" exists and
// "lib\jsse.jar" does not: jsse.jar is restored last, so its presence marks a home whose
// preparation ran to the end.
#pragma once

#include <string>
#include <vector>

// ---- Pure rules ----

// The jars restored in a packed home, in order, relative to the home.
const std::vector<std::string>& packedRuntimeJars();
// The file a packed file is restored to: the path without its last five characters
// (".pack"); empty for a name of fewer than six characters.
std::string unpackTarget(const std::string& packedFile);
// The unpacker of a runtime home.
std::string unpackerProgram(const std::string& unpackerHome);
// The arguments handed to the unpacker: -r (remove the packed file), the packed file and
// the target, both quoted.
std::string unpackArguments(const std::string& packedFile, const std::string& target);

// ---- System-bound operations ----

// Whether `home` is packed (see above).
bool isPackedHome(const std::string& home);
// Restores the six jars of a packed home (logged "Unpacking JRE" ... "Unpacking JRE done",
// and "Preparing JRE ..." on standard output); does nothing for any other home.
void prepareJre(const std::string& home);
// Restores home\jar from home\jar.pack with the home's own unpacker.
void unpackJar(const std::string& home, const std::string& jar);
// Restores one packed file next to itself with the unpacker of `unpackerHome` and waits for
// it. A missing packed file is logged and skipped; an unpacker that cannot be started ends
// the process with the internal error "20" (exit code 1). The unpacker's exit code is not
// examined.
void unpackFile(const std::string& unpackerHome, const std::string& packedFile);
