// Screenshots of the whole screen, taken by the harness (run-wine-test.sh
// watches VANTLO_SCREENSHOT_DIR) while the test keeps its windows painted.
#pragma once

#include <string>

namespace wintest {

// Asks for DIR/name.png and pumps messages until it is written (at most
// 20 seconds). False, with the reason in `error`, when there is no harness
// or it did not answer.
bool TakeScreenshot(const std::string& name, std::string& error);

}  // namespace wintest
