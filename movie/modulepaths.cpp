#include "modulepaths.h"

#include <filesystem>

#ifndef TIVANE_INSTALL_LIBDIR
#define TIVANE_INSTALL_LIBDIR "lib"
#endif

namespace tivane {

std::vector<std::string> OnDemandCandidates(const std::string& name) {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path dir = ec ? std::filesystem::path(".") : exe.parent_path();
    std::vector<std::string> paths = {
        (dir / name).string(), (dir / ".." / TIVANE_INSTALL_LIBDIR / "tivane" / name).string()};
    const std::string plain = (dir / ".." / "lib" / "tivane" / name).string();
    if (plain != paths.back()) paths.push_back(plain);
    return paths;
}

std::string FirstExisting(const std::vector<std::string>& candidates, std::string& tried) {
    tried.clear();
    for (const std::string& path : candidates) {
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) return path;
        tried += (tried.empty() ? "" : "; ") + path + ": no such file";
    }
    return {};
}

} // namespace tivane
