// What every role of the provider shares while it serves.
#pragma once

#include <string>

#include "script_writer.h"

namespace provider {

class Store;
class SessionRegistry;

struct ServerContext {
    Store& store;
    SessionRegistry& sessions;
    AnswerStyle style = AnswerStyle::Neat;
    std::string selfHost;  // "127.0.0.1:PORT": how the entry servers name the webmail host
    int idleTimeoutMs = 30000;
    int uploadCloseWaitMs = 30000;  // how long an upload's connection is kept for the client to close it
};

}  // namespace provider
