#include "app/file_texts.h"

#include <ctime>

#include "app/texts.h"
#include "platform/text.h"

namespace app {

namespace {
constexpr std::size_t kTitleBytes = 259;
// A properties box lists this many parts; the rest are counted.
constexpr std::size_t kPartsListed = 16;

std::string SizeText(std::uint64_t bytes) {
    return FormatSizeText(std::to_string(bytes));
}

// "2026-12-07 11:20:44 UTC"; "未知" for 0.
std::string UtcText(std::int64_t seconds) {
    if (seconds == 0) return "未知";
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
#ifdef _WIN32
    if (gmtime_s(&utc, &t) != 0) return "未知";
#else
    if (!gmtime_r(&t, &utc)) return "未知";
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
    return text;
}

const char* VerdictText(DownloadVerdict verdict) {
    switch (verdict) {
    case DownloadVerdict::NotYet: return "尚未下载";
    case DownloadVerdict::Verified: return "已校验, 完全一致";
    case DownloadVerdict::Failed: return "校验失败";
    }
    return "";
}
}  // namespace

bool LocalTimeOf(std::int64_t seconds, std::tm& local) {
    std::time_t t = static_cast<std::time_t>(seconds);
    local = std::tm{};
#ifdef _WIN32
    return localtime_s(&local, &t) == 0;
#else
    return localtime_r(&t, &local) != nullptr;
#endif
}

std::string LocalTimeText(std::int64_t seconds) {
    std::tm local{};
    if (seconds <= 0 || !LocalTimeOf(seconds, local)) return {};
    char text[32];
    return std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local) ? text : "";
}

std::string ExtensionOf(const std::string& name) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return {};
    return name.substr(dot);
}

FileColumns ColumnsOf(const FileRow& row) {
    const catalog::FileEntry& file = row.file;
    FileColumns columns;
    columns.name = file.name;
    if (file.damaged)
        columns.name += " (已损坏)";
    else if (!file.Whole())
        columns.name += " (不完整)";
    columns.size = HumanSize(file.sizeKnown ? file.size : file.listedSize);
    columns.modified = LocalTimeText(file.storedAt);
    std::string extension = ExtensionOf(file.name);
    for (char& c : extension)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    columns.type = extension.empty() ? "文件" : extension.substr(1) + " 文件";
    return columns;
}

FileCells CellsOf(const FileRow& row) {
    const catalog::FileEntry& file = row.file;
    FileCells cells;
    std::string title = (row.attached ? "@  " : "   ") + file.name;
    if (file.damaged)
        title += " (已损坏)";
    else if (!file.Whole())
        title += " (不完整)";
    cells.title = platform::CutUtf8(title, kTitleBytes);
    cells.size = SizeText(file.sizeKnown ? file.size : file.listedSize);
    cells.receivedDate = row.receivedDate;
    cells.sentDate = row.sentDate;
    cells.from = row.from;
    return cells;
}

std::string FilePropertiesText(const catalog::FileDetails& details, DownloadVerdict verdict) {
    const catalog::FileEntry& file = details.entry;
    std::string text = "名称: " + file.name + "\r\n";
    text += "大小: " + std::to_string(details.size) + " 字节 (" + SizeText(details.size) + ")\r\n";
    text += "分段: " + std::to_string(file.parts) + "\r\n";
    std::size_t listed = 0;
    for (const catalog::FilePart& part : file.present) {
        if (listed++ == kPartsListed) {
            text += "    ... (" + std::to_string(file.present.size()) + " 封邮件)\r\n";
            break;
        }
        text += "    " + std::to_string(part.number) + ": " + part.mailId + "\r\n";
    }
    if (file.damaged) text += "已损坏: 清单无法读取，不能下载\r\n";
    if (!file.Whole()) text += "不完整: " + file.Problems() + "\r\n";
    text += "SHA-256: " + (details.sha256.empty() ? std::string("无 (只按长度校验)") : details.sha256) + "\r\n";
    text += "存储时间: " + UtcText(details.stored) + "\r\n";
    text += std::string("上次下载: ") + VerdictText(verdict);
    return text;
}

