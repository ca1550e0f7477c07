#pragma once

#include <string>

typedef void CURL;

// Where the cloud identity and OCR hosts are, and which certificates the
// client trusts for them.
//   KELSOR_CLOUD_DOMAIN   suffix after "iam.<region>" / "ocr.<region>",
//                         default ".localhost:18443" (the local kelsor-server)
//   KELSOR_CLOUD_CA_FILE  extra trusted certificate(s) in PEM, default the
//                         local kelsor-server's certificate when it exists
namespace kelsor {

std::string CloudDomainSuffix();
// The configured CA file, or empty when none is configured or found.
std::string CloudCaFile();
// Peer and host verification on, trusting the system's CAs plus the
// configured CA file; the program's transfer limits (HTTP/1.1: the token
// header is matched by its exact case, which HTTP/2 would lower).
void ApplyCloudTls(CURL* handle);

}  // namespace kelsor
