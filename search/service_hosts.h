#pragma once
// The hosts the two searches ask. They are the build's configuration values; only tests
// change them, to point the searches at a loopback server.

#include "net/text.h"

namespace marrowtune {

/// Host values the searches use (each may carry a ":port").
struct ServiceHosts {
    /// `ZonePlaylistHost`: the Zone playlist service.
    Text zonePlaylistHost;
    /// `SongSearchHost`: the song-search service.
    Text songSearchHost;
    /// `MusicCdnHostSuffix`: the suffix shared by the music CDN's hosts.
    Text musicCdnHostSuffix;

    /// The values this build was configured with.
    static ServiceHosts buildDefaults();
};

/// The hosts the window's and the CLI's actions use: the build's values unless a test set
/// others.
const ServiceHosts& serviceHosts();
/// Replaces the hosts the actions use. For tests that run the searches against a loopback
/// server; the programs never call it.
void setServiceHosts(ServiceHosts hosts);

} // namespace marrowtune
