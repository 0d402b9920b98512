// The reference of the build description, generated from the record table and the fixed
// keys, so the documentation cannot drift from what the builder accepts.
#pragma once

#include <string>

// Plain text for the terminal (markdown == false) or the Markdown of
// docs/build-description.md, whose first line says how to regenerate it.
std::string keysReference(bool markdown);

// A complete example description shown in the reference; it names the files
// "lib/app.jar", "app.vmoptions" and "jre.tar.gz" beside it.
const char* exampleDescription();
