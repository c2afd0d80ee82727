// The command line of vantlo-provider.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "script_writer.h"

namespace provider {

struct Options {
    std::string listenAddress = "127.0.0.1";
    std::uint16_t port = 0;
    std::string dataDir;                                        // empty: a temporary directory, removed at exit
    std::vector<std::pair<std::string, std::string>> accounts;  // address, password
    bool demoAccount = false;  // no --account: the demo account, filled with demo content when new
    AnswerStyle style = AnswerStyle::Neat;
    int idleTimeoutSeconds = 30;
};

enum class OptionsOutcome { Run, Help, Error };

OptionsOutcome ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);
const char* UsageText();

}  // namespace provider
