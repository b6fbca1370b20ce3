#include "search/service_hosts.h"

#include "marrowtune/config.h"

namespace marrowtune {
namespace {

ServiceHosts& activeHosts()
{
    static ServiceHosts hosts = ServiceHosts::buildDefaults();
    return hosts;
}

} // namespace

ServiceHosts ServiceHosts::buildDefaults()
{
    return {Text(config::ZonePlaylistHost), Text(config::SongSearchHost),
            Text(config::MusicCdnHostSuffix)};
}

const ServiceHosts& serviceHosts()
{
    return activeHosts();
}

void setServiceHosts(ServiceHosts hosts)
{
    activeHosts() = std::move(hosts);
}

} // namespace marrowtune
