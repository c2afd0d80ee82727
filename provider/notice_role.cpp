// GET /pubinfo/Vantlo: the notice server. The text starts with a UTF-8
// byte order mark: the client drops the first UTF-16 unit of what it
// receives, and the mark is what that unit is meant to be.
#include "roles.h"

namespace provider {

HttpAnswer NoticeAnswer(ServerContext& context) {
    std::string text = "\xEF\xBB\xBF";
    text += "欢迎使用 Vantlo 网盘!\r\n\r\n";
    text += "Vantlo 把邮箱变成网盘: 把文件拖到文件列表中即可保存, 右键菜单可以下载、移动和删除文件。\r\n";
    text += "这是本地演示服务器 vantlo-provider 提供的公告。\r\n\r\n";
    text += "公告原文: " + context.scheme + "://" + context.selfHost + "/pubinfo/Vantlo\r\n";
    return PlainAnswer(200, std::move(text));
}

}  // namespace provider
