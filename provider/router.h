// Serves one connection: reads each request, finds its role by path,
// checks method and body, and hands it to the role. A whole answer with a
// length leaves the connection open for the client's next request, as long
// as the client did not ask to close it (HTTP/1.1 keeps it unless told
// otherwise); a refusal, a download or an upload ends it.
#pragma once

#include <cstdint>

#include "connection.h"
#include "server_context.h"

namespace provider {

// Bodies of every role but the upload are read whole and may not exceed this.
constexpr unsigned long long kMaxBodyBytes = 1024 * 1024;
// The upload's form: the largest attachment and room for the form around it.
constexpr unsigned long long kMaxUploadBodyBytes = 2147483647ULL + 1024 * 1024;

// `logId` names the connection in the log, when there is one.
void ServeConnection(ServerContext& context, Connection& connection, std::uint64_t logId);

}  // namespace provider
