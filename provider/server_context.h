// What every role of the provider shares while it serves.
#pragma once

#include <cstdint>
#include <string>

#include "answer_coding.h"
#include "script_writer.h"

struct ssl_ctx_st;

namespace provider {

class Store;
class SessionRegistry;
class SendLimiter;
class ConnectionLog;

struct ServerContext {
    ServerContext(Store& store, SessionRegistry& sessions) : store(store), sessions(sessions) {}

    Store& store;
    SessionRegistry& sessions;
    AnswerStyle style = AnswerStyle::Neat;
    AnswerCoding coding = AnswerCoding::Plain;  // of script answers and downloads
    std::string scheme = "http";                // "https" when serving TLS
    std::string selfHost;                       // "127.0.0.1:PORT": how the entry servers name the webmail host
    int idleTimeoutMs = 30000;
    int uploadCloseWaitMs = 30000;  // how long an upload's connection is kept for the client to close it
    std::int64_t attachmentLimit = 50000000;
    SendLimiter* sendLimiter = nullptr;  // none: no sending quota
    ConnectionLog* log = nullptr;        // none: nothing is logged
    ssl_ctx_st* tls = nullptr;           // none: plain TCP
};

}  // namespace provider
