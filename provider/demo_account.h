// What a new demo account holds, so that a demo has something to show:
// three user folders and a handful of messages with attachments.
#pragma once

#include <string>

namespace provider {

class Store;

bool FillDemoAccount(Store& store, const std::string& address, std::string& error);

}  // namespace provider
