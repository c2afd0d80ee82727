// The command line of vantlo-provider.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "answer_coding.h"
#include "script_writer.h"
#include "send_limits.h"

namespace provider {

// --seed-folder NAME:COUNT[:BYTES]
struct SeedFolder {
    std::string name;
    std::int64_t count = 0;
    std::int64_t bytes = 1000;
};

struct Options {
    std::string listenAddress = "127.0.0.1";
    std::uint16_t port = 0;
    std::uint16_t publicPort = 0;                               // 0: the port listened on
    std::string dataDir;                                        // empty: a temporary directory, removed at exit
    std::vector<std::pair<std::string, std::string>> accounts;  // address, password
    bool demoAccount = false;  // no --account: the demo account, filled with demo content when new
    AnswerStyle style = AnswerStyle::Neat;
    AnswerCoding coding = AnswerCoding::Plain;
    int idleTimeoutSeconds = 30;
    bool tls = false;
    std::string tlsCert;  // both empty: a test CA and certificate made in the data directory
    std::string tlsKey;
    std::string logFile;
    std::int64_t attachmentLimit = 50000000;
    std::int64_t sessionTtlSeconds = 1800;
    SendLimits sendLimits;
    std::vector<SeedFolder> seedFolders;
};

enum class OptionsOutcome { Run, Help, Error };

OptionsOutcome ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);
const char* UsageText();

}  // namespace provider