std::string FolderPropertiesText(const FolderSummary& folder) {
    return "名称: " + folder.name + "\r\n编号: " + folder.id + "\r\n文件数: " + std::to_string(folder.files) +
           "\r\n总大小: " + std::to_string(folder.bytes) + " 字节 (" + SizeText(folder.bytes) +
           ")\r\n未读: " + (folder.unread.empty() ? std::string("0") : folder.unread);
}

std::string EmptyFolderQuestion(const std::string& folderName, std::uint64_t files) {
    return "确定要把文件夹 \"" + folderName + "\" 中的 " + std::to_string(files) + " 个文件移到已删除吗?";
}

std::string SpaceUsedText(const std::vector<catalog::FolderInfo>& folders) {
    std::uint64_t bytes = 0;
    for (const catalog::FolderInfo& folder : folders) {
        if (folder.messages > 0 && folder.bytes == 0) return {};
        bytes = bytes + folder.bytes < bytes ? ~std::uint64_t{0} : bytes + folder.bytes;
    }
    return "已用 " + HumanSize(bytes) + " (各文件夹邮件之和)";
}

std::string TrashKeptText(const std::string& folderName, std::uint64_t files) {
    return "\"" + folderName + "\" 中的 " + std::to_string(files) +
           " 个文件没有删除: 这个邮箱只能把文件移到已删除, 不能永久删除。要永久删除, 请在网页邮箱中清空它。";
}

namespace {
// Enough names to recognise the files by, on a line or in a box.
constexpr std::size_t kNamesInQuestion = 10;
constexpr std::size_t kNamesOnStatusLine = 3;
}  // namespace

std::string DeleteFilesQuestion(const std::vector<std::string>& names) {
    std::string text = "将 " + std::to_string(names.size()) + " 个文件移到" + kTrashName + "?\r\n";
    for (std::size_t i = 0; i < names.size() && i < kNamesInQuestion; ++i) text += "\r\n" + names[i];
    if (names.size() > kNamesInQuestion)
        text += "\r\n... 以及另外 " + std::to_string(names.size() - kNamesInQuestion) + " 个文件";
    return text + "\r\n\r\n它们可以在" + kTrashName + "中找回。";
}

std::string DeleteFolderQuestion(const std::string& folderName, std::uint64_t folders, std::uint64_t files) {
    std::string nested = folders ? " 和其中的 " + std::to_string(folders) + " 个文件夹" : std::string();
    return "删除文件夹 \"" + folderName + "\"" + nested + "?\r\n\r\n其中的 " + std::to_string(files) + " 个文件将移到" +
           kTrashName + ", 可以在那里找回。";
}

std::string FolderDeletedText(const std::string& folderName, std::uint64_t folders, std::uint64_t files) {
    std::string nested = folders ? " 和其中的 " + std::to_string(folders) + " 个文件夹" : std::string();
    return "已删除文件夹 \"" + folderName + "\"" + nested + ", 其中的 " + std::to_string(files) + " 个文件已移到" +
           kTrashName;
}

std::string FilesMovingText(const std::string& where, std::size_t count) {
    return "正在把 " + std::to_string(count) + " 个文件移到" + where + "...";
}

std::string FilesMovedText(const std::string& where, const std::vector<std::string>& names) {
    std::string text = "已将 " + std::to_string(names.size()) + " 个文件移到" + where + ": ";
    for (std::size_t i = 0; i < names.size() && i < kNamesOnStatusLine; ++i) text += (i ? ", " : "") + names[i];
    return names.size() > kNamesOnStatusLine ? text + " 等" : text;
}

std::filesystem::path MailPathOf(const std::filesystem::path& chosen, std::uint32_t number, std::uint32_t parts) {
    if (parts <= 1) return chosen;
    std::filesystem::path path = chosen;
    path.replace_filename(std::filesystem::u8path(chosen.stem().u8string() + ".part" + std::to_string(number) +
                                                  chosen.extension().u8string()));
    return path;
}

}  // namespace app
