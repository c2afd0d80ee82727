#include "demo_account.h"

#include <cstdint>
#include <vector>

#include "local_date.h"
#include "store.h"

namespace provider {

namespace {

// A small picture: 32 x 16 pixels, 24-bit, a sunset-like gradient.
std::string DemoBitmap() {
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
    put32(fileBytes);
    put32(0);
    put32(54);
    put32(40);
    put32(width);
    put32(height);
    put16(1);
    put16(24);
    put32(0);
    put32(pixelBytes);
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bmp.push_back(static_cast<char>(40 + y * 8));   // blue
            bmp.push_back(static_cast<char>(60 + y * 10));  // green
            bmp.push_back(static_cast<char>(255 - x * 2));  // red
        }
    }
    return bmp;
}

std::string AllByteValues() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
    return bytes;
}

struct DemoMessage {
    int folder;  // index into the folders made, or -id for a system folder
    const char* subject;
    std::string attachment;
    bool attached;
    bool read;
    int month, day, hour, minute;
};

}  // namespace

bool FillDemoAccount(Store& store, const std::string& address, std::string& error) {
    const std::vector<std::string> folderNames = {"工作文档", "照片", "R&D <2026>"};
    std::vector<std::int64_t> folderIds;
    if (store.CreateFolders(address, folderNames, folderIds) != Fault::None) {
        error = "cannot create the demo folders";
        return false;
    }
    const std::vector<DemoMessage> messages = {
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
    for (const DemoMessage& m : messages) {
        const std::int64_t folder = m.folder < 0 ? -m.folder : folderIds[static_cast<std::size_t>(m.folder)];
        const int year = m.month == 12 ? 2025 : 2026;
        const std::int64_t received = EpochFromLocal(year, m.month, m.day, m.hour, m.minute, 0);
        if (store.ImportMessage(address, folder, m.subject, m.attached ? &m.attachment : nullptr, received - 2,
                                received, m.read) != Fault::None) {
            error = "cannot store the demo messages";
            return false;
        }
    }
    return true;
}

}  // namespace provider
