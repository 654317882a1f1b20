// The plug-in sessions of a live run: each block is rendered with the host transport as the JACK transport
// stood when its frames arrived, so that "Sync" follows the JACK transport. Everything else is passed on.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "cli/MeteringSession.h"

namespace quenlix::cli {

// Makes the sessions of `inner` (which must outlive them) render each block with the transport running as
// `rolling` says for the frames read last (LiveFeed::lastReadRolling). Rendering thread.
std::unique_ptr<SessionFactory> followTransport(SessionFactory& inner, std::function<bool()> rolling);

}  // namespace quenlix::cli
