// The metering session over the host side of the format library: the plug-in module loaded by path, one
// process per programme, the controls, chunks and view used the way a host uses them, and the module's
// inspection call for the unrounded results and read-out texts.
#pragma once

#include <memory>
#include <string>

#include "cli/MeteringSession.h"

namespace quenlix::cli {

// The module file to load for `path`: a bundle folder (its shared object is looked up inside it) or the
// shared object itself. Empty `path` means the default: the bundle the build puts beside the program,
// found relative to the running executable. Returns an empty string with `error` set when nothing is there.
std::string resolvePluginModule(const std::string& path, std::string& error);

// Loads the module and checks it offers an effect type and the inspection call. Null with `error` set on
// failure. The factory is safe to use from several worker threads.
std::unique_ptr<SessionFactory> makePluginSessionFactory(const std::string& pluginPath, std::string& error);

}  // namespace quenlix::cli
