// The plug-in sessions of a live run: each block is rendered with the host transport as the JACK transport
// stood when its frames arrived, so that "Sync" follows the JACK transport. Everything else is passed on.
#pragma once

#include <memory>
#include <string>

#include "cli/LiveFeed.h"
#include "cli/MeteringSession.h"

namespace quenlix::cli {

// Makes the sessions of `inner` follow the transport of `feed` (which both must outlive).
std::unique_ptr<SessionFactory> followTransport(SessionFactory& inner, const LiveFeed& feed);

}  // namespace quenlix::cli
