#pragma once

// A fontconfig configuration of a test's own, in a fresh temporary folder: the machine's own
// configuration, plus a private font folder holding "Quenlix Test Mono", a monospaced family with an
// upright face only (a copy of DejaVu Serif, renamed and marked monospaced as fontconfig scans it),
// which the configuration prefers for "monospace" as strongly as a machine's configuration may prefer
// any other font it has installed. Everything is removed again with the object.
//
// Test thread only; uses fontconfig's own configuration objects, never the process-wide default.

#include <fontconfig/fontconfig.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

class PrivateMonospaceFonts {
  public:
    static constexpr const char* kFamily = "Quenlix Test Mono";

    PrivateMonospaceFonts() {
        char tmpl[] = "/tmp/quenlix-fonts-XXXXXX";
        if (!mkdtemp(tmpl)) {
            mError = "cannot make a temporary folder";
            return;
        }
        mRoot = tmpl;
        const std::string source = InstalledFile("DejaVu Serif");
        if (source.empty()) {
            mError = "DejaVu Serif (fonts-dejavu-core) is not installed";
            return;
        }
        const std::string fonts = mRoot + "/fonts";
        std::error_code ec;
        std::filesystem::create_directory(fonts, ec);
        const std::string copy = fonts + "/PrivateMono.ttf";
        std::filesystem::copy_file(source, copy, ec);
        if (ec) {
            mError = "cannot copy " + source + ": " + ec.message();
            return;
        }
        mConfigFile = mRoot + "/fonts.conf";
        std::ofstream conf(mConfigFile);
        // The cache folder comes first, so fontconfig writes the private folder's cache there and
        // nowhere in the machine's own cache folders.
        conf << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>\n"
             << "  <cachedir>" << mRoot << "/cache</cachedir>\n"
             << "  <include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>\n"
             << "  <dir>" << fonts << "</dir>\n"
             << "  <match target=\"scan\">\n"
             << "    <test name=\"file\"><string>" << copy << "</string></test>\n"
             << "    <edit name=\"family\" mode=\"assign_replace\"><string>" << kFamily
             << "</string></edit>\n"
             << "    <edit name=\"spacing\" mode=\"assign\"><const>mono</const></edit>\n"
             << "  </match>\n"
             << "  <alias binding=\"strong\">\n"
             << "    <family>monospace</family>\n"
             << "    <prefer><family>" << kFamily << "</family></prefer>\n"
             << "  </alias>\n"
             << "</fontconfig>\n";
        conf.close();
        if (!conf) mError = "cannot write " + mConfigFile;
    }

    ~PrivateMonospaceFonts() {
        std::error_code ec;
        if (!mRoot.empty()) std::filesystem::remove_all(mRoot, ec);
    }

    PrivateMonospaceFonts(const PrivateMonospaceFonts&) = delete;
    PrivateMonospaceFonts& operator=(const PrivateMonospaceFonts&) = delete;

    bool Ok() const { return mError.empty(); }
    const std::string& Error() const { return mError; }
    // The temporary folder; files a test writes there go with it.
    const std::string& Folder() const { return mRoot; }
    // The configuration file, for FONTCONFIG_FILE or FcConfigParseAndLoad.
    const std::string& ConfigFile() const { return mConfigFile; }

    // A new fontconfig configuration loaded from ConfigFile() with its fonts scanned (the caller
    // destroys it), or null.
    FcConfig* Load() const {
        FcConfig* config = FcConfigCreate();
        if (!config) return nullptr;
        if (!FcConfigParseAndLoad(config, reinterpret_cast<const FcChar8*>(mConfigFile.c_str()), FcTrue) ||
            !FcConfigBuildFonts(config)) {
            FcConfigDestroy(config);
            return nullptr;
        }
        return config;
    }

  private:
    // The file of the upright face of an installed family, through a configuration of our own.
    static std::string InstalledFile(const char* family) {
        std::string file;
        FcConfig* config = FcInitLoadConfigAndFonts();
        if (!config) return file;
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
        if (pattern) {
            FcConfigSubstitute(config, pattern, FcMatchPattern);
            FcDefaultSubstitute(pattern);
            FcResult result = FcResultNoMatch;
            if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
                FcChar8* matchedFamily = nullptr;
                FcChar8* path = nullptr;
                if (FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch &&
                    std::string(reinterpret_cast<const char*>(matchedFamily)) == family &&
                    FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
                    file = reinterpret_cast<const char*>(path);
                FcPatternDestroy(match);
            }
            FcPatternDestroy(pattern);
        }
        FcConfigDestroy(config);
        return file;
    }

    std::string mRoot;
    std::string mConfigFile;
    std::string mError;
};
