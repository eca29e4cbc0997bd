// The version of the programs: the project's version and the git commit the
// build was made from. Only version.cpp, generated into the build folder at
// every build, holds them, so a new commit recompiles that one file.
#pragma once

namespace dt {

// The project's version, "0.1".
const char* ProjectVersion();
// `git describe --always --dirty` of the source tree at build time, such as
// "ba6d130" or "ba6d130-dirty"; "unknown" for a build outside a git checkout.
const char* GitCommit();
// Both, as --version prints them after the program's name: "0.1 (commit ba6d130)".
const char* VersionText();

}  // namespace dt
