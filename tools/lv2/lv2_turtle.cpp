// quenlix_lv2_turtle BUNDLE_DIR: writes manifest.ttl and quenlix.ttl into the LV2 bundle folder,
// made from a plug-in instance's channel-I/O pairs and parameter table. Run by the build.
// Exit status 0 when both files were written, 1 otherwise (with a message on stderr).

#include <cstdio>
#include <exception>
#include <fstream>
#include <memory>
#include <string>

#include "host/lv2/IPlugLV2.h"
#include "host/lv2/Lv2Turtle.h"

namespace {

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) std::fprintf(stderr, "quenlix_lv2_turtle: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quenlix_lv2_turtle BUNDLE_DIR\n");
        return 1;
    }
    try {
        std::unique_ptr<IPlugLV2> plug(MakePlug());
        const lv2::BundleFiles files;
        const std::string dir = std::string(argv[1]) + "/";
        bool ok = WriteFile(dir + "manifest.ttl", lv2::ManifestTurtle(*plug, files));
        ok = WriteFile(dir + files.description, lv2::DescriptionTurtle(*plug, files)) && ok;
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quenlix_lv2_turtle: %s\n", e.what());
        return 1;
    }
}
