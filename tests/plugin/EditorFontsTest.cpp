// The editor's picture does not depend on the other fonts a machine has: with a configuration that
// prefers another monospaced family (upright only) for "monospace", every pixel stays the same.
//
// Each picture comes from the snapshot program in a process of its own, so each resolves its fonts
// through the configuration it is started with.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "raster/Bitmap.h"
#include "raster/PNG.h"
#include "tests/raster/PrivateFonts.h"

namespace {

// The editor of metering type `type` ("rms" or "ebu") as the snapshot program draws it, with
// FONTCONFIG_FILE set to `fontconfigFile` when that is not empty; null when the program failed.
std::unique_ptr<LICE_IBitmap> Snapshot(const std::string& out, const char* type,
                                       const std::string& fontconfigFile) {
    std::string command = fontconfigFile.empty() ? "" : "FONTCONFIG_FILE='" + fontconfigFile + "' ";
    command += "'" QUENLIX_EDITOR_SNAPSHOT "' '" + out + "' " + type + " > /dev/null";
    if (std::system(command.c_str()) != 0) return nullptr;
    return std::unique_ptr<LICE_IBitmap>(LICE_LoadPNG(out.c_str()));
}

int DifferentPixels(const LICE_IBitmap& a, const LICE_IBitmap& b) {
    int n = 0;
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getBits()[y * a.getRowSpan() + x] != b.getBits()[y * b.getRowSpan() + x]) ++n;
    return n;
}

}  // namespace

TEST(EditorFonts, AnotherPreferredMonospacedFamilyLeavesThePictureUnchanged) {
    PrivateMonospaceFonts fonts;
    ASSERT_TRUE(fonts.Ok()) << fonts.Error();
    for (const char* type : {"rms", "ebu"}) {
        SCOPED_TRACE(type);
        const std::string base = fonts.Folder() + "/" + type;
        const auto usual = Snapshot(base + "-usual.png", type, "");
        const auto other = Snapshot(base + "-other.png", type, fonts.ConfigFile());
        ASSERT_TRUE(usual && other) << "the snapshot program failed";
        ASSERT_EQ(usual->getWidth(), other->getWidth());
        ASSERT_EQ(usual->getHeight(), other->getHeight());
        EXPECT_EQ(DifferentPixels(*usual, *other), 0);
    }
}
