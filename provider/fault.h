// The verdicts of the webmail functions and of the store behind them. Each
// has the result code that the script answers carry ("S_OK" for None).
#pragma once

namespace provider {

enum class Fault {
    None,
    InvalidSession,    // wrong or missing sid, or a Coremail cookie of another session
    ParseError,        // the XML body is not well-formed
    InvalidParameter,  // well-formed, but a member is missing or has a value that is not allowed
    UnknownFunction,   // no such func
    FolderNotFound,
    MessageNotFound,
    ComposeNotFound,
    NoAttachment,       // the message carries no attachment
    NameExists,         // another folder beside it already has that name
    FolderNotEmpty,     // folders are still nested in the folder to delete
    FolderTooDeep,      // nesting would pass the deepest level allowed
    Forbidden,          // system folders cannot be renamed or deleted
    Overflow,           // a limit of the store would be passed
    RecipientNotFound,  // a delivery names an address this provider does not hold
    StorageFailed,      // the disk refused a write; nothing changed
    DailySendQuota,     // the account sent as many mails as a day allows
    ShortSendQuota,     // the account sent as many mails as a short time allows
};

// "S_OK" or "FA_...".
const char* FaultCode(Fault fault);

}  // namespace provider
