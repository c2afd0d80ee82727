#include "dav/backend.h"

namespace dav {

const char* StatusText(Status status) {
    switch (status) {
    case Status::Ok: return "ok";
    case Status::NotFound: return "not found";
    case Status::Exists: return "exists";
    case Status::NotDirectory: return "not a directory";
    case Status::IsDirectory: return "is a directory";
    case Status::NotEmpty: return "directory not empty";
    case Status::NoSpace: return "no space";
    case Status::Denied: return "denied";
    case Status::Failed: return "failed";
    }
    return "unknown";
}

}  // namespace dav
