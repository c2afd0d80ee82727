// Commands of the sign-in window's two caption menus.
#pragma once

namespace signin {

constexpr unsigned kExitCommand = 17;   // "退出(&X)"
constexpr unsigned kAboutCommand = 33;  // "关于(&A)": no function
constexpr unsigned kForumCommand = 34;  // "论坛(&C)"

}  // namespace signin
