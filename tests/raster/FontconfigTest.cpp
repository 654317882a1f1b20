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
#include <string>

#include "raster/Font.h"
#include "raster/FontFace.h"
#include "tests/raster/PrivateFonts.h"

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

namespace {

// Resolves a request through a configuration of the test's own.
lice_detail::ResolvedFace Resolve(lice_detail::FcConfiguration& fc, const char* family, int weight,
                                  bool italic) {
    lice_detail::ResolvedFace face;
    EXPECT_TRUE(lice_detail::ResolveFace(fc, family, weight, italic, &face)) << family;
    return face;
}

}  // namespace

// A machine whose configuration prefers another monospaced family (one without bold or italic faces)
// for "monospace" still gives the editor's Mac families the project's own font, with its real bold
// and oblique faces; only a family that lacks a face gets it synthesised.
TEST(RasterFontconfig, MacFamiliesResolveToTheInstalledFontWhateverElseIsPreferred) {
    PrivateMonospaceFonts fonts;
    ASSERT_TRUE(fonts.Ok()) << fonts.Error();
    lice_detail::FcConfiguration fc;
    fc.config = fonts.Load();
    ASSERT_NE(fc.config, nullptr);
    ASSERT_EQ(Resolve(fc, "monospace", 400, false).family, PrivateMonospaceFonts::kFamily)
        << "the private configuration does not take effect";

    struct Case {
        const char* family;
        int weight;
        bool italic;
    };
    const Case cases[] = {{"Monaco", 400, false},
                          {"Monaco", 700, false},
                          {"Monaco", 400, true},
                          {"Monaco", 700, true},
                          {"Menlo", 400, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.family) + " weight " + std::to_string(c.weight) +
                     (c.italic ? " italic" : ""));
        const lice_detail::ResolvedFace face = Resolve(fc, c.family, c.weight, c.italic);
        EXPECT_EQ(face.family, "DejaVu Sans Mono");
        EXPECT_FALSE(face.synthesiseBold);
        EXPECT_FALSE(face.synthesiseItalic);
    }

    const lice_detail::ResolvedFace upright = Resolve(fc, PrivateMonospaceFonts::kFamily, 700, true);
    EXPECT_EQ(upright.family, PrivateMonospaceFonts::kFamily);
    EXPECT_TRUE(upright.synthesiseBold);
    EXPECT_TRUE(upright.synthesiseItalic);
}
