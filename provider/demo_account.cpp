#include "demo_account.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "local_date.h"
#include "store.h"
#include "stored_file.h"

namespace provider {

namespace {

// A small picture: 32 x 16 pixels, 24-bit, a sunset-like gradient; `tint`
// shifts its colours, so that pictures of a series differ.
std::string DemoBitmap(int tint = 0) {
    const int width = 32, height = 16;
    const int rowBytes = width * 3;  // already a multiple of 4
    const std::uint32_t pixelBytes = rowBytes * height;
    const std::uint32_t fileBytes = 54 + pixelBytes;
    std::string bmp;
    auto put16 = [&](std::uint32_t v) {
        bmp.push_back(static_cast<char>(v & 0xFF));
        bmp.push_back(static_cast<char>((v >> 8) & 0xFF));
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    bmp += "BM";
    for (std::uint32_t v : {fileBytes, 0u, 54u, 40u, std::uint32_t(width), std::uint32_t(height)}) put32(v);
    put16(1);
    put16(24);
    for (std::uint32_t v : {0u, pixelBytes, 2835u, 2835u, 0u, 0u}) put32(v);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bmp.push_back(static_cast<char>(40 + y * 8 + tint * 7));   // blue
            bmp.push_back(static_cast<char>(60 + y * 10 + tint * 3));  // green
            bmp.push_back(static_cast<char>(255 - x * 2 - tint));      // red
        }
    }
    return bmp;
}

std::string AllByteValues() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
    return bytes;
}

// A mail as an earlier version stored it: no manifest, the subject names the file.
struct OldMail {
    int folder;  // index into the folders made, or -id for a system folder
    const char* subject;
    std::string attachment;
    bool attached;
    bool read;
    int month, day, hour, minute;
};

std::int64_t DemoTime(int month, int day, int hour, int minute) {
    return EpochFromLocal(month == 12 ? 2025 : 2026, month, day, hour, minute, 0);
}

ImportedMessage FromPart(std::int64_t folder, const StoredPart& part, std::int64_t receivedAt) {
    ImportedMessage message;
    message.folderId = folder;
    message.subject = part.subject;
    message.filename = part.attachmentName;
    message.content = part.manifest;
    message.attached = true;
    message.attachment = part.bytes;
    message.sentAt = receivedAt - 2;
    message.receivedAt = receivedAt;
    message.read = true;
    return message;
}

constexpr int kDemoPhotos = 300;

// Bytes that differ from file to file and run to run alike.
std::string SeedBytes(std::size_t index, std::size_t size) {
    std::uint64_t state = 0x9E3779B97F4A7C15ULL * (index + 1);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        c = static_cast<char>(state >> 56);
    }
    return bytes;
}

}  // namespace

