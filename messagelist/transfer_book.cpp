#include "messagelist/transfer_book.h"

namespace messagelist {

TransferBook& Transfers() {
    static TransferBook book;
    return book;
}

bool UploadSlotFree(const session::Session& session) {
    return session.uploadIdle.load() == 1 && !Transfers().uploadStarting;
}

bool DownloadSlotFree(const session::Session& session) {
    return session.downloadIdle.load() == 1 && !Transfers().downloadTaken;
}

bool TransfersSettled(const session::Session& session) {
    return session.uploadIdle.load() == 1 && session.downloadIdle.load() == 1 && session.uploadTotal.load() == 0 &&
           session.downloadTotal.load() == 0 && !Transfers().uploadStarting && !Transfers().downloadTaken;
}

}  // namespace messagelist
