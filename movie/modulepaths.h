#pragma once
// Where the parts that are loaded on demand (the FFmpeg module, tivane-run's picture runner)
// are looked for, in this order:
//  1. beside the running executable: the build tree keeps tivane, tivane-run and these parts
//     in the build directory;
//  2. in ../<libdir>/tivane from the executable's directory, <libdir> being the install's
//     library directory (lib, or lib/x86_64-linux-gnu on Debian), where cmake --install puts
//     them;
//  3. in ../lib/tivane from the executable's directory.
// Standard library only: tivane-run links it without Qt.

#include <string>
#include <vector>

namespace tivane {

// The places above for the file `name`, most likely first.
std::vector<std::string> OnDemandCandidates(const std::string& name);

// The first of `candidates` that exists; empty when none does, with `tried` listing them
// ("a: no such file; b: no such file").
std::string FirstExisting(const std::vector<std::string>& candidates, std::string& tried);

} // namespace tivane
