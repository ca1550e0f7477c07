// The account service logs its server failures through LogLine, which the
// full server defines with its listeners; the fuzz targets keep it quiet.
#include "server/KelsorServer.h"

namespace kelsor::server {

void LogLine(const std::string&) {}

}  // namespace kelsor::server
