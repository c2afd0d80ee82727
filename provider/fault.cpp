#include "fault.h"

namespace provider {

const char* FaultCode(Fault fault) {
    switch (fault) {
    case Fault::None: return "S_OK";
    case Fault::InvalidSession: return "FA_INVALID_SESSION";
    case Fault::ParseError: return "FA_PARSE_ERROR";
    case Fault::InvalidParameter: return "FA_INVALID_PARAMETER";
    case Fault::UnknownFunction: return "FA_UNKNOWN_FUNCTION";
    case Fault::FolderNotFound: return "FA_FOLDER_NOT_FOUND";
    case Fault::MessageNotFound: return "FA_MESSAGE_NOT_FOUND";
    case Fault::ComposeNotFound: return "FA_COMPOSE_NOT_FOUND";
    case Fault::NoAttachment: return "FA_NO_ATTACHMENT";
    case Fault::NameExists: return "FA_NAME_EXISTS";
    case Fault::FolderNotEmpty: return "FA_FOLDER_NOT_EMPTY";
    case Fault::FolderTooDeep: return "FA_FOLDER_TOO_DEEP";
    case Fault::Forbidden: return "FA_FORBIDDEN";
    case Fault::Overflow: return "FA_OVERFLOW";
    case Fault::RecipientNotFound: return "FA_RECIPIENT_NOT_FOUND";
    case Fault::StorageFailed: return "FA_STORAGE_FAILED";
    case Fault::DailySendQuota: return "FA_MTA_REJECTED5520";
    case Fault::ShortSendQuota: return "FA_MTA_REJECTED5521";
    }
    return "FA_UNKNOWN";
}

}  // namespace provider
