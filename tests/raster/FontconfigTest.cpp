// raster resolves fonts through a fontconfig configuration of its own. A module that used the
// process-wide default configuration could never release it (only FcFini can, and that would pull
// it from under the host), so it would leave the configuration behind on every unload.
//
// Its own executable: a test below installs a "host" configuration as fontconfig's current one for
// the rest of the process.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "raster/Font.h"
#include "raster/FontFace.h"

namespace {
LICE_FontDesc Desc(const char* face, int height) {
    LICE_FontDesc d;
    std::snprintf(d.face, sizeof d.face, "%s", face);
    d.height = height;
    return d;
}
}  // namespace

// The configuration is loaded once for all fonts and goes away with the last of them, so nothing
// of it outlives the fonts (and with them the module).
TEST(RasterFontconfig, SharedByTheFontsAndReleasedWithTheLastOne) {
    std::weak_ptr<lice_detail::FcConfiguration> seen;
    {
        auto first = std::make_unique<LICE_CachedFont>();
        ASSERT_TRUE(first->SetFromDesc(Desc("Monaco", 11)));
        LICE_CachedFont second;
        ASSERT_TRUE(second.SetFromDesc(Desc("Helvetica", 14)));
        std::shared_ptr<lice_detail::FcConfiguration> probe = lice_detail::AcquireFcConfiguration();
        ASSERT_TRUE(probe);
        seen = probe;
        probe.reset();
        EXPECT_FALSE(seen.expired()) << "the fonts keep their configuration";

        first.reset();
        EXPECT_FALSE(seen.expired()) << "released while a font still uses it";
        // A font re-created after others were destroyed resolves through the same configuration.
        ASSERT_TRUE(second.SetFromDesc(Desc("Monaco", 20)));
        EXPECT_EQ(lice_detail::AcquireFcConfiguration(), seen.lock());
    }
    EXPECT_TRUE(seen.expired()) << "the configuration outlives every font";

    // A new font after that loads a fresh configuration and resolves as before.
    LICE_CachedFont again;
    ASSERT_TRUE(again.SetFromDesc(Desc("Monaco", 11)));
    EXPECT_TRUE(again.IsFixedPitch());
}

// A host that set its own (here: empty) configuration as fontconfig's current one neither decides
// which faces the editor gets nor loses its configuration to the editor's fonts.
TEST(RasterFontconfig, TheHostsCurrentConfigurationIsNeitherUsedNorReplaced) {
    FcConfig* host = FcConfigCreate();
    ASSERT_NE(host, nullptr);
    ASSERT_TRUE(FcConfigSetCurrent(host));
    FcConfigDestroy(host);  // fontconfig keeps its own reference to the current configuration
    ASSERT_EQ(FcConfigGetCurrent(), host);
    {
        FcFontSet* hostFonts = FcConfigGetFonts(host, FcSetSystem);
        ASSERT_TRUE(hostFonts == nullptr || hostFonts->nfont == 0) << "the host's configuration is empty";
    }

    {
        LICE_CachedFont mono;
        ASSERT_TRUE(mono.SetFromDesc(Desc("Monaco", 11)));
        EXPECT_TRUE(mono.IsFixedPitch());
        LICE_CachedFont sans;
        ASSERT_TRUE(sans.SetFromDesc(Desc("Helvetica", 14)));
        EXPECT_FALSE(sans.IsFixedPitch());
        char family[64];
        sans.GetFamilyName(family, sizeof family);
        EXPECT_STRNE(family, "");
    }

    EXPECT_EQ(FcConfigGetCurrent(), host);
    FcFontSet* hostFonts = FcConfigGetFonts(host, FcSetSystem);
    EXPECT_TRUE(hostFonts == nullptr || hostFonts->nfont == 0);
}