bool FillDemoAccount(Store& store, const std::string& address, std::string& error) {
    const std::vector<NewFolder> folderNames = {{"工作文档"}, {"照片"}, {"R&D <2026>"}};
    std::vector<std::int64_t> folderIds;
    if (store.CreateFolders(address, folderNames, folderIds) != Fault::None) {
        error = "cannot create the demo folders";
        return false;
    }
    const std::vector<OldMail> oldMails = {
        {-1, "欢迎使用 Vantlo.txt",
         "欢迎使用 Vantlo!\r\n\r\n这个文件保存在邮箱里: 每个文件是一封邮件, 邮件的主题是文件名, 附件是文件的内容。\r\n"
         "把文件拖到文件列表中就能保存, 在右键菜单中可以下载、移动和删除。\r\n",
         true, false, 1, 5, 9, 30},
        {-1, "Vantlo 团队的问候", "", false, true, 1, 4, 18, 2},
        {-1, "sample-bytes.bin", AllByteValues(), true, false, 1, 3, 14, 45},
        {0, "会议纪要 2026-01-05.txt", "会议纪要\r\n时间: 2026 年 1 月 5 日\r\n1. 网盘上线计划\r\n2. 下周评审\r\n",
         true, true, 1, 5, 11, 0},
        {0, "预算 2026.csv", "项目,金额\r\n服务器,12000\r\n带宽,3600\r\n合计,15600\r\n", true, true, 12, 20, 16, 15},
        {1, "sunset.bmp", DemoBitmap(), true, false, 12, 31, 17, 40},
        {2, "O'Brien's notes \\ draft.txt", "Notes on R&D: <tags> & \"quotes\" survive the trip.\n", true, true, 12, 15,
         10, 5},
        {-3, "欢迎使用 Vantlo.txt", "(sent copy)\r\n", true, true, 1, 5, 9, 29},
    };
    std::vector<ImportedMessage> messages;
    for (const OldMail& m : oldMails) {
        ImportedMessage message;
        message.folderId = m.folder < 0 ? -m.folder : folderIds[static_cast<std::size_t>(m.folder)];
        message.subject = m.subject;
        message.content = "-----";
        message.attached = m.attached;
        message.attachment = m.attachment;
        message.receivedAt = DemoTime(m.month, m.day, m.hour, m.minute);
        message.sentAt = message.receivedAt - 2;
        message.read = m.read;
        messages.push_back(std::move(message));
    }
    // A folder that takes several pages to list, and a file in three parts.
    const std::int64_t firstPhoto = DemoTime(12, 1, 8, 0);
    for (int i = 1; i <= kDemoPhotos; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04d.bmp", i);
        const std::int64_t at = firstPhoto + i * 3600;
        for (const StoredPart& part : StoredFileParts(name, DemoBitmap(i % 16), 32 * 1024 * 1024, at))
            messages.push_back(FromPart(folderIds[1], part, at));
    }
    std::string manual;
    for (int line = 1; line <= 300; ++line)
        manual += "第 " + std::to_string(line) + " 行: Vantlo 把邮箱变成网盘, 大文件分成几封邮件保存。\n";
    const std::int64_t manualAt = DemoTime(1, 6, 10, 0);
    for (const StoredPart& part : StoredFileParts("Vantlo 手册.txt", manual, 8192, manualAt))
        messages.push_back(FromPart(folderIds[0], part, manualAt));

    if (store.ImportMessages(address, messages.size(), [&](std::size_t i, ImportedMessage& made) {
            made = std::move(messages[i]);
        }) != Fault::None) {
        error = "cannot store the demo messages";
        return false;
    }
    return true;
}

bool SeedFolderFiles(Store& store, const std::string& address, const SeedFolder& seed, bool& made, std::string& error) {
    made = false;
    std::vector<std::int64_t> ids;
    Fault fault = store.CreateFolders(address, {seed.name}, ids);
    if (fault == Fault::NameExists) return true;
    if (fault != Fault::None) {
        error = "cannot create the folder " + seed.name + ": " + FaultCode(fault);
        return false;
    }
    const std::size_t count = static_cast<std::size_t>(seed.count);
    const int width = static_cast<int>(std::to_string(count).size() < 5 ? 5 : std::to_string(count).size());
    const std::int64_t now = NowSeconds();
    fault = store.ImportMessages(address, count, [&](std::size_t i, ImportedMessage& message) {
        char name[40];
        std::snprintf(name, sizeof name, "file-%0*zu.bin", width, i + 1);
        const std::int64_t at = now - static_cast<std::int64_t>(count - i);
        std::vector<StoredPart> parts =
            StoredFileParts(name, SeedBytes(i, static_cast<std::size_t>(seed.bytes)), kMaxAttachmentBytes, at);
        message = FromPart(ids.front(), parts.front(), at);
    });
    if (fault != Fault::None) {
        error = "cannot seed the folder " + seed.name + ": " + FaultCode(fault);
        return false;
    }
    made = true;
    return true;
}

}  // namespace provider
